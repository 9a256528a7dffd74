// SPDX-License-Identifier: MIT
#include "analysis/AnalysisLog.h"

Q_LOGGING_CATEGORY(lcAnalysis, "velmora.analysis")
