// SPDX-License-Identifier: MIT
#include "settings/RegistryApp.h"

#include "platform/SessionStart.h"
#include "vcl/Exception.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>

#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace {

QString gProgramFileName;

QString SetDataFailed(const QString &AName)
{
    return QStringLiteral("Failed to set data for '%1'").arg(AName);
}

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
    return QString::fromStdString(platform::SessionStartEntryName(AFileName.toStdString()));
}

QString TRegistryApp::EntryLocation(const QString &AFileName)
{
    return QString::fromStdString(platform::SessionStartEntryLocation(AFileName.toStdString()));
}

void TRegistryApp::ExecuteOnIni(bool ExecOnInit)
{
    const QString program = ProgramFileName();
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        qCDebug(lcSettings) << "No program file at" << program << "- start-up entry unchanged";
        return;
    }
    const QString absolute = QFileInfo(program).absoluteFilePath();
    std::string error;
    if (platform::SetSessionStart(absolute.toStdString(), ExecOnInit, &error)
        == platform::SessionStartResult::WriteFailed) {
        qCWarning(lcSettings).noquote()
            << "Unable to write" << EntryLocation(absolute) << ":" << QString::fromStdString(error);
        throw Exception(SetDataFailed(EntryName(absolute)));
    }
}

bool TRegistryApp::RenewStaleEntry()
{
    const QString program = ProgramFileName();
    if (program.isEmpty() || !QFileInfo(program).isFile())
        return false;
    const QString absolute = QFileInfo(program).absoluteFilePath();
    const QString started = QString::fromStdString(platform::SessionStartProgram(absolute.toStdString()));
    // Without a folder the system finds the program on its search path.
    if (started.isEmpty() || QFileInfo(started).isRelative() || QFileInfo::exists(started))
        return false;
    std::string error;
    if (platform::SetSessionStart(absolute.toStdString(), true, &error) != platform::SessionStartResult::Done) {
        qCWarning(lcSettings).noquote()
            << "Unable to renew" << EntryLocation(absolute) << ":" << QString::fromStdString(error);
        return false;
    }
    qCInfo(lcSettings).noquote() << "start-up entry" << EntryLocation(absolute) << "started" << started
                                 << "which is gone; it now starts" << absolute;
    return true;
}
