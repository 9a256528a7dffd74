// SPDX-License-Identifier: MIT
#pragma once

// Text functions over the MOF object text that the management service renders
// for each result object. Plain C++ (no Qt) so that the query component and
// the Windows tests share them.
//
// All text is UTF-8 in std::string. Every function works byte by byte on
// ASCII characters only (TAB, blanks and controls 0..32, '=', ';', '"', CR,
// LF), none of which can occur inside a multi-byte UTF-8 sequence, so any
// input is safe and multi-byte characters pass through unchanged.
//
// An object text looks like this (property lines begin with TAB; strings,
// and 64-bit integers such as Size and FreeSpace, stand in double quotes):
//
//   instance of Win32_LogicalDisk
//   {
//   <TAB>Compressed = FALSE;
//   <TAB>DriveType = 3;
//   <TAB>Name = "C:";
//   };

#include <string>
#include <string_view>
#include <vector>

namespace ObjectText {

// Splits text into lines at CR LF, CR or LF. A CR directly followed by LF is
// one break; a final line without a break still counts; no empty line follows
// a trailing break. An empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// Removes every leading and trailing character whose code is 0 to 32.
std::string TrimControls(std::string_view text);

// Turns the lines of one object text into its property list, one entry
// "Name=value" per line that contains "=". destination is emptied first.
// For each such line, in order: a leading TAB is dropped and the rest trimmed
// (TrimControls); one trailing ";" is dropped; every " = " becomes "="; every
// double quote is removed. Nothing is unescaped. A line with "=" that does not
// begin with TAB is taken without trimming.
//   "\tCompressed = FALSE;"   -> "Compressed=FALSE"
//   "\tName = \"C:\";"        -> "Name=C:"
//   "\tVolumeName = \"\";"    -> "VolumeName="
//   "\tCapabilities = {3, 4};" -> "Capabilities={3, 4}"
void BuildPropertyList(const std::vector<std::string> &source, std::vector<std::string> &destination);

// The value of property name in an object text, or empty text when no line
// carries it. Each line is trimmed (TrimControls) and must begin with
// name + " = " (case-sensitive); the first such line wins. The rest of the
// line is trimmed, a leading double quote dropped, every "\";" removed, and a
// trailing ";" dropped when more than one character is left.
//   ("Caption", "...\tCaption = \"C:\";...") -> "C:"
//   ("DriveType", "...\tDriveType = 3;...")  -> "3"
std::string FindValueInObjectText(std::string_view name, std::string_view text);

// Empty text when isNull, otherwise value.
std::string ValueAsText(const std::string &value, bool isNull);

} // namespace ObjectText
