// SPDX-License-Identifier: MIT
#pragma once

// The user's locale as a Windows locale identifier (LCID).

#include <cstdint>
#include <string_view>

namespace platform {

// English (United States): what a locale without a language ("C", "POSIX")
// or one that cannot be recognized maps to.
inline constexpr std::uint32_t LocaleEnglishUS = 1033;
// What Windows reports for a locale that has a name but no identifier of its
// own (LOCALE_CUSTOM_UNSPECIFIED).
inline constexpr std::uint32_t LocaleCustomUnspecified = 0x1000;

// Windows: GetUserDefaultLCID(). Linux: LocaleIdFromPosixName of the first
// non-empty of LC_ALL, LC_MESSAGES and LANG; LocaleEnglishUS when all are
// empty.
std::uint32_t UserLocaleId();

// A POSIX locale name, language[_territory][.codeset][@modifier], as a
// locale identifier. A known language with a territory the table does not
// hold gives LocaleCustomUnspecified; a language alone its main locale
// ("es" 3082, "en" 1033, "de" 1031); "C", "POSIX" and unknown or malformed
// names LocaleEnglishUS. Pure text work, the same on every system.
std::uint32_t LocaleIdFromPosixName(std::string_view name);

} // namespace platform
