// SPDX-License-Identifier: MIT
#pragma once

#include "platform/WbemService.h"

#include <string>

namespace platform {

// A locator for tests, switched on by VELMORA_FAKE_WBEM=<file>: it serves the
// object texts of that file, whatever the host, namespace and query. The file
// is read again at every ConnectServer and every ExecQuery, so a test scripts
// a sequence of results by rewriting it between refreshes.
//
// File format (UTF-8; lines end in LF or CR LF):
//   - An optional first line holding a directive:
//       "!connect-error <message>"  ConnectServer throws WbemError(<message>)
//       "!query-error <message>"    ExecQuery throws WbemError(<message>)
//     A directive that does not apply to the call at hand is ignored; without
//     a message the directive's own name ("connect-error") is the message.
//   - Then the object texts, one after the other, separated by lines that are
//     exactly "----". GetObjectText() returns each block as written, its line
//     breaks included. A block of nothing but blanks and line breaks is not an
//     object, so leading, trailing or doubled separators are harmless.
//   - A block whose first line is "!text-error <message>" is an object whose
//     GetObjectText() throws WbemError(<message>).
//   - A missing file is an empty result. A file that cannot be read, or one
//     larger than 16 MiB, makes the call throw WbemError.
//
// Example, two drives:
//   instance of Win32_LogicalDisk
//   {
//   <TAB>DriveType = 3;
//   <TAB>Name = "C:";
//   };
//   ----
//   instance of Win32_LogicalDisk
//   {
//   <TAB>DriveType = 5;
//   <TAB>Name = "D:";
//   };
class FakeWbemLocator : public WbemLocator
{
public:
    explicit FakeWbemLocator(std::string path) : m_path(std::move(path)) {}
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) override;

private:
    std::string m_path;
};

} // namespace platform
