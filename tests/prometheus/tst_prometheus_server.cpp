// SPDX-License-Identifier: MIT
// velmora-wql and the query service against a real Prometheus scraping real
// node_exporters every second: this machine's file systems as they come back
// through Prometheus, a mount point label no text can break, a stopped server
// and a server that wants a password.
#include "PrometheusServers.h"

#include "platform/WbemFactory.h"
#include "wbem/MofText.h"
#include "wbem/PropertyLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace velmora::test;

namespace {

const char *const kWql = VELMORA_WQL;

// The raw name written into the textfile below.
const std::string kHostileMount = "/mnt/we\"ird, name = 1;\nline2\\end";
const std::string kHostileTextfile =
    "# TYPE node_filesystem_size_bytes gauge\n"
    "node_filesystem_size_bytes{device=\"/dev/sdz1\",fstype=\"ext4\",mountpoint=\"/mnt/we\\\"ird, name = "
    "1;\\nline2\\\\end\"} 1000\n"
    "# TYPE node_filesystem_avail_bytes gauge\n"
    "node_filesystem_avail_bytes{device=\"/dev/sdz1\",fstype=\"ext4\",mountpoint=\"/mnt/we\\\"ird, name = "
    "1;\\nline2\\\\end\"} 400\n";

struct Figures
{
    std::uint64_t size = 0, free = 0;
    bool sized = false;
};

// velmora-wql --properties output: Name -> figures.
std::map<std::string, Figures> parseProperties(const std::string &out)
{
    std::map<std::string, Figures> drives;
    std::istringstream in(out + "\n");
    std::string line, name;
    Figures f;
    const auto flush = [&] {
        if (!name.empty())
            drives[name] = f;
        name.clear();
        f = Figures{};
    };
    while (std::getline(in, line)) {
        std::string property, value;
        if (line.empty()) {
            flush();
        } else if (!platform::ParsePropertyLine(line, property, value)) {
            ADD_FAILURE() << "not a property line: " << line;
        } else if (property == "Name") {
            name = value;
        } else if (property == "Size") {
            f.size = std::stoull(value);
            f.sized = true;
        } else if (property == "FreeSpace") {
            f.free = std::stoull(value);
        }
    }
    flush();
    return drives;
}

std::map<std::string, Figures> localDrives()
{
    const CommandResult r = RunCommand(ShellQuote(kWql)
                                       + " --properties 'SELECT Name, Size, FreeSpace FROM Win32_LogicalDisk'");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return parseProperties(r.out);
}

class PrometheusServerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!PrometheusServers::Missing().empty())
            return;
        servers = new PrometheusServers();
        servers->WriteTextfile("hostile.prom", kHostileTextfile);
        ready = servers->WaitForExporters(std::chrono::seconds(60));
    }
    static void TearDownTestSuite()
    {
        delete servers;
        servers = nullptr;
    }
    void SetUp() override
    {
        if (const std::string missing = PrometheusServers::Missing(); !missing.empty())
            GTEST_SKIP() << "SKIPPED LOUDLY: not installed: " << missing
                         << " (Debian packages prometheus, prometheus-node-exporter, apache2-utils)";
        ASSERT_TRUE(ready) << "Prometheus did not list both exporters' file systems in 60 s\n" << servers->Log();
    }

    static inline PrometheusServers *servers = nullptr;
    static inline bool ready = false;
};

} // namespace

TEST_F(PrometheusServerTest, ListsThisMachinesFileSystemsWithTheLocalFigures)
{
    const std::map<std::string, Figures> before = localDrives();
    const CommandResult remote = RunCommand(
        ShellQuote(kWql) + " --host " + ShellQuote(servers->Url()) + " --properties "
        + ShellQuote("SELECT Name, Size, FreeSpace FROM Win32_LogicalDisk WHERE SystemName = '"
                     + servers->NodeInstance() + "'"));
    const std::map<std::string, Figures> after = localDrives();
    ASSERT_EQ(remote.exitCode, 0) << remote.err;
    const std::string prefix = servers->NodeInstance() + ":";
    std::map<std::string, Figures> through;
    for (const auto &[name, f] : parseProperties(remote.out)) {
        ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
        through[name.substr(prefix.size())] = f;
    }
    ASSERT_FALSE(through.empty());
    ASSERT_TRUE(through.count("/")) << remote.out;

    // Mounts that other programs make or remove meanwhile are only compared
    // when both local reads agree on them.
    constexpr std::uint64_t kSlack = 256u << 20;
    for (const auto &[name, b] : before) {
        const auto a = after.find(name);
        if (a == after.end() || !b.sized || !a->second.sized || b.size != a->second.size)
            continue;
        SCOPED_TRACE(name);
        const auto t = through.find(name);
        ASSERT_NE(t, through.end()) << "missing through Prometheus:\n" << remote.out;
        ASSERT_TRUE(t->second.sized);
        EXPECT_EQ(t->second.size, b.size);
        const std::uint64_t low = std::min(b.free, a->second.free), high = std::max(b.free, a->second.free);
        EXPECT_GE(t->second.free + kSlack, low);
        EXPECT_LE(t->second.free, high + kSlack);
    }
    for (const auto &[name, f] : through)
        EXPECT_TRUE(before.count(name) || after.count(name)) << name << " is not a local drive";
}

TEST_F(PrometheusServerTest, HostileMountPointLabelStaysOneIntactName)
{
    const std::string expectedName = servers->TextfileInstance() + ":" + kHostileMount;
    auto set = platform::CreateWbemLocator()
                   ->ConnectServer(servers->Url(), "root\\cimv2")
                   ->ExecQuery("SELECT * FROM Win32_LogicalDisk WHERE SystemName = '" + servers->TextfileInstance()
                               + "'");
    std::vector<std::string> texts;
    while (auto o = set->Next())
        texts.push_back(o->GetObjectText());
    ASSERT_EQ(texts.size(), 1u);
    std::vector<std::string> nameLines;
    std::istringstream lines(texts[0]);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("\tName = ", 0) == 0)
            nameLines.push_back(line);
    ASSERT_EQ(nameLines.size(), 1u) << texts[0];
    const std::string &line = nameLines[0];
    ASSERT_GE(line.size(), 10u);
    ASSERT_EQ(line.substr(line.size() - 2), "\";");
    std::string raw;
    ASSERT_TRUE(platform::UnescapeMofString(line.substr(9, line.size() - 11), raw)) << line;
    EXPECT_EQ(raw, expectedName);
    EXPECT_NE(texts[0].find("\tSize = \"1000\";\n"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("\tFreeSpace = \"400\";\n"), std::string::npos) << texts[0];

    // The tool prints the same single object.
    const CommandResult r = RunCommand(ShellQuote(kWql) + " --host " + ShellQuote(servers->Url()) + " "
                                       + ShellQuote("SELECT Name FROM Win32_LogicalDisk WHERE SystemName = '"
                                                    + servers->TextfileInstance() + "'"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "instance of Win32_LogicalDisk\n{\n\tDeviceID = " + line.substr(8) + "\n" + line + "\n};\n");
}

TEST_F(PrometheusServerTest, StoppedServerIsAClearErrorUntilItIsBack)
{
    const std::string query = ShellQuote(kWql) + " --host " + ShellQuote(servers->Url())
        + " 'SELECT Name FROM Win32_LogicalDisk'";
    servers->StopPrometheus();
    const CommandResult down = RunCommand(query);
    servers->StartPrometheus();
    EXPECT_EQ(down.exitCode, 1);
    EXPECT_TRUE(down.out.empty());
    EXPECT_EQ(down.err.rfind("velmora-wql: Cannot reach Prometheus at " + servers->Url() + "/: ", 0), 0u)
        << down.err;
    EXPECT_NE(down.err.find("(0x800706BA)\n"), std::string::npos) << down.err;

    ASSERT_TRUE(servers->WaitForExporters(std::chrono::seconds(60))) << servers->Log();
    const CommandResult up = RunCommand(query);
    EXPECT_EQ(up.exitCode, 0) << up.err;
    EXPECT_NE(up.out.find(servers->NodeInstance() + ":/\""), std::string::npos) << up.out;
}

TEST_F(PrometheusServerTest, AnInstanceThatStopsAnsweringKeepsItsLastFiguresAsFailing)
{
    servers->StopTextfileExporter();
    const std::string wql = "SELECT Name, Size, FreeSpace, Status, ErrorDescription FROM Win32_LogicalDisk WHERE "
                            "SystemName = '"
        + servers->TextfileInstance() + "'";
    std::string text;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        auto set = platform::CreateWbemLocator()->ConnectServer(servers->Url(), "")->ExecQuery(wql);
        auto object = set->Next();
        ASSERT_NE(object, nullptr) << "the drive of the silent instance is gone";
        text = object->GetObjectText();
        EXPECT_EQ(set->Next(), nullptr);
        if (text.find("No Contact") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_NE(text.find("\tErrorDescription = \"Prometheus cannot scrape " + servers->TextfileInstance()
                        + " (up is 0)\";\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\tStatus = \"No Contact\";\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\tSize = \"1000\";\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\tFreeSpace = \"400\";\n"), std::string::npos) << text;

    // The healthy instance is untouched.
    const CommandResult r = RunCommand(
        ShellQuote(kWql) + " --host " + ShellQuote(servers->Url())
        + " --properties 'SELECT Name, Status FROM Win32_LogicalDisk WHERE SystemName = \""
        + servers->NodeInstance() + "\"'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Status=\"OK\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("No Contact"), std::string::npos) << r.out;
}

TEST(PrometheusServerAuth, WrongOrMissingCredentialsAreAClearErrorTheRightOnesWork)
{
    if (const std::string missing = PrometheusServers::Missing(); !missing.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: not installed: " << missing;
    PrometheusServers servers("velmora", "s3cret pass");
    servers.WriteTextfile("one.prom", kHostileTextfile);
    ASSERT_TRUE(servers.WaitForExporters(std::chrono::seconds(60))) << servers.Log();

    const std::string home = servers.Dir() + "/home";
    std::filesystem::create_directories(home);
    const auto netrc = [&home](const std::string &content) {
        std::ofstream(home + "/.netrc", std::ios::trunc) << content;
        std::filesystem::permissions(home + "/.netrc",
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    };
    const std::string wql = "SELECT Name FROM Win32_LogicalDisk WHERE SystemName = '" + servers.TextfileInstance()
        + "'";
    const auto run = [&](const std::string &options, const std::string &stdinText = {}) {
        return RunCommand("HOME=" + ShellQuote(home) + " " + ShellQuote(kWql) + " --host "
                              + ShellQuote(servers.Url()) + options + " " + ShellQuote(wql),
                          stdinText);
    };
    const std::string denied = "velmora-wql: Prometheus at " + servers.Url()
        + "/ answered HTTP 401: Unauthorized (0x80070005)\n";

    const struct
    {
        const char *what;
        const char *netrc; // nullptr: none
        const char *options;
        const char *stdinText;
        bool works;
    } cases[] = {
        {"no credentials", nullptr, "", "", false},
        {"wrong password in .netrc", "machine 127.0.0.1 login velmora password wrong\n", "", "", false},
        {"right password in .netrc", "machine 127.0.0.1 login velmora password \"s3cret pass\"\n", "", "", true},
        {"right password in .netrc for --user", "machine 127.0.0.1 login velmora password \"s3cret pass\"\n",
         " --user velmora", "", true},
        {"--user, password asked", nullptr, " --user velmora", "s3cret pass\n", true},
        {"--user, wrong password asked", nullptr, " --user velmora", "nope\n", false},
        {"--user, nothing to read", nullptr, " --user velmora", "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(home + "/.netrc");
        if (c.netrc)
            netrc(c.netrc);
        const CommandResult r = run(c.options, c.stdinText);
        if (c.works) {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_NE(r.out.find("\tName = \"" + servers.TextfileInstance() + ":/mnt/we\\x0022ird"),
                      std::string::npos)
                << r.out;
        } else {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, denied);
        }
    }

    // The service itself, with the credentials given.
    auto connect = [&](const std::string &password) {
        return platform::CreateWbemLocator(platform::WbemCredentials{"velmora", password})
            ->ConnectServer(servers.Url(), "")
            ->ExecQuery(wql);
    };
    EXPECT_NE(connect("s3cret pass")->Next(), nullptr);
    try {
        connect("s3cret pas");
        ADD_FAILURE() << "a wrong password was accepted";
    } catch (const platform::WbemError &e) {
        EXPECT_EQ(e.code(), static_cast<std::int32_t>(0x80070005u));
        EXPECT_EQ(std::string(e.what()), "Prometheus at " + servers.Url() + "/ answered HTTP 401: Unauthorized");
    }
}

// A SystemName that is not UTF-8 matches no instance; Prometheus itself
// would refuse such a query (HTTP 400), so it is never sent.
TEST_F(PrometheusServerTest, ASystemNameThatIsNotUtf8MatchesNothing)
{
    const CommandResult r = RunCommand(ShellQuote(kWql) + " --host " + ShellQuote(servers->Url()) + " "
                                       + ShellQuote("SELECT Name FROM Win32_LogicalDisk WHERE SystemName = '"
                                                    + servers->NodeInstance() + "\xE9'"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

// One exporter scraped by two jobs: each job's drive is its own, named with
// the job; a file system whose free space is beyond its size comes without
// figures and with its reason.
TEST(PrometheusServerTwoJobs, EachJobOfAnInstanceKeepsItsOwnDrives)
{
    if (const std::string missing = PrometheusServers::Missing(); !missing.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: not installed: " << missing;
    PrometheusServers servers({}, {}, "edge");
    servers.WriteTextfile("odd.prom",
                          "# TYPE node_filesystem_size_bytes gauge\n"
                          "node_filesystem_size_bytes{device=\"/dev/sdz2\",fstype=\"ext4\","
                          "mountpoint=\"/mnt/odd\"} 10000000000\n"
                          "# TYPE node_filesystem_avail_bytes gauge\n"
                          "node_filesystem_avail_bytes{device=\"/dev/sdz2\",fstype=\"ext4\","
                          "mountpoint=\"/mnt/odd\"} 50000000000\n");
    ASSERT_TRUE(servers.WaitForExporters(std::chrono::seconds(60))) << servers.Log();
    const std::string instance = servers.TextfileInstance();
    const std::string wql = "SELECT Name, Size, FreeSpace, Status, ErrorDescription FROM Win32_LogicalDisk WHERE "
                            "SystemName = '"
        + instance + "'";
    std::map<std::string, std::string> texts;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (texts.size() < 2 && std::chrono::steady_clock::now() < end) {
        texts.clear();
        auto set = platform::CreateWbemLocator()->ConnectServer(servers.Url(), "")->ExecQuery(wql);
        while (auto o = set->Next()) {
            const std::string text = o->GetObjectText();
            for (const auto &[name, value] : platform::MofInstanceValues(text))
                if (name == "Name")
                    texts[value] = text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    ASSERT_EQ(texts.size(), 2u);
    for (const char *job : {"edge", "node"}) {
        SCOPED_TRACE(job);
        const std::string name = instance + " (" + job + "):/mnt/odd";
        const auto found = texts.find(name);
        ASSERT_NE(found, texts.end());
        const std::string &text = found->second;
        EXPECT_EQ(text.find("\tSize = "), std::string::npos) << text;
        EXPECT_EQ(text.find("\tFreeSpace = "), std::string::npos) << text;
        EXPECT_NE(text.find("\tStatus = \"Error\";\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\tErrorDescription = \"" + instance
                            + " reports 50000000000 bytes free on /mnt/odd of 10000000000 bytes\";\n"),
                  std::string::npos)
            << text;
    }
}
