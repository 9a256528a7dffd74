// SPDX-License-Identifier: MIT
// Folders, locale, version and error text on Linux.
#include "platform/linux/LinuxSystemInfo.h"

#include "platform/Folders.h"
#include "platform/SystemError.h"
#include "platform/UserLocale.h"
#include "platform/VersionResource.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

std::string Environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// An XDG base directory: the variable when it holds an absolute path (the
// XDG Base Directory Specification calls a relative one invalid), else the
// fallback under the home folder.
std::string XdgFolder(const char *variable, std::string_view fallback)
{
    const std::string value = Environment(variable);
    if (!value.empty() && value.front() == '/')
        return value;
    return LinuxJoinPath(LinuxHomeFolder(), fallback);
}

// The canonical path (every link resolved) of an existing file; empty when
// there is none.
std::string CanonicalPath(const std::string &path)
{
    if (path.empty())
        return {};
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// GNU strerror_r returns the text (maybe a static one instead of buffer);
// the XSI one returns 0 and fills buffer.
[[maybe_unused]] std::string StrerrorText(const char *text, const char *)
{
    return text ? std::string(text) : std::string();
}
[[maybe_unused]] std::string StrerrorText(int result, const char *buffer)
{
    return result == 0 ? std::string(buffer) : std::string();
}

} // namespace

std::string LinuxCleanPath(std::string_view absolutePath)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= absolutePath.size()) {
        std::size_t end = absolutePath.find('/', start);
        if (end == std::string_view::npos)
            end = absolutePath.size();
        const std::string_view part = absolutePath.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string_view part : parts) {
        result += '/';
        result += part;
    }
    return result.empty() ? std::string("/") : result;
}

std::string LinuxHomeFolder()
{
    const std::string home = Environment("HOME");
    return home.empty() ? std::string("/") : LinuxCleanPath(home);
}

std::string LinuxJoinPath(const std::string &base, std::string_view name)
{
    std::string result = base;
    if (result.empty() || result.back() != '/')
        result += '/';
    result += name;
    return result;
}

std::string UserConfigFolder()
{
    return LinuxCleanPath(XdgFolder("XDG_CONFIG_HOME", ".config"));
}

std::string ProgramDataFolder()
{
    return LinuxJoinPath(XdgFolder("XDG_DATA_HOME", ".local/share"), "Velmora");
}

std::string ProgramStateFolder()
{
    return LinuxJoinPath(XdgFolder("XDG_STATE_HOME", ".local/state"), "velmora");
}

char PathSeparator()
{
    return '/';
}

std::uint32_t UserLocaleId()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string value = Environment(variable);
        if (!value.empty())
            return LocaleIdFromPosixName(value);
    }
    return LocaleEnglishUS;
}

std::optional<FileVersion> ReadFileVersion(const std::string &fileName, const FileVersion &builtIn)
{
    if (!fileName.empty()) {
        const std::string asked = CanonicalPath(fileName);
        if (asked.empty() || asked != CanonicalPath("/proc/self/exe"))
            return std::nullopt;
    }
    return builtIn;
}

std::string LastSystemErrorText()
{
    const int code = errno;
    char buffer[256] = {};
    return StrerrorText(strerror_r(code, buffer, sizeof buffer), buffer);
}

} // namespace platform
