// SPDX-License-Identifier: MIT
#include "settings/RegistryApp.h"

#include "settings/AtomicFile.h"
#include "settings/Config.h"
#include "vcl/Exception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#ifdef _WIN32
#include "platform/win/WinRunKey.h"
#endif

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace {

QString gProgramFileName;

QString SetDataFailed(const QString &AName)
{
    return QStringLiteral("Failed to set data for '%1'").arg(AName);
}

#ifdef _WIN32

void ExecuteOnIniWindows(const QString &AProgram, bool AExecOnInit)
{
    const std::wstring name = TRegistryApp::EntryName(AProgram).toStdWString();
    // The Run key is opened, never created: a profile without it is left
    // alone. The data is the path in double quotes when it holds a blank.
    if (AExecOnInit) {
        const std::wstring program = QDir::toNativeSeparators(AProgram).toStdWString();
        if (platform::win::SetRunValue(name, program) == platform::win::RunKeyResult::WriteFailed)
            throw Exception(SetDataFailed(TRegistryApp::EntryName(AProgram)));
    } else {
        // A sub-key of that name, with everything below it, then the value;
        // neither has to exist.
        platform::win::RemoveRunValue(name);
    }
}

#else

// Reserved characters of the Desktop Entry Specification's Exec key, plus
// "=", which the program path may not hold unquoted.
bool NeedsQuotes(const QString &AText)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=");
    for (const QChar c : AText) {
        if (reserved.contains(c))
            return true;
    }
    return AText.isEmpty();
}

#endif

} // namespace

QString TRegistryApp::ProgramFileName()
{
    if (!gProgramFileName.isEmpty())
        return gProgramFileName;
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

void TRegistryApp::SetProgramFileName(const QString &AFileName)
{
    gProgramFileName = AFileName;
}

QString TRegistryApp::EntryName(const QString &AFileName)
{
    qsizetype start = AFileName.lastIndexOf(u'/') + 1;
#ifdef _WIN32
    start = qMax(start, qMax(AFileName.lastIndexOf(u'\\'), AFileName.lastIndexOf(u':')) + 1);
#endif
    const QString name = AFileName.mid(start);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return name;
    return name.left(dot);
}

QString TRegistryApp::AutostartFileName(const QString &AFileName)
{
    return TConfig::UserConfigFolder() + QStringLiteral("/autostart/") + EntryName(AFileName)
           + QStringLiteral(".desktop");
}

QString TRegistryApp::DesktopExecArgument(const QString &AFileName)
{
    QString argument;
#ifndef _WIN32
    const bool quote = NeedsQuotes(AFileName);
    if (quote)
        argument += u'"';
    for (const QChar c : AFileName) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            argument += u'\\';
        // A lone "%" would start a field code.
        if (c == u'%')
            argument += u'%';
        argument += c;
    }
    if (quote)
        argument += u'"';
    // The string-value escapes are undone before the quoting, so every
    // backslash of the quoted argument is doubled once more.
    QString value;
    for (const QChar c : argument) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
#else
    argument = AFileName;
    return argument;
#endif
}

QString TRegistryApp::DesktopEntryText(const QString &AFileName)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Velmora\n"
                          "Exec=")
           + DesktopExecArgument(AFileName) + u'\n';
}

void TRegistryApp::ExecuteOnIni(bool ExecOnInit)
{
    const QString program = ProgramFileName();
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        qCDebug(lcSettings) << "No program file at" << program << "- start-up entry unchanged";
        return;
    }
    const QString absolute = QFileInfo(program).absoluteFilePath();
#ifdef _WIN32
    ExecuteOnIniWindows(absolute, ExecOnInit);
#else
    const QString entry = AutostartFileName(absolute);
    if (!ExecOnInit) {
        QFile::remove(entry);
        return;
    }
    QDir().mkpath(QFileInfo(entry).absolutePath());
    QString error;
    if (!AtomicFile::Write(entry, DesktopEntryText(absolute).toUtf8(), &error)) {
        qCWarning(lcSettings).noquote() << "Unable to write" << entry << ":" << error;
        throw Exception(SetDataFailed(EntryName(absolute)));
    }
#endif
}
