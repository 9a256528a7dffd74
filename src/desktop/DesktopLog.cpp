// SPDX-License-Identifier: MIT
#include "desktop/DesktopLog.h"

Q_LOGGING_CATEGORY(lcDesktop, "velmora.desktop", QtInfoMsg)
