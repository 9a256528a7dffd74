// SPDX-License-Identifier: MIT
// Folders read with getdents64 and their entries sized with statx, every
// folder opened relative to its parent (openat with O_NOFOLLOW), so that
// neither symbolic links nor the length of a path matter.
//
// Mount points below the root are taken from the mount table before anything
// is asked: a name that is a mount point is never given to stat or open, so a
// hung network or FUSE mount below the scanned folder is never touched
// (stat on a mount point asks the mounted file system, not the one below it).
// A folder on another device or the root of another mount that the table did
// not know about is still recognised by its statx answer and left out, and a
// folder is opened with openat2's RESOLVE_NO_XDEV, so that a file system
// mounted on it after it was listed is refused by the kernel itself (one
// system call where openat and fstat took two).
//
// The folders a cursor keeps open come out of one budget for the whole
// volume, taken from the process's limit of open files: many workers each
// holding their chain of ancestors must not make the scan (or the program
// around it) fail with EMFILE.
#include "platform/DirectoryReader.h"
#include "platform/linux/LinuxMountTable.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/openat2.h>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// The mount points below the root, as a tree of names: a folder whose chain
// leaves this tree holds no mount point at any depth.
struct MountTree
{
    bool mountPoint = false;
    std::map<std::string, MountTree, std::less<>> below;
};

void AddMount(MountTree &tree, std::string_view relative)
{
    MountTree *node = &tree;
    while (!relative.empty()) {
        const auto slash = relative.find('/');
        const std::string_view name = relative.substr(0, slash);
        if (!name.empty())
            node = &node->below[std::string(name)];
        relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    }
    if (node != &tree)
        node->mountPoint = true;
}

bool ReadRotational(unsigned major, unsigned minor)
{
    if (major == 0)
        return false; // no block device: tmpfs, btrfs subvolumes, network and FUSE file systems
    const std::string base = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    // A partition has no queue of its own: its disk (the parent folder) has.
    for (const char *queue : {"/queue/rotational", "/../queue/rotational"}) {
        std::ifstream file(base + queue);
        int value = 0;
        if (file >> value)
            return value != 0;
    }
    return false;
}

constexpr unsigned kStatxMask = STATX_TYPE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_MNT_ID;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Whether openat2 is there (Linux 5.6 and later, and not refused by a seccomp
// filter); learnt from the first call.
std::atomic<int> g_openat2{1};

// Opens the folder name in parent, never crossing into another mount. Returns
// the descriptor or -1 with errno set: EXDEV when another file system is
// mounted there, ENOTDIR or ELOOP when it is no longer a folder.
int OpenSubfolder(int parent, const char *name, dev_t device)
{
    if (g_openat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kOpenFolder;
        how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, parent, name, &how, sizeof how);
        if (fd >= 0)
            return int(fd);
        if (errno != ENOSYS && errno != EPERM)
            return -1;
        g_openat2.store(0, std::memory_order_relaxed);
    }
    const int fd = ::openat(parent, name, kOpenFolder);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_dev != device || !S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

// Descriptors left to the rest of the process; the scan's own (held ones and
// two per cursor) share what remains of the limit.
rlim_t ReservedFiles(rlim_t limit)
{
    return std::max<rlim_t>(64, limit / 4);
}

class LinuxDirectoryVolume;

class LinuxDirectoryCursor final : public DirectoryCursor
{
public:
    LinuxDirectoryCursor(LinuxDirectoryVolume &volume, unsigned maxOpen);
    ~LinuxDirectoryCursor() override;

    DirectoryReadStatus Read(std::span<const DirectoryStep> chain, DirectoryEntrySink &sink,
                             const std::atomic<bool> &stop, std::string &error) override;

private:
    struct Held
    {
        std::uint32_t key;
        int fd;
        std::uint64_t lastUse;
    };

    int OpenChain(std::span<const DirectoryStep> chain, DirectoryReadStatus &status, std::string &error);
    // Keeps fd open under key (closing the least used one when this
    // cursor's share is full); false, fd left to the caller, when the
    // volume's budget has no room for this cursor to hold any.
    bool Hold(std::uint32_t key, int fd);

    LinuxDirectoryVolume &m_volume;
    const unsigned m_maxOpen;
    std::vector<Held> m_held;
    std::uint64_t m_clock = 0;
    std::vector<char> m_buffer;
};

class LinuxDirectoryVolume final : public DirectoryVolume
{
public:
    int rootFd = -1;
    dev_t device = 0;
    std::uint64_t mountId = 0;
    bool haveMountId = false;
    std::uint64_t rootAllocated = 0;
    std::uint64_t rootApparent = 0;
    bool rotational = false;
    std::string rootPath;
    MountTree mounts;
    // Folders all cursors may keep open together, and how many they do.
    std::atomic<std::int64_t> holdBudget{0};

    ~LinuxDirectoryVolume() override
    {
        if (rootFd >= 0)
            ::close(rootFd);
    }
    std::uint64_t RootAllocatedBytes() const override { return rootAllocated; }
    std::uint64_t RootApparentBytes() const override { return rootApparent; }
    bool Rotational() const override { return rotational; }
    const std::string &RootPath() const override { return rootPath; }
    std::unique_ptr<DirectoryCursor> NewCursor(unsigned maxOpenFolders) override
    {
        return std::make_unique<LinuxDirectoryCursor>(*this, maxOpenFolders);
    }
};

LinuxDirectoryCursor::LinuxDirectoryCursor(LinuxDirectoryVolume &volume, unsigned maxOpen)
    : m_volume(volume), m_maxOpen(std::max(1u, maxOpen)), m_buffer(64 * 1024)
{
    // This cursor's own two descriptors (the folder read and the one opened
    // on the way to it) come out of the budget too.
    m_volume.holdBudget.fetch_sub(2, std::memory_order_relaxed);
}

LinuxDirectoryCursor::~LinuxDirectoryCursor()
{
    for (const Held &held : m_held)
        ::close(held.fd);
    m_volume.holdBudget.fetch_add(std::int64_t(m_held.size()) + 2, std::memory_order_relaxed);
}

bool LinuxDirectoryCursor::Hold(std::uint32_t key, int fd)
{
    if (m_held.size() < m_maxOpen) {
        if (m_volume.holdBudget.fetch_sub(1, std::memory_order_relaxed) > 0) {
            m_held.push_back(Held{key, fd, ++m_clock});
            return true;
        }
        m_volume.holdBudget.fetch_add(1, std::memory_order_relaxed);
        if (m_held.empty())
            return false;
    }
    // The least recently used one makes way.
    auto oldest = std::min_element(m_held.begin(), m_held.end(),
                                   [](const Held &a, const Held &b) { return a.lastUse < b.lastUse; });
    ::close(oldest->fd);
    *oldest = Held{key, fd, ++m_clock};
    return true;
}

// Opens the last folder of chain, starting from the deepest ancestor still
// held (or the root), one name at a time. The folders passed on the way are
// held for their other children. Returns the descriptor, or -1 with status
// and error set.
int LinuxDirectoryCursor::OpenChain(std::span<const DirectoryStep> chain, DirectoryReadStatus &status,
                                    std::string &error)
{
    int from = m_volume.rootFd;
    std::size_t next = 0;
    for (std::size_t i = chain.size(); i-- > 0 && next == 0;) {
        for (Held &held : m_held) {
            if (held.key == chain[i].key) {
                held.lastUse = ++m_clock;
                from = held.fd;
                next = i + 1;
                break;
            }
        }
    }
    if (next == chain.size()) {
        // The folder itself is held: a second read needs a descriptor of its
        // own (getdents64 reads on from the descriptor's position).
        const int fd = ::openat(from, ".", kOpenFolder);
        if (fd < 0) {
            status = DirectoryReadStatus::Unreadable;
            error = std::strerror(errno);
        }
        return fd;
    }
    // A folder opened on the way that could not be held: closed once its
    // child is open.
    int passing = -1;
    for (std::size_t i = next; i < chain.size(); ++i) {
        const std::string name(chain[i].name);
        const int fd = OpenSubfolder(from, name.c_str(), m_volume.device);
        const int code = errno;
        if (passing >= 0)
            ::close(passing);
        passing = -1;
        if (fd < 0) {
            if (code == EXDEV) {
                // Whatever was mounted here since the folder was listed is not ours.
                status = DirectoryReadStatus::Vanished;
                error = "it is no longer a folder of this file system";
                return -1;
            }
            // ELOOP: it is a symbolic link now; ENOTDIR: no longer a folder.
            status = (code == ENOENT || code == ENOTDIR || code == ELOOP) ? DirectoryReadStatus::Vanished
                                                                          : DirectoryReadStatus::Unreadable;
            error = std::strerror(code);
            return -1;
        }
        if (i + 1 == chain.size())
            return fd;
        if (!Hold(chain[i].key, fd))
            passing = fd; // not held: open only until its child is
        from = fd;
    }
    return -1; // not reached: the chain is not empty here
}

DirectoryReadStatus LinuxDirectoryCursor::Read(std::span<const DirectoryStep> chain, DirectoryEntrySink &sink,
                                               const std::atomic<bool> &stop, std::string &error)
{
    DirectoryReadStatus status = DirectoryReadStatus::Ok;
    const int fd = chain.empty() ? ::openat(m_volume.rootFd, ".", kOpenFolder) : OpenChain(chain, status, error);
    if (fd < 0) {
        if (chain.empty()) {
            error = std::strerror(errno);
            status = DirectoryReadStatus::Unreadable;
        }
        return status;
    }

    // The mount points among this folder's entries, if any lie below it.
    const MountTree *mounts = &m_volume.mounts;
    for (const DirectoryStep &step : chain) {
        if (mounts->below.empty()) {
            mounts = nullptr;
            break;
        }
        const auto found = mounts->below.find(step.name);
        if (found == mounts->below.end()) {
            mounts = nullptr;
            break;
        }
        mounts = &found->second;
    }
    if (mounts && mounts->below.empty())
        mounts = nullptr;

    bool subfolders = false;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, m_buffer.data(), m_buffer.size());
        if (got < 0) {
            error = std::strerror(errno);
            status = DirectoryReadStatus::Unreadable;
            break;
        }
        if (got == 0)
            break;
        for (long offset = 0; offset < got;) {
            // struct linux_dirent64: d_ino (8), d_off (8), d_reclen (2), d_type (1), d_name.
            const char *record = m_buffer.data() + offset;
            unsigned short length = 0;
            std::memcpy(&length, record + 16, sizeof length);
            if (length == 0)
                break;
            offset += length;
            const char *name = record + 19;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            if (stop.load(std::memory_order_relaxed)) {
                ::close(fd);
                return DirectoryReadStatus::Cancelled;
            }
            DirectoryEntry entry;
            entry.name = std::string_view(name);
            if (mounts) {
                const auto found = mounts->below.find(entry.name);
                if (found != mounts->below.end() && found->second.mountPoint) {
                    entry.kind = DirectoryEntryKind::MountPoint;
                    sink.Entry(entry);
                    continue;
                }
            }
            struct statx st;
            if (::statx(fd, name, kStatxFlags, kStatxMask, &st) != 0)
                continue; // gone since it was listed
            entry.allocatedBytes = std::uint64_t(st.stx_blocks) * 512u;
            entry.apparentBytes = st.stx_size;
            const mode_t type = st.stx_mode & S_IFMT;
            if (type == S_IFDIR) {
                const bool otherDevice = makedev(st.stx_dev_major, st.stx_dev_minor) != m_volume.device;
                const bool mountRoot = (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
                    && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
                const bool otherMount = m_volume.haveMountId && (st.stx_mask & STATX_MNT_ID)
                    && st.stx_mnt_id != m_volume.mountId;
                if (otherDevice || mountRoot || otherMount) {
                    entry.kind = DirectoryEntryKind::MountPoint;
                    entry.allocatedBytes = entry.apparentBytes = 0;
                } else {
                    entry.kind = DirectoryEntryKind::Folder;
                    subfolders = true;
                }
            } else {
                entry.kind = type == S_IFREG ? DirectoryEntryKind::File : DirectoryEntryKind::Other;
                if (st.stx_nlink > 1)
                    entry.linkedId = st.stx_ino;
            }
            sink.Entry(entry);
        }
    }
    // A folder with folders in it stays open for their reads.
    if (!subfolders || chain.empty() || status != DirectoryReadStatus::Ok || !Hold(chain.back().key, fd))
        ::close(fd);
    return status;
}

} // namespace

std::unique_ptr<DirectoryVolume> OpenDirectoryVolume(const std::string &path, std::string &error)
{
    auto volume = std::make_unique<LinuxDirectoryVolume>();
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        error = std::strerror(errno);
        return nullptr;
    }
    volume->rootPath = resolved;
    std::free(resolved);
    volume->rootFd = ::open(volume->rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (volume->rootFd < 0) {
        error = errno == ENOTDIR ? std::string("it is not a folder") : std::string(std::strerror(errno));
        return nullptr;
    }
    struct statx st;
    if (::statx(volume->rootFd, "", AT_EMPTY_PATH, kStatxMask, &st) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    volume->device = makedev(st.stx_dev_major, st.stx_dev_minor);
    volume->haveMountId = (st.stx_mask & STATX_MNT_ID) != 0;
    volume->mountId = st.stx_mnt_id;
    volume->rootAllocated = std::uint64_t(st.stx_blocks) * 512u;
    volume->rootApparent = st.stx_size;
    volume->rotational = ReadRotational(st.stx_dev_major, st.stx_dev_minor);
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        volume->holdBudget = std::int64_t(files.rlim_cur
                                          - std::min(files.rlim_cur, ReservedFiles(files.rlim_cur)));
    else
        volume->holdBudget = 1 << 20;

    // Every mount strictly below the root. Without a readable table the scan
    // still keeps to its file system by the statx answers alone.
    try {
        const std::string prefix = volume->rootPath == "/" ? std::string("/") : volume->rootPath + "/";
        for (const LinuxMountEntry &mount : ReadLinuxMountTable()) {
            if (mount.target.size() > prefix.size() && mount.target.compare(0, prefix.size(), prefix) == 0)
                AddMount(volume->mounts, std::string_view(mount.target).substr(prefix.size()));
        }
    } catch (const std::exception &) {}
    return volume;
}

bool CurrentThreadStorageReads(std::uint64_t &bytes)
{
    // The block input the kernel charges to the thread that submitted it
    // (in 512-byte units), readahead included; reads served from the page
    // cache add nothing.
    rusage usage{};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0)
        return false;
    bytes = std::uint64_t(usage.ru_inblock) * 512u;
    return true;
}

bool LowerCurrentThreadPriority()
{
    // ioprio_set(IOPRIO_WHO_PROCESS, this thread, IOPRIO_CLASS_IDLE): the
    // disk serves the scan only when nobody else waits for it.
    constexpr int kWhoProcess = 1;
    constexpr int kClassIdle = 3;
    constexpr int kClassShift = 13;
    const bool io = ::syscall(SYS_ioprio_set, kWhoProcess, 0, kClassIdle << kClassShift) == 0;
    // On Linux a nice value belongs to the thread (its thread id names it).
    const bool cpu = ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10) == 0;
    return io && cpu;
}

} // namespace platform
