// SPDX-License-Identifier: MIT
// What grew since the last scan, in the drive window's history tab, on a
// real folder and a real history file: the first scan says it is the first;
// a folder that grew between two scans is listed first with what it used
// before and now; a cancelled scan and a folder scanned again leave nothing
// in the history; the list follows the language switch.
#include "AnalysisTestSupport.h"
#include "analysis/DriveWindow.h"
#include "analysis/DriveWindows.h"
#include "analysis/ScanGrowth.h"
#include "history/HistoryStore.h"

#include "localization/LangManager.h"

#include "TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using analysistest::Until;
using analysistest::WriteFile;
QApplication &App()
{
    return analysistest::App("tst_scan_growth");
}

constexpr char kKey[] = "uuid:0f3c-growth";

class ScanGrowthTest : public testing::Test
{
protected:
    void SetUp() override
    {
        App();
        LangManager::Start();
        LangManager::Instance().SwitchLanguage(3082);
        WriteFile(drive / "photos" / "trip.jpg", 3 << 20);
        WriteFile(drive / "music" / "song.mp3", 1 << 20);
        WriteFile(drive / "readme.txt", 4096);
    }
    void TearDown() override { LangManager::Instance().SwitchLanguage(3082); }

    // Opens the drive's window with its history tab kept in this test's
    // history file; its first scan runs at once.
    TDriveWindow *Open()
    {
        TDriveWindow *window = windows.Open(QStringLiteral("/data"), drive.string());
        pane = new THistoryPane;
        window->AddHistoryPane(pane);
        pane->Growth()->Follow(&window->Analysis(), store, kKey);
        QObject::connect(pane->Growth(), &TScanGrowthList::GrowthShown, pane, [this] { ++shown; });
        return window;
    }

    // Waits for the growth of the scan that ends next.
    bool NextGrowth()
    {
        const int before = shown;
        return Until([&] { return shown > before; });
    }

    std::size_t ScansKept() const
    {
        const auto history = history::HistoryStore::Open(store, history::HistoryStore::Mode::ReadOnly);
        return history->ScanCount(kKey, drive.string());
    }

    QString Joined() const { return pane->Growth()->Texts().join(QStringLiteral(" / ")); }

    testsupport::TempFolder folder{"velmora-growth"};
    const fs::path drive = fs::path(folder.Path()) / "drive";
    const std::string store = folder.Path() + "/state/history.sqlite";
    TDriveWindows windows;
    THistoryPane *pane = nullptr;
    int shown = 0;
};

TEST_F(ScanGrowthTest, TheFolderThatGrewComesFirstWithWhatItUsedBeforeAndNow)
{
    TDriveWindow *window = Open();
    EXPECT_TRUE(Joined().contains(QStringLiteral("Se sabrá cuando termine"))) << Joined().toStdString();
    ASSERT_TRUE(NextGrowth());
    ASSERT_TRUE(pane->Growth()->Growth().has_value()) << "the history could not be written";
    EXPECT_TRUE(pane->Growth()->Growth()->firstScan);
    EXPECT_TRUE(Joined().contains(QStringLiteral("Primer análisis de esta unidad"))) << Joined().toStdString();
    EXPECT_EQ(pane->Growth()->Texts().size(), 3) << "no folder listed after a first scan";

    // A nested folder gains 2 MB, music 5 MB: music first, then the nested
    // one; photos did not change and is not listed.
    WriteFile(drive / "music" / "album.flac", 5 << 20);
    WriteFile(drive / "photos" / "new" / "scan.png", 2 << 20);
    window->Analysis().Start();
    ASSERT_TRUE(NextGrowth());
    ASSERT_TRUE(pane->Growth()->Growth().has_value());
    const analysis::ScanGrowth &growth = *pane->Growth()->Growth();
    EXPECT_FALSE(growth.firstScan);
    ASSERT_GE(growth.grown.size(), 2u);
    const history::FolderGrowth &music = growth.grown[0];
    EXPECT_EQ(music.path, (drive / "music").string());
    ASSERT_TRUE(music.before.has_value());
    EXPECT_GE(*music.before, 1u << 20);
    EXPECT_LT(*music.before, (1u << 20) + (64u << 10));
    EXPECT_EQ(music.now - *music.before, 5u << 20);
    // photos/new did not exist: nothing before it. photos grew as well, by
    // what is in its new folder.
    bool sawNew = false;
    for (const history::FolderGrowth &g : growth.grown) {
        EXPECT_NE(g.path, drive.string()) << "the drive's own folder is listed";
        if (g.path == (drive / "photos" / "new").string()) {
            sawNew = true;
            EXPECT_FALSE(g.before.has_value());
            EXPECT_GE(g.now, 2u << 20);
        }
    }
    EXPECT_TRUE(sawNew);

    const QStringList texts = pane->Growth()->Texts();
    ASSERT_GE(texts.size(), 5);
    EXPECT_EQ(texts[0], QStringLiteral("Lo que creció desde el último análisis"));
    EXPECT_EQ(texts[1], QString()) << "a note beside a list of growth";
    EXPECT_EQ(texts[2], QStringLiteral("Carpeta | Antes | Ahora | Creció"));
    EXPECT_EQ(texts[3],
              QString::fromStdString((drive / "music").string()) + QStringLiteral(" | 1 MB | 6 MB | +5 MB"));
    EXPECT_EQ(ScansKept(), 2u);

    // Nothing changed: the third scan says so.
    window->Analysis().Start();
    ASSERT_TRUE(NextGrowth());
    EXPECT_TRUE(Joined().contains(QStringLiteral("Nada creció desde el último análisis")))
        << Joined().toStdString();
    EXPECT_EQ(pane->Growth()->Texts().size(), 3);
    window->close();
}

TEST_F(ScanGrowthTest, CancelledScansAndFoldersScannedAgainAreNotKept)
{
    TDriveWindow *window = Open();
    // Cancelled before it is over (the end of a scan is handled on this
    // thread, after this call).
    window->Analysis().Cancel();
    EXPECT_EQ(window->Analysis().State(), TDriveAnalysis::TState::Cancelled);
    // Its workers wound down and what they found was taken in (the time to
    // stop is set then; below 0 when the scan was over before Cancel).
    ASSERT_TRUE(Until([&] { return window->Analysis().LastStopMilliseconds() != -1; }));
    QCoreApplication::processEvents();

    window->Analysis().Start();
    ASSERT_TRUE(NextGrowth());
    ASSERT_TRUE(pane->Growth()->Growth().has_value());
    EXPECT_TRUE(pane->Growth()->Growth()->firstScan) << "the cancelled scan was kept";
    EXPECT_EQ(ScansKept(), 1u);

    // A folder scanned again is a part of the drive, not a scan of it.
    std::optional<TDriveAnalysis::TItem> music;
    for (const TDriveAnalysis::TItem &item : window->Analysis().Items())
        if (item.Name == QStringLiteral("music"))
            music = item;
    ASSERT_TRUE(music.has_value());
    WriteFile(drive / "music" / "album.flac", 5 << 20);
    window->Analysis().ScanAgain(*music);
    ASSERT_TRUE(Until(
        [&] { return window->Analysis().State() == TDriveAnalysis::TState::Done && !window->Analysis().Busy(); }));

    // A cancelled scan after files were written, then one that ends: the
    // growth is since the one kept before, so music's 5 MB show.
    window->Analysis().Start();
    window->Analysis().Cancel();
    ASSERT_TRUE(Until([&] { return window->Analysis().State() == TDriveAnalysis::TState::Cancelled; }));
    window->Analysis().Start();
    ASSERT_TRUE(NextGrowth());
    EXPECT_EQ(shown, 2) << "a scan that did not run to its end was kept";
    EXPECT_EQ(ScansKept(), 2u);
    ASSERT_TRUE(pane->Growth()->Growth().has_value());
    ASSERT_FALSE(pane->Growth()->Growth()->grown.empty());
    EXPECT_EQ(pane->Growth()->Growth()->grown[0].path, (drive / "music").string());
    window->close();
}

TEST_F(ScanGrowthTest, FollowsTheLanguageSwitch)
{
    TDriveWindow *window = Open();
    ASSERT_TRUE(NextGrowth());
    ASSERT_TRUE(Joined().contains(QStringLiteral("Primer análisis"))) << Joined().toStdString();

    if (LangManager::Instance().LanguageCount() < 2) {
        ASSERT_TRUE(
            LangManager::Instance().AddLanguageFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/English.lng")));
    }
    LangManager::Instance().SwitchLanguage(1033);
    ASSERT_EQ(LangManager::Instance().ActiveLanguageId(), 1033u) << "no English translation";
    windows.Retranslate();
    const QStringList english = pane->Growth()->Texts();
    ASSERT_EQ(english.size(), 3);
    EXPECT_EQ(english[0], QStringLiteral("What grew since the last scan"));
    EXPECT_EQ(english[1], QStringLiteral("First scan of this drive: the next one will show what grew."));
    EXPECT_EQ(english[2], QStringLiteral("Folder | Before | Now | Growth"));
    window->close();
}

// The store's side on its own: a history that cannot be written leaves the
// list waiting, and says so in the log, without stopping the window.
TEST_F(ScanGrowthTest, AHistoryThatCannotBeWrittenLeavesTheListWaiting)
{
    WriteFile(fs::path(folder.Path()) / "state", 10); // a file where the folder should be
    TDriveWindow *window = Open();
    ASSERT_TRUE(NextGrowth());
    EXPECT_FALSE(pane->Growth()->Growth().has_value());
    EXPECT_TRUE(Joined().contains(QStringLiteral("Se sabrá cuando termine"))) << Joined().toStdString();
    EXPECT_EQ(window->Analysis().State(), TDriveAnalysis::TState::Done);
    window->close();
}

} // namespace
