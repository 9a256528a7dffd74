// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vcl {

// A text read as a boolean, the one rule for every reader of one (the
// settings file, a drive's Compressed property): a text that converts as a
// number (a decimal integer or floating-point number the C locale's way,
// blanks around it allowed, no group separators, not an infinity or NaN)
// gives true when the number is not zero and false when it is zero;
// otherwise "True" or "False" in any letter case gives that value; anything
// else, the empty text included, gives ADefault.
bool StrToBoolDef(const QString &AText, bool ADefault);

} // namespace vcl
