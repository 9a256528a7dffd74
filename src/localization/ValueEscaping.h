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

// UnescapeValue on the n characters at text, written over them; answers the
// length of the result, which never exceeds n.
qsizetype UnescapeValueInPlace(QChar *text, qsizetype n);
// The same when the position of the first backslash in the n characters is
// known already (n when there is none).
qsizetype UnescapeValueInPlace(QChar *text, qsizetype n, qsizetype firstBackslash);
