// SPDX-License-Identifier: MIT
#include "shell/rounded_corners.h"

#include "platform/WindowStyle.h"
#include "shell/FormUtils.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

#include <memory>

namespace rounded_corners {

std::uint32_t CornerPreferenceValue(TCornerPreference preference)
{
    switch (preference) {
    case cpDoNotRound:
        return 1;
    case cpRound:
        return 2;
    case cpRoundSmall:
        return 3;
    default:
        return 0;
    }
}

int CornerRadius(TCornerPreference preference)
{
    // The radii Windows 11 uses for round and small round corners.
    switch (preference) {
    case cpRound:
        return 8;
    case cpRoundSmall:
        return 4;
    default:
        return 0;
    }
}

namespace {

Q_LOGGING_CATEGORY(lcCorners, "velmora.shell.corners", QtInfoMsg)

QRegion roundedRegion(const QSize &size, int radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

// Child of the window that keeps its rounded mask in step with its size (the
// widget window changes its height with the number of drives).
class CornerMaskKeeper final : public QObject
{
public:
    static constexpr const char *Name = "velmoraCornerMaskKeeper";

    CornerMaskKeeper(QWidget *window, int radius) : QObject(window), FWindow(window), FRadius(radius)
    {
        setObjectName(QLatin1String(Name));
        window->installEventFilter(this);
        apply();
    }

    void setRadius(int radius)
    {
        FRadius = radius;
        apply();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == FWindow && event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply() { FWindow->setMask(roundedRegion(FWindow->size(), FRadius)); }

    QWidget *FWindow;
    int FRadius;
};

// Removes the rounded mask, if the window has one.
void squareCorners(QWidget *window)
{
    if (auto *keeper = window->findChild<QObject *>(QLatin1String(CornerMaskKeeper::Name),
                                                    Qt::FindDirectChildrenOnly)) {
        delete keeper;
        window->clearMask();
    }
}

TCornerResult applyCorners(QWidget *window, void *display, TCornerPreference preference)
{
    const auto value = static_cast<platform::CornerPreference>(CornerPreferenceValue(preference));
    switch (platform::SetWindowCorners(display, FormUtils::NativeWindow(window), value)) {
    case platform::CornerResult::Applied:
        return CornersApplied;
    case platform::CornerResult::ShapeTheWindow:
        break;
    case platform::CornerResult::InvalidWindow:
        return CornersInvalidWindow;
    case platform::CornerResult::Refused:
        return CornersRefused;
    case platform::CornerResult::NotSupported:
        return CornersNotSupported;
    case platform::CornerResult::NoCompositor:
        // A mask shaped while a compositor ran goes with it.
        squareCorners(window);
        platform::FlushWindowSystem(display);
        return CornersNoCompositor;
    case platform::CornerResult::Failed:
        return CornersFailed;
    }

    // The window manager has no corner request: the window is shaped here.
    auto *keeper = static_cast<CornerMaskKeeper *>(
        window->findChild<QObject *>(QLatin1String(CornerMaskKeeper::Name), Qt::FindDirectChildrenOnly));
    const int radius = CornerRadius(preference);
    if (radius == 0) {
        delete keeper;
        window->clearMask();
    } else if (keeper) {
        keeper->setRadius(radius);
    } else {
        new CornerMaskKeeper(window, radius);
    }
    // Qt leaves the shape request in its buffer.
    platform::FlushWindowSystem(display);
    return CornersApplied;
}

// Child of the window that asks for its corners again whenever a compositing
// manager starts or ends (platform::CompositorWatch, fed with the events Qt
// reads from the window system connection). Nothing runs while the
// compositor stays as it is.
class CompositorFollower final : public QObject, public QAbstractNativeEventFilter
{
public:
    static constexpr const char *Name = "velmoraCompositorFollower";

    static void follow(QWidget *window, void *display, TCornerPreference preference)
    {
        if (auto *follower = static_cast<CompositorFollower *>(
                window->findChild<QObject *>(QLatin1String(Name), Qt::FindDirectChildrenOnly))) {
            follower->FPreference = preference;
            return;
        }
        auto watch = std::make_unique<platform::CompositorWatch>(display, FormUtils::NativeWindow(window));
        if (watch->IsWatching())
            new CompositorFollower(window, std::move(watch), preference);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType == "xcb_generic_event_t" && FWatch->Handle(message)) {
            qCDebug(lcCorners) << "compositor" << (FWatch->CompositorRuns() ? "started" : "ended");
            // Asked once Qt has finished with the event: the request talks
            // to the window system on the connection Qt is reading from.
            QMetaObject::invokeMethod(this, &CompositorFollower::reapply, Qt::QueuedConnection);
        }
        // Qt and other filters see the event as well.
        return false;
    }

private:
    CompositorFollower(QWidget *window, std::unique_ptr<platform::CompositorWatch> watch,
                       TCornerPreference preference)
        : QObject(window), FWindow(window), FWatch(std::move(watch)), FPreference(preference)
    {
        setObjectName(QLatin1String(Name));
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    void reapply()
    {
        void *display = FormUtils::NativeDisplay();
        if (!platform::HasWindowSystem(display))
            return;
        const TCornerResult result = applyCorners(FWindow, display, FPreference);
        qCDebug(lcCorners) << "corners asked again:"
                           << (result == CornersApplied
                                   ? (FWindow->mask().isEmpty() ? "square" : "shaped")
                                   : (result == CornersNoCompositor ? "square, no compositor" : "failed"));
    }

    QWidget *FWindow;
    std::unique_ptr<platform::CompositorWatch> FWatch;
    TCornerPreference FPreference;
};

} // namespace

TCornerResult SetWindowCorners(QWidget *window, TCornerPreference preference)
{
    if (!window)
        return CornersInvalidWindow;
    window = window->window();
    void *display = FormUtils::NativeDisplay();
    if (!platform::HasWindowSystem(display))
        return CornersNotSupported;
    const TCornerResult result = applyCorners(window, display, preference);
    CompositorFollower::follow(window, display, preference);
    return result;
}

} // namespace rounded_corners
