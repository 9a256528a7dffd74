// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Start with the user's session (platform::SetSessionStart). Class-level
// operations only.
//
// Windows: a string value under the Run key of HKEY_CURRENT_USER
// (Software\Microsoft\Windows\CurrentVersion\Run) named after the program
// file (without folder and extension) whose data is the program's full path, in double quotes when it
// holds a blank (unquoted, the system could run C:\Program.exe for
// C:\Program Files\...).
// Linux: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<name>.desktop
// (~/.config when the variable is unset or relative), written atomically.
class TRegistryApp
{
public:
    TRegistryApp() = delete;

    // True adds or replaces the entry, false removes it. Nothing happens when
    // no file exists at ProgramFileName(). Raises Exception("Failed to set data
    // for '<name>'") when the entry cannot be written; removing an entry that
    // does not exist is no error.
    static void ExecuteOnIni(bool ExecOnInit);

    // An existing entry that starts a program no longer on disk (a build
    // folder since deleted, an older installation) is made to start
    // ProgramFileName() instead; an entry that starts a program that is
    // there, one that names its program without a folder, or none at all is
    // left as it is. True when the entry was rewritten; a failed rewrite is
    // logged, not raised.
    static bool RenewStaleEntry();

    // The program file the entry starts: the one set by SetProgramFileName, or
    // QCoreApplication::applicationFilePath() when none is set.
    static QString ProgramFileName();
    // An empty name goes back to the running program.
    static void SetProgramFileName(const QString &AFileName);

    // AFileName without its folder and without the text from the last "." on.
    // A name that would be left empty (".velmora") stays whole.
    static QString EntryName(const QString &AFileName);

    // Where the entry for AFileName lives: the autostart file's path on
    // Linux, the registry value's full name on Windows.
    static QString EntryLocation(const QString &AFileName);
};
