// SPDX-License-Identifier: MIT
// The drive window on the offscreen platform: it paints the first partial
// breakdown and then the treemap of the finished scan, names the biggest
// folder and file, follows the language switch at once (the history's tab
// included), and its commands wait for a selection.
#include "AnalysisTestSupport.h"
#include "analysis/DriveWindow.h"
#include "analysis/DriveWindows.h"
#include "analysis/TreemapView.h"

#include "localization/LangManager.h"

#include "TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

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
    return analysistest::App("tst_drive_window");
}

bool Over(TDriveWindow &window)
{
    const auto state = window.Analysis().State();
    return state == TDriveAnalysis::TState::Done || state == TDriveAnalysis::TState::Cancelled;
}

QString Joined(const TDriveWindow &window)
{
    return window.Texts().join(QStringLiteral(" | "));
}

class DriveWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        App();
        LangManager::Start();
        LangManager::Instance().SwitchLanguage(3082);
        WriteFile(fs::path(folder.Path()) / "photos" / "trip.jpg", 3 << 20);
        WriteFile(fs::path(folder.Path()) / "music" / "song.mp3", 1 << 20);
        WriteFile(fs::path(folder.Path()) / "readme.txt", 4096);
    }
    void TearDown() override { LangManager::Instance().SwitchLanguage(3082); }

    testsupport::TempFolder folder{"velmora-window"};
};

TEST_F(DriveWindowTest, PaintsTheTreemapAndNamesTheBiggestFolderAndFile)
{
    TDriveWindows windows;
    TDriveWindow *window = windows.Open(QStringLiteral("/data"), folder.Path());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windows.Open(QStringLiteral("/data"), folder.Path()), window) << "a second window for one drive";
    ASSERT_TRUE(Until([&] { return Over(*window); }));
    ASSERT_TRUE(Until([&] { return window->Treemap()->PaintedWithItems() > 0; })) << "nothing painted";

    const QString texts = Joined(*window);
    EXPECT_TRUE(texts.contains(QStringLiteral("Qué ocupa /data"))) << texts.toStdString();
    const QString photos = QString::fromStdString(folder.Path() + "/photos");
    EXPECT_TRUE(texts.contains(QStringLiteral("Carpetas más grandes: ") + photos + QStringLiteral(" 3 MB")))
        << texts.toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Archivos más grandes: ") + photos + QStringLiteral("/trip.jpg")))
        << texts.toStdString();
    const auto &items = window->Treemap()->Items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[0].Name, QStringLiteral("photos"));
    // The biggest item takes the biggest rectangle.
    const QRectF first = window->Treemap()->ItemRect(0), second = window->Treemap()->ItemRect(1);
    EXPECT_GT(first.width() * first.height(), 2 * second.width() * second.height());
    windows.Find(QStringLiteral("/data"))->close();
}

TEST_F(DriveWindowTest, FollowsTheLanguageSwitchAtOnce)
{
    TDriveWindows windows;
    TDriveWindow *window = windows.Open(QStringLiteral("/data"), folder.Path());
    auto *pane = new QLabel(QStringLiteral("chart"));
    window->AddHistoryPane(pane);
    ASSERT_TRUE(Until([&] { return Over(*window); }));
    EXPECT_TRUE(Joined(*window).contains(QStringLiteral("Desglose | Historia"))) << Joined(*window).toStdString();

    // The program's English file, as the window's stored translations carry
    // it.
    if (LangManager::Instance().LanguageCount() < 2) {
        ASSERT_TRUE(
            LangManager::Instance().AddLanguageFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/English.lng")));
    }
    LangManager::Instance().SwitchLanguage(1033);
    ASSERT_EQ(LangManager::Instance().ActiveLanguageId(), 1033u) << "no English translation";
    windows.Retranslate();
    const QString english = Joined(*window);
    for (const char *text : {"What is filling /data", "Biggest folders: ", "Biggest files: ",
                             "Breakdown | History", "Move to the trash", "Delete for good", "In folders: "})
        EXPECT_TRUE(english.contains(QString::fromUtf8(text))) << text << " not in: " << english.toStdString();
    EXPECT_FALSE(english.contains(QStringLiteral("Carpetas"))) << english.toStdString();
    EXPECT_EQ(window->HistoryPane(), pane);
    window->close();
}

TEST_F(DriveWindowTest, CommandsWaitForASelection)
{
    TDriveWindows windows;
    TDriveWindow *window = windows.Open(QStringLiteral("/data"), folder.Path());
    ASSERT_TRUE(Until([&] { return Over(*window); }));
    const auto buttons = window->findChildren<QPushButton *>();
    const auto button = [&](const QString &text) -> QPushButton * {
        for (QPushButton *b : buttons)
            if (b->text() == text)
                return b;
        return nullptr;
    };
    QPushButton *trash = button(QStringLiteral("Mover a la papelera"));
    ASSERT_NE(trash, nullptr);
    EXPECT_FALSE(trash->isEnabled());
    window->SelectByPath(folder.Path() + "/music");
    EXPECT_TRUE(trash->isEnabled());
    EXPECT_TRUE(button(QStringLiteral("Analizar de nuevo"))->isEnabled()) << "a folder can be scanned again";
    window->SelectByPath(folder.Path() + "/photos/trip.jpg");
    EXPECT_FALSE(button(QStringLiteral("Analizar de nuevo"))->isEnabled()) << "a file cannot";
    window->close();
}

} // namespace
