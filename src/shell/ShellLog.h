// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// The widget shell's logging category, "velmora.shell". Its debug lines (the
// first painted panel, a raise request from a second start, mount changes)
// are switched on with QT_LOGGING_RULES="velmora.shell.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcShell)
