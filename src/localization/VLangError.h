// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Exception.h"

#include <QString>

#include <initializer_list>

// The localization engine's failures. Every message comes from the table
// below and is filled in like a format string.
class EVLangError : public Exception
{
public:
    using Exception::Exception;

    // fmt is one of the VLangMessages texts; every "%s" and "%d" takes the
    // next argument in order (numbers are passed already as text), "%%" is a
    // percent sign.
    static EVLangError CreateFmt(const char *fmt, std::initializer_list<QString> args);
};

// The engine's string table.
namespace VLangMessages {
inline constexpr char RuntimeOnly[] = "Call to LangManager() is allowed at runtime only";
inline constexpr char ConstantNotFound[] = "Constant \"%s\" not found";
inline constexpr char InvalidConstName[] = "Invalid constant name (\"%s\")";
inline constexpr char DuplicateConstName[] = "Duplicate constant name (\"%s\")";
inline constexpr char StreamVersionTooHigh[] = "Stream version (%d) is greater than the current one (%d)";
inline constexpr char DuplicatePropID[] = "Duplicate property value translation ID (%d)";
inline constexpr char LoadingTranslationsFailed[] = "Loading translations failed.\r\nLine %d: %s";
} // namespace VLangMessages

// Fills a format text as EVLangError::CreateFmt does; also used for the
// run-time library's messages (files, resources).
QString FormatMessage(const char *fmt, std::initializer_list<QString> args);
