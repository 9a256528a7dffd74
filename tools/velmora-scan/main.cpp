// SPDX-License-Identifier: MIT
// velmora-scan [--top N] [--files N] [--json] [--apparent-size] [--jobs N] [--background] PATH
//
// How much space PATH and the folders below it use on its file system, as
// du -xB1 counts it. Without options it prints what du -xB1 -d1 prints (the
// folders directly in PATH, here biggest first, then PATH with its total:
// "BYTES<TAB>PATH" lines); --top N prints the N biggest folders at any depth
// instead, --files N adds the N biggest files. --json prints one object with
// both sizes of everything. Folders that could not be read are named on
// standard error; the exit code is then 1 (the total leaves them out, as du's
// does). 2: PATH cannot be scanned at all, or the options are wrong.
#include "usage/Scanner.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char *kHelp = "Usage: velmora-scan [OPTION]... PATH\n"
                              "Show how much space PATH and the biggest folders and files below it use,\n"
                              "counted as du -xB1 counts: bytes of the disk in use, one file system only\n"
                              "(mount points below PATH are left out), symbolic links never followed,\n"
                              "hard-linked files counted once.\n"
                              "\n"
                              "Without options the output is du -xB1 -d1's: a line \"BYTES<TAB>PATH\" for each\n"
                              "folder directly in PATH (biggest first), then one for PATH itself.\n"
                              "\n"
                              "  --top N          the N biggest folders at any depth instead of those\n"
                              "                   directly in PATH\n"
                              "  --files N        also the N biggest files (before the total line)\n"
                              "  --json           one JSON object: the total, the folders, the files, the\n"
                              "                   unreadable folders and the mount points left out, each\n"
                              "                   with its size on the disk and its apparent size\n"
                              "  --apparent-size  print apparent sizes (the lengths of the files) instead\n"
                              "                   of the space used on the disk\n"
                              "  --jobs N         read up to N folders at the same time while the disk\n"
                              "                   is read (default 32; from the cache one per processor;\n"
                              "                   a spinning disk is always read one folder at a time)\n"
                              "  --background     read in the idle I/O class at a low CPU priority, so\n"
                              "                   that other programs keep the disk and processors first\n"
                              "  -h, --help       show this help and exit\n"
                              "\n"
                              "While it runs, progress is shown on standard error when that is a terminal.\n"
                              "Exit status: 0 all read; 1 some folders could not be read (named on standard\n"
                              "error, their contents not counted); 2 PATH cannot be scanned or wrong options.\n";

int UsageError(const std::string &message)
{
    std::fprintf(stderr, "velmora-scan: %s\nTry 'velmora-scan --help'.\n", message.c_str());
    return 2;
}

bool ParseCount(const char *text, std::size_t limit, std::size_t &value)
{
    if (!text || !*text)
        return false;
    std::size_t n = 0;
    for (const char *p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        n = n * 10 + std::size_t(*p - '0');
        if (n > limit)
            return false;
    }
    value = n;
    return true;
}

// The length of a valid UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t n = c < 0x80     ? 1
        : c >= 0xC2 && c <= 0xDF ? 2
        : c >= 0xE0 && c <= 0xEF ? 3
        : c >= 0xF0 && c <= 0xF4 ? 4
                                 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    if (n == 3 && ((c == 0xE0 && byte(i + 1) < 0xA0) || (c == 0xED && byte(i + 1) > 0x9F)))
        return 0; // overlong, or a UTF-16 surrogate
    if (n == 4 && ((c == 0xF0 && byte(i + 1) < 0x90) || (c == 0xF4 && byte(i + 1) > 0x8F)))
        return 0;
    return n;
}

// A JSON string of text; bytes that are not UTF-8 become U+FFFD, and valid
// is cleared then (the caller adds the bytes in hex).
std::string JsonString(std::string_view text, bool &valid)
{
    std::string out = "\"";
    valid = true;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\\ufffd";
            valid = false;
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out + "\"";
}

std::string JsonPath(std::string_view key, std::string_view path)
{
    bool valid = true;
    std::string out = "\"" + std::string(key) + "\": " + JsonString(path, valid);
    if (!valid) {
        static const char digits[] = "0123456789abcdef";
        out += ", \"" + std::string(key) + "_hex\": \"";
        for (unsigned char c : path) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        out += "\"";
    }
    return out;
}

std::string JsonSizes(std::uint64_t allocated, std::uint64_t apparent)
{
    return "\"bytes\": " + std::to_string(allocated) + ", \"apparent_bytes\": " + std::to_string(apparent);
}

void PrintLine(std::uint64_t size, const std::string &path)
{
    std::string line = std::to_string(size);
    line += '\t';
    line += path;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string JoinPath(const std::string &folder, const std::string &name)
{
    return folder.empty() || folder.back() == kSeparator ? folder + name : folder + kSeparator + name;
}

void ShowProgress(const usage::ScanProgress &progress)
{
    char head[96];
    std::snprintf(head, sizeof head, "%llu entries, %.1f MiB: ", static_cast<unsigned long long>(progress.entries),
                  double(progress.allocated) / 1048576.0);
    std::string line = head;
    std::string folder = progress.currentFolder;
    // One line of a terminal: the end of the path is what changes.
    const std::size_t room = 78 > line.size() ? 78 - line.size() : 0;
    if (folder.size() > room)
        folder = "..." + folder.substr(folder.size() - (room > 3 ? room - 3 : 0));
    line += folder;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv)
{
    usage::ScanOptions options;
    options.biggestFiles = 0;
    std::size_t top = 0, files = 0, jobs = usage::ScanOptions{}.parallelReads;
    bool haveTop = false, json = false, apparent = false, background = false;
    std::string path;
    bool havePath = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--top" || arg == "--files" || arg == "--jobs") {
            std::size_t value = 0;
            const std::size_t limit = arg == "--jobs" ? 64 : 1000000;
            if (i + 1 >= argc || !ParseCount(argv[i + 1], limit, value) || (arg == "--jobs" && value == 0))
                return UsageError(arg + " needs a number (" + (arg == "--jobs" ? "1 to 64" : "0 to 1000000")
                                  + ")");
            ++i;
            if (arg == "--top") {
                top = value;
                haveTop = true;
            } else if (arg == "--files") {
                files = value;
            } else {
                jobs = value;
            }
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--apparent-size") {
            apparent = true;
        } else if (arg == "--background") {
            background = true;
        } else if (arg == "--") {
            if (i + 1 < argc && !havePath) {
                path = argv[++i];
                havePath = true;
            }
            if (i + 1 < argc)
                return UsageError("only one PATH is scanned");
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else if (havePath) {
            return UsageError("only one PATH is scanned");
        } else {
            path = arg;
            havePath = true;
        }
    }
    if (!havePath)
        return UsageError("no PATH given");

    options.root = path;
    // Someone waiting at a terminal wants the answer: the widget's own scans
    // run in the background, the command line only when asked.
    options.background = background;
    options.parallelReads = unsigned(jobs);
    options.biggestFiles = json ? std::max<std::size_t>(files, 10) : files;
    usage::Scanner scanner(options);
    std::string error;
    if (!scanner.Start(error)) {
        std::fprintf(stderr, "velmora-scan: cannot scan '%s': %s\n", path.c_str(), error.c_str());
        return 2;
    }
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    while (!scanner.WaitFor(std::chrono::milliseconds(200)))
        if (progress)
            ShowProgress(scanner.Snapshot());
    scanner.Wait();
    if (progress)
        std::fputs("\r\033[K", stderr);

    const usage::ScanTree &tree = scanner.Tree();
    // Paths are printed as given, like du: PATH itself, then names below it.
    const auto shownPath = [&](usage::FolderId id) {
        std::string shown = path;
        std::vector<usage::FolderId> chain;
        for (usage::FolderId at = id; at != 0; at = tree.Folder(at).parent)
            chain.push_back(at);
        for (auto at = chain.rbegin(); at != chain.rend(); ++at)
            shown = JoinPath(shown, std::string(tree.Name(*at)));
        return shown;
    };
    const std::vector<usage::FolderId> folders = haveTop ? tree.BiggestFolders(top) : tree.ChildrenBySize(0);
    std::vector<usage::FileItem> biggestFiles = tree.BiggestFiles();
    if (biggestFiles.size() > files && !json)
        biggestFiles.resize(files);

    for (const usage::ProblemFolder &problem : tree.Unreadable())
        std::fprintf(stderr, "velmora-scan: cannot read '%s': %s\n", shownPath(problem.folder).c_str(),
                     problem.reason.c_str());

    if (json) {
        std::string out = "{";
        out += JsonPath("path", path) + ", " + JsonSizes(tree.Allocated(), tree.Apparent());
        out += ", \"files\": " + std::to_string(tree.FileCount());
        out += ", \"folders\": " + std::to_string(tree.FolderCount());
        out += ",\n \"biggest_folders\": [";
        const auto folderObject = [&](usage::FolderId id) {
            const usage::FolderRecord &r = tree.Folder(id);
            return "{" + JsonPath("path", shownPath(id)) + ", " + JsonSizes(r.allocated, r.apparent)
                + ", \"files\": " + std::to_string(r.files) + "}";
        };
        for (std::size_t i = 0; i < folders.size(); ++i)
            out += (i ? ",\n  " : "\n  ") + folderObject(folders[i]);
        out += "],\n \"biggest_files\": [";
        std::size_t shown = 0;
        for (const usage::FileItem &file : biggestFiles) {
            if (shown == files)
                break;
            out += (shown++ ? ",\n  " : "\n  ") + std::string("{")
                + JsonPath("path", JoinPath(shownPath(file.folder), file.name)) + ", "
                + JsonSizes(file.allocated, file.apparent) + "}";
        }
        out += "],\n \"unreadable\": [";
        for (std::size_t i = 0; i < tree.Unreadable().size(); ++i) {
            const usage::ProblemFolder &problem = tree.Unreadable()[i];
            bool valid = true;
            out += (i ? ",\n  " : "\n  ") + std::string("{") + JsonPath("path", shownPath(problem.folder))
                + ", \"reason\": " + JsonString(problem.reason, valid) + "}";
        }
        out += "],\n \"mount_points_left_out\": [";
        for (std::size_t i = 0; i < tree.MountPoints().size(); ++i) {
            const usage::MountPointItem &mount = tree.MountPoints()[i];
            out += (i ? ",\n  " : "\n  ") + std::string("{")
                + JsonPath("path", JoinPath(shownPath(mount.folder), mount.name)) + "}";
        }
        out += "]}\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
    } else {
        for (usage::FolderId id : folders)
            PrintLine(apparent ? tree.Folder(id).apparent : tree.Folder(id).allocated, shownPath(id));
        for (const usage::FileItem &file : biggestFiles)
            PrintLine(apparent ? file.apparent : file.allocated, JoinPath(shownPath(file.folder), file.name));
        PrintLine(apparent ? tree.Apparent() : tree.Allocated(), path);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "velmora-scan: cannot write the output: %s\n", std::strerror(errno));
        return 2;
    }
    return tree.Unreadable().empty() ? 0 : 1;
}
