// SPDX-License-Identifier: MIT
#include "localization/Constants.h"

#include "localization/StreamPrimitives.h"
#include "localization/SystemErrors.h"
#include "localization/VLangError.h"
#include "localization/ValueEscaping.h"

#include <QBuffer>
#include <QFile>

using namespace StreamPrimitives;

QString TCaseInsensitiveComparer::Fold(const QString &name)
{
    QString folded = name;
    for (QChar &c : folded) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return folded;
}

bool TCaseInsensitiveComparer::Equals(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    return Fold(a) == Fold(b);
}

TVLang_Constants::TVLang_Constants() = default;
TVLang_Constants::~TVLang_Constants() = default;

bool TVLang_Constants::IsValidName(const QString &wsName)
{
    if (wsName.isEmpty())
        return false;
    // By code point, so that a letter outside the BMP counts as one letter and
    // an unpaired surrogate as no letter at all.
    const qsizetype n = wsName.size();
    bool first = true;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t cp = wsName.at(i).unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && wsName.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(wsName.at(i), wsName.at(i + 1));
            ++i;
        } else if (QChar::isSurrogate(cp)) {
            return false;
        }
        const bool letter = QChar::isLetter(cp) || cp == U'_';
        if (first ? !letter : !(letter || QChar::isDigit(cp)))
            return false;
        first = false;
    }
    return true;
}

TVLang_Constant *TVLang_Constants::Find(const QString &wsName) const
{
    const auto it = FIndex.constFind(TCaseInsensitiveComparer::Fold(wsName));
    return it == FIndex.cend() ? nullptr : FItems[*it].get();
}

void TVLang_Constants::Add(const QString &wsName, const QString &wsValue, TVLang_TranslationStates TranStates)
{
    if (!IsValidName(wsName))
        throw EVLangError::CreateFmt(VLangMessages::InvalidConstName, {wsName});
    const QString key = TCaseInsensitiveComparer::Fold(wsName);
    if (FIndex.contains(key))
        throw EVLangError::CreateFmt(VLangMessages::DuplicateConstName, {wsName});
    FItems.push_back(std::make_unique<TVLang_Constant>(TVLang_Constant{wsName, wsValue, wsValue, TranStates}));
    FIndex.insert(key, FItems.size() - 1);
}

const TVLang_Constant *TVLang_Constants::FindConstName(const QString &wsName) const
{
    return Find(wsName);
}

QString TVLang_Constants::Values(const QString &wsName) const
{
    if (const TVLang_Constant *c = Find(wsName))
        return c->wsValue;
    throw EVLangError::CreateFmt(VLangMessages::ConstantNotFound, {wsName});
}

void TVLang_Constants::SetValues(const QString &wsName, const QString &wsValue)
{
    TVLang_Constant *c = Find(wsName);
    if (!c)
        throw EListError(QStringLiteral("Item not found"));
    c->wsValue = wsValue;
}

void TVLang_Constants::Clear()
{
    FIndex.clear();
    FItems.clear();
}

void TVLang_Constants::LoadFromStream(QIODevice &Stream)
{
    Clear();
    const quint8 first = GetByte(Stream);
    bool utf8Names = false;
    bool utf8Values = false;
    switch (first) {
    case 0:
    case 1:
        // The oldest streams have no version byte: the first byte is the flag.
        FAutoSaveLangSource = first != 0;
        utf8Names = utf8Values = true;
        break;
    case 2:
        FAutoSaveLangSource = GetBool(Stream);
        utf8Names = true;
        break;
    case CurrentFormatVersion:
        FAutoSaveLangSource = GetBool(Stream);
        break;
    default:
        throw EVLangError::CreateFmt(VLangMessages::StreamVersionTooHigh,
                                     {QString::number(first), QString::number(CurrentFormatVersion)});
    }
    // Nothing is reserved for the count: every constant takes at least four
    // bytes of the stream, so a forged count ends in a read error.
    const qint32 count = GetInt32(Stream);
    for (qint32 i = 0; i < count; ++i) {
        const QString name = utf8Names ? GetUtf8String(Stream) : GetUtf16String(Stream);
        const QString value = utf8Values ? GetUtf8String(Stream) : GetUtf16String(Stream);
        Add(name, value);
    }
}

void TVLang_Constants::SaveToStream(QIODevice &Stream) const
{
    PutFormatVersion(Stream);
    PutBool(Stream, FAutoSaveLangSource);
    PutInt32(Stream, Count());
    for (const auto &c : FItems) {
        PutUtf16String(Stream, c->wsName);
        PutUtf16String(Stream, c->wsValue);
    }
}

bool TVLang_Constants::LoadFromResource(const QString &Instance, const QString &wsResName)
{
    QFile resource(Instance + u'/' + wsResName);
    if (!resource.open(QIODevice::ReadOnly))
        return false;
    LoadFromStream(resource);
    return true;
}

QByteArray TVLang_Constants::AsRawString() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    SaveToStream(buffer);
    return bytes;
}

void TVLang_Constants::SetAsRawString(const QByteArray &value)
{
    if (value.isEmpty())
        return;
    QByteArray copy = value;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    LoadFromStream(buffer);
}

void TVLang_Constants::TranslateFrom(const TVLang_Constants *Constants)
{
    for (const auto &c : FItems) {
        if (!Constants) {
            c->wsValue = c->wsDefValue;
        } else if (const TVLang_Constant *t = Constants->Find(c->wsName)) {
            c->wsValue = t->wsValue;
        }
    }
}

bool TVLang_Constants::PrepareSourceExport()
{
    return true;
}

void TVLang_Constants::WriteSourceLines(QStringList &lines, TVLang_TranslationStates skipStates)
{
    for (const auto &c : FItems)
        if (!c->TranStates.Intersects(skipStates))
            lines.append(c->wsName + u'=' + EscapeValue(c->wsValue));
}

QString TVLang_Constants::SourceSectionName() const
{
    return QStringLiteral("$CONSTANTS");
}
