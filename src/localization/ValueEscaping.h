// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

// The backslash escaping of values in translation files and language-source
// lines: a value always fits on one line and keeps its control characters.
//
// EscapeValue: TAB -> \t; CR LF, LF CR, a lone CR and a lone LF -> \n;
// backslash -> two backslashes; any other code below 32 -> backslash and two
// decimal digits; everything else unchanged.
QString EscapeValue(QStringView value);

// UnescapeValue: \\ -> backslash, \n -> CR LF, \t -> TAB, backslash and two
// digits -> the code 0..99. Any other backslash (before another character,
// before a single digit, or at the end) stays an ordinary character.
QString UnescapeValue(QStringView value);
