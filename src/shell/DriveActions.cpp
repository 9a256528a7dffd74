// SPDX-License-Identifier: MIT
#include "shell/DriveActions.h"

#include "analysis/DriveWindows.h"
#include "desktop/DesktopNotifier.h"
#include "desktop/DriveEject.h"
#include "localization/ConstantText.h"
#include "panels/DriveName.h"
#include "panels/frDisco.h"
#include "settings/Config.h"
#include "settings/HiddenDrives.h"
#include "shell/DriveMenu.h"
#include "shell/ErrorReport.h"
#include "shell/ShellLog.h"

TDriveActions::TDriveActions(QMenu *menu, TDesktopNotifier &notifier, TErrorReport &report, QObject *parent)
    : QObject(parent), FNotifier(notifier), FReport(report)
{
    const auto guarded = [this](void (TDriveActions::*handler)(const QString &)) {
        return [this, handler](const QString &drive) { FReport.Guarded([&] { (this->*handler)(drive); }); };
    };
    TDriveMenu::THandlers handlers;
    handlers.Open = guarded(&TDriveActions::OpenDrive);
    handlers.Eject = guarded(&TDriveActions::EjectDrive);
    handlers.Hide = guarded(&TDriveActions::HideDrive);
    handlers.Show = guarded(&TDriveActions::ShowDrive);
    handlers.Analyze = guarded(&TDriveActions::AnalyzeDrive);
    handlers.Hidden = [this] { return FHidden; };
    FDriveMenu = std::make_unique<TDriveMenu>(menu, std::move(handlers));
    FGestures = std::make_unique<TPanelGestures>([this](QWidget *panel) {
        auto *frame = qobject_cast<TFrameDrive *>(panel);
        if (frame && CommandsFor(frame).Open)
            FReport.Guarded([&] { OpenDrive(frame->Nombre()); });
    });
    FEject = std::make_unique<TDriveEject>();
    FWindows = std::make_unique<TDriveWindows>();
}

TDriveActions::~TDriveActions() = default;

void TDriveActions::ReadHidden()
{
    FHidden = THiddenDrives::Read(TConfig::ConfigFileName());
}

void TDriveActions::Watch(TFrameDrive *frame)
{
    FGestures->Watch(frame);
}

bool TDriveActions::DoubleClick(TFrameDrive *frame, const QMouseEvent *event)
{
    return FGestures->DoubleClick(frame, event);
}

TDriveMenu::TCommands TDriveActions::CommandsFor(const TFrameDrive *frame) const
{
    // Another machine's drive has a name such as "web1:9100:/srv": no
    // folder of this machine, no device of this machine's disk service.
    if (FIsLocal && !FIsLocal(frame))
        return {false, false, false};
    const TDriveType type = frame->DriveType();
    return {true, type == TDriveType::RemovableDisk || type == TDriveType::CompactDisc, true};
}

void TDriveActions::PopupFor(const TFrameDrive *frame, const QPoint &globalPos)
{
    FDriveMenu->PopupFor(frame->Nombre(), CommandsFor(frame), globalPos);
}

void TDriveActions::OpenDrive(const QString &name)
{
    if (!OpenDriveFolder(name))
        FReport.Show(ConstantText(QStringLiteral("msgErrorAbrir")).arg(name));
}

void TDriveActions::EjectDrive(const QString &name)
{
    FEject->Eject(name, [this, name](TDriveEject::TResult result, const QString &detail) {
        qCDebug(lcShell).noquote() << "eject" << name << "ended:" << int(result) << detail;
        QString reason;
        switch (result) {
        case TDriveEject::TResult::Done:
            FNotifier.Notify(ConstantText(QStringLiteral("msgExpulsar")),
                             ConstantText(QStringLiteral("msgExpulsada")).arg(name));
            emit Ejected();
            return;
        case TDriveEject::TResult::Busy:
            reason = ConstantText(QStringLiteral("msgUnidadOcupada"));
            break;
        case TDriveEject::TResult::NotAllowed:
            reason = ConstantText(QStringLiteral("msgNoPermitido"));
            break;
        case TDriveEject::TResult::NotEjectable:
            reason = ConstantText(QStringLiteral("msgNoExpulsable"));
            break;
        case TDriveEject::TResult::Failed:
            reason = detail;
            break;
        }
        FReport.Show(ConstantText(QStringLiteral("msgErrorExpulsar")).arg(name, reason));
    });
}

void TDriveActions::HideDrive(const QString &name)
{
    if (FHidden.contains(name))
        return;
    FHidden << name;
    qCDebug(lcShell).noquote() << "drive hidden:" << name;
    emit HiddenChanged();
    SaveHidden();
}

void TDriveActions::ShowDrive(const QString &name)
{
    if (!FHidden.removeOne(name))
        return;
    qCDebug(lcShell).noquote() << "drive shown again:" << name;
    emit RebuildNeeded();
    SaveHidden();
}

void TDriveActions::AnalyzeDrive(const QString &name)
{
    // The panel's name turned back into the mount point's bytes (a name
    // that is no escaped name is taken as it stands); a drive letter is the
    // root of its drive.
    QByteArray root = DriveNameBytes(name).value_or(name.toUtf8());
    if (root.size() == 2 && root.at(1) == ':')
        root += '\\';
    if (root.isEmpty()) {
        FReport.Show(ConstantText(QStringLiteral("msgErrorAbrir")).arg(name));
        return;
    }
    FWindows->Open(DriveNameShown(name), root.toStdString());
}

void TDriveActions::SaveHidden()
{
    QStringList leftOut;
    // Before the settings file exists the list waits for the options, which
    // create the file when the widget ends.
    FHiddenPending = !THiddenDrives::Write(TConfig::ConfigFileName(), FHidden, &leftOut);
    if (!leftOut.isEmpty())
        qCInfo(lcShell).noquote() << "hidden until the end only (more than the settings file keeps):"
                                  << leftOut.join(QStringLiteral(", "));
}

void TDriveActions::SaveHiddenIfPending()
{
    if (FHiddenPending)
        SaveHidden();
}
