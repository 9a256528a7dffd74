// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDebug>
#include <QString>
#include <QStringList>

#include <utility>

// The widget's options: the seven values of section CONFIG, in the order a
// new file lists them. A default-constructed value holds the defaults the
// settings table gives for reading a key that is missing or unreadable, except
// Top, Left and Intervalo, whose defaults are the window's current values
// (ReadDefaults).
struct TConfigValues
{
    qint32 Top = 0;
    qint32 Left = 0;
    qint32 Intervalo = 15;
    qint32 Opacidad = 153;
    bool EjecutarInicio = true;
    bool VerDiscosRed = true;
    // The language index: 0 Spanish, 1 English, 2 and up the translations
    // found in the user's folder; -1 lets the user's locale decide. An index
    // that names no language is the caller's to handle.
    qint32 Idioma = -1;

    // The defaults in force when the file is read by a window standing at
    // (ALeft, ATop) with the refresh interval AIntervalo.
    static TConfigValues ReadDefaults(qint32 ATop, qint32 ALeft, qint32 AIntervalo);

    bool operator==(const TConfigValues &) const = default;
};

// "Top=120 Left=1560 ..." in the order of the file, for the log.
QDebug operator<<(QDebug ADebug, const TConfigValues &AValues);

// The per-user settings file, an INI text file. Class-level operations only:
// every call opens the file, does its work and closes it; nothing is cached.
//
// Reading: section and key names match regardless of letter case, blanks
// around names and values are ignored and a value in double quotes loses
// them, as with the Windows profile functions. A file that cannot be read
// (unreadable, larger than MaxFileSize, not valid UTF-8/UTF-16 text, or
// holding NUL characters) reads as if it were missing, and LastWarning() says
// why.
//
// Writing: the whole file is rewritten atomically (see AtomicFile), keeping
// every other section and key; a new file is UTF-8 without a byte order mark
// and lists its keys in the order written. A file that could not be read is
// never overwritten: it is first renamed to <name>.bad, and LastWarning()
// tells where it went. A failed write raises Exception("Unable to write to
// <path>") and leaves the old file as it was.
class TConfig
{
public:
    TConfig() = delete;

    static constexpr qint64 MaxFileSize = 1024 * 1024;
    // A returned value holds at most this many characters (the Windows read
    // buffer of 2048 characters minus the terminating zero).
    static constexpr int MaxValueLength = 2047;

    static QString SectionName() { return QStringLiteral("CONFIG"); }

    // Windows: the roaming application-data folder. Elsewhere: $XDG_CONFIG_HOME
    // when it is set to an absolute path, else ~/.config. Creates nothing.
    static QString UserConfigFolder();
    // <UserConfigFolder>/Brindlewick/Velmora/config.ini. Creates nothing.
    static QString ConfigFileName();
    static QString FileName() { return ConfigFileName(); }
    // True exactly when a file (not a folder) exists at ConfigFileName().
    static bool Exists();

    // The value of AName in section ASectionName, or ADefault when the file,
    // the section or the key is missing (or the file cannot be read).
    static QString RestoreOptionValue(const QString &AIniFilePath, const QString &ASectionName,
                                      const QString &AName, const QString &ADefault);
    // The text overload, then converted with StrToIntDef(text, ADefault).
    static qint32 RestoreOptionValue(const QString &AIniFilePath, const QString &ASectionName,
                                     const QString &AName, qint32 ADefault);
    // Writes AValue[i] under AName[i] in ASectionName, creating the file and
    // its missing folders, in one atomic replacement. Existing keys are
    // overwritten in place, other keys and sections stay. Raises Exception
    // ("Unable to write to %s") when the lists differ in length, a name or
    // value could not be read back as written (line breaks, NUL, '=' or a
    // leading '[' ';' '#' in a key, ']' in a section name), the file would
    // grow past MaxFileSize, or the file cannot be written; nothing is
    // changed then.
    static void SaveOptionValues(const QString &AIniFilePath, const QString &ASectionName,
                                 const QStringList &AName, const QStringList &AValue);

    // Every key of ASectionName with its value, in the order of the file;
    // empty when the file or the section is missing or cannot be read.
    static QList<std::pair<QString, QString>> ReadSection(const QString &AIniFilePath,
                                                          const QString &ASectionName);
    // Like SaveOptionValues, but the section then holds exactly these keys:
    // those it had and are not named go (with no names, the section goes).
    static void ReplaceSection(const QString &AIniFilePath, const QString &ASectionName, const QStringList &AName,
                               const QStringList &AValue);

    // All seven options of section CONFIG from one read of the file, in the
    // order Top, Left, Intervalo, Opacidad, EjecutarInicio, VerDiscosRed,
    // Idioma; a missing or unconvertible value keeps its member of ADefaults.
    static TConfigValues ReadValues(const TConfigValues &ADefaults);
    static TConfigValues ReadValues(const QString &AIniFilePath, const TConfigValues &ADefaults);
    // All seven options in one atomic write (the same rules as SaveOptionValues).
    static void WriteValues(const TConfigValues &AValues);
    static void WriteValues(const QString &AIniFilePath, const TConfigValues &AValues);

    // The same on the contents of a file, without touching any file: what the
    // readers and writers above do between reading and writing the bytes.
    // ParseValues gives ADefaults (and the reason in AError) for contents that
    // are no usable settings file; WriteValuesTo then returns false and leaves
    // AContents as it was. Empty contents are an empty file.
    static TConfigValues ParseValues(const QByteArray &AContents, const TConfigValues &ADefaults,
                                     QString *AError = nullptr);
    static bool WriteValuesTo(QByteArray &AContents, const TConfigValues &AValues, QString *AError = nullptr);

    // Integer text: leading blanks, then an optional sign, then decimal
    // digits or hexadecimal digits after "$" or "0x"; nothing after them.
    // Decimal must fit a signed 32-bit integer; hexadecimal may use all 32
    // bits ($FFFFFFFF is -1). Anything else gives ADefault.
    static qint32 StrToIntDef(const QString &AText, qint32 ADefault);
    // Booleans are read with vcl::StrToBoolDef.
    // "True" or "False".
    static QString BoolToStr(bool AValue);

    // What went wrong, in a sentence for the user, during the last operation
    // of this class that did not raise: empty when nothing did. Set when a
    // file could not be read (its defaults were used) or was moved aside.
    static QString LastWarning();

private:
    static void SaveSection(const QString &AIniFilePath, const QString &ASectionName, const QStringList &AName,
                            const QStringList &AValue, bool AReplace);
};
