// SPDX-License-Identifier: MIT
// The widget window's refresh cycle over scripted query results (the fake
// query service reads a file that each case rewrites between refreshes):
// rebuilds and in-place updates, drives coming and going, hidden kinds, the
// fitting of the window, the fatal fourth failure, dragging, the panels' menu.
#include "ShellTestSupport.h"

#include "localization/ConstantText.h"
#include "panels/DriveControls.h"
#include "panels/frDisco.h"
#include "shell/DriveActions.h"
#include "shell/FMain.h"
#include "shell/Style.h"
#include "vcl/Exception.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "vcl/Timer.h"

#include <QContextMenuEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <limits>

#include <memory>

namespace {

constexpr int kPanel = 58;

class RefreshCycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        qputenv("VELMORA_FAKE_WBEM", fake.Path().toUtf8());
    }
    void TearDown() override
    {
        window.reset();
        qunsetenv("VELMORA_FAKE_WBEM");
    }

    // Creates and shows the window: FormShow runs the first query.
    TFormMain &Start()
    {
        window = std::make_unique<TFormMain>();
        window->SetFatalExit([this](const QString &message) { fatal << message; });
        window->SetAskQuestion([](const QString &, const QString &) { return false; });
        window->show();
        return *window;
    }
    void Tick() { window->TimerDiscosTimer(window->TimerDiscos); }

    QStringList FrameNames() const
    {
        QStringList names;
        for (TFrameDrive *f : window->Frames())
            names << f->Nombre();
        return names;
    }
    int VisibleFrames() const
    {
        int n = 0;
        for (TFrameDrive *f : window->Frames())
            n += f->isHidden() ? 0 : 1;
        return n;
    }

    QTemporaryDir dir;
    FakeWbemFile fake{dir.filePath(QStringLiteral("wbem.txt"))};
    std::unique_ptr<TFormMain> window;
    QStringList fatal;
};

TEST_F(RefreshCycle, StartBuildsPanelsAndFitsTheWindow)
{
    fake.Drives({{"C:"}, {"D:", 2}});
    TFormMain &w = Start();
    EXPECT_EQ(FrameNames(), (QStringList{"C:", "D:"}));
    EXPECT_EQ(w.Frames()[0]->objectName(), QStringLiteral("FrameDiskInfo1"));
    EXPECT_EQ(w.Frames()[1]->objectName(), QStringLiteral("FrameDiskInfo2"));
    EXPECT_TRUE(w.lblIni->isHidden());
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, 2 * kPanel));
    EXPECT_EQ(w.size(), QSize(TFormMain::DesignWidth, 2 * kPanel));
    EXPECT_EQ(w.Frames()[1]->geometry(), QRect(0, kPanel, TFormMain::DesignWidth, kPanel));
    EXPECT_TRUE(w.TimerDiscos->Enabled());
    EXPECT_EQ(w.TimerDiscos->Interval(), 15000);
    EXPECT_EQ(w.Reintentos(), 0);
}

TEST_F(RefreshCycle, FirstTickRebuildsThenLaterTicksUpdateInPlace)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    QPointer<TFrameDrive> first = w.Frames().value(0);
    Tick();
    EXPECT_TRUE(first.isNull()) << "the list before the start-up query was empty: rebuild";
    QPointer<TFrameDrive> second = w.Frames().value(0);
    ASSERT_FALSE(second.isNull());

    fake.Drives({{"C:", 3, 100LL << 30, "1073741824"}});
    Tick();
    ASSERT_FALSE(second.isNull()) << "same drives: the panel is kept";
    EXPECT_EQ(second->Libre(), 1073741824);
    EXPECT_EQ(w.LastListaDiscos(), QStringList{"C:"});
}

// A file system grown or shrunk while mounted: the same panel shows the new
// total at the next refresh, in either unit.
TEST_F(RefreshCycle, ChangedSizeReachesThePanelAtTheNextRefresh)
{
    fake.Drives({{"/mnt/data", 3, 160LL << 20, "104857600"}});
    TFormMain &w = Start();
    Tick();
    QPointer<TFrameDrive> panel = w.Frames().value(0);
    ASSERT_FALSE(panel.isNull());
    ASSERT_EQ(panel->lblEspacio()->text(), QStringLiteral("100 MB disponibles de 160 MB"));

    struct Case
    {
        qint64 size;
        const char *freeSpace;
        const char *shown;
    };
    const Case cases[] = {
        {1024LL << 20, "988807168", "943 MB disponibles de 1024 MB"},
        {20LL << 30, "10737418240", "10 GB disponibles de 20 GB"},
        {120LL << 20, "1048576", "1 MB disponibles de 120 MB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        fake.Drives({{"/mnt/data", 3, c.size, c.freeSpace}});
        Tick();
        ASSERT_EQ(w.Frames().value(0), panel.data()) << "same drive: no rebuild";
        EXPECT_EQ(panel->Tamanyo(), c.size);
        EXPECT_EQ(panel->lblEspacio()->text(), QString::fromLatin1(c.shown));
    }
}

// A figure of 2^63 bytes or more is a valid unsigned 64-bit figure: the
// drive gets its panel, the drives after it theirs, and the timer runs.
TEST_F(RefreshCycle, HugeFiguresStopNeitherThePanelsAfterThemNorTheTimer)
{
    QString text = ObjectText({"/mnt/huge"}) + QStringLiteral("----\n") + ObjectText({"/mnt/after"});
    text.replace(QStringLiteral("Size = \"%1\"").arg(100LL << 30),
                 QStringLiteral("Size = \"18446744073709551615\""));
    text.replace(QStringLiteral("FreeSpace = \"53687091200\""),
                 QStringLiteral("FreeSpace = \"9223372036854775808\""));
    fake.Write(text);
    TFormMain &w = Start();
    EXPECT_TRUE(w.TimerDiscos->Enabled());
    Tick();
    Tick();
    EXPECT_EQ(w.Reintentos(), 0);
    ASSERT_EQ(w.Frames().size(), 2);
    EXPECT_EQ(w.Frames()[0]->Tamanyo(), std::numeric_limits<quint64>::max());
    EXPECT_EQ(w.Frames()[0]->Libre(), quint64(1) << 63);
    EXPECT_EQ(w.Frames()[1]->Nombre(), QStringLiteral("/mnt/after"));
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible())
            ADD_FAILURE() << box->text().toStdString();
}

TEST_F(RefreshCycle, NewDriveIsListedAtOneTickAndShownAtTheNext)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    Tick();
    fake.Drives({{"C:"}, {"E:", 2}});
    Tick();
    EXPECT_EQ(w.ListaDiscos(), (QStringList{"C:", "E:"}));
    EXPECT_EQ(FrameNames(), QStringList{"C:"});
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, kPanel));
    Tick();
    EXPECT_EQ(FrameNames(), (QStringList{"C:", "E:"}));
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, 2 * kPanel));

    // Gone again: the stale panel stays one tick, not updated, then goes.
    fake.Drives({{"C:"}});
    Tick();
    EXPECT_EQ(FrameNames(), (QStringList{"C:", "E:"}));
    Tick();
    EXPECT_EQ(FrameNames(), QStringList{"C:"});
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, kPanel));
}

TEST_F(RefreshCycle, MountChangeRebuildsAtOnce)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    Tick();
    fake.Drives({{"C:"}, {"/run/media/ana/STICK", 2}});
    w.MountsChanged();
    EXPECT_EQ(FrameNames(), (QStringList{"C:", "/run/media/ana/STICK"}));
    EXPECT_FALSE(w.MustReload());
}

TEST_F(RefreshCycle, EveryDriveKeepsItsOwnPanelByItsExactName)
{
    // Names that differ by letter case or by a trailing blank are different
    // drives; each panel shows only its own drive's figures, and a drive
    // named "c:" never writes its figures into the panel of "C:".
    fake.Drives({{"C:"}, {"/mnt/a"}, {"/mnt/A"}, {"/mnt/b"}, {"/mnt/b "}});
    TFormMain &w = Start();
    Tick();
    const QList<TFrameDrive *> frames = w.Frames();
    ASSERT_EQ(frames.size(), 5);
    const qint64 before = frames[0]->Libre();
    fake.Drives({{"c:", 3, 100LL << 30, "111"},
                 {"/mnt/a", 3, 100LL << 30, "222"},
                 {"/mnt/A", 3, 100LL << 30, "333"},
                 {"/mnt/b", 3, 100LL << 30, "444"},
                 {"/mnt/b ", 3, 100LL << 30, "555"}});
    Tick();
    const struct
    {
        int index;
        qint64 free;
    } cases[] = {{0, before}, {1, 222}, {2, 333}, {3, 444}, {4, 555}};
    for (const auto &c : cases)
        EXPECT_EQ(frames[c.index]->Libre(), c.free) << frames[c.index]->Nombre().toStdString();
}

TEST_F(RefreshCycle, HiddenKindsTakeNoSpaceUntilNetworkDrivesAreShown)
{
    fake.Drives({{"U:", 0}, {"N:", 1}, {"C:", 3}, {"Z:", 4}, {"R:", 6}});
    TFormMain &w = Start();
    EXPECT_EQ(w.Frames().size(), 5) << "every result object gets its panel";
    EXPECT_EQ(VisibleFrames(), 2);
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, 2 * kPanel));
    EXPECT_EQ(w.Frames()[4]->geometry().top(), kPanel) << "visible panels stack without gaps";

    // The network option: a click rebuilds at once and shows kind 4.
    w.Verdiscosdered1->trigger();
    EXPECT_TRUE(w.VerDiscosRed());
    EXPECT_EQ(VisibleFrames(), 3);
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, 3 * kPanel));
    w.Verdiscosdered1->trigger();
    EXPECT_EQ(VisibleFrames(), 2);
}

TEST_F(RefreshCycle, FailedFirstQueryLeavesTheStartTextAlone)
{
    fake.ConnectError("no service");
    TFormMain &w = Start();
    EXPECT_EQ(w.Reintentos(), 1);
    EXPECT_FALSE(w.lblIni->isHidden());
    EXPECT_EQ(w.lblIni->pos(), QPoint(0, 0));
    EXPECT_EQ(w.FittedSize(), QSize(129, 15));
    EXPECT_EQ(w.size(), QSize(129, 15));

    // The first success hides the text for good; panels take the full width.
    fake.Drives({{"C:"}});
    Tick();
    Tick();
    EXPECT_TRUE(w.lblIni->isHidden());
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, kPanel));
}

TEST_F(RefreshCycle, NothingVisibleHidesTheWindowUntilADriveReturns)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    Tick();
    fake.Write(QString());
    Tick();
    Tick();
    EXPECT_TRUE(w.Frames().isEmpty());
    EXPECT_EQ(w.FittedSize(), QSize(0, 0));
    EXPECT_FALSE(w.isVisible()) << "a window cannot be 0 x 0: it is hidden";
    fake.Drives({{"C:"}});
    Tick();
    Tick();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, kPanel));
}

TEST_F(RefreshCycle, FourthFailureSinceStartIsFatal)
{
    fake.ConnectError("boom 1");
    TFormMain &w = Start(); // failure 1
    fake.Drives({{"C:"}});
    Tick();
    fake.ConnectError("boom 2");
    Tick(); // 2
    Tick(); // 3
    fake.Drives({{"C:"}});
    Tick(); // a success in between resets nothing
    EXPECT_EQ(w.Reintentos(), 3);
    EXPECT_TRUE(fatal.isEmpty());
    fake.ConnectError("boom 4");
    Tick();
    ASSERT_EQ(fatal.size(), 1);
    EXPECT_EQ(fatal[0], QStringLiteral("No se ha podido iniciar el componente de consulta.\r\nError:boom 4"));
    EXPECT_FALSE(w.TimerDiscos->Enabled()) << "no tick while the box is open";
    Tick();
    EXPECT_EQ(fatal.size(), 1);
}

TEST_F(RefreshCycle, MissingOrBadFreeSpaceIsNoFailure)
{
    fake.Drives({{"C:"}, {"D:", 5}});
    TFormMain &w = Start();
    Tick();
    // A reader without a medium reports no free space.
    fake.Drives({{"C:", 3, 100LL << 30, "1024"}, {"D:", 5, 0, nullptr}});
    Tick();
    EXPECT_EQ(w.Reintentos(), 0);
    EXPECT_TRUE(w.Frames()[1]->LibreAusente());
    EXPECT_EQ(w.Frames()[0]->Libre(), 1024);

    // The medium is back: the same panel shows its figures again.
    QPointer<TFrameDrive> reader = w.Frames()[1];
    fake.Drives({{"C:", 3, 100LL << 30, "1024"}, {"D:", 5, 4LL << 30, "2048"}});
    Tick();
    ASSERT_FALSE(reader.isNull());
    EXPECT_FALSE(reader->LibreAusente());
    EXPECT_EQ(reader->Libre(), 2048);

    // A free space that is no number: that drive without figures, the
    // drive after it still updated.
    fake.Drives({{"C:", 3, 100LL << 30, "12x"}, {"D:", 5, 4LL << 30, "4096"}});
    Tick();
    EXPECT_EQ(w.Reintentos(), 0);
    EXPECT_TRUE(w.Frames()[0]->LibreAusente());
    EXPECT_EQ(reader->Libre(), 4096);
}

// A figure that is no number (padded, too large for 64 bits, letters) is no
// figure, whichever path reads it: the drive is shown without figures, and
// neither the drives after it, the rebuild nor the refresh timer stop.
TEST_F(RefreshCycle, DriveWithUnreadableFiguresStopsNothing)
{
    const struct
    {
        const char *key;
        const char *bad;
    } cases[] = {{"FreeSpace", " 2048 "}, {"FreeSpace", "x"}, {"Size", "12abc"}, {"Size", "18446744073709551616"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " = " + c.bad);
        QString text =
            QStringList{ObjectText({"C:"}), ObjectText({"D:"}), ObjectText({"E:", 3, 100LL << 30, "1024"})}.join(
                QStringLiteral("----\n"));
        const QString good = QString::fromLatin1(c.key) == QLatin1String("Size")
            ? QStringLiteral("Size = \"%1\"").arg(100LL << 30)
            : QStringLiteral("FreeSpace = \"53687091200\"");
        // The second drive's value (the first drive keeps its own).
        const qsizetype at = text.indexOf(good, text.indexOf(QStringLiteral("\"D:\"")));
        ASSERT_GE(at, 0);
        text.replace(at, good.size(),
                     QStringLiteral("%1 = \"%2\"").arg(QString::fromLatin1(c.key), QString::fromLatin1(c.bad)));
        fake.Write(text);
        TFormMain &w = Start();
        EXPECT_TRUE(w.TimerDiscos->Enabled()) << "the refresh timer runs";
        EXPECT_NO_THROW(Tick());
        w.MountsChanged();
        EXPECT_TRUE(w.updatesEnabled());
        EXPECT_EQ(w.Reintentos(), 0);
        const QList<TFrameDrive *> frames = w.Frames();
        ASSERT_EQ(frames.size(), 3);
        EXPECT_EQ(frames[0]->Libre(), 53687091200);
        EXPECT_TRUE(frames[1]->LibreAusente() || frames[1]->TamanyoAusente()) << "D: without figures";
        EXPECT_EQ(frames[1]->Nombre(), QStringLiteral("D:"));
        EXPECT_EQ(frames[2]->Libre(), 1024) << "the drive after it keeps its figures";
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible()) {
                ADD_FAILURE() << "error box: " << box->text().toStdString();
                box->close();
            }
        window.reset();
    }
}

// More panels than the screen is high: the window stops at the usable
// height and the wheel over a panel scrolls the column a panel per notch,
// never past either end.
TEST_F(RefreshCycle, TallColumnStopsAtTheScreenAndTheWheelScrollsIt)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    ASSERT_NE(w.screen(), nullptr);
    const int limit = w.screen()->availableGeometry().height();
    const int count = limit / kPanel + 3;
    QStringList blocks;
    for (int i = 0; i < count; ++i)
        blocks << ObjectText({QByteArray("/mnt/d" + QByteArray::number(i)).constData()});
    fake.Write(blocks.join(QStringLiteral("----\n")));
    Tick();
    Tick();
    ASSERT_EQ(w.Frames().size(), count);
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, limit));
    EXPECT_EQ(w.height(), limit);

    const auto wheel = [&w](int notches) {
        TFrameDrive *over = w.Frames()[1];
        QWheelEvent event(QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &event);
    };
    const auto firstTop = [&w] { return w.Frames()[0]->y(); };
    EXPECT_EQ(firstTop(), 0);
    wheel(-1);
    EXPECT_EQ(firstTop(), -kPanel) << "one notch down scrolls one panel";
    wheel(-100);
    EXPECT_EQ(w.Frames().last()->geometry().bottom() + 1, limit) << "the last panel ends at the window's bottom";
    wheel(100);
    EXPECT_EQ(firstTop(), 0) << "never above the first panel";
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, limit));

    // Back to a few drives: everything fits and nothing stays scrolled.
    wheel(-2);
    fake.Drives({{"C:"}, {"D:"}});
    Tick();
    Tick();
    EXPECT_EQ(w.FittedSize(), QSize(TFormMain::DesignWidth, 2 * kPanel));
    EXPECT_EQ(firstTop(), 0);
}

// A fleet's worth of drives: scrolled to the very end, what the user meets
// at the bottom of the window is the last drive's own panel, with its title
// and its figures, and its menu acts on that drive. Panels far from the view
// keep their values but have no controls.
TEST_F(RefreshCycle, ScrolledToTheLastOfManyDrivesItsPanelIsThere)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    ASSERT_NE(w.screen(), nullptr);
    const int limit = w.screen()->availableGeometry().height();
    constexpr int count = 600;
    // Drive i has i + 1 GB free of 1000 GB: each panel's line is its own.
    const auto name = [](int i) { return QStringLiteral("/srv/fleet%1:/data").arg(i, 3, 10, QLatin1Char('0')); };
    const auto line = [](int i) { return QStringLiteral("%1 GB disponibles de 1000 GB").arg(i + 1); };
    QStringList blocks;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = name(i).toUtf8();
        const QByteArray free = QByteArray::number((qint64(i) + 1) << 30);
        blocks << ObjectText({n.constData(), 3, qint64(1000) << 30, free.constData()});
    }
    fake.Write(blocks.join(QStringLiteral("----\n")));
    Tick();
    Tick();
    ASSERT_EQ(w.Frames().size(), count);

    QWheelEvent wheel(QPointF(5, 5), w.Frames()[0]->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120 * count),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.Frames()[0], &wheel);

    // The free-space line of the panel at the window's bottom: 42 pixels
    // into a panel is the middle of its line, 70 from its left inside it.
    const QPoint lineAt(70, limit - kPanel + 42);
    const auto panelAt = [&w](QPoint at, QWidget **control) -> TFrameDrive * {
        *control = w.childAt(at);
        for (QWidget *p = *control; p; p = p->parentWidget())
            if (auto *frame = qobject_cast<TFrameDrive *>(p))
                return frame;
        return nullptr;
    };
    QWidget *control = nullptr;
    TFrameDrive *last = panelAt(lineAt, &control);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last, w.Frames().last());
    ASSERT_EQ(control, last->lblEspacio()) << "a real line is shown there, not an empty panel";
    EXPECT_EQ(last->Nombre(), name(count - 1));
    EXPECT_EQ(last->lblEspacio()->text(), line(count - 1));
    EXPECT_EQ(last->pnlTitulo()->Caption(), QStringLiteral("Disco local (%1) - ext4").arg(name(count - 1)));
    EXPECT_FALSE(w.Frames()[0]->ControlsBuilt()) << "the first panel is far above the view";
    EXPECT_EQ(w.Frames()[0]->Espacio(), line(0));

    // Its menu hides that drive; the one before it moves down into its place.
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(3, 3), control->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(control, &menu);
    ASSERT_TRUE(w.pmTray->isVisible());
    QAction *hide = nullptr;
    for (QAction *action : w.pmTray->actions())
        if (action->text() == ConstantText(QStringLiteral("msgOcultar")))
            hide = action;
    ASSERT_NE(hide, nullptr);
    w.pmTray->hide();
    hide->trigger();
    EXPECT_EQ(w.DriveActions()->Hidden(), QStringList{name(count - 1)});
    EXPECT_TRUE(last->isHidden());
    TFrameDrive *before = panelAt(lineAt, &control);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->Nombre(), name(count - 2));
    ASSERT_EQ(control, before->lblEspacio());
    EXPECT_EQ(before->lblEspacio()->text(), line(count - 2));
}

TEST_F(RefreshCycle, DraggingMovesTheWindowWhereNoWindowManagerOffersAMove)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    w.move(100, 100);
    QWidget *label = w.Frames()[0]->lblEspacio();
    const QPoint start = label->mapToGlobal(QPoint(5, 5));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(start), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(label, &press);
    QMouseEvent moveEvent(QEvent::MouseMove, QPointF(0, 0), QPointF(start + QPoint(40, 25)), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &moveEvent);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), QPointF(start + QPoint(40, 25)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
    EXPECT_EQ(w.pos(), QPoint(140, 125));

    // Other buttons do not move it.
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(start), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &right);
    QApplication::sendEvent(&w, &moveEvent);
    EXPECT_EQ(w.pos(), QPoint(140, 125));
}

TEST_F(RefreshCycle, RightButtonOnAPanelControlOpensTheTrayMenu)
{
    fake.Drives({{"C:"}});
    TFormMain &w = Start();
    TFrameDrive *frame = w.Frames()[0];
    const QList<QWidget *> controls{frame->pnlTitulo(), frame->pnlDatos(), frame->imgDrive(), frame->pbCapacidad(),
                                    frame->lblEspacio()};
    for (QWidget *control : controls) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3), control->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(control, &event);
        EXPECT_TRUE(w.pmTray->isVisible()) << control->metaObject()->className();
        w.pmTray->hide();
    }
}

TEST(VisualStyle, AppliedFromResourcesOrReportedWhenMissing)
{
    QApplication &app = TestApp();
    const QString before = app.styleSheet();
    QString reported;
    EXPECT_FALSE(
        Style::ApplyVisualStyle(app, QStringLiteral(":/style/none.qss"), [&](const QString &m) { reported = m; }));
    EXPECT_TRUE(reported.contains(QStringLiteral("SlateGray")));
    EXPECT_EQ(app.styleSheet(), before) << "the default look stays";
    EXPECT_TRUE(Style::ApplyVisualStyle(app, Style::SlateGrayResource,
                                        [](const QString &m) { ADD_FAILURE() << m.toStdString(); }));
    EXPECT_TRUE(app.styleSheet().contains(QStringLiteral("QProgressBar::chunk")));
    app.setStyleSheet(before);
}

} // namespace

// Every refresh hands the drives out with what they showed, in the order of
// the panels: those who need a drive's state (the low-space notice) listen
// there. A drive the user hides is handed out again at once, no longer shown.
TEST_F(RefreshCycle, EveryRefreshHandsOutTheDrivesWithTheirStates)
{
    using platform::TDriveType;
    fake.Drives({{"C:"}, {"N:", 4}, {"E:", 2, 100LL << 30, "5368709120"}, {"F:", 5, 100LL << 30, nullptr}});
    window = std::make_unique<TFormMain>();
    window->SetFatalExit([this](const QString &message) { fatal << message; });
    window->SetAskQuestion([](const QString &, const QString &) { return false; });
    QList<TDriveStates> handed;
    QObject::connect(window.get(), &TFormMain::Refreshed, [&](const TDriveStates &drives) { handed << drives; });
    window->show();
    ASSERT_EQ(handed.size(), 1) << "the first panels are handed out once";

    struct Expected
    {
        const char *name;
        TDriveType kind;
        std::optional<quint64> free;
        bool full;
        bool shown;
    };
    const auto check = [](const TDriveStates &drives, std::initializer_list<Expected> expected) {
        ASSERT_EQ(drives.size(), qsizetype(expected.size()));
        qsizetype i = 0;
        for (const Expected &e : expected) {
            const TDriveState &d = drives.at(i++);
            EXPECT_EQ(d.Name, QString::fromLatin1(e.name));
            EXPECT_EQ(d.Kind, e.kind) << e.name;
            EXPECT_EQ(d.Free, e.free) << e.name;
            EXPECT_EQ(d.Size, std::optional<quint64>(100ULL << 30)) << e.name;
            EXPECT_EQ(d.Full, e.full) << e.name;
            EXPECT_EQ(d.Shown, e.shown) << e.name;
        }
    };
    check(handed.last(),
          {{"C:", TDriveType::LocalDisk, 53687091200ULL, false, true},
           {"N:", TDriveType::NetworkDrive, 53687091200ULL, false, false},
           {"E:", TDriveType::RemovableDisk, 5368709120ULL, true, true},
           {"F:", TDriveType::CompactDisc, std::nullopt, false, true}});

    // An in-place refresh: C: fills up.
    Tick();
    fake.Drives({{"C:", 3, 100LL << 30, "1073741824"},
                 {"N:", 4},
                 {"E:", 2, 100LL << 30, "5368709120"},
                 {"F:", 5, 100LL << 30, nullptr}});
    Tick();
    ASSERT_EQ(handed.size(), 3);
    EXPECT_TRUE(handed.last().at(0).Full);
    EXPECT_EQ(handed.last().at(0).Free, std::optional<quint64>(1073741824ULL));

    window->DriveActions()->HideDrive(QStringLiteral("E:"));
    ASSERT_EQ(handed.size(), 4);
    check(handed.last(),
          {{"C:", TDriveType::LocalDisk, 1073741824ULL, true, true},
           {"N:", TDriveType::NetworkDrive, 53687091200ULL, false, false},
           {"E:", TDriveType::RemovableDisk, 5368709120ULL, true, false},
           {"F:", TDriveType::CompactDisc, std::nullopt, false, true}});
}
