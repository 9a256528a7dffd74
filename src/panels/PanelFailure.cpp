// SPDX-License-Identifier: MIT
#include "panels/PanelFailure.h"

#include <QGraphicsColorizeEffect>
#include <QVariant>
#include <QWidget>

namespace {

constexpr const char *kReason = "velmoraFailure";
constexpr const char *kOwnToolTip = "velmoraOwnToolTip";

} // namespace

namespace PanelFailure {

void Show(QWidget *panel, const QString &reason)
{
    if (!panel)
        return;
    if (!panel->property(kReason).isValid()) {
        panel->setProperty(kOwnToolTip, panel->toolTip());
        auto *grey = new QGraphicsColorizeEffect(panel);
        grey->setColor(QColor(128, 128, 128));
        grey->setStrength(1.0);
        panel->setGraphicsEffect(grey);
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
