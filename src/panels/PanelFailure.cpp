// SPDX-License-Identifier: MIT
#include "panels/PanelFailure.h"

#include <QGraphicsEffect>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char *kReason = "velmoraFailure";
constexpr const char *kOwnToolTip = "velmoraOwnToolTip";

// Draws the panel in shades of grey, a little darker than its colours' own
// lightness. Each pixel keeps its lightness, so text stays as far from its
// background as it was (light text on the dark panel stays readable: a tint
// laid over the grey, as QGraphicsColorizeEffect does, lifts the background
// toward the text); what tells the panel apart is that its bar and picture
// have lost their colours.
class TGreyEffect : public QGraphicsEffect
{
public:
    using QGraphicsEffect::QGraphicsEffect;

    // How much of its lightness a pixel keeps.
    static constexpr int kKeep = 85; // percent

protected:
    void draw(QPainter *painter) override
    {
        QPoint offset;
        const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset,
                                            QGraphicsEffect::PadToEffectiveBoundingRect);
        if (source.isNull())
            return;
        QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = line[x];
                const int grey = qGray(pixel) * kKeep / 100;
                line[x] = qRgba(grey, grey, grey, qAlpha(pixel));
            }
        }
        const QTransform world = painter->worldTransform();
        painter->setWorldTransform(QTransform());
        painter->drawImage(offset, image);
        painter->setWorldTransform(world);
    }
};

} // namespace

namespace PanelFailure {

void Show(QWidget *panel, const QString &reason)
{
    if (!panel)
        return;
    if (!panel->property(kReason).isValid()) {
        panel->setProperty(kOwnToolTip, panel->toolTip());
        panel->setGraphicsEffect(new TGreyEffect(panel));
    }
    if (panel->property(kReason).toString() != reason || !panel->property(kReason).isValid()) {
        panel->setProperty(kReason, reason);
        // The reason comes from the drive or its source: shown as plain
        // text, never as markup (a name with "<b>" shows the "<b>"). A tool
        // tip is read as rich text whenever it looks like it, so the text is
        // escaped and wrapped in rich text that keeps its blanks and breaks.
        panel->setToolTip(reason.isEmpty() ? QString()
                                           : QStringLiteral("<p style=\"white-space:pre-wrap\">")
                                  + reason.toHtmlEscaped() + QStringLiteral("</p>"));
    }
}

void Clear(QWidget *panel)
{
    if (!panel || !panel->property(kReason).isValid())
        return;
    panel->setGraphicsEffect(nullptr);
    panel->setToolTip(panel->property(kOwnToolTip).toString());
    panel->setProperty(kReason, QVariant());
    panel->setProperty(kOwnToolTip, QVariant());
}

QString Reason(const QWidget *panel)
{
    return panel ? panel->property(kReason).toString() : QString();
}

} // namespace PanelFailure
