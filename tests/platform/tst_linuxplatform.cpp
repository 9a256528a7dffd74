// SPDX-License-Identifier: MIT
// The Linux half of the platform layer's shared interfaces: folders, start
// with the session, the instance folder, stop signals, the mount notice,
// version and error text.
#include "LinuxTestSupport.h"

#include "platform/Folders.h"
#include "platform/MountWatch.h"
#include "platform/SessionStart.h"
#include "platform/SingleInstance.h"
#include "platform/StopSignals.h"
#include "platform/SystemError.h"
#include "platform/VersionResource.h"
#include "platform/linux/LinuxSessionStart.h"
#include "platform/linux/LinuxSystemInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using linuxtest::ScopedEnv;
using linuxtest::TempFolder;

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FolderEntries(const std::string &path)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator(path, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string &path)
{
    struct stat st
    {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(LinuxSessionStart, ExecArgumentFollowsTheDesktopEntryQuotingRules)
{
    const struct
    {
        std::string Path;
        std::string Exec;
    } cases[] = {
        {"/usr/bin/velmora", "/usr/bin/velmora"},
        {"/opt/My Apps/velmora", "\"/opt/My Apps/velmora\""},
        // In the file: \\" for a quote, \\$ for a dollar, \\\\ for a backslash,
        // \\` for a backtick: the quoting escape, then the string escape.
        {"/opt/a\"b", "\"/opt/a\\\\\"b\""},
        {"/opt/$x", "\"/opt/\\\\$x\""},
        {"/opt/a\\b", "\"/opt/a\\\\\\\\b\""},
        {"/opt/`id`", "\"/opt/\\\\`id\\\\`\""},
        {"/opt/100%", "/opt/100%%"},
        {"/opt/50% off/v", "\"/opt/50%% off/v\""},
        {"/opt/it's", "\"/opt/it's\""},
        {"/opt/a=b", "\"/opt/a=b\""},
        {"/opt/new\nline", "\"/opt/new\\nline\""},
        {"/opt/tab\there", "\"/opt/tab\\there\""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::LinuxDesktopExecArgument(c.Path), c.Exec) << c.Path;
}

TEST(LinuxFolders, CleanPathLikeTheToolkits)
{
    const struct
    {
        const char *In;
        const char *Out;
    } cases[] = {
        {"/", "/"},           {"//", "/"},
        {"/a/b/", "/a/b"},    {"/a//b", "/a/b"},
        {"/a/./b/.", "/a/b"}, {"/a/b/../c", "/a/c"},
        {"/a/../../b", "/b"}, {"/..", "/"},
        {"/a/b/..", "/a"},    {"/.hidden/x", "/.hidden/x"},
        {"/a/...", "/a/..."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::LinuxCleanPath(c.In), c.Out) << c.In;
}

TEST(LinuxFolders, XdgVariablesWhenAbsoluteElseUnderHome)
{
    ScopedEnv home("HOME", "/home/someone/");
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    const struct
    {
        const char *Value; // of both XDG variables; nullptr: unset
        const char *Config;
        const char *Data;
    } cases[] = {
        {nullptr, "/home/someone/.config", "/home/someone/.local/share/Velmora"},
        {"", "/home/someone/.config", "/home/someone/.local/share/Velmora"},
        // A relative value is invalid and ignored.
        {"relative/dir", "/home/someone/.config", "/home/someone/.local/share/Velmora"},
        {"/xdg", "/xdg", "/xdg/Velmora"},
        // The settings folder is cleaned; the data folder is joined as given.
        {"/xdg/./a/../b/", "/xdg/b", "/xdg/./a/../b/Velmora"},
    };
    for (const auto &c : cases) {
        config.Set(c.Value);
        data.Set(c.Value);
        EXPECT_EQ(platform::UserConfigFolder(), c.Config) << (c.Value ? c.Value : "(unset)");
        EXPECT_EQ(platform::ProgramDataFolder(), c.Data) << (c.Value ? c.Value : "(unset)");
    }
    // No home at all: the root, as the toolkit has it.
    config.Set(nullptr);
    home.Set(nullptr);
    EXPECT_EQ(platform::UserConfigFolder(), "/.config");
    EXPECT_EQ(platform::PathSeparator(), '/');
}

class LinuxSessionStartTest : public ::testing::Test
{
protected:
    TempFolder FConfig;
    ScopedEnv FXdg{"XDG_CONFIG_HOME", FConfig.Path().c_str()};

    std::string AutostartDir() const { return FConfig.File("autostart"); }
};

TEST_F(LinuxSessionStartTest, EntryIsWrittenReplacedAndRemoved)
{
    const std::string program = "/opt/My Apps/velmora.bin";
    const std::string entry = AutostartDir() + "/velmora.desktop";
    EXPECT_EQ(platform::SessionStartEntryLocation(program), entry);

    ASSERT_EQ(platform::SetSessionStart(program, true), platform::SessionStartResult::Done);
    EXPECT_EQ(ReadAll(entry),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Velmora\n"
              "Exec=\"/opt/My Apps/velmora.bin\"\n");
    // A new entry gets 0666 less the umask.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(ModeOf(entry), 0666 & ~mask);

    // Replaced: the mode it had stays, no sibling is left.
    ASSERT_EQ(::chmod(entry.c_str(), 0600), 0);
    ASSERT_EQ(platform::SetSessionStart("/usr/bin/velmora", true), platform::SessionStartResult::Done);
    EXPECT_EQ(ReadAll(entry), platform::LinuxDesktopEntryText("/usr/bin/velmora"));
    EXPECT_EQ(ModeOf(entry), 0600u);
    EXPECT_EQ(FolderEntries(AutostartDir()), std::vector<std::string>{"velmora.desktop"});

    ASSERT_EQ(platform::SetSessionStart(program, false), platform::SessionStartResult::Done);
    EXPECT_TRUE(FolderEntries(AutostartDir()).empty());
    EXPECT_EQ(platform::SetSessionStart(program, false), platform::SessionStartResult::Done);
}

TEST_F(LinuxSessionStartTest, FailureLeavesWhatWasThereAndSaysWhy)
{
    // A regular file where the autostart folder should be: fails for root too.
    WriteAll(AutostartDir(), "in the way");
    std::string error;
    EXPECT_EQ(platform::SetSessionStart("/usr/bin/velmora", true, &error),
              platform::SessionStartResult::WriteFailed);
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(AutostartDir()), "in the way");
    EXPECT_EQ(FolderEntries(FConfig.Path()), std::vector<std::string>{"autostart"});

    // A folder that is missing is not made by the writer itself.
    error.clear();
    EXPECT_FALSE(platform::LinuxWriteFileAtomically(FConfig.File("none/x"), "text", &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST_F(LinuxSessionStartTest, MissingFoldersAreMade)
{
    TempFolder deeper;
    ScopedEnv xdg("XDG_CONFIG_HOME", (deeper.Path() + "/a/b").c_str());
    ASSERT_EQ(platform::SetSessionStart("/usr/bin/velmora", true), platform::SessionStartResult::Done);
    EXPECT_EQ(FolderEntries(deeper.Path() + "/a/b/autostart"), std::vector<std::string>{"velmora.desktop"});
}

TEST(LinuxSessionStart, EntryNameIsTheFileNameWithoutFolderAndExtension)
{
    const struct
    {
        const char *Path;
        const char *Name;
    } cases[] = {
        {"/usr/bin/velmora", "velmora"}, {"/opt/my.tool.bin", "my.tool"}, {"/opt/dir.d/prog", "prog"},
        {"/opt/.velmora", ".velmora"},   {"velmora.AppImage", "velmora"}, {"/opt/back\\slash.exe", "back\\slash"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::SessionStartEntryName(c.Path), c.Name) << c.Path;
}

TEST(LinuxInstance, FolderIsTheRuntimeOneOrThePrivateStateFolder)
{
    TempFolder runtime;
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.Path().c_str());
    EXPECT_EQ(platform::InstanceDirectory(), runtime.Path());

    // Another user's name in /tmp takes nothing away: the state folder is
    // the user's own.
    TempFolder home;
    ScopedEnv homeEnv("HOME", home.Path().c_str());
    ScopedEnv stateEnv("XDG_STATE_HOME", nullptr);
    const std::string own = home.Path() + "/.local/state/velmora";
    for (const char *unusable : {"", "/no/such/folder"}) {
        xdg.Set(unusable);
        EXPECT_EQ(platform::InstanceDirectory(), own) << unusable;
        EXPECT_EQ(ModeOf(own) & 077, 0u);
    }
    xdg.Set(nullptr);
    stateEnv.Set(home.File("state").c_str());
    EXPECT_EQ(platform::InstanceDirectory(), home.File("state") + "/velmora");

    // A link or a folder open to others in its place is refused.
    stateEnv.Set(home.File("linked").c_str());
    ASSERT_EQ(::mkdir(home.File("linked").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(home.File("state/velmora").c_str(), home.File("linked/velmora").c_str()), 0);
    EXPECT_EQ(platform::InstanceDirectory(), "");
    stateEnv.Set(home.File("open").c_str());
    ASSERT_EQ(::mkdir(home.File("open").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(home.File("open/velmora").c_str(), 0777), 0);
    ASSERT_EQ(::chmod(home.File("open/velmora").c_str(), 0777), 0);
    EXPECT_EQ(platform::InstanceDirectory(), "");
    if (::getuid() == 0) {
        stateEnv.Set(home.File("foreign").c_str());
        ASSERT_EQ(::mkdir(home.File("foreign").c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(home.File("foreign/velmora").c_str(), 0700), 0);
        ASSERT_EQ(::chown(home.File("foreign/velmora").c_str(), 65534, 65534), 0);
        EXPECT_EQ(platform::InstanceDirectory(), "") << "a folder of another owner";
    }

    EXPECT_EQ(platform::InstanceWindowTitle(), "");
    platform::SystemInstanceGuard guard;
    EXPECT_EQ(guard.Acquire(), platform::SystemInstanceGuard::Check::NotProvided);
}

bool Readable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
}

// A client of the hand-over socket at path, connected; -1 on failure.
int ConnectTo(const std::string &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// The hand-over socket answers the one request line and refuses the rest:
// other text, a line that does not end, a peer that goes away.
TEST(LinuxInstance, SocketAnswersTheRaiseLineAndRefusesTheRest)
{
    using Request = platform::InstanceSocketServer::Request;
    TempFolder dir;
    const std::string path = dir.File("velmora.socket");
    // A file left by a dead instance is replaced.
    std::ofstream(path) << "stale";
    platform::InstanceSocketServer server;
    std::string error;
    ASSERT_TRUE(server.Listen(path, error)) << error;
    EXPECT_EQ(ModeOf(path) & 0777, 0600u);

    const struct
    {
        std::string Sent;
        bool Hangs; // the client closes its side after sending
        Request Expected;
        std::string Reply;
    } cases[] = {
        {"raise\n", false, Request::Raise, "ok\n"},   {"rai", false, Request::Incomplete, ""},
        {"rai", true, Request::Refused, ""},          {"", true, Request::Refused, ""},
        {"hello\n", false, Request::Refused, ""},     {"raise\nraise\n", false, Request::Refused, ""},
        {"raise now\n", false, Request::Refused, ""}, {std::string(100, 'r'), false, Request::Refused, ""},
    };
    for (const auto &c : cases) {
        const int client = ConnectTo(path);
        ASSERT_GE(client, 0);
        ASSERT_EQ(::send(client, c.Sent.data(), c.Sent.size(), MSG_NOSIGNAL), ssize_t(c.Sent.size()));
        if (c.Hangs)
            ::shutdown(client, SHUT_WR);
        ASSERT_TRUE(Readable(server.Descriptor(), 2000));
        const int connection = server.Accept();
        ASSERT_GE(connection, 0);
        if (!c.Sent.empty() || c.Hangs) {
            ASSERT_TRUE(Readable(connection, 2000));
        }
        std::string received;
        EXPECT_EQ(platform::InstanceSocketServer::ReadRequest(connection, received), c.Expected) << c.Sent;
        platform::InstanceSocketServer::CloseConnection(connection);
        char reply[16] = {};
        const ssize_t n = Readable(client, 2000) ? ::recv(client, reply, sizeof reply, 0) : -1;
        EXPECT_EQ(std::string(reply, size_t(std::max<ssize_t>(n, 0))), c.Reply) << c.Sent;
        ::close(client);
    }
    EXPECT_EQ(server.Accept(), -1) << "nobody else waits";

    // A second start asking through the socket: answered while the server
    // serves, refused quickly where nobody listens, given up after its time
    // where nobody answers.
    std::thread serving([&server] {
        if (!Readable(server.Descriptor(), 5000))
            return;
        const int connection = server.Accept();
        std::string received;
        while (Readable(connection, 5000)
               && platform::InstanceSocketServer::ReadRequest(connection, received) == Request::Incomplete) {}
        platform::InstanceSocketServer::CloseConnection(connection);
    });
    EXPECT_TRUE(platform::AskInstanceToRaise(path, 3000));
    serving.join();
    EXPECT_FALSE(platform::AskInstanceToRaise(path, 200)) << "connected, but nobody reads";
    server.Close();
    EXPECT_FALSE(std::ifstream(path).good()) << "the socket file goes with the server";
    EXPECT_FALSE(platform::AskInstanceToRaise(path, 3000));
}

int gOwnHandlerCalls = 0;
extern "C" void OwnHandler(int)
{
    ++gOwnHandlerCalls;
}

TEST(LinuxStopSignals, EachSignalReachesThePipeAndHandlersComeBack)
{
    struct sigaction own
    {};
    own.sa_handler = OwnHandler;
    sigemptyset(&own.sa_mask);
    struct sigaction before
    {};
    ASSERT_EQ(::sigaction(SIGHUP, &own, &before), 0);
    {
        platform::StopSignals signals;
        ASSERT_TRUE(signals.IsActive()) << signals.SetupError();
        ASSERT_GE(signals.ReadHandle(), 0);
        EXPECT_EQ(signals.TakeSignal(), 0);
        // One process, one taker.
        platform::StopSignals second;
        EXPECT_FALSE(second.IsActive());
        EXPECT_EQ(second.ReadHandle(), -1);

        for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
            ASSERT_EQ(::raise(number), 0);
            ASSERT_TRUE(Readable(signals.ReadHandle(), 2000)) << number;
            EXPECT_EQ(signals.TakeSignal(), number);
            EXPECT_FALSE(Readable(signals.ReadHandle(), 0));
        }
        // Several at once: the last one counts.
        ::raise(SIGINT);
        ::raise(SIGTERM);
        EXPECT_EQ(signals.TakeSignal(), SIGTERM);
    }
    EXPECT_EQ(gOwnHandlerCalls, 0);
    ::raise(SIGHUP);
    EXPECT_EQ(gOwnHandlerCalls, 1);
    ::sigaction(SIGHUP, &before, nullptr);
    // The pipe is free again for the next taker.
    platform::StopSignals again;
    EXPECT_TRUE(again.IsActive());
}

TEST(LinuxMountWatch, MissingTableIsNotWatched)
{
    platform::MountTableWatch watch("/nonexistent/mountinfo");
    EXPECT_EQ(watch.Handle(), -1);
    EXPECT_EQ(watch.Path(), "/nonexistent/mountinfo");
    EXPECT_EQ(watch.Error(), "No such file or directory");
    watch.Acknowledge(); // harmless
}

TEST(LinuxMountWatch, AMountMarksTheTableUntilAcknowledged)
{
    platform::MountTableWatch watch;
    EXPECT_EQ(watch.Path(), "/proc/self/mountinfo");
    ASSERT_GE(watch.Handle(), 0) << watch.Error();
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a tmpfs: the change mark NOT tested";
    TempFolder target;
    if (::mount("velmora-watch", target.Path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "needs the right to mount (CAP_SYS_ADMIN): " << std::strerror(errno);
    pollfd p{watch.Handle(), POLLPRI, 0};
    const int ready = ::poll(&p, 1, 2000);
    ::umount(target.Path().c_str());
    ASSERT_EQ(ready, 1);
    EXPECT_TRUE(p.revents & POLLPRI);
    watch.Acknowledge();
}

TEST(LinuxVersion, OnlyTheRunningProgramCarriesOne)
{
    const platform::FileVersion builtIn{(1u << 16) | 2u, (3u << 16) | 4u};
    for (const char *own : {"", "/proc/self/exe"}) {
        const auto version = platform::ReadFileVersion(own, builtIn);
        ASSERT_TRUE(version) << own;
        EXPECT_EQ(version->VersionMS, builtIn.VersionMS);
        EXPECT_EQ(version->VersionLS, builtIn.VersionLS);
    }
    EXPECT_FALSE(platform::ReadFileVersion("/bin/sh", builtIn));
    EXPECT_FALSE(platform::ReadFileVersion("/no/such/file", builtIn));
}

TEST(LinuxSystemError, TextOfErrno)
{
    errno = ENOENT;
    EXPECT_EQ(platform::LastSystemErrorText(), "No such file or directory");
    errno = EACCES;
    EXPECT_EQ(platform::LastSystemErrorText(), "Permission denied");
}

} // namespace
