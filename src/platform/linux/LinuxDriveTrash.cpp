// SPDX-License-Identifier: MIT
#include "platform/DriveTrash.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

namespace {

std::string Errno(const std::string &what, int code)
{
    return what + ": " + std::strerror(code);
}

bool IsFolder(const std::string &path, struct stat &st)
{
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The home trash: $XDG_DATA_HOME/Trash when that is an absolute path, else
// $HOME/.local/share/Trash.
std::string HomeTrash()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/Trash";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/Trash";
    return {};
}

// The file system a path lives on; the nearest existing folder above it
// stands for a path that does not exist yet (a trash not made yet).
bool DeviceOf(std::string path, dev_t &device)
{
    struct stat st
    {};
    while (!path.empty()) {
        if (::stat(path.c_str(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return false;
        path.resize(slash == 0 ? 1 : slash);
        if (path == "/" && ::stat("/", &st) == 0) {
            device = st.st_dev;
            return true;
        }
    }
    return false;
}

// The first problem nftw met, for RemoveTree. nftw takes a plain function,
// so the state is the thread's own.
thread_local std::string tRemoveError;

int RemoveOne(const char *path, const struct stat *, int type, struct FTW *)
{
    int result = 0;
    switch (type) {
    case FTW_DP:
        result = ::rmdir(path);
        break;
    case FTW_DNR:
        // A folder that cannot be read: its entries stay, and so does it.
        errno = EACCES;
        result = -1;
        break;
    case FTW_NS:
        errno = EACCES;
        result = -1;
        break;
    default:
        result = ::unlink(path);
        break;
    }
    if (result != 0 && tRemoveError.empty())
        tRemoveError = Errno(path, errno);
    // Going on: everything else that can go, goes.
    return 0;
}

} // namespace

bool ReadDriveSpace(const std::string &path, DriveSpace &space, std::string &error)
{
    struct statvfs fs
    {};
    if (::statvfs(path.c_str(), &fs) != 0) {
        error = Errno(path, errno);
        return false;
    }
    space.size = std::uint64_t(fs.f_blocks) * fs.f_frsize;
    space.available = std::uint64_t(fs.f_bavail) * fs.f_frsize;
    return true;
}

std::vector<std::string> TrashFolders(const std::string &driveRoot)
{
    std::vector<std::string> folders;
    struct stat st
    {};
    if (::stat(driveRoot.c_str(), &st) != 0)
        return folders;
    const std::string home = HomeTrash();
    dev_t homeDevice = 0;
    if (!home.empty() && DeviceOf(home, homeDevice) && homeDevice == st.st_dev) {
        struct stat trash
        {};
        if (IsFolder(home, trash))
            folders.push_back(home);
    }
    const std::string top = driveRoot.size() > 1 && driveRoot.back() == '/'
        ? driveRoot.substr(0, driveRoot.size() - 1)
        : driveRoot == "/" ? std::string()
                           : driveRoot;
    const std::string uid = std::to_string(::getuid());
    // A shared .Trash counts only when it is a real folder with the sticky
    // bit: anyone could have made a plain one to read what others throw away.
    struct stat shared
    {};
    if (IsFolder(top + "/.Trash", shared) && (shared.st_mode & S_ISVTX)) {
        struct stat own
        {};
        if (IsFolder(top + "/.Trash/" + uid, own) && own.st_dev == st.st_dev)
            folders.push_back(top + "/.Trash/" + uid);
    }
    struct stat own
    {};
    if (IsFolder(top + "/.Trash-" + uid, own) && own.st_dev == st.st_dev && own.st_uid == ::getuid())
        folders.push_back(top + "/.Trash-" + uid);
    return folders;
}

bool EmptyTrash(const std::string &driveRoot, std::string &error)
{
    bool ok = true;
    for (const std::string &trash : TrashFolders(driveRoot)) {
        // The trashed files and their records; the trash folder itself
        // stays. directorysizes is a cache of the sizes of trashed folders.
        for (const char *part : {"/files", "/info", "/expunged"}) {
            const std::string folder = trash + part;
            struct stat st
            {};
            if (!IsFolder(folder, st))
                continue;
            std::string failed;
            if (!RemoveTree(folder, failed) && ok) {
                ok = false;
                error = failed;
            }
            ::mkdir(folder.c_str(), 0700);
        }
        const std::string sizes = trash + "/directorysizes";
        if (::unlink(sizes.c_str()) != 0 && errno != ENOENT && ok) {
            ok = false;
            error = Errno(sizes, errno);
        }
    }
    return ok;
}

bool RemoveTree(const std::string &path, std::string &error)
{
    tRemoveError.clear();
    // Depth first, symbolic links as themselves, never leaving the file
    // system of path; at most 32 folders open at a time.
    if (::nftw(path.c_str(), RemoveOne, 32, FTW_DEPTH | FTW_PHYS | FTW_MOUNT) != 0 && tRemoveError.empty())
        tRemoveError = Errno(path, errno);
    // A folder that holds a mount point cannot go; nftw did not enter it.
    struct stat st
    {};
    if (tRemoveError.empty() && ::lstat(path.c_str(), &st) == 0)
        tRemoveError = path + ": " + std::strerror(EBUSY);
    error = tRemoveError;
    return error.empty();
}

} // namespace platform
