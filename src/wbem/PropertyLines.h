// SPDX-License-Identifier: MIT
#pragma once

// The property lines that velmora-wql --properties prints: one line per
// property of a result object,
//
//   Name="value"
//
// the property's name, "=", and its value in double quotes. Inside the
// quotes \" stands for a double quote, \\ for a backslash, \n \r \t for line
// feed, carriage return and tab, and \xNN (two hexadecimal digits) for the
// single byte NN. \xNN is written for every other control character (0x00 to
// 0x1F, 0x7F, and the C1 controls U+0080 to U+009F as their two UTF-8 bytes)
// and for every byte that is not part of valid UTF-8; everything else stands
// as it is. A line therefore never holds a control character, never ends
// inside its value, and reads back to exactly the value's bytes: values that
// differ in bytes that are not UTF-8 print differently.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The text between the quotes.
std::string EscapePropertyValue(std::string_view value);

// name, "=", the escaped value in double quotes; no line break.
std::string PropertyLine(std::string_view name, std::string_view value);

// Reads one line as PropertyLine writes it. False, with name and value
// unspecified, for anything else: no "=", an empty name, a value without
// its quotes or with text after them, an unknown escape, \x without two hex
// digits, a control character standing in the line.
bool ParsePropertyLine(std::string_view line, std::string &name, std::string &value);

// The properties of one MOF object text (property lines begin with TAB and
// read "Name = value;"), in order: a value in double quotes without them and
// with its MOF escapes undone (kept as written when they are malformed),
// other values (numbers, TRUE and FALSE, arrays) as they stand. Lines that
// are no property lines are passed over.
std::vector<std::pair<std::string, std::string>> MofInstanceValues(std::string_view objectText);

} // namespace platform
