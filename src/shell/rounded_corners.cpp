// SPDX-License-Identifier: MIT
#include "shell/rounded_corners.h"

#include "platform/WindowStyle.h"
#include "shell/FormUtils.h"

#include <QEvent>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

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

} // namespace

TCornerResult SetWindowCorners(QWidget *window, TCornerPreference preference)
{
    if (!window)
        return CornersInvalidWindow;
    window = window->window();
    void *display = FormUtils::NativeDisplay();
    if (!platform::HasWindowSystem(display))
        return CornersNotSupported;
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

} // namespace rounded_corners
