// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QApplication;

namespace Style {

// The program's look: the SlateGray style sheet carried among its resources.
inline const QString SlateGrayResource = QStringLiteral(":/style/SlateGray.qss");

// Applies the style sheet at path to the application. When it cannot be
// applied (missing or empty), onError receives the reason (the default shows
// an error box) and the application keeps Qt's default look. Returns whether
// the style was applied.
bool ApplyVisualStyle(QApplication &app, const QString &path = SlateGrayResource,
                      const std::function<void(const QString &)> &onError = {});

} // namespace Style

// Registers the shell's resources (window blocks, style) of the static library.
void InitShellResources();
