// SPDX-License-Identifier: MIT
#include "panels/WindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace {

// Watches the application's mouse events while a window follows the mouse;
// one at a time, gone when the move ends.
class TMouseFollower : public QObject
{
public:
    // A child of the window, so that it goes with it.
    TMouseFollower(QWidget *window, QPoint offset) : QObject(window), FWindow(window), FOffset(offset)
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto *move = static_cast<QMouseEvent *>(event);
            // The release went elsewhere (another application took the
            // pointer): the move is over.
            if (!FWindow || !(move->buttons() & Qt::LeftButton)) {
                Finish();
                break;
            }
            FWindow->move(move->globalPosition().toPoint() - FOffset);
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                Finish();
                return true;
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

    void Finish();

private:
    QPointer<QWidget> FWindow;
    QPoint FOffset;
};

QPointer<TMouseFollower> gFollower;

void TMouseFollower::Finish()
{
    qApp->removeEventFilter(this);
    if (gFollower == this)
        gFollower.clear();
    deleteLater();
}

} // namespace

namespace WindowDrag {

TMove Start(QWidget *widget, const QMouseEvent *press)
{
    if (!widget || !press || press->button() != Qt::LeftButton)
        return TMove::None;
    QWidget *window = widget->window();
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (gFollower)
        gFollower->Finish();
    if (QWindow *handle = window->windowHandle(); handle && handle->startSystemMove())
        return TMove::System;
    gFollower = new TMouseFollower(window, press->globalPosition().toPoint() - window->pos());
    return TMove::FollowMouse;
}

bool Following()
{
    return !gFollower.isNull();
}

} // namespace WindowDrag
