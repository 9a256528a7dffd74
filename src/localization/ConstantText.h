// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The current text of a named constant of the program ("msgdisponibles",
// "msgVersion", ...) in the active language, from the language manager
// (LangManager::Instance(), which starts the engine on first use). Names
// match without regard to ASCII letter case; an unknown name throws
// EVLangError "Constant "%s" not found".
QString ConstantText(const QString &name);
