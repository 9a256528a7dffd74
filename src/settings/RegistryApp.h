// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Start with the user's session. Class-level operations only.
//
// Windows: a string value under the Run key of HKEY_CURRENT_USER
// (Software\Microsoft\Windows\CurrentVersion\Run) named after the program
// file (without folder and extension) whose data is the program's full path, in double quotes when it
// holds a blank (unquoted, the system could run C:\Program.exe for
// C:\Program Files\...).
// Elsewhere: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<name>.desktop
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

    // The program file the entry starts: the one set by SetProgramFileName, or
    // QCoreApplication::applicationFilePath() when none is set.
    static QString ProgramFileName();
    // An empty name goes back to the running program.
    static void SetProgramFileName(const QString &AFileName);

    // AFileName without its folder and without the text from the last "." on.
    // A name that would be left empty (".velmora") stays whole.
    static QString EntryName(const QString &AFileName);

    // The autostart entry's path for AFileName (not on Windows).
    static QString AutostartFileName(const QString &AFileName);
    // The program path as one argument of an Exec line: quoted when it holds
    // a reserved character, "%" doubled, then escaped as a desktop-entry
    // string value.
    static QString DesktopExecArgument(const QString &AFileName);
    // The whole text of the autostart entry for AFileName.
    static QString DesktopEntryText(const QString &AFileName);
};
