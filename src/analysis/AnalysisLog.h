// SPDX-License-Identifier: MIT
#pragma once

#include <QLoggingCategory>

// The drive window's logging category: velmora.analysis.
Q_DECLARE_LOGGING_CATEGORY(lcAnalysis)
