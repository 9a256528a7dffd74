// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/WbemService.h"

#include <functional>
#include <optional>
#include <string>

namespace platform {

// A locator for tests, switched on by VELMORA_FAKE_WBEM=<file> (see
// platform/WbemFactory.h): it serves the
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
//   - A missing file is an empty result. A file that cannot be read makes the
//     call throw WbemError.
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
//
// The file is read through read: the file's bytes, nothing when there is no
// such file; it throws WbemError when the file cannot be read (the system's
// reader is platform::ReadFakeWbemFile).
using FakeFileReader = std::function<std::optional<std::string>(const std::string &path)>;

class FakeWbemLocator : public WbemLocator
{
public:
    FakeWbemLocator(std::string path, FakeFileReader read) : m_path(std::move(path)), m_read(std::move(read)) {}
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) override;

private:
    std::string m_path;
    FakeFileReader m_read;
};

} // namespace platform
