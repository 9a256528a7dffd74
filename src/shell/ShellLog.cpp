// SPDX-License-Identifier: MIT
#include "shell/ShellLog.h"

Q_LOGGING_CATEGORY(lcShell, "velmora.shell", QtInfoMsg)
