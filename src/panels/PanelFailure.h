// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// A drive panel whose source stopped answering: it keeps its last figures,
// drawn in grey, and its tooltip tells why. The panel stays a panel in every
// other way (dragging the window, the menu).
namespace PanelFailure {

// Greys the panel and puts reason in its tooltip; a new reason replaces the
// old one.
void Show(QWidget *panel, const QString &reason);
// Back to its colours and its own tooltip.
void Clear(QWidget *panel);
// The reason shown, or empty text when the panel is not greyed.
QString Reason(const QWidget *panel);

} // namespace PanelFailure
