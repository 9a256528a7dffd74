// SPDX-License-Identifier: MIT
// The drive scanner on Windows: FindFirstFileExW listings summed into the
// same totals the Linux half gives, names in UTF-8, paths longer than
// MAX_PATH, junction-like reparse points left alone, a cancel that stops it.
#include "usage/Scanner.h"

#include <TempFolder.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path &path, std::size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out << std::string(size, 'w');
}

std::string Utf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(WinScanner, TotalsNamesAndBiggestFiles)
{
    testsupport::TempFolder temp("velmora-winscan");
    const fs::path root = temp.Folder();
    fs::create_directories(root / "a" / "b");
    fs::create_directories(root / L"caf\u00e9" / L"\u65e5\u672c");
    WriteFile(root / "a" / "one", 1000);
    WriteFile(root / "a" / "b" / "big", 300000);
    WriteFile(root / L"caf\u00e9" / L"\u65e5\u672c" / L"\u00fc", 70000);
    WriteFile(root / "top", 5);
    // Deeper than MAX_PATH allows a plain path to go.
    fs::path deep = root / "deep";
    for (int i = 0; i < 12; ++i)
        deep /= std::string(30, char('k' + i % 10));
    fs::create_directories(L"\\\\?\\" + deep.wstring());
    WriteFile(L"\\\\?\\" + (deep / "bottom").wstring(), 4000);

    usage::Scanner scanner({.root = Utf8(root), .parallelReads = 4, .biggestFiles = 2});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    scanner.Wait();
    const usage::ScanTree &tree = scanner.Tree();
    EXPECT_EQ(tree.Apparent(), 1000u + 300000u + 70000u + 5u + 4000u);
    EXPECT_GE(tree.Allocated(), tree.Apparent());
    EXPECT_EQ(tree.FileCount(), 5u);
    EXPECT_EQ(tree.FolderCount(), 1u + 2u + 2u + 1u + 12u);
    EXPECT_TRUE(tree.Unreadable().empty());
    ASSERT_EQ(tree.BiggestFiles().size(), 2u);
    EXPECT_EQ(tree.BiggestFiles()[0].name, "big");
    EXPECT_EQ(tree.BiggestFiles()[1].name, "\xc3\xbc");
    EXPECT_EQ(tree.Path(tree.BiggestFiles()[1].folder), Utf8(root / L"caf\u00e9" / L"\u65e5\u672c"));
    EXPECT_EQ(tree.Path(tree.BiggestFolders(1).at(0)), Utf8(root / "a"));
}

TEST(WinScanner, MissingRootAndFileRoot)
{
    testsupport::TempFolder temp("velmora-winscan");
    WriteFile(temp.Folder() / "file", 10);
    for (const std::string &root : {Utf8(temp.Folder() / "missing"), Utf8(temp.Folder() / "file")}) {
        usage::Scanner scanner({.root = root});
        std::string error;
        EXPECT_FALSE(scanner.Start(error)) << root;
        EXPECT_FALSE(error.empty());
    }
}

TEST(WinScanner, CancelStopsTheWorkers)
{
    testsupport::TempFolder temp("velmora-winscan");
    for (int i = 0; i < 300; ++i) {
        const fs::path folder = temp.Folder() / ("d" + std::to_string(i % 30)) / ("e" + std::to_string(i));
        fs::create_directories(folder);
        WriteFile(folder / "f", 10);
    }
    usage::Scanner scanner({.root = Utf8(temp.Folder())});
    std::string error;
    ASSERT_TRUE(scanner.Start(error)) << error;
    scanner.Cancel();
    EXPECT_TRUE(scanner.WaitFor(std::chrono::seconds(10)));
    scanner.Wait();
    EXPECT_TRUE(scanner.Cancelled());
    EXPECT_TRUE(scanner.Finished());
}

} // namespace
