// SPDX-License-Identifier: MIT
#include "ShellTestSupport.h"

#include "desktop/DriveEject.h"
#include "shell/DriveMenu.h"
#include "shell/LowSpaceNotice.h"

#include <QAction>
#include <QLocale>
#include <QLoggingCategory>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

using TDrive = TLowSpaceWatch::TDrive;

struct WatchStep
{
    const char *what;
    QList<TDrive> drives;
    QStringList told;
};

} // namespace

// One refresh after another: a drive is told about when it enters the full
// state, once, and again only after it has left it.
TEST(LowSpaceWatch, TellsOnceAtEachEntryIntoTheFullState)
{
    const WatchStep steps[] = {
        {"start: full already", {{"/a", true, false}, {"/b", false, false}}, {}},
        {"still full", {{"/a", true, false}, {"/b", false, false}}, {}},
        {"/b fills", {{"/a", true, false}, {"/b", true, false}}, {"/b"}},
        {"stays full", {{"/a", true, false}, {"/b", true, false}}, {}},
        {"/b below again, /a too", {{"/a", false, false}, {"/b", false, false}}, {}},
        {"both fill again", {{"/a", true, false}, {"/b", true, false}}, {"/a", "/b"}},
        // Full when first seen, whenever that is: only noted.
        {"/a leaves, /c comes full", {{"/b", true, false}, {"/c", true, false}}, {}},
        {"/a comes back full", {{"/a", true, false}, {"/b", true, false}, {"/c", true, false}}, {}},
        {"hidden /d fills", {{"/d", false, true}}, {}},
        {"hidden /d full", {{"/d", true, true}}, {}},
        {"/d shown again, still full", {{"/d", true, false}}, {}},
        {"/E and /e seen", {{"/E", false, false}, {"/e", false, false}}, {}},
        {"/E and /e fill, told apart by case", {{"/E", true, false}, {"/e", true, false}}, {"/E", "/e"}},
    };
    TLowSpaceWatch watch;
    for (const WatchStep &step : steps)
        EXPECT_EQ(watch.Update(step.drives), step.told) << step.what;
}

TEST(LowSpaceWatch, NothingIsToldAtTheFirstLookEvenForHiddenOrDoubledNames)
{
    TLowSpaceWatch watch;
    EXPECT_TRUE(watch.Update({{"/x", true, false}, {"/x", true, false}}).isEmpty());
    EXPECT_TRUE(watch.Update({{"/y", false, false}}).isEmpty());
    EXPECT_EQ(watch.Update({{"/y", true, false}, {"/y", true, false}}), QStringList({"/y"}));
}

TEST(DriveEject, DiskServiceErrorsReadAsWhatTheUserCanDo)
{
    using R = TDriveEject::TResult;
    const std::pair<const char *, R> cases[] = {
        {"org.freedesktop.UDisks2.Error.DeviceBusy", R::Busy},
        {"org.freedesktop.UDisks2.Error.NotAuthorized", R::NotAllowed},
        {"org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain", R::NotAllowed},
        {"org.freedesktop.UDisks2.Error.NotAuthorizedDismissed", R::NotAllowed},
        {"org.freedesktop.DBus.Error.AccessDenied", R::NotAllowed},
        {"org.freedesktop.UDisks2.Error.NotSupported", R::NotEjectable},
        {"org.freedesktop.UDisks2.Error.Failed", R::Failed},
        {"org.freedesktop.DBus.Error.ServiceUnknown", R::Failed},
        {"", R::Failed},
    };
    for (const auto &[name, result] : cases)
        EXPECT_EQ(TDriveEject::ResultOfError(QString::fromLatin1(name)), result) << name;
}

namespace {

// A menu with two items of its own, and what the section's items did.
struct MenuFixture
{
    QApplication &app = TestApp();
    QMenu menu;
    QStringList calls;
    QStringList hidden;
    std::unique_ptr<TDriveMenu> section;

    MenuFixture()
    {
        menu.addAction(QStringLiteral("version"));
        menu.addAction(QStringLiteral("Cerrar"));
        TDriveMenu::THandlers handlers;
        const auto record = [this](const char *what) {
            return [this, what](const QString &drive) {
                calls << QString::fromLatin1(what) + QLatin1Char(' ') + drive;
            };
        };
        handlers.Open = record("open");
        handlers.Eject = record("eject");
        handlers.Hide = record("hide");
        handlers.Show = record("show");
        handlers.Analyze = record("analyze");
        handlers.Hidden = [this] { return hidden; };
        section = std::make_unique<TDriveMenu>(&menu, handlers);
    }
    // What opening the menu does, without a screen to show it on.
    void Open() { emit menu.aboutToShow(); }
    QStringList Texts() const
    {
        QStringList texts;
        for (const QAction *action : menu.actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }
};

} // namespace

TEST(DriveMenu, ASectionForTheDriveItWasOpenedForAndNoneLeftBehind)
{
    struct Case
    {
        const char *drive;
        TDriveMenu::TCommands commands;
        QStringList texts;
    };
    const Case cases[] = {
        {"/media/stick",
         {true, true, true},
         {"Abrir", "Expulsar", "Ocultar esta unidad", "Analizar…", "-", "version", "Cerrar"}},
        {"/home", {true, false, true}, {"Abrir", "Ocultar esta unidad", "Analizar…", "-", "version", "Cerrar"}},
        // Another machine's drive: hiding is all that works here.
        {"web1:9100:/media/cdrom", {false, false, false}, {"Ocultar esta unidad", "-", "version", "Cerrar"}},
    };
    MenuFixture f;
    for (const Case &c : cases) {
        f.section->PopupFor(QString::fromLatin1(c.drive), c.commands, QPoint(-10000, -10000));
        f.menu.hide();
        EXPECT_EQ(f.Texts(), c.texts) << c.drive;
    }
    // Every command carries the drive it was made for.
    f.section->PopupFor(QStringLiteral("/media/stick"), {true, true, true}, QPoint(-10000, -10000));
    f.menu.hide();
    for (int i = 0; i < 4; ++i)
        f.menu.actions().at(i)->trigger();
    EXPECT_EQ(
        f.calls,
        QStringList({"open /media/stick", "eject /media/stick", "hide /media/stick", "analyze /media/stick"}));

    // Opened from the tray with nothing hidden: the menu as it was made.
    f.Open();
    EXPECT_EQ(f.Texts(), QStringList({"version", "Cerrar"}));
}

TEST(DriveMenu, FromTheTrayTheHiddenDrivesCanBeShownAgain)
{
    MenuFixture f;
    // A '&' in a name is doubled in its caption, to show as itself.
    f.hidden = {"/mnt/a", "E:", "/mnt/R&D"};
    f.Open();
    ASSERT_EQ(f.Texts(), QStringList({"Unidades ocultas", "-", "version", "Cerrar"}));
    EXPECT_EQ(f.section->SectionTexts(), QStringList({"Unidades ocultas [/mnt/a | E: | /mnt/R&&D]"}));
    QMenu *sub = f.menu.actions().at(0)->menu();
    ASSERT_NE(sub, nullptr);
    sub->actions().at(1)->trigger();
    sub->actions().at(2)->trigger();
    EXPECT_EQ(f.calls, QStringList({"show E:", "show /mnt/R&D"}));
    // The next opening, after the drives came back, lists the rest only.
    f.hidden = {"/mnt/a"};
    f.Open();
    EXPECT_EQ(f.section->SectionTexts(), QStringList({"Unidades ocultas [/mnt/a]"}));
    EXPECT_EQ(f.Texts().size(), 4);
}

namespace {

QStringList gNoticeLines;

void KeepNoticeLines(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QLatin1String("low-space notice:")))
        gNoticeLines << message;
}

} // namespace

// The notice follows the refreshes handed out by the window: a drive that
// fills is told with its free space; one that is full without a free-space
// figure, or not shown, is not.
TEST(LowSpaceNotice, TellsTheDrivesThatFillFromTheRefreshesHandedOut)
{
    TestApp();
    QLoggingCategory::setFilterRules(QStringLiteral("velmora.shell.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(KeepNoticeLines);
    gNoticeLines.clear();
    TDesktopNotifier notifier(nullptr);
    TLowSpaceNotice notice(notifier);
    const auto drive = [](const char *name, std::optional<quint64> free, bool full, bool shown) {
        TDriveState d;
        d.Name = QString::fromLatin1(name);
        d.Free = free;
        d.Size = 100ULL << 30;
        d.Full = full;
        d.Shown = shown;
        return d;
    };
    notice.Refreshed({drive("/a", 1ULL << 30, true, true), drive("/b", 50ULL << 30, false, true)});
    EXPECT_TRUE(gNoticeLines.isEmpty()) << "the first look only notes what is full";
    notice.Refreshed({drive("/a", 1ULL << 30, true, true), drive("/b", 2ULL << 30, true, true),
                      drive("/c", std::nullopt, true, true), drive("/d", 1ULL << 30, true, false)});
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    ASSERT_EQ(gNoticeLines.size(), 1) << gNoticeLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(gNoticeLines.at(0).contains(QLatin1String("/b")));
    EXPECT_TRUE(gNoticeLines.at(0).contains(QLatin1String(": 2 GB libres.")))
        << "as the panel shows it: " << gNoticeLines.at(0).toStdString();
}
