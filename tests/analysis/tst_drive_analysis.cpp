// SPDX-License-Identifier: MIT
// The drive window's model on real folders: the breakdown of a small tree
// biggest first, going down and up, the commands really done on the disk
// (the trash of a tmpfs mounted as another drive, deleting for good only
// once confirmed and never below a mount point), a folder scanned again, and
// Cancel stopping the workers.
#include "AnalysisTestSupport.h"
#include "analysis/DriveAnalysis.h"

#include "localization/LangManager.h"

#include "MountNamespace.h"
#include "TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using analysistest::Until;
using analysistest::WriteFile;
QApplication &App()
{
    return analysistest::App("tst_drive_analysis");
}

bool ScanOver(const TDriveAnalysis &analysis)
{
    return analysis.State() != TDriveAnalysis::TState::Scanning
        && analysis.State() != TDriveAnalysis::TState::Idle;
}

// A file of real blocks (not sparse), so that its space on the disk is its
// length.
constexpr std::size_t MiB = 1024 * 1024;

// big/ 3 MiB in two files (2.5 and 0.5), mid/ 1 MiB (and a folder below), small/ 8 KiB, a
// 2 MiB file at the top.
void BuildTree(const fs::path &root)
{
    WriteFile(root / "big" / "movie.mkv", 5 * MiB / 2);
    WriteFile(root / "big" / "notes.txt", 1 * MiB / 2);
    WriteFile(root / "mid" / "deeper" / "data.bin", 1 * MiB);
    WriteFile(root / "small" / "a.txt", 8192);
    WriteFile(root / "top.iso", 2 * MiB);
}

std::vector<std::string> Names(const std::vector<TDriveAnalysis::TItem> &items)
{
    std::vector<std::string> names;
    for (const auto &item : items)
        names.push_back(item.Name.toStdString());
    return names;
}

const TDriveAnalysis::TItem *Find(const std::vector<TDriveAnalysis::TItem> &items, const std::string &name)
{
    for (const auto &item : items)
        if (item.Name.toStdString() == name)
            return &item;
    return nullptr;
}

class DriveAnalysisTest : public testing::Test
{
protected:
    void SetUp() override
    {
        App();
        LangManager::Start();
    }
};

TEST_F(DriveAnalysisTest, ListsBiggestFirstAndGoesDownAndUp)
{
    testsupport::TempFolder folder("velmora-analysis");
    const fs::path root = folder.Path();
    BuildTree(root);
    TDriveAnalysis analysis(root.string());
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    ASSERT_EQ(analysis.State(), TDriveAnalysis::TState::Done) << analysis.Error().toStdString();

    const auto items = analysis.Items();
    ASSERT_GE(items.size(), 4u);
    EXPECT_EQ(Names(items)[0], "big");
    EXPECT_EQ(Names(items)[1], "top.iso");
    EXPECT_EQ(Names(items)[2], "mid");
    for (std::size_t i = 1; i < items.size(); ++i)
        EXPECT_GE(items[i - 1].Size, items[i].Size) << "place " << i;
    EXPECT_GE(items[0].Size, 3 * MiB);

    const auto folders = analysis.BiggestFolders(10);
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders[0].Path, (root / "big").string());
    const auto files = analysis.BiggestFiles(10);
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[0].Path, (root / "big" / "movie.mkv").string());
    EXPECT_TRUE(files[1].Path == (root / "top.iso").string()) << files[1].Path;

    // Down into big: its two files; the path bar holds the drive and big.
    analysis.Enter(items[0]);
    EXPECT_EQ(Names(analysis.Items()), (std::vector<std::string>{"movie.mkv", "notes.txt"}));
    ASSERT_EQ(analysis.Trail().size(), 2u);
    EXPECT_EQ(analysis.Trail()[1].Name.toStdString(), "big");
    // A list's folder two levels down: the trail goes through its parent.
    const TDriveAnalysis::TItem *deeper = nullptr;
    for (const auto &f : folders)
        if (f.Path == (root / "mid" / "deeper").string())
            deeper = &f;
    ASSERT_NE(deeper, nullptr);
    analysis.Enter(*deeper);
    ASSERT_EQ(analysis.Trail().size(), 3u);
    EXPECT_EQ(analysis.Trail()[1].Name.toStdString(), "mid");
    EXPECT_EQ(Names(analysis.Items()), (std::vector<std::string>{"data.bin"}));
    analysis.GoUpTo(0);
    EXPECT_EQ(analysis.Trail().size(), 1u);
    EXPECT_EQ(Names(analysis.Items())[0], "big");
}

TEST_F(DriveAnalysisTest, AFolderThatIsNoFolderFailsWithTheReason)
{
    testsupport::TempFolder folder("velmora-analysis");
    TDriveAnalysis analysis(folder.Path() + "/missing");
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    EXPECT_EQ(analysis.State(), TDriveAnalysis::TState::Failed);
    EXPECT_FALSE(analysis.Error().isEmpty());
    EXPECT_TRUE(analysis.Items().empty());
}

TEST_F(DriveAnalysisTest, ScanAgainShowsAFoldersNewFigures)
{
    testsupport::TempFolder folder("velmora-analysis");
    const fs::path root = folder.Path();
    BuildTree(root);
    TDriveAnalysis analysis(root.string());
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    const quint64 before = analysis.Items()[0].Size + analysis.Items()[1].Size + analysis.Items()[2].Size;
    const TDriveAnalysis::TItem mid = *Find(analysis.Items(), "mid");

    WriteFile(root / "mid" / "grown.dat", 4 * MiB);
    analysis.ScanAgain(mid);
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    const auto items = analysis.Items();
    ASSERT_EQ(Names(items)[0], "mid") << "mid did not grow";
    EXPECT_GE(items[0].Size, mid.Size + 4 * MiB);
    EXPECT_GE(items[0].Size + Find(items, "big")->Size + Find(items, "top.iso")->Size, before + 4 * MiB);
    // Inside it, the new scan's files.
    analysis.Enter(items[0]);
    EXPECT_NE(Find(analysis.Items(), "grown.dat"), nullptr);
    EXPECT_EQ(analysis.BiggestFiles(1)[0].Path, (root / "mid" / "grown.dat").string());
}

TEST_F(DriveAnalysisTest, DeleteForGoodOnlyOnceConfirmed)
{
    testsupport::TempFolder folder("velmora-analysis");
    const fs::path root = folder.Path();
    BuildTree(root);
    TDriveAnalysis analysis(root.string());
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    const TDriveAnalysis::TItem big = *Find(analysis.Items(), "big");

    int asked = 0;
    EXPECT_FALSE(analysis.DeleteForGood(big, [&](const TDriveAnalysis::TItem &item) {
        ++asked;
        EXPECT_EQ(item.Path, big.Path);
        return false;
    }));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(analysis.DeleteForGood(big, nullptr)) << "no way to ask: nothing is deleted";
    Until([&] { return !analysis.Busy(); });
    EXPECT_TRUE(fs::exists(root / "big" / "movie.mkv"));
    EXPECT_NE(Find(analysis.Items(), "big"), nullptr);

    EXPECT_TRUE(analysis.DeleteForGood(big, [](const TDriveAnalysis::TItem &) { return true; }));
    ASSERT_TRUE(Until([&] { return !analysis.Busy(); }));
    EXPECT_FALSE(fs::exists(root / "big"));
    EXPECT_EQ(Find(analysis.Items(), "big"), nullptr);
    EXPECT_EQ(Names(analysis.Items())[0], "top.iso");
    for (const auto &file : analysis.BiggestFiles(10))
        EXPECT_EQ(file.Path.find("/big/"), std::string::npos) << file.Path;
}

// ---- with mounts: another drive, and a drive below a folder ---------------------

class DriveAnalysisMountTest : public DriveAnalysisTest
{
protected:
    void SetUp() override
    {
        DriveAnalysisTest::SetUp();
        const std::string why = testsupport::IsolateMounts();
        if (!why.empty())
            GTEST_SKIP() << "SKIPPED LOUDLY: " << why;
    }
};

TEST_F(DriveAnalysisMountTest, MovedToTheTrashOfThatDriveThenEmptiedGivesTheSpaceBack)
{
    testsupport::OwnMounts mounts("velmora-trash-");
    ASSERT_TRUE(mounts.MountTmpfs("drive", "size=64m,mode=0755")) << std::strerror(errno);
    // The home trash lives on another file system: the drive's own trash
    // must be <top>/.Trash-$uid.
    testsupport::TempFolder home("velmora-home");
    ::setenv("XDG_DATA_HOME", (home.Path() + "/data").c_str(), 1);
    const fs::path top = mounts.Path() + "/drive";
    BuildTree(top);

    TDriveAnalysis analysis(top.string());
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    ASSERT_EQ(analysis.State(), TDriveAnalysis::TState::Done);
    const TDriveAnalysis::TWhole before = analysis.Whole();
    ASSERT_TRUE(before.Known);
    EXPECT_EQ(before.Size, 64 * MiB);
    EXPECT_EQ(before.Trash, 0u);

    const TDriveAnalysis::TItem iso = *Find(analysis.Items(), "top.iso");
    analysis.MoveToTrash(iso);
    ASSERT_TRUE(Until([&] { return !analysis.Busy(); }));
    const fs::path trash = top / (".Trash-" + std::to_string(::getuid()));
    EXPECT_FALSE(fs::exists(top / "top.iso")) << "still in its folder";
    EXPECT_TRUE(fs::is_regular_file(trash / "files" / "top.iso")) << "not in the drive's trash";
    EXPECT_TRUE(fs::is_regular_file(trash / "info" / "top.iso.trashinfo"));
    EXPECT_FALSE(fs::exists(home.Path() + "/data/Trash/files/top.iso")) << "went to the home trash";
    EXPECT_EQ(Find(analysis.Items(), "top.iso"), nullptr);
    const TDriveAnalysis::TWhole trashed = analysis.Whole();
    EXPECT_GE(trashed.Trash, 2 * MiB);
    ASSERT_EQ(analysis.TrashFolders().size(), 1u);
    EXPECT_EQ(analysis.TrashFolders()[0], trash.string());
    // Moving to the trash frees nothing (the trash's own records take a
    // block or two).
    EXPECT_LE(trashed.Free, before.Free);
    EXPECT_GE(trashed.Free + 64 * 1024, before.Free);
    EXPECT_EQ(trashed.InFolders + 2 * MiB, before.InFolders);

    analysis.EmptyTrash();
    ASSERT_TRUE(Until([&] { return !analysis.Busy(); }));
    EXPECT_TRUE(fs::is_empty(trash / "files"));
    EXPECT_TRUE(fs::is_empty(trash / "info"));
    const TDriveAnalysis::TWhole emptied = analysis.Whole();
    EXPECT_EQ(emptied.Trash, 0u);
    EXPECT_GE(emptied.Free, before.Free + 2 * MiB);
}

TEST_F(DriveAnalysisMountTest, DeleteForGoodNeverReachesBelowAMountPoint)
{
    testsupport::OwnMounts mounts("velmora-delete-");
    ASSERT_TRUE(mounts.MountTmpfs("drive", "size=32m"));
    const fs::path top = mounts.Path() + "/drive";
    BuildTree(top);
    ASSERT_TRUE(mounts.MountTmpfs("drive/mid/other", "size=8m"));
    WriteFile(top / "mid" / "other" / "keep.txt", 4096);

    TDriveAnalysis analysis(top.string());
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); }));
    QStringList problems;
    QObject::connect(&analysis, &TDriveAnalysis::Problem, [&](const QString &text) { problems << text; });
    const TDriveAnalysis::TItem mid = *Find(analysis.Items(), "mid");
    EXPECT_TRUE(analysis.DeleteForGood(mid, [](const TDriveAnalysis::TItem &) { return true; }));
    ASSERT_TRUE(Until([&] { return !analysis.Busy(); }));
    EXPECT_TRUE(fs::exists(top / "mid" / "other" / "keep.txt")) << "a file of another drive was deleted";
    EXPECT_FALSE(fs::exists(top / "mid" / "deeper")) << "what was this drive's went";
    ASSERT_EQ(problems.size(), 1) << "the folder that stays is reported";
    EXPECT_TRUE(problems[0].contains(QString::fromStdString((top / "mid").string()))) << problems[0].toStdString();
}

// A large tree on a tmpfs: Cancel as soon as the first partial breakdown is
// there; the workers stop and the window gets its answer. How long the stop
// took is printed, not judged.
TEST_F(DriveAnalysisMountTest, CancelStopsTheWorkers)
{
    testsupport::OwnMounts mounts("velmora-cancel-");
    ASSERT_TRUE(mounts.MountTmpfs("drive", "size=256m,nr_inodes=400000"));
    const fs::path top = mounts.Path() + "/drive";
    std::size_t made = 0;
    for (int a = 0; a < 40; ++a)
        for (int b = 0; b < 50; ++b) {
            const fs::path dir = top / ("a" + std::to_string(a)) / ("b" + std::to_string(b));
            fs::create_directories(dir);
            for (int f = 0; f < 40; ++f) {
                const int fd = ::open((dir / ("f" + std::to_string(f))).c_str(), O_WRONLY | O_CREAT, 0644);
                ASSERT_GE(fd, 0);
                ::close(fd);
                ++made;
            }
        }
    TDriveAnalysis analysis(top.string());
    bool partial = false;
    QObject::connect(&analysis, &TDriveAnalysis::Changed, [&] {
        if (!partial && analysis.State() == TDriveAnalysis::TState::Scanning && !analysis.Items().empty()) {
            partial = true;
            analysis.Cancel();
        }
    });
    analysis.Start();
    ASSERT_TRUE(Until([&] { return ScanOver(analysis); })) << "the scan did not stop";
    EXPECT_TRUE(partial) << "no partial breakdown before the end";
    EXPECT_EQ(analysis.State(), TDriveAnalysis::TState::Cancelled);
    EXPECT_FALSE(analysis.Items().empty()) << "the partial breakdown stays shown";
    ASSERT_TRUE(Until([&] { return analysis.LastStopMilliseconds() >= 0; })) << "the workers did not stop";
    EXPECT_EQ(analysis.State(), TDriveAnalysis::TState::Cancelled);
    std::printf("[ measured ] Cancel to workers stopped: %.1f ms; %llu of %zu entries read\n",
                analysis.LastStopMilliseconds(), static_cast<unsigned long long>(analysis.Progress().Entries),
                made + 2050);
    RecordProperty("cancel_to_stop_ms", std::to_string(analysis.LastStopMilliseconds()));
    // What was found stays browsable.
    EXPECT_FALSE(analysis.Trail().empty());
}

} // namespace
