// SPDX-License-Identifier: MIT
// The scanner as the drive window uses it: partial totals while it runs that
// add up to the final ones, the biggest files across all workers, a cancel
// that stops the workers.
#include "ScanTestSupport.h"
#include "TempFolder.h"

#include "usage/Scanner.h"

#include <chrono>
#include <map>
#include <thread>

using namespace std::chrono_literals;
using scantest::MakeFolder;
using scantest::WriteFile;

namespace {

// n folders in a tree ten wide, each with one small file.
void WideTree(const std::string &root, int n)
{
    std::vector<std::string> folders{root};
    for (int made = 0, parent = 0; made < n; ++parent) {
        for (int i = 0; i < 10 && made < n; ++i, ++made) {
            const std::string path = folders[std::size_t(parent)] + "/d" + std::to_string(i);
            MakeFolder(path);
            WriteFile(path + "/f", 100);
            folders.push_back(path);
        }
    }
}

TEST(Scanner, BranchTotalsWhileRunningAddUpToTheFinalOnes)
{
    testsupport::TempFolder temp("velmora-scanner");
    WideTree(temp.Path(), 400);
    WriteFile(temp.File("rootfile"), 50000);
    usage::Scanner scanner({.root = temp.Path()});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    std::uint64_t last = 0;
    while (!scanner.WaitFor(1ms)) {
        const auto progress = scanner.Snapshot();
        EXPECT_GE(progress.allocated, last); // totals only grow
        last = progress.allocated;
    }
    scanner.Wait();
    const auto progress = scanner.Snapshot();
    EXPECT_TRUE(progress.finished);
    const usage::ScanTree &tree = scanner.Tree();
    ASSERT_EQ(tree.FolderCount(), 401u);
    std::map<std::string, std::uint64_t> branches;
    for (const auto &branch : progress.branches)
        branches[branch.name] = branch.allocated;
    ASSERT_EQ(branches.size(), 10u);
    std::uint64_t sum = progress.rootFiles;
    for (usage::FolderId id : tree.ChildrenBySize(0)) {
        EXPECT_EQ(branches[std::string(tree.Name(id))], tree.Folder(id).allocated) << tree.Name(id);
        sum += tree.Folder(id).allocated;
    }
    // What the snapshot counted is everything but the root folder's own blocks.
    EXPECT_EQ(progress.allocated, sum);
    EXPECT_EQ(tree.FileCount(), 401u);
}

TEST(Scanner, BiggestFilesAcrossWorkersBiggestFirst)
{
    testsupport::TempFolder temp("velmora-scanner");
    for (int i = 0; i < 40; ++i) {
        const std::string folder = temp.File("f" + std::to_string(i % 8));
        if (i < 8)
            MakeFolder(folder);
        WriteFile(folder + "/file" + std::to_string(i), std::size_t(i + 1) * 8192);
    }
    usage::Scanner scanner({.root = temp.Path(), .parallelReads = 4, .biggestFiles = 5});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    scanner.Wait();
    const auto &files = scanner.Tree().BiggestFiles();
    ASSERT_EQ(files.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        const int i = 39 - k;
        EXPECT_EQ(files[std::size_t(k)].name, "file" + std::to_string(i));
        EXPECT_EQ(files[std::size_t(k)].apparent, std::uint64_t(i + 1) * 8192);
        EXPECT_EQ(scanner.Tree().Path(files[std::size_t(k)].folder), temp.File("f" + std::to_string(i % 8)));
    }
}

// Files that take the same blocks are ranked by their length.
TEST(Scanner, BiggestFilesOfEqualSpaceRankedByLength)
{
    testsupport::TempFolder temp("velmora-scanner");
    for (int i = 1; i <= 20; ++i)
        WriteFile(temp.File("same" + std::to_string(i)), std::size_t(i) * 100);
    usage::Scanner scanner({.root = temp.Path(), .biggestFiles = 3});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    scanner.Wait();
    const auto &files = scanner.Tree().BiggestFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "same20");
    EXPECT_EQ(files[1].name, "same19");
    EXPECT_EQ(files[2].name, "same18");
}

TEST(Scanner, CancelStopsTheWorkers)
{
    testsupport::TempFolder temp("velmora-scanner");
    WideTree(temp.Path(), 3000);
    usage::Scanner scanner({.root = temp.Path()});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    while (scanner.Snapshot().foldersRead < 10 && !scanner.Finished())
        std::this_thread::yield();
    const auto asked = std::chrono::steady_clock::now();
    scanner.Cancel();
    // Waiting returns: the bound is only there so that a fault fails
    // instead of hanging (speed is measured in bench/).
    EXPECT_TRUE(scanner.WaitFor(5s));
    scanner.Wait();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_TRUE(scanner.Cancelled());
    EXPECT_LT(scanner.Snapshot().foldersRead, 3001u);
    std::cout << "[ cancel ] workers stopped "
              << std::chrono::duration_cast<std::chrono::microseconds>(took).count() << " us after the cancel\n";
}

TEST(Scanner, CancelBeforeAnythingWasReadLeavesAnEmptyTree)
{
    testsupport::TempFolder temp("velmora-scanner");
    WideTree(temp.Path(), 50);
    usage::Scanner scanner({.root = temp.Path()});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    scanner.Cancel();
    scanner.Wait();
    EXPECT_TRUE(scanner.Finished());
    EXPECT_LE(scanner.Tree().FolderCount(), 51u);
}

TEST(Scanner, RootThatCannotBeScanned)
{
    testsupport::TempFolder temp("velmora-scanner");
    WriteFile(temp.File("file"), 10);
    for (const std::string &root : {temp.File("missing"), temp.File("file"), std::string()}) {
        usage::Scanner scanner({.root = root});
        std::string error;
        EXPECT_FALSE(scanner.Start(error)) << root;
        EXPECT_FALSE(error.empty());
        scanner.Wait(); // returns at once: nothing was started
    }
}

} // namespace
