// SPDX-License-Identifier: MIT
#include "analysis/DriveWindow.h"
#include "analysis/DriveWindows.h"
#include "localization/LangManager.h"
#include "platform/DriveQueryWait.h"
#include "settings/RegistryApp.h"
#include "shell/CommandLine.h"
#include "shell/ControlInstance.h"
#include "shell/DriveActions.h"
#include "shell/DriveHistory.h"
#include "shell/FMain.h"
#include "shell/FormUtils.h"
#include "shell/LowSpaceNotice.h"
#include "shell/MountWatcher.h"
#include "shell/QtTranslations.h"
#include "shell/SessionEnd.h"
#include "shell/ShellLog.h"
#include "shell/Style.h"
#include "vcl/Menus.h"
#include "vcl/TrayIcon.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cstdlib>
#include <memory>
#include <utility>

#ifdef _WIN32
#include "platform/win/WinWbemService.h"
#else
#include "platform/prometheus/PrometheusQuery.h"

#include <QtGui/qguiapplication_platform.h>
#endif

namespace {

// The window while the event loop may run. Qt's X11 platform ends the
// process with exit(1) when the connection to the X server breaks; the
// settings are written from the exit handlers then, as at a normal end.
TFormMain *gRunningWindow = nullptr;

void SaveSettingsOfARunningWindow()
{
    if (TFormMain *window = std::exchange(gRunningWindow, nullptr))
        window->SaveAtExit();
}

} // namespace

// The program reads no command-line arguments but --help, --version and
// --host URL; Qt's own (-platform ...) still work as usual.
int main(int argc, char *argv[])
{
    if (const int answered = CommandLine::Answer(argc, argv); answered >= 0)
        return answered;
#ifdef _WIN32
    // COM as a single-threaded apartment on the user-interface thread, where
    // the drive query runs; uninitialised when main() returns.
    platform::WinComApartment comApartment;
#endif
    // A Wayland session with XWayland runs the widget on X11, where it can
    // stay below the other windows and keep its place.
    CommandLine::ApplyPlatformChoice(argc, argv);
    QApplication app(argc, argv);
    qCDebug(lcShell).noquote() << "window system:" << QGuiApplication::platformName();
#ifndef _WIN32
    // The window states, the corners and the transparency talk to the X
    // server through Qt's own connection, when Qt runs on X11 (XWayland
    // included); elsewhere (Wayland, offscreen) there is nothing to ask.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto *x11 = app.nativeInterface<QNativeInterface::QX11Application>())
            FormUtils::UseNativeDisplay(x11->connection());
    }
#endif
    // The window decides the exit code when it closes (0, or 99 after the
    // fatal refresh error).
    QApplication::setQuitOnLastWindowClosed(false);
    // The refreshes run on the window's thread: a drive that answers late
    // or not at all never holds it longer than this.
    platform::SetDriveQueryWait(platform::kWindowDriveQueryWait);
    // The localization engine runs before the first window exists and ends
    // after the last one is gone.
    LangManager::Start();
    QtTranslations::FollowActiveLanguage();

    ControlInstance::TInstanceGuard guard;
    if (const int exitCode = ControlInstance::CheckSingleInstance(guard); exitCode >= 0)
        return exitCode;

    Style::ApplyVisualStyle(app);

    TSessionEnd sessionEnd;
    auto window = std::make_unique<TFormMain>();
    window->SetHostForThisRun(CommandLine::HostFor(QCoreApplication::arguments()));
    QObject::connect(&guard, &ControlInstance::TInstanceGuard::RaiseRequested, window.get(),
                     &TFormMain::BringToFront);
    // Both ends close the window like the close command; the settings are
    // written when it is destroyed below.
    QObject::connect(&sessionEnd, &TSessionEnd::EndRequested, window.get(), &TFormMain::EndSession);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, window.get(),
                     [w = window.get()](QSessionManager &) { w->EndSession(0); });
    TMountWatcher mounts;
    QObject::connect(&mounts, &TMountWatcher::Changed, window.get(), &TFormMain::MountsChanged);
#ifndef _WIN32
    // A server's first answer, which came after the window stopped waiting
    // for it, is shown at once instead of one interval later.
    std::unique_ptr<QSocketNotifier> firstAnswers;
    if (const int handle = platform::PrometheusFirstAnswerHandle(); handle >= 0) {
        firstAnswers = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
        QObject::connect(firstAnswers.get(), &QSocketNotifier::activated, window.get(), [w = window.get()] {
            platform::AcknowledgePrometheusFirstAnswers();
            w->SourceAnswered();
        });
    }
#endif
    // The low-space notice follows the refreshes.
    TDesktopNotifier notifier(window->TrayIcon);
    TLowSpaceNotice lowSpace(notifier);
    QObject::connect(window.get(), &TFormMain::Refreshed, &lowSpace, &TLowSpaceNotice::Refreshed);
    // Its "Examinar" opens the drive's window.
    QObject::connect(&lowSpace, &TLowSpaceNotice::ExamineRequested, window.get(),
                     [w = window.get()](const QString &name) {
                         if (TDriveActions *actions = w->DriveActions())
                             actions->AnalyzeDrive(name);
                     });
    // So does the drive history, which tells the window what it found.
    TDriveHistory driveHistory(notifier);
    QObject::connect(window.get(), &TFormMain::Refreshed, &driveHistory, &TDriveHistory::Refreshed);
    QObject::connect(&driveHistory, &TDriveHistory::NotesChanged, window.get(), &TFormMain::SetDriveNotes);
    // A drive window shows the drive's history beside its breakdown.
    if (TDriveActions *actions = window->DriveActions())
        QObject::connect(&actions->DriveWindows(), &TDriveWindows::Opened, &driveHistory,
                         &TDriveHistory::AddChartTo);

    // An entry left by a build folder or an installation that is gone starts
    // this program from now on.
    TRegistryApp::RenewStaleEntry();

    gRunningWindow = window.get();
    std::atexit(SaveSettingsOfARunningWindow);
    window->show();
    const int exitCode = QApplication::exec();
    gRunningWindow = nullptr;
    // FormDestroy runs here, whichever way the loop ended.
    window.reset();
    FormUtils::UseNativeDisplay(nullptr);
    LangManager::Shutdown();
    return exitCode;
}
