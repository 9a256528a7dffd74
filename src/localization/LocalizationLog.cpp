// SPDX-License-Identifier: MIT
#include "localization/LocalizationLog.h"

Q_LOGGING_CATEGORY(lcLocalization, "velmora.localization")
