// SPDX-License-Identifier: MIT
// Start with the session: an XDG autostart entry (Desktop Application
// Autostart Specification), $XDG_CONFIG_HOME/autostart/<name>.desktop.
#include "platform/linux/LinuxSessionStart.h"

#include "platform/BoundedFile.h"
#include "platform/Folders.h"
#include "platform/SessionStart.h"
#include "platform/linux/LinuxSystemInfo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Reserved characters of the Desktop Entry Specification's Exec key, plus
// "=", which the program path may not hold unquoted.
bool NeedsQuotes(const std::string &text)
{
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`=";
    return text.empty() || text.find_first_of(reserved) != std::string::npos;
}

std::string ErrnoText(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// mkdir -p: every missing folder of path, mode 0777 less the umask.
bool MakeFolders(const std::string &path, std::string *error)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            if (error)
                *error = ErrnoText(folder.c_str());
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

std::string EntryPath(const std::string &programPath)
{
    return LinuxJoinPath(UserConfigFolder(), "autostart/") + SessionStartEntryName(programPath) + ".desktop";
}

} // namespace

std::string LinuxDesktopExecArgument(const std::string &programPath)
{
    std::string argument;
    const bool quote = NeedsQuotes(programPath);
    if (quote)
        argument += '"';
    for (const char c : programPath) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            argument += '\\';
        // A lone "%" would start a field code.
        if (c == '%')
            argument += '%';
        argument += c;
    }
    if (quote)
        argument += '"';
    // The string-value escapes are undone before the quoting, so every
    // backslash of the quoted argument is doubled once more.
    std::string value;
    for (const char c : argument) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string LinuxDesktopEntryText(const std::string &programPath)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velmora\n"
           "Exec="
        + LinuxDesktopExecArgument(programPath) + '\n';
}

bool LinuxWriteFileAtomically(const std::string &path, const std::string &text, std::string *error)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string base = folder + "." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    // A new sibling gets mode 0666 less the umask from the system itself.
    std::string sibling;
    int fd = -1;
    for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        sibling = base + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        if (error)
            *error = ErrnoText(path.c_str());
        return false;
    }
    // The first failure's errno is the one reported.
    int failure = 0;
    const auto step = [&failure](bool done) {
        if (!done && failure == 0)
            failure = errno != 0 ? errno : EIO;
        return done;
    };
    // A replaced file keeps its mode.
    if (struct stat old{}; ::stat(path.c_str(), &old) == 0)
        step(::fchmod(fd, old.st_mode & 07777) == 0);
    for (std::size_t done = 0; failure == 0 && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (step(n > 0))
            done += std::size_t(n);
    }
    if (failure == 0)
        step(::fsync(fd) == 0);
    step(::close(fd) == 0);
    if (failure == 0)
        step(::rename(sibling.c_str(), path.c_str()) == 0);
    const bool ok = failure == 0;
    if (!ok) {
        ::unlink(sibling.c_str());
        errno = failure;
        if (error)
            *error = ErrnoText(path.c_str());
    }
    return ok;
}

std::string LinuxExecProgram(const std::string &entryText)
{
    // The Exec value of the [Desktop Entry] group: keys of other groups and
    // localised keys (Exec[de]) do not count.
    std::string value;
    bool inEntryGroup = false;
    bool found = false;
    for (std::size_t start = 0; start < entryText.size() && !found;) {
        std::size_t end = entryText.find('\n', start);
        if (end == std::string::npos)
            end = entryText.size();
        std::string line = entryText.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inEntryGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inEntryGroup || equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        if (key != "Exec")
            continue;
        std::size_t from = equals + 1;
        while (from < line.size() && (line[from] == ' ' || line[from] == '\t'))
            ++from;
        // The string-value escapes first.
        for (std::size_t i = from; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                switch (line[++i]) {
                case 's':
                    value += ' ';
                    break;
                case 'n':
                    value += '\n';
                    break;
                case 't':
                    value += '\t';
                    break;
                case 'r':
                    value += '\r';
                    break;
                default:
                    value += line[i];
                    break;
                }
            } else {
                value += line[i];
            }
        }
        found = true;
    }
    if (!found)
        return std::string();

    // Then the first argument: quoted ("...", where a backslash keeps the
    // next character) or up to the first blank.
    std::string program;
    std::size_t i = 0;
    if (!value.empty() && value[0] == '"') {
        bool closed = false;
        for (i = 1; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                program += value[++i];
            } else if (value[i] == '"') {
                closed = true;
                break;
            } else {
                program += value[i];
            }
        }
        if (!closed)
            return std::string();
    } else {
        const std::size_t blank = value.find_first_of(" \t");
        program = value.substr(0, blank);
    }
    // "%%" is a literal "%".
    std::string unpercented;
    for (std::size_t k = 0; k < program.size(); ++k) {
        unpercented += program[k];
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%')
            ++k;
    }
    return unpercented;
}

std::string SessionStartProgram(const std::string &programPath)
{
    // An entry is a few lines; anything larger, or anything that is no
    // regular file, is not one of ours.
    constexpr std::size_t MaxEntryBytes = 64 * 1024;
    const BoundedRead entry = ReadBoundedFile(EntryPath(programPath), MaxEntryBytes);
    return LinuxExecProgram(entry.Ok() ? entry.Bytes : std::string());
}

std::string SessionStartEntryName(const std::string &programPath)
{
    const std::string name = programPath.substr(programPath.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

std::string SessionStartEntryLocation(const std::string &programPath)
{
    return EntryPath(programPath);
}

SessionStartResult SetSessionStart(const std::string &programPath, bool enable, std::string *error)
{
    const std::string entry = EntryPath(programPath);
    if (!enable) {
        ::unlink(entry.c_str());
        return SessionStartResult::Done;
    }
    if (!MakeFolders(entry.substr(0, entry.rfind('/')), error)
        || !LinuxWriteFileAtomically(entry, LinuxDesktopEntryText(programPath), error))
        return SessionStartResult::WriteFailed;
    return SessionStartResult::Done;
}

} // namespace platform
