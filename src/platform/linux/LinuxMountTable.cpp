// SPDX-License-Identifier: MIT
// Reading the mount table through libmount.
#include "platform/linux/LinuxMountTable.h"

#include "platform/linux/LinuxFileStamp.h"

#include <fcntl.h>
#include <libmount/libmount.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace platform {

namespace {

struct TableUnref
{
    void operator()(libmnt_table *t) const { mnt_unref_table(t); }
};
struct IterFree
{
    void operator()(libmnt_iter *i) const { mnt_free_iter(i); }
};
using TablePtr = std::unique_ptr<libmnt_table, TableUnref>;
using IterPtr = std::unique_ptr<libmnt_iter, IterFree>;

std::string copy(const char *s)
{
    return s ? std::string(s) : std::string();
}

// Skips lines libmount cannot parse instead of failing the whole table.
int ignoreParseError(libmnt_table *, const char *, int)
{
    return 1;
}

TablePtr newTable()
{
    TablePtr table(mnt_new_table());
    if (!table)
        throw std::runtime_error("cannot allocate a mount table");
    mnt_table_set_parser_errcb(table.get(), ignoreParseError);
    return table;
}

std::vector<LinuxMountEntry> copyEntries(libmnt_table *table)
{
    IterPtr iter(mnt_new_iter(MNT_ITER_FORWARD));
    if (!iter)
        throw std::runtime_error("cannot allocate a mount table iterator");
    std::vector<LinuxMountEntry> entries;
    libmnt_fs *fs = nullptr;
    while (mnt_table_next_fs(table, iter.get(), &fs) == 0) {
        LinuxMountEntry e;
        e.id = mnt_fs_get_id(fs);
        e.parentId = mnt_fs_get_parent_id(fs);
        e.fileSystem = mnt_fs_get_devno(fs);
        e.source = copy(mnt_fs_get_source(fs));
        e.target = copy(mnt_fs_get_target(fs));
        e.fsType = copy(mnt_fs_get_fstype(fs));
        e.root = copy(mnt_fs_get_root(fs));
        // VFS, superblock and userspace (utab) options together.
        e.options = copy(mnt_fs_get_options(fs));
        e.pseudo = mnt_fs_is_pseudofs(fs) != 0;
        e.netfs = mnt_fs_is_netfs(fs) != 0;
        entries.push_back(std::move(e));
    }
    return entries;
}

using FstabOptions = std::map<std::string, std::string>;

// fstab options by mount path; a missing or unreadable fstab gives none.
FstabOptions fstabOptions(const char *path)
{
    FstabOptions byTarget;
    TablePtr table = newTable();
    if (mnt_table_parse_fstab(table.get(), path) != 0)
        return byTarget;
    for (const LinuxMountEntry &e : copyEntries(table.get()))
        if (!e.target.empty())
            byTarget[e.target] = e.options;
    return byTarget;
}

void mergeFstab(std::vector<LinuxMountEntry> &entries, const FstabOptions &byTarget)
{
    if (byTarget.empty())
        return;
    for (LinuxMountEntry &e : entries) {
        const auto found = byTarget.find(e.target);
        if (found == byTarget.end() || found->second.empty())
            continue;
        if (!e.options.empty())
            e.options += ',';
        e.options += found->second;
    }
}

// The system's fstab read once and kept while its stamp stays the same: a
// refresh then costs one stat instead of opening and parsing the file.
class SystemFstab
{
public:
    FstabOptions Options()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // libmount's choice of file (LIBMOUNT_FSTAB, unless the program runs
        // set-user-ID), asked again only when the variable changes.
        const char *variable = std::getenv("LIBMOUNT_FSTAB");
        std::optional<std::string> current = variable ? std::optional<std::string>(variable) : std::nullopt;
        if (m_path.empty() || current != m_variable) {
            const char *path = mnt_get_fstab_path();
            m_path = path ? path : "";
            m_variable = std::move(current);
            m_options.Forget();
        }
        struct stat st
        {};
        // A folder of *.fstab files is read every time.
        if (m_path.empty() || ::stat(m_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return m_options.Forget(m_path.empty() ? FstabOptions() : fstabOptions(m_path.c_str()));
        return m_options.Get(st, [this] { return fstabOptions(m_path.c_str()); });
    }

private:
    std::mutex m_mutex;
    std::string m_path;
    std::optional<std::string> m_variable;
    LinuxStampedValue<FstabOptions> m_options;
};

SystemFstab &systemFstab()
{
    static SystemFstab fstab;
    return fstab;
}

// The kernel's change mark on the mount table: every mount, unmount, move or
// remount since the last look makes poll() report POLLPRI on an open
// /proc/self/mountinfo (and the poll itself clears it). The descriptor
// belongs to the mount namespace it was opened in, so it is opened again when
// the process moves to another one.
class MountTableMark
{
public:
    ~MountTableMark()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Changes whenever the table may have changed since the last call.
    std::uint64_t Generation()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        struct stat ns
        {};
        const bool knowsNamespace = ::stat("/proc/self/ns/mnt", &ns) == 0;
        if (m_fd < 0 || !knowsNamespace || ns.st_ino != m_namespace || ns.st_dev != m_namespaceDevice) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = knowsNamespace ? ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC) : -1;
            m_namespace = ns.st_ino;
            m_namespaceDevice = ns.st_dev;
            return ++m_generation;
        }
        pollfd p{m_fd, POLLPRI, 0};
        if (::poll(&p, 1, 0) != 0) // marked, or the look failed: either way read again
            ++m_generation;
        return m_generation;
    }

private:
    std::mutex m_mutex;
    int m_fd = -1;
    ino_t m_namespace = 0;
    dev_t m_namespaceDevice = 0;
    std::uint64_t m_generation = 0;
};

MountTableMark &mountTableMark()
{
    static MountTableMark mark;
    return mark;
}

// libmount's file of userspace mount options (LIBMOUNT_UTAB, unless the
// program runs set-user-ID, as libmount itself decides).
const char *utabPath()
{
    if (const char *path = ::secure_getenv("LIBMOUNT_UTAB"); path && *path)
        return path;
    return "/run/mount/utab";
}

// The mount table as libmount reads it (mountinfo with utab's options),
// parsed again only when the kernel marked a change or utab's stamp moved:
// mount(8) writes utab after the mount call, so the mark alone may come
// before the options it stores there.
class SystemMountTable
{
public:
    std::vector<LinuxMountEntry> Entries()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::uint64_t generation = mountTableMark().Generation();
        struct stat st
        {};
        std::optional<LinuxFileStamp> utab;
        if (::stat(utabPath(), &st) == 0)
            utab = LinuxFileStamp::Of(st);
        if (!m_kept || generation != m_generation || utab != m_utab) {
            m_kept = false;
            TablePtr table = newTable();
            // With a null path libmount reads /proc/self/mountinfo and merges
            // the userspace options it keeps in utab.
            if (const int rc = mnt_table_parse_mtab(table.get(), nullptr); rc != 0)
                throw std::runtime_error("cannot read the mount table (/proc/self/mountinfo)");
            m_entries = copyEntries(table.get());
            m_generation = generation;
            m_utab = utab;
            // A utab stamp younger than the clock's tick proves nothing.
            m_kept = !utab || utab->Settled();
        }
        return m_entries;
    }

private:
    std::mutex m_mutex;
    bool m_kept = false;
    std::uint64_t m_generation = 0;
    std::optional<LinuxFileStamp> m_utab;
    std::vector<LinuxMountEntry> m_entries;
};

SystemMountTable &systemMountTable()
{
    static SystemMountTable table;
    return table;
}

} // namespace

std::uint64_t LinuxMountTableGeneration()
{
    return mountTableMark().Generation();
}

std::vector<LinuxMountEntry> ReadLinuxMountTable()
{
    auto entries = systemMountTable().Entries();
    mergeFstab(entries, systemFstab().Options());
    return entries;
}

std::vector<LinuxMountEntry> ParseLinuxMountTableFile(const std::string &path, const std::string &fstabPath)
{
    TablePtr table = newTable();
    if (mnt_table_parse_file(table.get(), path.c_str()) != 0)
        throw std::runtime_error("cannot read the mount table " + path);
    auto entries = copyEntries(table.get());
    if (!fstabPath.empty())
        mergeFstab(entries, fstabOptions(fstabPath.c_str()));
    return entries;
}

std::vector<LinuxMountEntry> ParseLinuxMountTableText(const std::string &text)
{
    TablePtr table = newTable();
    // fmemopen cannot open an empty buffer for reading on every libc.
    if (text.empty())
        return {};
    std::unique_ptr<FILE, int (*)(FILE *)> stream(::fmemopen(const_cast<char *>(text.data()), text.size(), "r"),
                                                  &std::fclose);
    if (!stream)
        throw std::runtime_error("cannot open the mount table text");
    if (mnt_table_parse_stream(table.get(), stream.get(), "<memory>") != 0)
        throw std::runtime_error("cannot parse the mount table text");
    return copyEntries(table.get());
}

} // namespace platform
