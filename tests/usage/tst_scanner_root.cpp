// SPDX-License-Identifier: MIT
// The scanner on real mounts (root only, in a mount namespace of its own):
// file systems mounted below are left out as du -x leaves them out, a hung
// mount below is never asked anything, and on the machine's own trees the
// total is du's.
#include "MountNamespace.h"
#include "ScanTestSupport.h"
#include "TempFolder.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>
#include <sys/mount.h>

using namespace std::chrono_literals;
using scantest::MakeFolder;
using scantest::RunCommand;
using scantest::WriteFile;

namespace {

const std::string kScan = VELMORA_SCAN;
const std::string kDu = "/usr/bin/du";

class ScannerRoot : public testing::Test
{
protected:
    void SetUp() override
    {
        const std::string reason = testsupport::IsolateMounts();
        if (!reason.empty())
            GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;
        temp = std::make_unique<testsupport::TempFolder>("velmora-scanroot");
    }
    void TearDown() override
    {
        for (auto m = mounts.rbegin(); m != mounts.rend(); ++m)
            ::umount2(m->c_str(), MNT_DETACH);
        for (pid_t pid : daemons) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    void MountTmpfs(const std::string &path)
    {
        ASSERT_EQ(::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=16m"), 0) << std::strerror(errno);
        mounts.push_back(path);
    }
    static bool Mounted(const std::string &path)
    {
        std::ifstream table("/proc/self/mountinfo");
        for (std::string line; std::getline(table, line);) {
            std::istringstream fields(line);
            std::string id, parent, device, root, target;
            fields >> id >> parent >> device >> root >> target;
            if (target == path)
                return true;
        }
        return false;
    }

    std::unique_ptr<testsupport::TempFolder> temp;
    std::vector<std::string> mounts;
    std::vector<pid_t> daemons;
};

TEST_F(ScannerRoot, MountsBelowAreLeftOutAsDuLeavesThemOut)
{
    const std::string root = temp->Path();
    MakeFolder(root + "/a");
    MakeFolder(root + "/a/mnt");
    MakeFolder(root + "/mnt2");
    WriteFile(root + "/a/file", 30000);
    // Files under the mount points, hidden by the mounts.
    WriteFile(root + "/mnt2/covered", 70000);
    MountTmpfs(root + "/a/mnt");
    MountTmpfs(root + "/mnt2");
    WriteFile(root + "/a/mnt/on-tmpfs", 1 << 20);
    WriteFile(root + "/mnt2/on-tmpfs", 1 << 20);

    const auto du = RunCommand({kDu, "-sxB1", root});
    const auto scan = RunCommand({kScan, root});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scantest::LastTotal(scan.out), scantest::LastTotal(du.out));
    EXPECT_EQ(scantest::SortedLines(scan.out), scantest::SortedLines(RunCommand({kDu, "-xB1", "-d1", root}).out));
    const auto json = nlohmann::json::parse(RunCommand({kScan, "--json", root}).out);
    std::vector<std::string> left;
    for (const auto &mount : json["mount_points_left_out"])
        left.push_back(mount["path"]);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{root + "/a/mnt", root + "/mnt2"}));
}

// A FUSE file system whose every stat of its root blocks for good, as a dead
// network server's does: had the scanner asked it anything, the scan would
// never end.
// A process allowed few open files, on a file system read by many workers at
// once (tmpfs: no spinning disk): the folders the workers keep open share
// what the limit leaves, instead of folders failing with "Too many open
// files".
TEST_F(ScannerRoot, ManyWorkersKeepWithinTheLimitOfOpenFiles)
{
    const std::string root = temp->Path() + "/tree";
    MakeFolder(root);
    MountTmpfs(root);
    // 3,000 folders ten wide, each with a file: 300 of them hold folders.
    std::vector<std::string> folders{root};
    for (std::size_t made = 0, parent = 0; made < 3000; ++parent)
        for (int i = 0; i < 10 && made < 3000; ++i, ++made) {
            folders.push_back(folders[parent] + "/d" + std::to_string(i));
            MakeFolder(folders.back());
            WriteFile(folders.back() + "/f", 100);
        }
    const auto scan = RunCommand({"/usr/bin/prlimit", "--nofile=160:160", kScan, "--jobs", "32", "--json", root});
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(scan.err.find("Too many open files"), std::string::npos) << scan.err;
    const auto json = nlohmann::json::parse(scan.out, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << scan.out;
    EXPECT_EQ(json["folders"], 3001);
    EXPECT_EQ(json["files"], 3000);
    EXPECT_EQ(json["bytes"].get<std::uint64_t>(),
              std::stoull(scantest::LastTotal(RunCommand({kDu, "-sxB1", root}).out)));
}

TEST_F(ScannerRoot, HungMountBelowIsNeverAsked)
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "SKIPPED LOUDLY: /dev/fuse is not available";
    const std::string root = temp->Path() + "/tree";
    MakeFolder(root);
    MakeFolder(root + "/share");
    MakeFolder(root + "/share/deeper");
    MakeFolder(root + "/share/deeper/dead");
    WriteFile(root + "/share/deeper/file", 40000);
    WriteFile(root + "/top", 5000);
    // What du counts once the mount point itself is left out.
    const auto before = std::stoull(scantest::LastTotal(RunCommand({kDu, "-sxB1", root}).out));
    const auto pointOwn = std::stoull(
        scantest::LastTotal(RunCommand({kDu, "-sxB1", root + "/share/deeper/dead"}).out));

    const std::string dead = root + "/share/deeper/dead";
    const std::string log = temp->Path() + "/calls.log";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("VELMORA_HANGFS_HANG_ROOT", "1", 1);
        ::setenv("VELMORA_HANGFS_LOG", log.c_str(), 1);
        ::execl(VELMORA_HANGFS, "velmora_hangfs", "-f", "-o", "fsname=hangfs", dead.c_str(),
                static_cast<char *>(nullptr));
        ::_exit(127);
    }
    daemons.push_back(pid);
    mounts.push_back(dead);
    bool up = false;
    for (int i = 0; i < 100 && !(up = Mounted(dead)); ++i)
        std::this_thread::sleep_for(50ms);
    if (!up)
        GTEST_SKIP() << "SKIPPED LOUDLY: FUSE file systems cannot be mounted here";

    const auto scan = RunCommand({kScan, "--json", root}, false, 20s, [&] {
        ::umount2(dead.c_str(), MNT_DETACH);
        ::kill(pid, SIGKILL);
    });
    ASSERT_FALSE(scan.timedOut) << "the scan asked the hung mount";
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const auto json = nlohmann::json::parse(scan.out);
    EXPECT_EQ(json["bytes"], before - pointOwn);
    ASSERT_EQ(json["mount_points_left_out"].size(), 1u);
    EXPECT_EQ(json["mount_points_left_out"][0]["path"], dead);
    std::ifstream calls(log);
    std::string any;
    EXPECT_FALSE(std::getline(calls, any)) << "the mount was asked: " << any;
}

// A quiet tree of the machine itself: nothing writes to /usr while the
// suites run (unless packages are being installed right then).
TEST_F(ScannerRoot, SystemTreeIsDusToTheByte)
{
    const auto du = RunCommand({kDu, "-sxB1", "/usr"});
    const auto scan = RunCommand({kScan, "/usr"});
    EXPECT_EQ(scan.exitCode, du.exitCode) << scan.err;
    EXPECT_EQ(scantest::LastTotal(scan.out), scantest::LastTotal(du.out));
    EXPECT_EQ(scantest::SortedLines(scan.out),
              scantest::SortedLines(RunCommand({kDu, "-xB1", "-d1", "/usr"}).out));
}

// The machine's root file system is never quiet (logs, caches, builds): du
// runs once before and once after the scan, and the scan's total must lie
// within what du saw, widened by what changed between du's two runs and by a
// hundredth of the total for files that other programs (tests running beside
// this one, a build) write and remove while the scan runs, which neither du
// run sees.
TEST_F(ScannerRoot, RootFileSystemWithinWhatChangedMeanwhile)
{
    const auto before = RunCommand({kDu, "-sxB1", "/"}, false, 300s);
    const auto scan = RunCommand({kScan, "/"}, false, 300s);
    const auto after = RunCommand({kDu, "-sxB1", "/"}, false, 300s);
    ASSERT_FALSE(scan.timedOut || before.timedOut || after.timedOut);
    const long long a = std::stoll(scantest::LastTotal(before.out));
    const long long b = std::stoll(scantest::LastTotal(after.out));
    const long long s = std::stoll(scantest::LastTotal(scan.out));
    const long long changed = std::llabs(b - a) + std::max(a, b) / 100;
    std::cout << "[ / ] du before " << a << ", scan " << s << ", du after " << b << "\n";
    EXPECT_GE(s, std::min(a, b) - changed);
    EXPECT_LE(s, std::max(a, b) + changed);
    // Files that vanish between listing and stat make du complain; the scan
    // leaves them out silently, so only a failure of the scan itself counts.
    EXPECT_LE(scan.exitCode, 1) << scan.err;
}

} // namespace
