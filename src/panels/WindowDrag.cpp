// SPDX-License-Identifier: MIT
#include "panels/WindowDrag.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

Q_DECLARE_LOGGING_CATEGORY(lcPanels)

namespace {

// Watches the application's mouse events from a press of the left button
// until its release: first whether the pointer leaves the drag distance
// (a drag) or the button comes up before (a click), then, where no move loop
// was offered, to have the window follow the pointer. One at a time, gone
// when the press is over.
class TDragWatch : public QObject
{
public:
    // A child of the window, so that it goes with it.
    TDragWatch(QWidget *window, QPoint pressedAt)
        : QObject(window), FWindow(window), FPressedAt(pressedAt), FOffset(pressedAt - window->pos())
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto *move = static_cast<QMouseEvent *>(event);
            // The release went elsewhere (another application took the
            // pointer): the press is over.
            if (!FWindow || !(move->buttons() & Qt::LeftButton)) {
                Finish();
                break;
            }
            const QPoint at = move->globalPosition().toPoint();
            if (FFollowing)
                FWindow->move(at - FOffset);
            else if ((at - FPressedAt).manhattanLength() >= QApplication::startDragDistance())
                StartMove(at);
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                // A release before the drag distance is a click: it goes on
                // to whoever it was meant for.
                const bool ate = FFollowing;
                Finish();
                if (ate)
                    return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

    bool Following() const { return FFollowing; }
    void Finish();

private:
    void StartMove(QPoint at)
    {
        if (QWidget *grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        // The window system's move loop takes over while the button is
        // still down. Not on X11: Qt's xcb platform (6.4) hands the window
        // manager the pointer's place inside the window as the place on the
        // screen when the move starts from a motion rather than a press, and
        // the window jumps by its own position. There the widget moves
        // itself: X keeps sending it the pointer's motion until the release
        // (the implicit grab of the press).
        static const bool ownMoves = QGuiApplication::platformName() == QLatin1String("xcb");
        if (QWindow *handle = FWindow->windowHandle(); !ownMoves && handle && handle->startSystemMove()) {
            qCDebug(lcPanels) << "window move handed to the window manager";
            Finish();
            return;
        }
        FFollowing = true;
        FWindow->move(at - FOffset);
    }

    QPointer<QWidget> FWindow;
    QPoint FPressedAt;
    QPoint FOffset;
    bool FFollowing = false;
};

QPointer<TDragWatch> gWatch;

void TDragWatch::Finish()
{
    qApp->removeEventFilter(this);
    if (gWatch == this)
        gWatch.clear();
    deleteLater();
}

} // namespace

namespace WindowDrag {

TMove Start(QWidget *widget, const QMouseEvent *press)
{
    if (!widget || !press || press->button() != Qt::LeftButton)
        return TMove::None;
    QWidget *window = widget->window();
    if (gWatch)
        gWatch->Finish();
    gWatch = new TDragWatch(window, press->globalPosition().toPoint());
    return TMove::Pending;
}

bool Pending()
{
    return gWatch && !gWatch->Following();
}

bool Following()
{
    return gWatch && gWatch->Following();
}

} // namespace WindowDrag
