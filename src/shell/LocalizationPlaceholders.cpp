// SPDX-License-Identifier: MIT
#include "shell/LocalizationPlaceholders.h"
