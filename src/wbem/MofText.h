// SPDX-License-Identifier: MIT
#pragma once

// Renders one result object in MOF syntax, as the management service's
// GetObjectText does:
//
//   instance of Win32_LogicalDisk\n
//   {\n
//   \tCaption = "/home";\n
//   \tCompressed = FALSE;\n
//   \tDriveType = 3;\n
//   \tSize = "1000202039296";\n
//   };\n
//
// Lines end with LF, as on Windows. Values that come from the system (mount
// paths, labels) are untrusted: string escaping guarantees that a value can
// neither end its line nor its quotes, so it can never add a property.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class MofType {
    String,  // "text", escaped
    UInt64,  // "12345": 64-bit integers stand in double quotes in MOF text
    Number,  // 12345: 8/16/32-bit integers
    Boolean, // TRUE / FALSE (text holds "TRUE" or "FALSE")
};

struct MofProperty
{
    std::string name;
    MofType type = MofType::String;
    std::string text; // String: the raw value; others: the decimal / TRUE / FALSE
};

// The body of a MOF string literal (without the enclosing quotes):
// \\ \n \t \r \b \f, every other control character (0x00-0x1F, 0x7F and
// the C1 controls U+0080-U+009F), the double quote and "=" as \x followed
// by four hex digits, the MOF form of a UCS-2 code (\x0022, \x003D). A byte
// that is not part of valid UTF-8 becomes the lone surrogate code that
// stands for it (\xDC80 to \xDCFF, as "surrogateescape" decoders do), so the
// result is always ASCII-safe valid UTF-8, holds no double quote and no
// " = ", and different values always give different texts.
std::string EscapeMofString(std::string_view raw);

// The inverse of EscapeMofString for its own output (and the \' and \"
// escapes): \xDC80 to \xDCFF give back the single bytes 0x80 to 0xFF.
// Returns false on a malformed escape.
bool UnescapeMofString(std::string_view escaped, std::string &raw);

// The length of the valid UTF-8 sequence that starts at text[at] (1 to 4),
// or 0 when the byte there does not start one: a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate or a code above
// U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// Bytes that need not be UTF-8 (a mount path, a label) as text: valid UTF-8
// comes back unchanged, and every byte that is not part of valid UTF-8
// becomes the four characters \xNN (NN its value in upper-case hexadecimal).
// Two paths that differ only in such bytes keep different names, and the
// name shows where they differ; an escape that already stands in a path as
// those four characters reads the same, so the form is for people, not for
// finding the path again.
std::string VisibleUtf8(std::string raw);

// The whole object text; properties are written in the order given.
std::string RenderMofInstance(std::string_view className, const std::vector<MofProperty> &properties);

} // namespace platform
