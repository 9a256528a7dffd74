// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The drives the user chose not to see, kept in the settings file in a
// section of their own, one key per drive name ("/media/stick=True",
// "E:=True"), so that section CONFIG stays as older versions read it.
// Key names match without regard to letter case, as every key of the file.
class THiddenDrives
{
public:
    THiddenDrives() = delete;

    static QString SectionName() { return QStringLiteral("OCULTAS"); }
    // At most this many names are read: a hand-made file with more is cut.
    static constexpr int MaxNames = 4096;

    // The names whose value reads as true, in the order of the file. A
    // missing or unreadable file gives none.
    static QStringList Read(const QString &AIniFilePath);
    // The section then holds exactly ANames (none: the section goes); names
    // that cannot be a key of the file are left out and returned in
    // ALeftOut. Raises Exception like TConfig::SaveOptionValues.
    static void Write(const QString &AIniFilePath, const QStringList &ANames, QStringList *ALeftOut = nullptr);
    // True when AName can be written as a key and read back as it is.
    static bool Storable(const QString &AName);
};
