// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// The localization engine's logging category, "velmora.localization".
Q_DECLARE_LOGGING_CATEGORY(lcLocalization)
