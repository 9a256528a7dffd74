// SPDX-License-Identifier: MIT
// velmora-scan against du on trees that make counting space hard: its total
// must be du -sxB1's to the byte, its default lines du -xB1 -d1's, and its
// --apparent-size total du -sxb's.
#include "ScanTestSupport.h"
#include "TempFolder.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using scantest::MakeFolder;
using scantest::RunCommand;
using scantest::WriteFile;

namespace {

const std::string kScan = VELMORA_SCAN;
const std::string kDu = "/usr/bin/du";

struct TreeCase
{
    const char *name;
    std::function<void(const std::string &root)> build;
    bool asNobody = false; // permissions only count for a user without privileges
};

void Folders(const std::string &root)
{
    MakeFolder(root + "/a");
    MakeFolder(root + "/a/b");
    MakeFolder(root + "/c");
    WriteFile(root + "/a/one", 1);
    WriteFile(root + "/a/b/big", 300000);
    WriteFile(root + "/c/small", 4095);
    WriteFile(root + "/c/exact", 4096);
    WriteFile(root + "/top", 12345);
    WriteFile(root + "/empty", 0);
}

void HardLinks(const std::string &root)
{
    Folders(root);
    // The same 1 MiB file in three folders and twice in one: counted once.
    WriteFile(root + "/a/linked", 1 << 20);
    ASSERT_EQ(::link((root + "/a/linked").c_str(), (root + "/c/linked").c_str()), 0);
    ASSERT_EQ(::link((root + "/a/linked").c_str(), (root + "/a/b/linked").c_str()), 0);
    ASSERT_EQ(::link((root + "/a/linked").c_str(), (root + "/a/b/again").c_str()), 0);
}

void SparseFiles(const std::string &root)
{
    MakeFolder(root + "/holes");
    scantest::WriteSparseFile(root + "/holes/mostly-hole", off_t(1) << 30);
    scantest::WriteSparseFile(root + "/holes/small-hole", 100000);
    WriteFile(root + "/holes/dense", 100000);
}

void SymlinkLoop(const std::string &root)
{
    Folders(root);
    ASSERT_EQ(::symlink("loop2", (root + "/loop1").c_str()), 0);
    ASSERT_EQ(::symlink("loop1", (root + "/loop2").c_str()), 0);
    ASSERT_EQ(::symlink("..", (root + "/a/up").c_str()), 0);
    ASSERT_EQ(::symlink(root.c_str(), (root + "/a/b/back-to-root").c_str()), 0);
    ASSERT_EQ(::symlink("/usr", (root + "/c/usr").c_str()), 0);
    // A long target, which takes a block of its own on some file systems.
    ASSERT_EQ(::symlink(std::string(200, 'x').c_str(), (root + "/c/long").c_str()), 0);
}

void NotUtf8Names(const std::string &root)
{
    const std::string latin1 = root + "/caf\xe9";
    MakeFolder(latin1);
    WriteFile(latin1 + "/\xff\xfe", 5000);
    MakeFolder(root + "/line\nbreak");
    WriteFile(root + "/line\nbreak/tab\tname", 7000);
    MakeFolder(root + "/\xe2\x82"); // a cut-off UTF-8 sequence
    WriteFile(root + "/\xe2\x82/f", 9000);
}

void ManyEntries(const std::string &root)
{
    MakeFolder(root + "/many");
    for (int i = 0; i < 50000; ++i) {
        const std::string path = root + "/many/f" + std::to_string(i);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        if (i % 7 == 0) {
            ASSERT_EQ(::write(fd, "data", 4), 4);
        }
        ::close(fd);
    }
}

// 1,000 folders deep with long names: the deepest path is far beyond
// PATH_MAX, so only relative opening reaches it.
void Deep(const std::string &root)
{
    const std::string name(40, 'd');
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int depth = 0; depth < 1000; ++depth) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0) << depth;
        if (depth % 100 == 0) {
            const int file = ::openat(fd, "file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(file, 0);
            ASSERT_EQ(::write(file, "abc", 3), 3);
            ::close(file);
        }
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0) << depth;
        fd = next;
    }
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, std::string(10000, 'b').data(), 10000), 10000);
    ::close(file);
    ::close(fd);
    MakeFolder(root + "/beside");
    WriteFile(root + "/beside/f", 20000);
}

void UnreadableFolder(const std::string &root)
{
    Folders(root);
    MakeFolder(root + "/locked");
    WriteFile(root + "/locked/secret", 50000);
    MakeFolder(root + "/locked/inner");
    ::chmod((root + "/locked").c_str(), 0);
    // Listable but not enterable: names, but no sizes.
    MakeFolder(root + "/listonly");
    WriteFile(root + "/listonly/hidden", 60000);
    ::chmod((root + "/listonly").c_str(), 0444);
}

void PrintTo(const TreeCase &c, std::ostream *out)
{
    *out << c.name;
}

class ScanToolTrees : public testing::TestWithParam<TreeCase>
{};

TEST_P(ScanToolTrees, TotalsAndFirstLevelAreDus)
{
    testsupport::TempFolder temp("velmora-scan");
    const std::string root = temp.Path() + "/tree";
    MakeFolder(root);
    GetParam().build(root);
    if (HasFatalFailure())
        return;
    const bool nobody = GetParam().asNobody;
    if (nobody)
        ::chmod(temp.Path().c_str(), 0755);

    const auto du = RunCommand({kDu, "-sxB1", root}, nobody);
    const auto scan = RunCommand({kScan, root}, nobody);
    ASSERT_FALSE(scan.timedOut);
    EXPECT_EQ(scantest::LastTotal(scan.out), scantest::LastTotal(du.out)) << scan.out << scan.err;
    EXPECT_EQ(scan.exitCode, du.exitCode) << scan.err << " / du: " << du.err;

    const auto duLevel = RunCommand({kDu, "-xB1", "-d1", root}, nobody);
    EXPECT_EQ(scantest::SortedLines(scan.out), scantest::SortedLines(duLevel.out));

    const auto duApparent = RunCommand({kDu, "-sxb", root}, nobody);
    const auto scanApparent = RunCommand({kScan, "--apparent-size", root}, nobody);
    EXPECT_EQ(scantest::LastTotal(scanApparent.out), scantest::LastTotal(duApparent.out));

    if (nobody) {
        ::chmod((root + "/locked").c_str(), 0755);
        ::chmod((root + "/listonly").c_str(), 0755);
    }
}

INSTANTIATE_TEST_SUITE_P(Trees, ScanToolTrees,
                         testing::Values(TreeCase{"Folders", Folders}, TreeCase{"HardLinks", HardLinks},
                                         TreeCase{"SparseFiles", SparseFiles},
                                         TreeCase{"SymlinkLoop", SymlinkLoop},
                                         TreeCase{"NotUtf8Names", NotUtf8Names},
                                         TreeCase{"ManyEntries", ManyEntries}, TreeCase{"Deep", Deep},
                                         TreeCase{"UnreadableFolder", UnreadableFolder, true}),
                         [](const testing::TestParamInfo<TreeCase> &info) { return info.param.name; });

TEST(ScanTool, UnreadableFoldersAreNamedAndListed)
{
    testsupport::TempFolder temp("velmora-scan");
    ::chmod(temp.Path().c_str(), 0755);
    const std::string root = temp.Path() + "/tree";
    MakeFolder(root);
    UnreadableFolder(root);
    const auto scan = RunCommand({kScan, "--json", root}, true);
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_NE(scan.err.find("cannot read '" + root + "/locked'"), std::string::npos) << scan.err;
    const auto json = nlohmann::json::parse(scan.out);
    ASSERT_EQ(json["unreadable"].size(), 1u);
    EXPECT_EQ(json["unreadable"][0]["path"], root + "/locked");
    ::chmod((root + "/locked").c_str(), 0755);
    ::chmod((root + "/listonly").c_str(), 0755);
}

TEST(ScanTool, BiggestFoldersAndFilesInOrder)
{
    testsupport::TempFolder temp("velmora-scan");
    const std::string root = temp.Path();
    MakeFolder(root + "/small");
    MakeFolder(root + "/big");
    MakeFolder(root + "/big/bigger");
    WriteFile(root + "/small/s", 10000);
    WriteFile(root + "/big/b", 200000);
    WriteFile(root + "/big/bigger/huge", 2000000);
    WriteFile(root + "/big/bigger/tiny", 100);

    const auto top = RunCommand({kScan, "--top", "2", "--files", "2", root});
    ASSERT_EQ(top.exitCode, 0) << top.err;
    // Folders, then files, then the total, each the biggest first.
    std::vector<std::string> order;
    for (std::size_t start = 0, end; (end = top.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = top.out.substr(start, end - start);
        order.push_back(line.substr(line.find('\t') + 1));
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{root + "/big", root + "/big/bigger", root + "/big/bigger/huge",
                                        root + "/big/b", root}));

    const auto json = nlohmann::json::parse(RunCommand({kScan, "--json", "--top", "5", "--files", "1", root}).out);
    ASSERT_EQ(json["biggest_files"].size(), 1u);
    EXPECT_EQ(json["biggest_files"][0]["path"], root + "/big/bigger/huge");
    EXPECT_EQ(json["biggest_files"][0]["apparent_bytes"], 2000000);
    EXPECT_EQ(json["biggest_folders"].size(), 3u);
    EXPECT_EQ(json["files"], 4);
}

TEST(ScanTool, NamesThatAreNotUtf8KeepTheirBytesInJson)
{
    testsupport::TempFolder temp("velmora-scan");
    const std::string root = temp.Path();
    MakeFolder(root + "/caf\xe9");
    WriteFile(root + "/caf\xe9/f", 100000);
    const auto scan = RunCommand({kScan, "--json", "--top", "1", root});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    const auto json = nlohmann::json::parse(scan.out); // throws on bytes that are not UTF-8
    const auto &folder = json["biggest_folders"][0];
    EXPECT_EQ(folder["path"], root + "/caf\xef\xbf\xbd");
    std::string hex;
    for (unsigned char c : root + "/caf\xe9") {
        static const char digits[] = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    EXPECT_EQ(folder["path_hex"], hex);
    // The text output gives the bytes as they are, as du does.
    EXPECT_NE(RunCommand({kScan, root}).out.find("/caf\xe9\n"), std::string::npos);
}

TEST(ScanTool, ErrorsAndHelp)
{
    testsupport::TempFolder temp("velmora-scan");
    WriteFile(temp.File("plain"), 10);
    struct Case
    {
        std::vector<std::string> args;
        int exitCode;
        const char *stderrHas;
    };
    const std::vector<Case> cases = {
        {{temp.File("missing")}, 2, "No such file or directory"},
        {{temp.File("plain")}, 2, "not a folder"},
        {{}, 2, "no PATH"},
        {{"--top", "x", temp.Path()}, 2, "--top needs a number"},
        {{"--top"}, 2, "--top needs a number"},
        {{"--jobs", "0", temp.Path()}, 2, "--jobs needs a number"},
        {{"--files", "99999999999999999999", temp.Path()}, 2, "--files needs a number"},
        {{"--frobnicate", temp.Path()}, 2, "unknown option"},
        {{temp.Path(), temp.Path()}, 2, "only one PATH"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> argv{kScan};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto result = RunCommand(argv);
        EXPECT_EQ(result.exitCode, c.exitCode) << testing::PrintToString(c.args);
        EXPECT_NE(result.err.find(c.stderrHas), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
    const auto help = RunCommand({kScan, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *option : {"--top N", "--files N", "--json", "--apparent-size", "--jobs N", "--background",
                               "--help", "Exit status"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

} // namespace
