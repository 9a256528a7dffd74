// SPDX-License-Identifier: MIT
// The low-space notice: which drives are news (full now, not full when last
// seen), how many notices may go out in a minute, and what they say.
#include "ShellTestSupport.h"

#include "localization/LangManager.h"
#include "panels/frDisco.h"
#include "shell/LowSpaceNotice.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <random>

namespace {

using TDrive = TLowSpaceWatch::TDrive;

constexpr quint64 MB = quint64(1) << 20;
constexpr quint64 GB = quint64(1) << 30;

// A refresh written as "name:state ..." where state is F (full), f (full and
// hidden) or - (not full).
QList<TDrive> Refresh(const QString &text)
{
    QList<TDrive> drives;
    for (const QString &item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString name = item.section(QLatin1Char(':'), 0, 0);
        const QString state = item.section(QLatin1Char(':'), 1);
        drives.append({name, state != QLatin1String("-"), state == QLatin1String("f"), 0, 0});
    }
    return drives;
}

struct WatchCase
{
    const char *name;
    std::vector<const char *> refreshes;
    // What each refresh tells, names joined by blanks.
    std::vector<const char *> told;
};

class LowSpaceWatchTest : public testing::TestWithParam<WatchCase>
{};

TEST_P(LowSpaceWatchTest, TellsOnlyDrivesThatFilledWhileSeen)
{
    const WatchCase &c = GetParam();
    ASSERT_EQ(c.refreshes.size(), c.told.size());
    TLowSpaceWatch watch;
    for (std::size_t i = 0; i < c.refreshes.size(); ++i)
        EXPECT_EQ(watch.Update(Refresh(QString::fromLatin1(c.refreshes[i]))).join(QLatin1Char(' ')),
                  QString::fromLatin1(c.told[i]))
            << "refresh " << i + 1 << ": " << c.refreshes[i];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LowSpaceWatchTest,
    testing::Values(WatchCase{"full_at_start", {"a:F b:-", "a:F b:-"}, {"", ""}},
                    WatchCase{"fills_later", {"a:- b:-", "a:F b:-", "a:F b:F", "a:F b:F"}, {"", "a", "b", ""}},
                    // A server that answers only after the widget started: its drives
                    // are first seen full, and stay quiet.
                    WatchCase{
                        "server_comes_up", {"", "", "a:F b:F c:- d:F", "a:F b:F c:F d:F"}, {"", "", "", "c"}},
                    // A stick that is full when plugged in is no news either.
                    WatchCase{"plugged_in_full", {"a:-", "a:- s:F", "a:- s:F"}, {"", "", ""}},
                    WatchCase{"freed_and_filled_again", {"a:-", "a:F", "a:-", "a:F"}, {"", "a", "", "a"}},
                    // Gone and back: seen anew, so full on its return is quiet.
                    WatchCase{"gone_and_back_full", {"a:-", "", "a:F", "a:-", "a:F"}, {"", "", "", "", "a"}},
                    WatchCase{"hidden_never_told", {"a:-", "a:f", "a:F"}, {"", "", ""}},
                    WatchCase{"twice_in_one_refresh", {"a:- a:-", "a:F a:F"}, {"", "a"}}),
    [](const testing::TestParamInfo<WatchCase> &info) { return std::string(info.param.name); });

// ---- the limit ------------------------------------------------------------------

QStringList Names(int from, int to)
{
    QStringList names;
    for (int i = from; i <= to; ++i)
        names << QStringLiteral("/d%1").arg(i, 3, 10, QLatin1Char('0'));
    return names;
}

TEST(NoticeLimitTest, ABurstBecomesAFewNoticesTheLastCountingTheRest)
{
    TNoticeLimit limit;
    limit.Offer(Names(1, 200));
    const QList<TNoticeLimit::TNotice> first = limit.Take(1000);
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(first[0].Name, "/d001");
    EXPECT_EQ(first[0].Others, 0);
    EXPECT_EQ(first[1].Name, "/d002");
    EXPECT_EQ(first[1].Others, 0);
    EXPECT_EQ(first[2].Name, "/d003");
    EXPECT_EQ(first[2].Others, 197);
    EXPECT_FALSE(limit.Waiting());

    // More within the minute wait for it to pass.
    limit.Offer(Names(201, 205));
    EXPECT_TRUE(limit.Take(30000).isEmpty());
    EXPECT_EQ(limit.NextChance(30000), 61000);
    EXPECT_TRUE(limit.Take(60999).isEmpty());
    const QList<TNoticeLimit::TNotice> later = limit.Take(61000);
    ASSERT_EQ(later.size(), 3);
    EXPECT_EQ(later[2].Name, "/d203");
    EXPECT_EQ(later[2].Others, 2);
}

TEST(NoticeLimitTest, FewNamesGoOutOneByOne)
{
    TNoticeLimit limit;
    limit.Offer({"/a"});
    EXPECT_EQ(limit.Take(0).size(), 1);
    limit.Offer({"/b", "/c"});
    const QList<TNoticeLimit::TNotice> two = limit.Take(10);
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[1].Others, 0);
    // The window is full: the fourth waits a minute from the first.
    limit.Offer({"/d"});
    EXPECT_TRUE(limit.Take(20).isEmpty());
    EXPECT_EQ(limit.NextChance(20), 60000);
    limit.Forget([](const QString &name) { return name == "/d"; });
    EXPECT_FALSE(limit.Waiting());
}

// Whatever comes in, no minute ever holds more than the limit, and every
// name offered is told or counted.
TEST(NoticeLimitTest, NoMinuteEverHoldsMoreThanTheLimit)
{
    std::mt19937 random(24);
    TNoticeLimit limit;
    QList<qint64> sent;
    int offered = 0;
    int accounted = 0;
    qint64 now = 0;
    for (int step = 0; step < 2000; ++step) {
        now += std::uniform_int_distribution<int>(0, 4000)(random);
        const int burst = std::uniform_int_distribution<int>(0, 6)(random) == 0
            ? std::uniform_int_distribution<int>(1, 300)(random)
            : 0;
        limit.Offer(Names(offered + 1, offered + burst));
        offered += burst;
        for (const TNoticeLimit::TNotice &notice : limit.Take(now)) {
            sent << now;
            accounted += 1 + notice.Others;
        }
    }
    now += TNoticeLimit::WindowMs;
    for (const TNoticeLimit::TNotice &notice : limit.Take(now)) {
        sent << now;
        accounted += 1 + notice.Others;
    }
    EXPECT_EQ(accounted, offered);
    for (qsizetype i = 0; i + TNoticeLimit::PerWindow < sent.size(); ++i)
        ASSERT_GE(sent[i + TNoticeLimit::PerWindow] - sent[i], TNoticeLimit::WindowMs) << "notice " << i;
}

// ---- what the notice says and when -----------------------------------------------

class LowSpaceNoticeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        LangManager::Start();
        notice.SetClock([this] { return now; });
    }

    QApplication &app = TestApp();
    qint64 now = 5000;
    QStringList texts;
    TLowSpaceNotice notice{[this](const QString &title, const QString &text) {
        EXPECT_EQ(title, QStringLiteral("Poco espacio en disco"));
        texts << text;
    }};
};

QList<TDrive> Drives(int count, bool full)
{
    QList<TDrive> drives;
    for (const QString &name : Names(1, count))
        drives.append({name, full, false, full ? 4 * MB : 60 * MB, 100 * MB});
    return drives;
}

TEST_F(LowSpaceNoticeTest, DrivesFullWhenTheServerComesUpStayQuiet)
{
    notice.Update({});
    notice.Update({});
    notice.Update(Drives(200, true));
    notice.Update(Drives(200, true));
    EXPECT_EQ(texts, QStringList());
}

TEST_F(LowSpaceNoticeTest, TwoHundredDrivesFillingAtOnceGiveThreeNotices)
{
    notice.Update(Drives(200, false));
    notice.Update(Drives(200, true));
    EXPECT_EQ(
        texts,
        (QStringList{"Queda poco espacio en /d001: 4 MB libres.", "Queda poco espacio en /d002: 4 MB libres.",
                     "Queda poco espacio en /d003 y 197 más."}));

    // Within the minute more fill up: they wait, and those freed meanwhile
    // are dropped.
    texts.clear();
    QList<TDrive> more = Drives(200, true);
    for (const QString &name : Names(201, 204))
        more.append({name, false, false, 60 * MB, 100 * MB});
    notice.Update(more);
    for (qsizetype i = 200; i < more.size(); ++i) {
        more[i].Full = true;
        more[i].Free = 4 * MB;
    }
    now += 1000;
    notice.Update(more);
    EXPECT_EQ(texts, QStringList());
    more[203].Full = false;
    now += 1000;
    notice.Update(more);
    now = 5000 + TNoticeLimit::WindowMs;
    notice.Flush();
    EXPECT_EQ(
        texts,
        (QStringList{"Queda poco espacio en /d201: 4 MB libres.", "Queda poco espacio en /d202: 4 MB libres.",
                     "Queda poco espacio en /d203: 4 MB libres."}));
}

// The free space in a notice reads as on the drive's panel: the same unit
// (from the total) and the same whole figure.
struct FigureCase
{
    quint64 free;
    quint64 size;
    const char *text;
};

class NoticeFigureTest : public testing::TestWithParam<FigureCase>
{};

TEST_P(NoticeFigureTest, SaysTheFreeSpaceAsThePanelShowsIt)
{
    TestApp();
    LangManager::Start();
    const FigureCase &c = GetParam();
    const QString text = TLowSpaceNotice::Text(QStringLiteral("/srv/x"), c.free, c.size);
    EXPECT_EQ(text, QStringLiteral("Queda poco espacio en /srv/x: %1 libres.").arg(QString::fromUtf8(c.text)));

    TFrameDrive panel;
    panel.SetPropiedades(
        QStringLiteral("DriveType=3\r\nName=/srv/x\r\nSize=%1\r\nFreeSpace=%2\r\n").arg(c.size).arg(c.free));
    EXPECT_TRUE(panel.lblEspacio()->text().startsWith(QString::fromUtf8(c.text) + QLatin1Char(' ')))
        << panel.lblEspacio()->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoticeFigureTest,
    testing::Values(FigureCase{4 * MB, 100 * MB, "4 MB"}, FigureCase{4 * MB + MB / 2, 100 * MB, "4 MB"},
                    FigureCase{9 * MB + 900 * 1024, 100 * MB, "10 MB"},
                    FigureCase{500 * MB, 10484711423, "500 MB"}, FigureCase{500 * MB, 10484711424, "0 GB"},
                    FigureCase{25 * GB, 500 * GB, "25 GB"}, FigureCase{49388761776, 500 * GB, "46 GB"},
                    FigureCase{49382319227, 500 * GB, "45 GB"}, FigureCase{0, 4096, "0 MB"}));

// A notice about one drive of this machine offers to examine it; choosing
// that asks for the drive's window. A drive of another machine, and a notice
// that stands for several drives, offer nothing.
TEST(LowSpaceExamine, OneLocalDriveOffersExaminar)
{
    TestApp();
    LangManager::Start();
    struct Sent
    {
        QString text, action;
        std::function<void()> choose;
    };
    QList<Sent> sent;
    qint64 now = 1000;
    TLowSpaceNotice notice{TLowSpaceNotice::TSendWithAction(
        [&](const QString &, const QString &text, const QString &action, std::function<void()> choose) {
            sent.append({text, action, std::move(choose)});
        })};
    notice.SetClock([&] { return now; });
    QStringList examined;
    QObject::connect(&notice, &TLowSpaceNotice::ExamineRequested, [&](const QString &name) { examined << name; });

    const auto drives = [](bool full) {
        return QList<TDrive>{
            {QStringLiteral("/home"), full, false, full ? 4 * MB : 60 * MB, 100 * MB, false, true},
            {QStringLiteral("web1:9100:/srv"), full, false, full ? 4 * MB : 60 * MB, 100 * MB, false, false}};
    };
    notice.Update(drives(false));
    notice.Update(drives(true));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].action, QStringLiteral("Examinar"));
    ASSERT_TRUE(sent[0].choose);
    EXPECT_TRUE(sent[1].action.isEmpty()) << "a remote drive cannot be examined here";
    EXPECT_FALSE(sent[1].choose);
    sent[0].choose();
    EXPECT_EQ(examined, QStringList{QStringLiteral("/home")});

    // Five local drives at once: the third notice stands for three of them.
    sent.clear();
    QList<TDrive> many;
    for (const QString &name : Names(1, 5))
        many.append({name, false, false, 60 * MB, 100 * MB, false, true});
    now += TNoticeLimit::WindowMs;
    notice.Update(many);
    for (TDrive &drive : many) {
        drive.Full = true;
        drive.Free = 4 * MB;
    }
    notice.Update(many);
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0].action, QStringLiteral("Examinar"));
    EXPECT_TRUE(sent[2].action.isEmpty()) << sent[2].text.toStdString();
    EXPECT_FALSE(sent[2].choose);
}

} // namespace
