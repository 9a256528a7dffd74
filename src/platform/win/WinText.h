// SPDX-License-Identifier: MIT
#pragma once

// Text at the boundary to the Windows API: the rest of the program speaks
// UTF-8, the system UTF-16.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win {

// Invalid sequences become U+FFFD in both directions, so any input converts.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The system's message text for a Win32 error code or an HRESULT, without the
// trailing line break, in UTF-8. WMI's own codes (facility ITF, 0x8004xxxx)
// are looked up in the message table of wmiutils.dll as well. When no table
// knows the code: "WMI error 0x%08X" for those, "Error 0x%08X" otherwise.
std::string SystemMessage(std::uint32_t code);

} // namespace platform::win
