// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The drives the user chose not to see, kept in the settings file in a
// section of their own so that section CONFIG stays as older versions read
// it. A name that can be a key of the file stands as one, plainly:
//
//   [OCULTAS]
//   /media/stick=True
//   E:=True
//
// Keys match without regard to letter case and cannot hold every text, so a
// name that would meet an earlier key in another letter case (/x/CASE after
// /x/case), or that no key can hold ("=", a line break, a leading "[", ";",
// "#" or blank, a trailing blank), is written under a numbered key of its
// own, "~1", "~2", ..., as "%" and its UTF-8 bytes with every control
// character, blank, "%" and double quote as %XX:
//
//   ~1=%/x/CASE
//   ~2=%/mnt/a%3Db
//
// (An older version reads such a value as no hidden drive, and skips it.)
class THiddenDrives
{
public:
    THiddenDrives() = delete;

    static QString SectionName() { return QStringLiteral("OCULTAS"); }
    // At most this many names are read or written.
    static constexpr int MaxNames = 4096;
    // The written section stays below this many bytes, so that however many
    // drives are hidden the settings file stays far below the size its
    // reader accepts (TConfig::MaxFileSize).
    static constexpr int MaxSectionBytes = 256 * 1024;

    // The names hidden, each once (compared exactly), in the order of the
    // file. A missing or unreadable file gives none.
    static QStringList Read(const QString &AIniFilePath);
    // The section then holds exactly ANames (none: the section goes), each
    // once. Names past MaxNames or past MaxSectionBytes, and names too long
    // for a value of the file, are left out and returned in ALeftOut. Only a
    // file that exists is written: whether it exists tells the next start
    // that the widget has been set up, which hiding a drive must not change.
    // Returns false when there was no file to write into. Raises Exception
    // like TConfig::SaveOptionValues.
    static bool Write(const QString &AIniFilePath, const QStringList &ANames, QStringList *ALeftOut = nullptr);
    // True when AName can stand as a key by itself and read back as it is.
    static bool Storable(const QString &AName);

    // The value of a numbered key for AName, and back; a value that is not
    // one gives a null string.
    static QString EncodedValue(const QString &AName);
    static QString DecodedValue(const QString &AValue);
};
