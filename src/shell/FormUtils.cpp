// SPDX-License-Identifier: MIT
#include "shell/FormUtils.h"

#include "platform/WindowStyle.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWidget>
#include <QWindow>

namespace {

Q_LOGGING_CATEGORY(lcAppearance, "velmora.shell.appearance")

void *gNativeDisplay = nullptr;

// Lives as a child of the window and asks for its window states again
// whenever the window is shown, where the window manager drops the states of
// a window when it is withdrawn (platform::WindowStatesEndWithHide).
// QWidget sends QEvent::Show before it maps the native window, so the states
// go into the property that the window manager reads at mapping time; a
// window that the system maps by itself (after iconification) is found
// mapped and gets client messages instead.
class WindowStateKeeper final : public QObject
{
public:
    static WindowStateKeeper *of(QWidget *window)
    {
        const QString name = QStringLiteral("velmoraWindowStateKeeper");
        if (auto *keeper = window->findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
            return static_cast<WindowStateKeeper *>(keeper);
        auto *keeper = new WindowStateKeeper(window);
        keeper->setObjectName(name);
        return keeper;
    }

    // Adds states (a platform::WindowState mask) to keep and asks for all of
    // them now.
    void keep(unsigned states)
    {
        FStates |= states;
        apply();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == FWindow && event->type() == QEvent::Show) {
            apply();
            // After a change of the stays-on-top/bottom hints Qt's xcb
            // platform replaces the X window inside the show that follows,
            // so ask once more when the show is done.
            QMetaObject::invokeMethod(this, &WindowStateKeeper::apply, Qt::QueuedConnection);
        }
        return false;
    }

private:
    explicit WindowStateKeeper(QWidget *window) : QObject(window), FWindow(window)
    {
        window->installEventFilter(this);
    }

    void apply()
    {
        if (void *display = FormUtils::NativeDisplay(); platform::HasWindowSystem(display))
            platform::AddWindowStates(display, FormUtils::NativeWindow(FWindow), FStates);
    }

    QWidget *FWindow;
    unsigned FStates = 0;
};

// Asks for states now, and again at every show where the window manager
// forgets them.
void KeepWindowStates(QWidget *window, unsigned states)
{
    if (platform::WindowStatesEndWithHide())
        WindowStateKeeper::of(window)->keep(states);
    else
        platform::AddWindowStates(FormUtils::NativeDisplay(), FormUtils::NativeWindow(window), states);
}

} // namespace

namespace FormUtils {

void UseNativeDisplay(void *display)
{
    gNativeDisplay = display;
}

void *NativeDisplay()
{
    return gNativeDisplay;
}

std::uintptr_t NativeWindow(QWidget *window)
{
    window = window->window();
    window->winId(); // creates the native window when it does not exist yet
    const QWindow *handle = window->windowHandle();
    return handle ? static_cast<std::uintptr_t>(handle->winId()) : 0;
}

void SendToBottom(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        // QWidget recreates the window for the new flags (and hides it); a
        // change through the QWindow alone would make Qt's xcb platform
        // replace the X window behind QWidget's back at the next show.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    }
    // Qt must know the window as visible; the system's own show would not
    // tell it.
    if (!window->isVisible())
        window->show();

    void *display = NativeDisplay();
    if (platform::HasWindowSystem(display)) {
        // The window manager's own menu may have put the window above.
        platform::RemoveStaysOnTop(display, NativeWindow(window));
        KeepWindowStates(window, platform::StateBelow);
        window->lower();
        // Qt leaves the restack request in its buffer.
        platform::FlushWindowSystem(display);
    } else {
        window->lower();
    }
}

void HideFromTaskbar(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    if (!platform::HasWindowSystem(NativeDisplay())) {
        qCDebug(lcAppearance) << "no taskbar states on platform" << QGuiApplication::platformName();
        return;
    }
    KeepWindowStates(window, platform::StateSkipTaskbar);
}

} // namespace FormUtils
