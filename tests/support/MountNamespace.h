// SPDX-License-Identifier: MIT
#pragma once

// Tests that mount file systems do it in a mount namespace of their process's
// own, so that nothing they mount is seen by the machine or outlives them.

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace testsupport {

// Enters the private mount namespace once per process. Empty on success,
// otherwise why the test cannot run.
inline std::string IsolateMounts()
{
    static const std::string reason = []() -> std::string {
        if (::geteuid() != 0)
            return "needs root to mount file systems (CI runs as root)";
        if (::unshare(CLONE_NEWNS) != 0)
            return "cannot create a private mount namespace";
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return "cannot make the mount namespace private";
        return {};
    }();
    return reason;
}

// File systems mounted in a fresh folder of the test's own (or over it), never
// over a folder others use: a tmpfs over /tmp would hide the build tree of a
// checkout there, and with it the programs the test starts. The folder is
// made by mkdtemp under the system's temporary folder ($TMPDIR, else /tmp) as
// <prefix><6 random characters>, short, since some tests show its path.
// Everything mounted is unmounted, the last first, before the folder goes.
// Call IsolateMounts() first. Throws std::runtime_error when no folder can be
// made.
class OwnMounts
{
public:
    explicit OwnMounts(std::string_view prefix = "velmora-mounts-")
    {
        std::string name = (std::filesystem::temp_directory_path() / prefix).string() + "XXXXXX";
        if (::mkdtemp(name.data()) == nullptr)
            throw std::runtime_error("cannot make a folder " + name + ": " + std::strerror(errno));
        m_path = name;
    }
    ~OwnMounts()
    {
        for (auto it = m_mounted.rbegin(); it != m_mounted.rend(); ++it)
            ::umount2(it->c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    OwnMounts(const OwnMounts &) = delete;
    OwnMounts &operator=(const OwnMounts &) = delete;

    // The folder, an absolute path.
    const std::string &Path() const { return m_path; }

    // Mounts a tmpfs with the given options at Path() + "/" + relative,
    // making the folders on the way, or over Path() itself when relative is
    // empty. False with errno set when a folder or the mount cannot be made.
    bool MountTmpfs(const std::string &relative, const std::string &options)
    {
        const std::string target = relative.empty() ? m_path : m_path + "/" + relative;
        for (std::size_t slash = m_path.size(); slash < target.size();) {
            slash = target.find('/', slash + 1);
            const std::string part = target.substr(0, slash);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
        if (::mount("tmpfs", target.c_str(), "tmpfs", 0, options.c_str()) != 0)
            return false;
        m_mounted.push_back(target);
        return true;
    }

private:
    std::string m_path;
    std::vector<std::string> m_mounted;
};

} // namespace testsupport
