// SPDX-License-Identifier: MIT
// Reading the mount table through libmount.
#include "platform/linux/LinuxMountTable.h"

#include <libmount/libmount.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <map>
#include <memory>
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
        const dev_t dev = mnt_fs_get_devno(fs);
        e.devMajor = major(dev);
        e.devMinor = minor(dev);
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

// fstab options by mount path; a missing or unreadable fstab gives none.
std::map<std::string, std::string> fstabOptions(const char *path)
{
    std::map<std::string, std::string> byTarget;
    TablePtr table = newTable();
    if (mnt_table_parse_fstab(table.get(), path) != 0)
        return byTarget;
    for (const LinuxMountEntry &e : copyEntries(table.get()))
        if (!e.target.empty())
            byTarget[e.target] = e.options;
    return byTarget;
}

void mergeFstab(std::vector<LinuxMountEntry> &entries, const char *fstabPath)
{
    const auto byTarget = fstabOptions(fstabPath);
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

} // namespace

std::vector<LinuxMountEntry> ReadLinuxMountTable()
{
    TablePtr table = newTable();
    // With a null path libmount reads /proc/self/mountinfo and merges the
    // userspace options it keeps in utab.
    if (const int rc = mnt_table_parse_mtab(table.get(), nullptr); rc != 0)
        throw std::runtime_error("cannot read the mount table (/proc/self/mountinfo)");
    auto entries = copyEntries(table.get());
    mergeFstab(entries, nullptr);
    return entries;
}

std::vector<LinuxMountEntry> ParseLinuxMountTableFile(const std::string &path, const std::string &fstabPath)
{
    TablePtr table = newTable();
    if (mnt_table_parse_file(table.get(), path.c_str()) != 0)
        throw std::runtime_error("cannot read the mount table " + path);
    auto entries = copyEntries(table.get());
    if (!fstabPath.empty())
        mergeFstab(entries, fstabPath.c_str());
    return entries;
}

std::vector<LinuxMountEntry> ParseLinuxMountTableText(const std::string &text)
{
    TablePtr table = newTable();
    // fmemopen cannot open an empty buffer for reading on every libc.
    if (text.empty())
        return {};
    std::unique_ptr<FILE, int (*)(FILE *)> stream(
        ::fmemopen(const_cast<char *>(text.data()), text.size(), "r"), &std::fclose);
    if (!stream)
        throw std::runtime_error("cannot open the mount table text");
    if (mnt_table_parse_stream(table.get(), stream.get(), "<memory>") != 0)
        throw std::runtime_error("cannot parse the mount table text");
    return copyEntries(table.get());
}

} // namespace platform
