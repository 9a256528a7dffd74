// SPDX-License-Identifier: MIT
#include "settings/Config.h"

#include "settings/AtomicFile.h"
#include "vcl/Conversions.h"
#include "vcl/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "platform/BoundedFile.h"
#include "platform/Folders.h"

// Only the char interface with case-insensitive names is used, and every
// conversion to and from UTF-16 goes through Qt, so SimpleIni needs none.
// Debian's header keeps the template bodies behind SI_IMPLEMENTATION (its
// shared library instantiates them); this is the one unit that includes it,
// so the bodies are compiled here and no library is linked.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

Q_LOGGING_CATEGORY(lcSettings, "velmora.settings")

namespace {

// How the file on disk is encoded. A new file is Utf8 (no byte order mark):
// with the ASCII the program writes that is byte for byte what the Windows
// profile writer creates, and GetPrivateProfileStringW reads it as it reads
// its own files. A file found in another encoding is written back in it, so a
// UTF-16 file edited on Windows stays UTF-16.
enum class TextEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Ansi };

enum class LoadResult { Missing, Loaded, Unreadable, Unparsable };

struct IniFile
{
    // UTF-8 data, one value per key (a repeated key keeps its last value),
    // no multi-line values.
    CSimpleIniA Ini{true, false, false};
    TextEncoding Encoding = TextEncoding::Utf8;

    IniFile()
    {
        Ini.SetSpaces(false);
        // Like the Windows reader, a value in double quotes loses them; a value
        // with outer blanks is written in quotes so it reads back whole.
        Ini.SetQuotes(true);
    }
};

thread_local QString gLastWarning;

std::string AsUtf8(const QString &AText)
{
    return AText.toUtf8().toStdString();
}

QString NativePath(const QString &APath)
{
    return QDir::toNativeSeparators(APath);
}

QString JoinPath(QString AFolder, const QString &AName)
{
    const QChar separator = QLatin1Char(platform::PathSeparator());
    if (!AFolder.endsWith(separator))
        AFolder += separator;
    return AFolder + AName;
}

// Strict decoding: false when the bytes are not text in the encoding found.
bool Decode(const QByteArray &ABytes, QString &AText, TextEncoding &AEncoding, QString &AReason)
{
    QByteArrayView body(ABytes);
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    AEncoding = TextEncoding::Utf8;
    if (body.startsWith("\xFF\xFE")) {
        encoding = QStringConverter::Utf16LE;
        AEncoding = TextEncoding::Utf16LE;
        body = body.sliced(2);
    } else if (body.startsWith("\xFE\xFF")) {
        encoding = QStringConverter::Utf16BE;
        AEncoding = TextEncoding::Utf16BE;
        body = body.sliced(2);
    } else if (body.startsWith("\xEF\xBB\xBF")) {
        AEncoding = TextEncoding::Utf8Bom;
        body = body.sliced(3);
    }
    if (encoding != QStringConverter::Utf8 && body.size() % 2 != 0) {
        AReason = QStringLiteral("it is not valid UTF-16 text");
        return false;
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    AText = decoder.decode(body);
    if (decoder.hasError()) {
        // Files written by the Windows profile functions without a byte
        // order mark are in the ANSI code page. (Where the system encoding is
        // UTF-8, as Qt has it on Linux, this second try fails the same way.)
        if (AEncoding == TextEncoding::Utf8) {
            QStringDecoder ansi(QStringConverter::System);
            AText = ansi.decode(body);
            if (!ansi.hasError()) {
                AEncoding = TextEncoding::Ansi;
                return true;
            }
        }
        AReason = encoding == QStringConverter::Utf8 ? QStringLiteral("it is not valid UTF-8 text")
                                                     : QStringLiteral("it is not valid UTF-16 text");
        return false;
    }
    if (AText.contains(QChar(u'\0'))) {
        AReason = QStringLiteral("it holds binary data");
        return false;
    }
    return true;
}

QByteArray Encode(const QString &AText, TextEncoding AEncoding)
{
    switch (AEncoding) {
    case TextEncoding::Utf8:
        return AText.toUtf8();
    case TextEncoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + AText.toUtf8();
    case TextEncoding::Utf16LE: {
        QStringEncoder encoder(QStringConverter::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(encoder.encode(AText));
    }
    case TextEncoding::Utf16BE: {
        QStringEncoder encoder(QStringConverter::Utf16BE);
        return QByteArray("\xFE\xFF") + QByteArray(encoder.encode(AText));
    }
    case TextEncoding::Ansi: {
        QStringEncoder encoder(QStringConverter::System);
        return encoder.encode(AText);
    }
    }
    return AText.toUtf8();
}

// Pure: the bytes of a settings file into AFile. False, with the reason, when
// they are not a settings file this program can use.
bool Parse(const QByteArray &ABytes, IniFile &AFile, QString &AReason)
{
    if (ABytes.size() > TConfig::MaxFileSize) {
        AReason = QStringLiteral("it is larger than %1 bytes").arg(TConfig::MaxFileSize);
        return false;
    }
    QString text;
    if (!Decode(ABytes, text, AFile.Encoding, AReason))
        return false;
    const QByteArray utf8 = text.toUtf8();
    if (AFile.Ini.LoadData(utf8.constData(), size_t(utf8.size())) < 0) {
        AReason = QStringLiteral("it could not be parsed");
        return false;
    }
    return true;
}

LoadResult Load(const QString &APath, IniFile &AFile, QString &AReason)
{
    // The bounded reader refuses what is no regular file (a FIFO or a device
    // would block or never end) and counts the bytes it really read.
    platform::BoundedRead read = platform::ReadBoundedFile(APath.toStdString(), size_t(TConfig::MaxFileSize));
    switch (read.Result) {
    case platform::BoundedRead::Status::Missing:
        return LoadResult::Missing;
    case platform::BoundedRead::Status::Ok:
        break;
    case platform::BoundedRead::Status::TooLarge:
        AReason = QString::fromStdString(read.Reason);
        return LoadResult::Unparsable;
    default:
        AReason = QString::fromStdString(read.Reason);
        return LoadResult::Unreadable;
    }
    const QByteArray bytes(read.Bytes.data(), qsizetype(read.Bytes.size()));
    return Parse(bytes, AFile, AReason) ? LoadResult::Loaded : LoadResult::Unparsable;
}

// Pure: sets the pairs (already checked) in AFile and renders the file in its
// own encoding. False only when memory runs out.
bool Render(IniFile &AFile, const QString &ASectionName, const QStringList &AName, const QStringList &AValue,
            QByteArray &ABytes)
{
    const std::string section = AsUtf8(ASectionName);
    for (qsizetype i = 0; i < AName.size(); ++i) {
        if (AFile.Ini.SetValue(section.c_str(), AsUtf8(AName[i]).c_str(), AsUtf8(AValue[i]).c_str()) < 0)
            return false;
    }
    std::string text;
    if (AFile.Ini.Save(text) < 0)
        return false;
    ABytes = Encode(QString::fromStdString(text), AFile.Encoding);
    return true;
}

// Loads APath for reading; false (with LastWarning set when the file exists
// but cannot be used) means every value takes its default.
bool LoadForReading(const QString &APath, IniFile &AFile)
{
    gLastWarning.clear();
    QString reason;
    switch (Load(APath, AFile, reason)) {
    case LoadResult::Loaded:
        return true;
    case LoadResult::Missing:
        return false;
    case LoadResult::Unreadable:
    case LoadResult::Unparsable:
        break;
    }
    gLastWarning =
        QStringLiteral("Unable to read %1: %2. The default settings are used.").arg(NativePath(APath), reason);
    qCWarning(lcSettings).noquote() << gLastWarning;
    return false;
}

QString Lookup(const IniFile &AFile, const QString &ASectionName, const QString &AName, const QString &ADefault)
{
    const char *value = AFile.Ini.GetValue(ASectionName.toUtf8().constData(), AName.toUtf8().constData(), nullptr);
    if (!value)
        return ADefault;
    return QString::fromUtf8(value).left(TConfig::MaxValueLength);
}

// The settings table: each key of section CONFIG and the member it holds, in
// the order a new file lists them. Reading, writing and the log all go
// through it.
struct TOptionKey
{
    const char *Name;
    qint32 TConfigValues::*Integer = nullptr; // one of the two is set
    bool TConfigValues::*Boolean = nullptr;
};

constexpr std::array<TOptionKey, 7> kOptionKeys{{
    {"Top", &TConfigValues::Top},
    {"Left", &TConfigValues::Left},
    {"Intervalo", &TConfigValues::Intervalo},
    {"Opacidad", &TConfigValues::Opacidad},
    {"EjecutarInicio", nullptr, &TConfigValues::EjecutarInicio},
    {"VerDiscosRed", nullptr, &TConfigValues::VerDiscosRed},
    {"Idioma", &TConfigValues::Idioma},
}};

QString OptionText(const TOptionKey &AKey, const TConfigValues &AValues)
{
    return AKey.Integer ? QString::number(AValues.*AKey.Integer) : TConfig::BoolToStr(AValues.*AKey.Boolean);
}

QStringList OptionNames()
{
    QStringList names;
    for (const TOptionKey &key : kOptionKeys)
        names << QString::fromLatin1(key.Name);
    return names;
}

QStringList OptionTexts(const TConfigValues &AValues)
{
    QStringList texts;
    for (const TOptionKey &key : kOptionKeys)
        texts << OptionText(key, AValues);
    return texts;
}

// The seven options in the order of the settings table; each missing or
// unconvertible value keeps its member of ADefaults.
TConfigValues ValuesOf(const IniFile &AFile, const TConfigValues &ADefaults)
{
    const QString section = TConfig::SectionName();
    TConfigValues values = ADefaults;
    for (const TOptionKey &key : kOptionKeys) {
        const QString text = Lookup(AFile, section, QString::fromLatin1(key.Name), OptionText(key, ADefaults));
        if (key.Integer)
            values.*key.Integer = TConfig::StrToIntDef(text, ADefaults.*key.Integer);
        else
            values.*key.Boolean = vcl::StrToBoolDef(text, ADefaults.*key.Boolean);
    }
    return values;
}

bool HasLineBreakOrNul(const QString &AText)
{
    return AText.contains(u'\n') || AText.contains(u'\r') || AText.contains(QChar(u'\0'));
}

bool IsBlank(QChar AChar)
{
    return AChar == u' ' || AChar == u'\t';
}

// Empty when AName/AValue would read back as written, else why not.
QString CheckPair(const QString &AName, const QString &AValue)
{
    if (AName.isEmpty() || HasLineBreakOrNul(AName) || AName.contains(u'=') || IsBlank(AName.front())
        || IsBlank(AName.back()) || AName.front() == u'[' || AName.front() == u';' || AName.front() == u'#')
        return QStringLiteral("the key name \"%1\" cannot be stored").arg(AName);
    if (HasLineBreakOrNul(AValue) || (AValue.size() >= 2 && AValue.front() == u'"' && AValue.back() == u'"'))
        return QStringLiteral("the value of \"%1\" cannot be stored").arg(AName);
    return {};
}

QString CheckSection(const QString &ASectionName)
{
    if (ASectionName.isEmpty() || HasLineBreakOrNul(ASectionName) || ASectionName.contains(u']')
        || IsBlank(ASectionName.front()) || IsBlank(ASectionName.back()))
        return QStringLiteral("the section name \"%1\" cannot be stored").arg(ASectionName);
    return {};
}

[[noreturn]] void WriteFailed(const QString &APath, const QString &AReason)
{
    qCWarning(lcSettings).noquote() << "Unable to write to" << NativePath(APath) << ":" << AReason;
    throw Exception(QStringLiteral("Unable to write to %1").arg(NativePath(APath)));
}

} // namespace

TConfigValues TConfigValues::ReadDefaults(qint32 ATop, qint32 ALeft, qint32 AIntervalo)
{
    TConfigValues defaults;
    defaults.Top = ATop;
    defaults.Left = ALeft;
    defaults.Intervalo = AIntervalo;
    return defaults;
}

QDebug operator<<(QDebug ADebug, const TConfigValues &AValues)
{
    QStringList pairs;
    for (const TOptionKey &key : kOptionKeys)
        pairs << QString::fromLatin1(key.Name) + QLatin1Char('=') + OptionText(key, AValues);
    const QDebugStateSaver saver(ADebug);
    ADebug.noquote().nospace() << pairs.join(QLatin1Char(' '));
    return ADebug;
}

QString TConfig::UserConfigFolder()
{
    // Windows: empty when the shell cannot tell. Linux: the XDG Base
    // Directory rule, a relative $XDG_CONFIG_HOME being invalid and ignored.
    return QString::fromStdString(platform::UserConfigFolder());
}

QString TConfig::ConfigFileName()
{
    QString path = JoinPath(UserConfigFolder(), QStringLiteral("Brindlewick"));
    path = JoinPath(path, QStringLiteral("Velmora"));
    return JoinPath(path, QStringLiteral("config.ini"));
}

bool TConfig::Exists()
{
    return QFileInfo(ConfigFileName()).isFile();
}

QString TConfig::RestoreOptionValue(const QString &AIniFilePath, const QString &ASectionName, const QString &AName,
                                    const QString &ADefault)
{
    IniFile file;
    if (!LoadForReading(AIniFilePath, file))
        return ADefault;
    return Lookup(file, ASectionName, AName, ADefault);
}

qint32 TConfig::RestoreOptionValue(const QString &AIniFilePath, const QString &ASectionName, const QString &AName,
                                   qint32 ADefault)
{
    return StrToIntDef(RestoreOptionValue(AIniFilePath, ASectionName, AName, QString::number(ADefault)), ADefault);
}

void TConfig::SaveOptionValues(const QString &AIniFilePath, const QString &ASectionName, const QStringList &AName,
                               const QStringList &AValue)
{
    SaveSection(AIniFilePath, ASectionName, AName, AValue, false);
}

void TConfig::ReplaceSection(const QString &AIniFilePath, const QString &ASectionName, const QStringList &AName,
                             const QStringList &AValue)
{
    SaveSection(AIniFilePath, ASectionName, AName, AValue, true);
}

QList<std::pair<QString, QString>> TConfig::ReadSection(const QString &AIniFilePath, const QString &ASectionName)
{
    QList<std::pair<QString, QString>> pairs;
    IniFile file;
    if (!LoadForReading(AIniFilePath, file))
        return pairs;
    const std::string section = AsUtf8(ASectionName);
    CSimpleIniA::TNamesDepend keys;
    file.Ini.GetAllKeys(section.c_str(), keys);
    keys.sort(CSimpleIniA::Entry::LoadOrder());
    for (const CSimpleIniA::Entry &key : keys) {
        const char *value = file.Ini.GetValue(section.c_str(), key.pItem, "");
        pairs.append({QString::fromUtf8(key.pItem), QString::fromUtf8(value).left(MaxValueLength)});
    }
    return pairs;
}

void TConfig::SaveSection(const QString &AIniFilePath, const QString &ASectionName, const QStringList &AName,
                          const QStringList &AValue, bool AReplace)
{
    gLastWarning.clear();
    if (AName.size() != AValue.size())
        WriteFailed(AIniFilePath, QStringLiteral("names and values differ in number"));
    if (const QString problem = CheckSection(ASectionName); !problem.isEmpty())
        WriteFailed(AIniFilePath, problem);
    for (qsizetype i = 0; i < AName.size(); ++i) {
        if (const QString problem = CheckPair(AName[i], AValue[i]); !problem.isEmpty())
            WriteFailed(AIniFilePath, problem);
    }

    // The outcome is not looked at: when the folder is missing, the write fails.
    QDir().mkpath(QFileInfo(AIniFilePath).absolutePath());

    auto file = std::make_unique<IniFile>();
    QString reason;
    QString warning;
    switch (Load(AIniFilePath, *file, reason)) {
    case LoadResult::Missing:
    case LoadResult::Loaded:
        break;
    case LoadResult::Unreadable:
        // Its contents are unknown: replacing it could destroy what we cannot see.
        WriteFailed(AIniFilePath, reason);
    case LoadResult::Unparsable: {
        // Keep the damaged file for the user instead of overwriting it.
        const QString keptAs = AIniFilePath + QStringLiteral(".bad");
        QFile::remove(keptAs);
        if (!QFile::rename(AIniFilePath, keptAs))
            WriteFailed(AIniFilePath,
                        QStringLiteral("%1, and it could not be renamed to %2").arg(reason, NativePath(keptAs)));
        warning = QStringLiteral("The settings file %1 could not be read (%2). It was kept as %3.")
                      .arg(NativePath(AIniFilePath), reason, NativePath(keptAs));
        file = std::make_unique<IniFile>();
        break;
    }
    }

    if (AReplace)
        file->Ini.Delete(AsUtf8(ASectionName).c_str(), nullptr);
    QByteArray bytes;
    if (!Render(*file, ASectionName, AName, AValue, bytes))
        WriteFailed(AIniFilePath, QStringLiteral("out of memory"));
    // A file the next start would refuse to read (and set aside with every
    // option) is never written.
    if (bytes.size() > MaxFileSize)
        WriteFailed(AIniFilePath, QStringLiteral("it would be larger than %1 bytes").arg(MaxFileSize));
    QString error;
    if (!AtomicFile::Write(AIniFilePath, bytes, &error))
        WriteFailed(AIniFilePath, error);
    if (!warning.isEmpty()) {
        qCWarning(lcSettings).noquote() << warning;
        gLastWarning = warning;
    }
}

TConfigValues TConfig::ReadValues(const TConfigValues &ADefaults)
{
    return ReadValues(ConfigFileName(), ADefaults);
}

TConfigValues TConfig::ReadValues(const QString &AIniFilePath, const TConfigValues &ADefaults)
{
    IniFile file;
    if (!LoadForReading(AIniFilePath, file))
        return ADefaults;
    return ValuesOf(file, ADefaults);
}

TConfigValues TConfig::ParseValues(const QByteArray &AContents, const TConfigValues &ADefaults, QString *AError)
{
    IniFile file;
    QString reason;
    if (!Parse(AContents, file, reason)) {
        if (AError)
            *AError = reason;
        return ADefaults;
    }
    if (AError)
        AError->clear();
    return ValuesOf(file, ADefaults);
}

bool TConfig::WriteValuesTo(QByteArray &AContents, const TConfigValues &AValues, QString *AError)
{
    IniFile file;
    QString reason;
    if (!Parse(AContents, file, reason)) {
        if (AError)
            *AError = reason;
        return false;
    }
    QByteArray bytes;
    if (!Render(file, SectionName(), OptionNames(), OptionTexts(AValues), bytes)) {
        if (AError)
            *AError = QStringLiteral("out of memory");
        return false;
    }
    AContents = bytes;
    if (AError)
        AError->clear();
    return true;
}

void TConfig::WriteValues(const TConfigValues &AValues)
{
    WriteValues(ConfigFileName(), AValues);
}

void TConfig::WriteValues(const QString &AIniFilePath, const TConfigValues &AValues)
{
    SaveOptionValues(AIniFilePath, SectionName(), OptionNames(), OptionTexts(AValues));
}

qint32 TConfig::StrToIntDef(const QString &AText, qint32 ADefault)
{
    qsizetype i = 0;
    const qsizetype n = AText.size();
    while (i < n && IsBlank(AText[i]))
        ++i;
    bool negative = false;
    if (i < n && (AText[i] == u'-' || AText[i] == u'+')) {
        negative = AText[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < n && AText[i] == u'$') {
        hex = true;
        ++i;
    } else if (i + 1 < n && AText[i] == u'0' && (AText[i + 1] == u'x' || AText[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == n)
        return ADefault;
    // Accumulated in 64 bits; any value past 32 bits is rejected at once, so
    // this never overflows however long the text is.
    quint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = AText[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return ADefault;
        magnitude = magnitude * (hex ? 16 : 10) + quint64(digit);
        if (magnitude > 0xFFFFFFFFull)
            return ADefault;
    }
    if (hex) {
        // Hexadecimal gives the 32-bit pattern: $FFFFFFFF is -1.
        const auto pattern = qint32(quint32(magnitude));
        return negative ? qint32(0u - quint32(pattern)) : pattern;
    }
    if (negative) {
        if (magnitude > 0x80000000ull)
            return ADefault;
        return qint32(-qint64(magnitude));
    }
    if (magnitude > 0x7FFFFFFFull)
        return ADefault;
    return qint32(magnitude);
}

QString TConfig::BoolToStr(bool AValue)
{
    return AValue ? QStringLiteral("True") : QStringLiteral("False");
}

QString TConfig::LastWarning()
{
    return gLastWarning;
}
