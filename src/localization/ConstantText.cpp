// SPDX-License-Identifier: MIT
#include "localization/ConstantText.h"

#include "localization/Constants.h"
#include "localization/ProgramConstants.h"

QString ConstantText(const QString &name) { return ProgramConstants().Values(name); }
