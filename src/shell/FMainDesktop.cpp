// SPDX-License-Identifier: MIT
// What the widget window does beyond its definition: the languages the user
// installed, the drive commands and the hidden drives, the result of every
// refresh handed out, the desktop session (a second start, its end, the
// mount table), and the debug lines that say what the menu shows.
#include "shell/FMain.h"

#include "desktop/DesktopNotifier.h"
#include "localization/ConstantText.h"
#include "localization/LangManager.h"
#include "panels/frDisco.h"
#include "platform/ServerProbe.h"
#include "settings/Config.h"
#include "shell/DriveActions.h"
#include "shell/OtherMachinesDialog.h"
#include "shell/ServerPassword.h"
#include "shell/ShellLog.h"
#include "vcl/Menus.h"
#include "vcl/Timer.h"
#include "vcl/TrayIcon.h"

namespace {

// The captions of a menu as it shows them, separators left out and each
// submenu in brackets after its item: what the debug log says the menu reads.
QString MenuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        QString text = action->text();
        if (const QMenu *sub = action->menu())
            text += QStringLiteral(" [") + MenuTexts(sub) + QLatin1Char(']');
        texts << text;
    }
    return texts.join(QStringLiteral(" | "));
}

} // namespace

void TFormMain::AddLanguageItems()
{
    // No name: such components never get entries, so LangData stays the
    // window's own whatever translations the user has installed.
    const QList<LangManager::TLanguageInfo> languages = LangManager::Instance().Languages();
    for (qsizetype i = 2; i < languages.size(); ++i) {
        auto *item = new TMenuItem(this);
        item->SetCaption(languages.at(i).NativeName);
        item->SetTag(i);
        item->SetAutoCheck(true);
        item->SetRadioItem(true);
        item->SetGroupIndex(1);
        Idioma1->Add(item);
        connect(item, &TMenuItem::OnClick, this,
                [this](QObject *sender) { FErrorReport.Guarded([&] { actEspañolExecute(sender); }); });
        FMoreLanguages.append(item);
    }
}

void TFormMain::CrearAccionesUnidad()
{
    FNotifier = std::make_unique<TDesktopNotifier>(TrayIcon);
    FActions = std::make_unique<TDriveActions>(pmTray, *FNotifier, FErrorReport);
    // A panel is this machine's drive when this machine's query gave it.
    FActions->SetIsLocal([this](const TFrameDrive *frame) { return FSource.IsLocalDrive(frame->Nombre()); });
    connect(FActions.get(), &TDriveActions::HiddenChanged, this, [this] {
        AplicarOcultas();
        AjustarTamanyo();
        HandOutRefresh();
    });
    connect(FActions.get(), &TDriveActions::RebuildNeeded, this, [this] {
        FMustReload = true;
        FErrorReport.Guarded([this] { TimerDiscosTimer(nullptr); });
    });
    connect(FActions.get(), &TDriveActions::Ejected, this, &TFormMain::MountsChanged);
}

void TFormMain::CrearOtrasMaquinas()
{
    // Only where servers can be asked (not in the Windows program).
    if (!platform::CanAskDriveServers())
        return;
    // No name and no component: LangData stays the window's own; the
    // caption is a program constant and follows the language switch.
    FOtrasMaquinas = new QAction(pmTray);
    FOtrasMaquinas->setText(ConstantText(QStringLiteral("msgOtrasMaquinas")));
    pmTray->insertAction(Refrescar1, FOtrasMaquinas);
    connect(FOtrasMaquinas, &QAction::triggered, this,
            [this] { FErrorReport.Guarded([this] { OtrasMaquinasClick(); }); });
}

void TFormMain::OtrasMaquinasClick()
{
    if (FOtrasMaquinasDialog) {
        FOtrasMaquinasDialog->raise();
        FOtrasMaquinasDialog->activateWindow();
        return;
    }
    // No owner: a window that belonged to the widget would share its place
    // below all other windows.
    auto *dialog = new TOtherMachinesDialog(FSource.Machines());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    FOtrasMaquinasDialog = dialog;
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { FErrorReport.Guarded([&] { AplicarOtrasMaquinas(dialog->Machines()); }); });
    qCDebug(lcShell) << "other machines: dialog open";
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TFormMain::AplicarOtrasMaquinas(const TOtherMachines &machines)
{
    const TOtherMachines before = FSource.Machines();
    // A server taken out of the list takes its password out of the keyring.
    for (const TOtherServer &server : before.Servers)
        if (!server.User.isEmpty() && !machines.Servers.contains(server))
            ServerPassword::Remove(this, server.Url, server.User, [](const QString &error) {
                if (!error.isEmpty())
                    qCInfo(lcShell).noquote() << error;
            });
    FSource.SetMachines(machines);
    qCDebug(lcShell).noquote() << "other machines:" << machines.Servers.size() << "servers, this machine"
                               << (machines.ThisMachine ? "shown" : "not shown");
    FOtrasMaquinasPendientes = !TOtherMachines::Write(TConfig::ConfigFileName(), machines);
    FMustReload = true;
    TimerDiscosTimer(nullptr);
}

void TFormMain::AplicarOcultas()
{
    const QStringList hidden = FActions->Hidden();
    for (TFrameDrive *frame : Frames())
        if (hidden.contains(frame->Nombre()))
            frame->hide();
}

void TFormMain::SetDriveNotes(const QHash<QString, QString> &notes, const QSet<QString> &inodesOut)
{
    FNotas = notes;
    FSinInodos = inodesOut;
    for (TFrameDrive *frame : Frames())
        frame->SetToolTipNote(FNotas.value(frame->Nombre()));
}

void TFormMain::HandOutRefresh()
{
    // Panels made since the history last spoke get their line too.
    for (TFrameDrive *frame : Frames())
        frame->SetToolTipNote(FNotas.value(frame->Nombre()));
    const bool logPlaces = lcShell().isDebugEnabled();
    const QStringList hidden = FActions->Hidden();
    // The figures and the full state come from the query; whether a drive
    // takes room is the window's own layout.
    TDriveStates drives = FQueried;
    for (TDriveState &drive : drives) {
        const TFrameDrive *frame = BuscarFrame(drive.Name);
        drive.Shown = frame && !frame->isHidden() && !hidden.contains(drive.Name);
        drive.Local = FSource.IsLocalDrive(drive.Name);
        drive.InodesOut = FSinInodos.contains(drive.Name);
        drive.Full = drive.Full || drive.InodesOut;
    }
    QStringList shown;
    if (logPlaces)
        for (const TFrameDrive *frame : Frames())
            if (!frame->isHidden())
                shown << frame->Nombre() + QLatin1Char('@') + QString::number(frame->y());
    // Where each shown panel stands, when that changed: what a test needs to
    // point at a panel.
    if (logPlaces) {
        QString line = shown.join(QLatin1Char(' '));
        if (line != FPanelesMostrados) {
            qCDebug(lcShell).noquote() << "panels shown:" << line;
            FPanelesMostrados = std::move(line);
        }
    }
    emit Refreshed(drives);
}
void TFormMain::BringToFront()
{
    qCDebug(lcShell) << "raise requested by a second start";
    if (isMinimized())
        showNormal();
    if (!isVisible() && !FColumn->HiddenEmpty())
        show();
    raise();
    activateWindow();
}

void TFormMain::EndSession(int signalNumber)
{
    qCDebug(lcShell) << "end of the session (signal" << signalNumber << ")";
    FErrorReport.SetUnattended();
    close();
}

void TFormMain::SaveAtExit()
{
    qCDebug(lcShell) << "the process ends outside the event loop: saving the settings";
    FErrorReport.SetUnattended();
    GuardarAlTerminar();
}

void TFormMain::MountsChanged()
{
    // Only once the first panels exist; before that FormShow builds them.
    if (!FShown || FFatal || !TimerDiscos->Enabled())
        return;
    // Another machine's drives do not change with this machine's mounts.
    if (FSource.IsRemote())
        return;
    qCDebug(lcShell) << "mount table changed: refreshing";
    FMustReload = true;
    FErrorReport.Guarded([this] { TimerDiscosTimer(nullptr); });
}

void TFormMain::SourceAnswered()
{
    if (!FShown || FFatal || !TimerDiscos->Enabled() || !FSource.HasRemote())
        return;
    qCDebug(lcShell) << "drive source answered: refreshing";
    FMustReload = true;
    FErrorReport.Guarded([this] { TimerDiscosTimer(nullptr); });
}

void TFormMain::LogMenuMarks() const
{
    if (!lcShell().isDebugEnabled())
        return;
    QStringList checked;
    for (const TMenuItem *item : findChildren<TMenuItem *>())
        if (item->Checked())
            checked << item->objectName();
    qCDebug(lcShell).noquote() << "menu marks:" << checked.join(QLatin1Char(' '));
}

void TFormMain::LogMenuTexts() const
{
    qCDebug(lcShell).noquote() << "menu reads:" << MenuTexts(pmTray);
}
