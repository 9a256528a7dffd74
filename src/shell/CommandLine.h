// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The widget's answers to --help and --version, and --host URL, a
// Prometheus server whose machines' drives the widget shows for this run
// instead of the source of the settings file (nothing is written). Qt's own
// arguments (-platform, -display ...) are Qt's, anything else is ignored.
namespace CommandLine {

// The Prometheus server given with --host for this run (args[0] is the
// program): empty when there is none.
QString HostFor(const QStringList &args);

// What the program prints for args (args[0] is the program): the help or
// version text, or empty when the widget should start. A --host that is no
// http:// or https:// address (or has none) gets an error text that starts
// with "velmora: ".
QString AnswerFor(const QStringList &args);

// Prints the answer for the program's arguments on standard output (an
// error on standard error) before any window system is needed and returns
// the exit code 0 (2 after an error), or -1 when the widget should start.
int Answer(int argc, char *argv[]);

// Which of Qt's window systems the widget asks for. On Wayland a window can
// neither stay below the others nor be placed by the program, so where the
// session also offers X11 (XWayland) the widget runs there.
enum class TPlatformChoice {
    QtDecides,  // X11 only, or the user chose a platform: nothing is asked
    XWayland,   // a Wayland session with XWayland: run on xcb
    WaylandOnly // a Wayland session without XWayland: said once on stderr
};

// The choice for the session's WAYLAND_DISPLAY, DISPLAY and QT_QPA_PLATFORM
// (empty when unset) and the program's arguments (args[0] is the program);
// -platform (or --platform) among them is the user's choice, as a set
// QT_QPA_PLATFORM is.
TPlatformChoice ChoosePlatform(const QString &waylandDisplay, const QString &display, const QString &qpaPlatform,
                               const QStringList &args);

// Applies ChoosePlatform to this process before the application object is
// made: sets QT_QPA_PLATFORM=xcb for XWayland, or tells on stderr what the
// widget cannot do on Wayland alone.
void ApplyPlatformChoice(int argc, char *argv[]);

// What the widget says on stderr when it runs on Wayland without XWayland.
extern const char *const WaylandOnlyNotice;

} // namespace CommandLine
