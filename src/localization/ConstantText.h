// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The current text of a named constant of the program ("msgdisponibles",
// "msgVersion", ...). Names match without regard to ASCII letter case; an
// unknown name gives empty text.
QString ConstantText(const QString &name);
