// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The user's locale as a Windows locale identifier (LCID).
namespace LocaleHelper {

// Spanish (Spain, modern sort), the program's own language.
constexpr quint32 LocaleSpanishModern = 3082;
// English (United States): what a locale without a language ("C", "POSIX")
// or one that cannot be recognized maps to; also the language engine's
// fallback.
constexpr quint32 LocaleEnglishUS = 1033;
// What Windows reports for a locale that has a name but no identifier of its
// own (LOCALE_CUSTOM_UNSPECIFIED).
constexpr quint32 LocaleCustomUnspecified = 0x1000;

// The system's answer (platform::UserLocaleId): GetUserDefaultLCID() on
// Windows; on Linux LocaleIdFromName of the first
// non-empty of LC_ALL, LC_MESSAGES and LANG; LocaleEnglishUS when all are
// empty.
quint32 UserLocaleId();

// A POSIX locale name, language[_territory][.codeset][@modifier], as a
// locale identifier. A known language with a territory the table does not
// hold gives LocaleCustomUnspecified; a language alone its main locale
// ("es" 3082, "en" 1033, "de" 1031); "C", "POSIX" and unknown or malformed
// names LocaleEnglishUS.
quint32 LocaleIdFromName(const QString &ALocaleName);

// The language index the program starts with when the settings name none:
// 0 (Spanish) exactly for LocaleSpanishModern, else 1 (English). Other
// Spanish locales get English, as the program always did.
int DefaultLanguageIndex(quint32 ALocaleId);

} // namespace LocaleHelper
