// SPDX-License-Identifier: MIT
#include "localization/Translations.h"

#include "localization/SystemErrors.h"
#include "localization/TextDecoding.h"
#include "localization/VLangError.h"
#include "localization/ValueEscaping.h"
#include "platform/BoundedFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <limits>

using TextDecoding::TrimControl;

int TVLang_CompTranslation::Add(qint32 iID, QString wsValue, TVLang_TranslationStates TranStates)
{
    // Files list their records in ascending order: a record past the last
    // one is appended without a search.
    if (FItems.empty() || FItems.back().iID < iID) {
        FItems.push_back(TVLang_PropValueTranslation{iID, std::move(wsValue), TranStates});
        return Count() - 1;
    }
    int index = 0;
    if (FindID(iID, index))
        throw EVLangError::CreateFmt(VLangMessages::DuplicatePropID, {QString::number(iID)});
    FItems.insert(FItems.begin() + index, TVLang_PropValueTranslation{iID, std::move(wsValue), TranStates});
    return index;
}

bool TVLang_CompTranslation::FindID(qint32 iID, int &iIndex) const
{
    int lo = 0;
    int hi = Count() - 1;
    while (hi >= lo) {
        const int mid = int((unsigned(lo) + unsigned(hi)) / 2u);
        const qint32 id = FItems[std::size_t(mid)].iID;
        if (id < iID) {
            lo = mid + 1;
        } else if (id == iID) {
            iIndex = mid;
            return true;
        } else {
            hi = mid - 1;
        }
    }
    iIndex = lo;
    return false;
}

int TVLang_CompTranslation::IndexOfID(qint32 iID) const
{
    int index = 0;
    return FindID(iID, index) ? index : -1;
}

const TVLang_PropValueTranslation *TVLang_CompTranslation::FindPropByID(qint32 iID) const
{
    int index = 0;
    return FindID(iID, index) ? &FItems[std::size_t(index)] : nullptr;
}

void TVLang_CompTranslation::Delete(int index)
{
    FItems.erase(FItems.begin() + index);
}

TVLang_CompTranslations::TVLang_CompTranslations() = default;
TVLang_CompTranslations::~TVLang_CompTranslations() = default;

int TVLang_CompTranslations::IndexOfParam(QStringView wsName) const
{
    for (int i = 0; i < FParams.size(); ++i) {
        const QString &entry = FParams.at(i);
        const qsizetype eq = entry.indexOf(u'=');
        const QStringView name = eq < 0 ? QStringView(entry) : QStringView(entry).first(eq);
        if (name.compare(wsName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TVLang_CompTranslations::ParamValue(const QString &wsName) const
{
    const int i = IndexOfParam(wsName);
    if (i < 0)
        return {};
    const QString &entry = FParams.at(i);
    const qsizetype eq = entry.indexOf(u'=');
    return eq < 0 ? QString() : entry.mid(eq + 1);
}

void TVLang_CompTranslations::SetParamValue(const QString &wsName, const QString &wsValue)
{
    const int i = IndexOfParam(wsName);
    if (wsValue.isEmpty()) {
        if (i >= 0)
            FParams.removeAt(i);
        return;
    }
    const QString entry = wsName + u'=' + wsValue;
    if (i >= 0)
        FParams[i] = entry;
    else
        FParams.append(entry);
}

TVLang_CompTranslation &TVLang_CompTranslations::AddComponent(const QString &wsComponentName)
{
    FItems.push_back(std::make_unique<TVLang_CompTranslation>(wsComponentName));
    return *FItems.back();
}

void TVLang_CompTranslations::Clear()
{
    FItems.clear();
    FParams.clear();
    FConstants.Clear();
}

int TVLang_CompTranslations::IndexOfComponentName(const QString &wsComponentName) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (TCaseInsensitiveComparer::Equals(FItems[i]->ComponentName(), wsComponentName))
            return int(i);
    return -1;
}

const TVLang_CompTranslation *TVLang_CompTranslations::FindComponentName(const QString &wsComponentName) const
{
    int i = IndexOfComponentName(wsComponentName);
    if (i < 0) {
        // A frame placed several times is named "Frame_1", "Frame_2", ...;
        // all of them share the section of "Frame".
        const qsizetype underscore = wsComponentName.lastIndexOf(u'_');
        if (underscore < 0)
            return nullptr;
        for (qsizetype k = underscore + 1; k < wsComponentName.size(); ++k)
            if (!wsComponentName.at(k).isDigit())
                return nullptr;
        i = IndexOfComponentName(wsComponentName.first(underscore));
    }
    return i < 0 ? nullptr : FItems[std::size_t(i)].get();
}

TVLang_CompTranslation *TVLang_CompTranslations::FindComponentName(const QString &wsComponentName)
{
    return const_cast<TVLang_CompTranslation *>(std::as_const(*this).FindComponentName(wsComponentName));
}

namespace {

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// A whole signed 32-bit number: optional sign, decimal digits, or hexadecimal
// digits after "$", "x" or "0x". Anything else, and a decimal number out of
// range, reads as 0. Hexadecimal keeps 32 bits, so "$FFFFFFFF" is -1.
qint32 ParseID(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return 0;
    quint64 value = 0;
    if (base == 10) {
        // What files hold ("%.8d"), without the general digit's branches.
        for (; i < text.size(); ++i) {
            const unsigned digit = unsigned(text[i].unicode()) - u'0';
            if (digit > 9)
                return 0;
            value = value * 10u + digit;
            if (value > 0xFFFFFFFFull)
                return 0;
        }
    }
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text[i].unicode());
        if (digit < 0 || digit >= base)
            return 0;
        value = value * quint64(base) + quint64(digit);
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    if (base == 16) {
        const quint32 bits = negative ? quint32(0u - quint32(value)) : quint32(value);
        return qint32(bits);
    }
    const quint64 limit = negative ? quint64(std::numeric_limits<qint32>::max()) + 1u
                                   : quint64(std::numeric_limits<qint32>::max());
    if (value > limit)
        return 0;
    return negative ? qint32(-qint64(value)) : qint32(value);
}

// The header's "name=value" lines as SetParamValue keeps them (a name met
// again, compared without case, replaces its line where it stands; an empty
// value removes it), with an index of the names instead of a search of the
// lines read so far for every new one.
class HeaderParams
{
public:
    void Set(QStringView name, QStringView value)
    {
        const QString key = Folded(name);
        const auto it = FIndex.constFind(key);
        if (value.isEmpty()) {
            if (it != FIndex.cend()) {
                FEntries[*it].clear();
                FIndex.erase(it);
            }
            return;
        }
        QString entry = name.toString() + u'=' + value.toString();
        if (it != FIndex.cend()) {
            FEntries[*it] = std::move(entry);
        } else {
            FIndex.insert(key, FEntries.size());
            FEntries.push_back(std::move(entry));
        }
    }

    QStringList Entries() const
    {
        QStringList out;
        for (const QString &entry : FEntries)
            if (!entry.isEmpty())
                out.append(entry);
        return out;
    }

private:
    // Equal exactly when the names compare equal with Qt::CaseInsensitive,
    // which folds every code point on its own.
    static QString Folded(QStringView name)
    {
        QString key;
        key.reserve(name.size());
        for (qsizetype i = 0; i < name.size(); ++i) {
            char32_t cp = name[i].unicode();
            if (QChar::isHighSurrogate(cp) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
                cp = QChar::surrogateToUcs4(name[i], name[i + 1]);
                ++i;
            }
            cp = QChar::toCaseFolded(cp);
            if (QChar::requiresSurrogates(cp)) {
                key += QChar(QChar::highSurrogate(cp));
                key += QChar(QChar::lowSurrogate(cp));
            } else {
                key += QChar(char16_t(cp));
            }
        }
        return key;
    }

    std::vector<QString> FEntries; // empty where a line was removed
    QHash<QString, std::size_t> FIndex;
};

bool IsConstantsSection(QStringView name)
{
    return TCaseInsensitiveComparer::Equals(name, u"$CONSTANTS");
}

} // namespace

void TVLang_CompTranslations::Text_LoadFromStream(QIODevice &Stream, bool bParamsOnly)
{
    // A stream always holds exactly one file from its start.
    if (!Stream.isSequential())
        Stream.seek(0);
    const QByteArray bytes = Stream.readAll();
    Text_LoadFromBytes(bytes, bParamsOnly);
}

void TVLang_CompTranslations::Text_LoadFromBytes(QByteArrayView bytes, bool bParamsOnly)
{
    Clear();
    // The values and the constants' names are parts of the decoded text, each
    // unescaped where it lies: one block for all of them instead of one
    // string each. A line is done with before the next is looked at, so the
    // text behind a line is still as decoded.
    TextDecoding::SharedText text(TextDecoding::DecodeText(bytes));
    QChar *const data = text.Data();
    const qsizetype size = text.Size();

    enum class State { Params, Constants, Component } state = State::Params;
    TVLang_CompTranslation *current = nullptr;
    int lineIndex = -1;
    // The header ends at the first section, at the end of the text, or at an
    // error (what was read before it stays).
    HeaderParams header;
    bool headerDone = false;
    const auto finishHeader = [&] {
        if (!headerDone)
            FParams = header.Entries();
        headerDone = true;
    };

    // One line without its break. False ends the reading.
    const auto readLine = [&](qsizetype lineStart, const TextDecoding::LineScan &scan) {
        const QStringView line = TrimControl(QStringView(data + lineStart, data + scan.End));
        if (line.isEmpty() || line.front() == u';')
            return true;
        if (line.front() == u'[') {
            finishHeader();
            if (bParamsOnly)
                return false;
            if (line.size() <= 2 || line.back() != u']')
                return true;
            const QStringView name = TrimControl(line.sliced(1, line.size() - 2));
            // "[ ]" names nothing, like "[]": the line is skipped rather
            // than opening a section that could never be written back.
            if (name.isEmpty())
                return true;
            if (IsConstantsSection(name)) {
                state = State::Constants;
            } else {
                const QString componentName = name.toString();
                state = State::Component;
                current = FindComponentName(componentName);
                if (!current)
                    current = &AddComponent(componentName);
            }
            return true;
        }
        // Trimming took only codes up to 32 off: the line's first "=" is the
        // first of what is left, and none lies behind it.
        const qsizetype eq = scan.Equals - (line.data() - data);
        if (eq >= line.size())
            return true;
        const QStringView name = TrimControl(line.first(eq));
        if (name.isEmpty())
            return true;
        const QStringView value = TrimControl(line.sliced(eq + 1));
        const qsizetype valuePos = value.data() - data;
        // Unescapes the value where it lies and answers its new length. A
        // backslash after the value's end cannot be: only codes up to 32
        // follow it in the line.
        const auto unescapeValue = [&] {
            const qsizetype first = scan.Backslash >= valuePos
                ? scan.Backslash - valuePos
                : TextDecoding::FindBackslash(value.data(), 0, value.size());
            return first >= value.size() ? value.size()
                                         : UnescapeValueInPlace(data + valuePos, value.size(), first);
        };
        switch (state) {
        case State::Params:
            header.Set(name, value);
            break;
        case State::Constants: {
            const qsizetype length = unescapeValue();
            QString wsName = text.Part(name.data() - data, name.size());
            FConstants.Add(wsName, text.Part(valuePos, length));
            break;
        }
        case State::Component:
            if (const qint32 id = ParseID(name); id > 0)
                current->Add(id, text.Part(valuePos, unescapeValue()));
            break;
        }
        return true;
    };

    qsizetype start = 0;
    while (start < size) {
        // CR LF, a lone LF and a lone CR each end a line.
        const TextDecoding::LineScan scan = TextDecoding::ScanLine(data, start, size);
        const qsizetype end = scan.End;
        qsizetype next = end + 1;
        if (end < size && data[end].unicode() == u'\r' && next < size && data[next].unicode() == u'\n')
            ++next;
        ++lineIndex;
        try {
            if (!readLine(start, scan))
                return;
        } catch (const Exception &e) {
            finishHeader();
            throw EVLangError::CreateFmt(VLangMessages::LoadingTranslationsFailed,
                                         {QString::number(lineIndex), e.Message()});
        } catch (const std::exception &e) {
            finishHeader();
            throw EVLangError::CreateFmt(VLangMessages::LoadingTranslationsFailed,
                                         {QString::number(lineIndex), QString::fromLocal8Bit(e.what())});
        }
        start = next;
    }
    finishHeader();
}

void TVLang_CompTranslations::Text_LoadFromFile(const QString &wsFileName, bool bParamsOnly)
{
    // Qt's resources are the program's own; any other file may be anything a
    // user or another program put there (a FIFO, a link to a device, a file
    // without end), so it is read by the bounded reader.
    if (wsFileName.startsWith(u':')) {
        QFile file(wsFileName);
        if (!file.open(QIODevice::ReadOnly)) {
            throw EFOpenError(FormatMessage("Cannot open file \"%s\". %s", {wsFileName, file.errorString()}));
        }
        Text_LoadFromStream(file, bParamsOnly);
        return;
    }
    const platform::BoundedRead read = platform::ReadBoundedFile(wsFileName.toStdString(),
                                                                 std::size_t(MaxFileSize));
    if (!read.Ok()) {
        const QString fullName = QDir::toNativeSeparators(QFileInfo(wsFileName).absoluteFilePath());
        throw EFOpenError(
            FormatMessage("Cannot open file \"%s\". %s", {fullName, QString::fromStdString(read.Reason)}));
    }
    Text_LoadFromBytes(QByteArrayView(read.Bytes.data(), qsizetype(read.Bytes.size())), bParamsOnly);
}

void TVLang_CompTranslations::Text_LoadFromResource(const QString &Instance, const QString &wsResName,
                                                    bool bParamsOnly)
{
    QFile resource(Instance + u'/' + wsResName);
    if (!resource.open(QIODevice::ReadOnly))
        throw EResNotFound(FormatMessage("Resource %s not found", {wsResName}));
    Text_LoadFromStream(resource, bParamsOnly);
}

void TVLang_CompTranslations::Text_LoadFromResource(const QString &Instance, int iResID, bool bParamsOnly)
{
    Text_LoadFromResource(Instance, QString::number(iResID), bParamsOnly);
}

void TVLang_CompTranslations::Text_SaveToStream(QIODevice &Stream, bool bUnicode, bool bSkipUntranslated) const
{
    const auto skipped = [bSkipUntranslated](TVLang_TranslationStates states) {
        return bSkipUntranslated && states.Contains(TVLang_TranslationState::vltsUntranslated);
    };
    QString text;
    const auto putTextLine = [&text](QStringView line) {
        text += line;
        text += u"\r\n";
    };

    for (const QString &param : FParams)
        putTextLine(param);
    if (!FParams.isEmpty())
        putTextLine({});

    for (const auto &component : FItems) {
        putTextLine(u'[' + component->ComponentName() + u']');
        for (int i = 0; i < component->Count(); ++i) {
            const TVLang_PropValueTranslation &record = component->Items(i);
            if (skipped(record.TranStates))
                continue;
            putTextLine(QString::asprintf("%.8d=", int(record.iID)) + EscapeValue(record.wsValue));
        }
        putTextLine({});
    }

    putTextLine(u"[$CONSTANTS]");
    for (int i = 0; i < FConstants.Count(); ++i) {
        const TVLang_Constant &constant = FConstants.Items(i);
        if (!skipped(constant.TranStates))
            putTextLine(constant.wsName + u'=' + EscapeValue(constant.wsValue));
    }

    QByteArray bytes;
    if (bUnicode) {
        // The code units as they are, little-endian, after the mark FF FE.
        bytes.resize(2 + text.size() * 2);
        bytes[0] = char(0xFF);
        bytes[1] = char(0xFE);
        qToLittleEndian<quint16>(text.utf16(), text.size(), bytes.data() + 2);
    } else {
        // Text that itself starts with U+FEFF would read as a mark; a real
        // mark in front keeps that character.
        if (text.startsWith(QChar(0xFEFF)))
            bytes = "\xEF\xBB\xBF";
        bytes += text.toUtf8();
    }
    if (Stream.write(bytes) != bytes.size())
        throw EWriteError();
}

void TVLang_CompTranslations::Text_SaveToFile(const QString &wsFileName, bool bUnicode,
                                              bool bSkipUntranslated) const
{
    QFile file(wsFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString fullName = QDir::toNativeSeparators(QFileInfo(wsFileName).absoluteFilePath());
        throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {fullName, file.errorString()}));
    }
    Text_SaveToStream(file, bUnicode, bSkipUntranslated);
}
