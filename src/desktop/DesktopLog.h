// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// The desktop services' logging category, "velmora.desktop": what the disk
// service, the notification server and the session bus answered. Its debug
// lines are switched on with QT_LOGGING_RULES="velmora.desktop.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
