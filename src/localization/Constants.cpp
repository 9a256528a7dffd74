// SPDX-License-Identifier: MIT
#include "localization/Constants.h"

#include "localization/StreamPrimitives.h"
#include "localization/SystemErrors.h"
#include "localization/VLangError.h"
#include "localization/ValueEscaping.h"

#include <QBuffer>
#include <QFile>
#include <QVarLengthArray>

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

namespace {
char16_t FoldUnit(char16_t u)
{
    return u >= u'a' && u <= u'z' ? char16_t(u - (u'a' - u'A')) : u;
}
} // namespace

bool TCaseInsensitiveComparer::Equals(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (FoldUnit(a[i].unicode()) != FoldUnit(b[i].unicode()))
            return false;
    return true;
}

size_t qHash(const TFoldedName &key, size_t seed)
{
    // Qt's seeded hash of the folded name, folded on the stack.
    QVarLengthArray<char16_t, 64> folded(key.wsName.size());
    for (qsizetype i = 0; i < key.wsName.size(); ++i)
        folded[i] = FoldUnit(key.wsName.at(i).unicode());
    return qHash(QStringView(folded.constData(), folded.size()), seed);
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
        // ASCII, which names almost always are, without Unicode's tables.
        const bool ascii = cp < 0x80;
        const bool letter = ascii ? (cp >= U'a' && cp <= U'z') || (cp >= U'A' && cp <= U'Z') || cp == U'_'
                                  : QChar::isLetter(cp);
        if (first ? !letter : !(letter || (ascii ? cp >= U'0' && cp <= U'9' : QChar::isDigit(cp))))
            return false;
        first = false;
    }
    return true;
}

TVLang_Constant *TVLang_Constants::Find(const QString &wsName) const
{
    const auto it = FIndex.constFind(TFoldedName{wsName});
    return it == FIndex.cend() ? nullptr : const_cast<TVLang_Constant *>(&FItems[*it]);
}

void TVLang_Constants::Add(QString wsName, QString wsValue, TVLang_TranslationStates TranStates)
{
    if (!IsValidName(wsName))
        throw EVLangError::CreateFmt(VLangMessages::InvalidConstName, {wsName});
    // One look-up: the slot is new exactly when the index grew.
    const qsizetype known = FIndex.size();
    std::size_t &position = FIndex[TFoldedName{wsName}];
    if (FIndex.size() == known)
        throw EVLangError::CreateFmt(VLangMessages::DuplicateConstName, {wsName});
    position = FItems.size();
    try {
        FItems.push_back(TVLang_Constant{wsName, wsValue, std::move(wsValue), TranStates});
    } catch (...) {
        FIndex.remove(TFoldedName{wsName});
        throw;
    }
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
    for (const TVLang_Constant &c : FItems) {
        PutUtf16String(Stream, c.wsName);
        PutUtf16String(Stream, c.wsValue);
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
    for (TVLang_Constant &c : FItems) {
        if (!Constants) {
            c.wsValue = c.wsDefValue;
        } else if (const TVLang_Constant *t = Constants->Find(c.wsName)) {
            c.wsValue = t->wsValue;
        }
    }
}

bool TVLang_Constants::PrepareSourceExport()
{
    return true;
}

void TVLang_Constants::WriteSourceLines(QStringList &lines, TVLang_TranslationStates skipStates)
{
    for (const TVLang_Constant &c : FItems)
        if (!c.TranStates.Intersects(skipStates))
            lines.append(c.wsName + u'=' + EscapeValue(c.wsValue));
}

QString TVLang_Constants::SourceSectionName() const
{
    return QStringLiteral("$CONSTANTS");
}
