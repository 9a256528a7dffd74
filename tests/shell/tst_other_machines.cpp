// SPDX-License-Identifier: MIT
// This machine and the servers of the list of other machines together:
// the servers' drives from real
// Prometheus servers (Debian's, started on 127.0.0.1) or one of the test's
// own; this machine's are its real drives. Each machine's panels come under its name; a server that stops greys
// its own panels and heading only; the dialog of the tray menu adds a server
// that then shows, and writes no password.
#include "FakePrometheus.h"
#include "PrometheusServers.h"
#include "ShellTestSupport.h"

#include "panels/PanelFailure.h"
#include "panels/frDisco.h"
#include "settings/Config.h"
#include "settings/OtherMachines.h"
#include "shell/DriveSource.h"
#include "shell/FMain.h"
#include "shell/OtherMachinesDialog.h"
#include "shell/PanelColumn.h"
#include "vcl/Timer.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace std::chrono_literals;
using velmora::test::FakePrometheus;
using velmora::test::PrometheusServers;

namespace {

// Runs the event loop until done() or ms have passed.
bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

const char *kDataTextfile = "# TYPE node_filesystem_size_bytes gauge\n"
                            "node_filesystem_size_bytes{device=\"/dev/sdz1\",fstype=\"ext4\","
                            "mountpoint=\"/srv/data\"} 1000000000\n"
                            "# TYPE node_filesystem_avail_bytes gauge\n"
                            "node_filesystem_avail_bytes{device=\"/dev/sdz1\",fstype=\"ext4\","
                            "mountpoint=\"/srv/data\"} 400000000\n";

class OtherMachines : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        qunsetenv("VELMORA_FAKE_WBEM");
        // No session bus, so no keyring: the dialog must say so.
        qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.path() + QStringLiteral("/no-bus")).toUtf8());
    }
    void TearDown() override { window.reset(); }
    QString Ini() const { return dir.path() + QStringLiteral("/config/Brindlewick/Velmora/config.ini"); }
    void Settings(const QByteArray &extra)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Ini()).absolutePath()));
        QFile f(Ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[CONFIG]\r\nTop=0\r\nLeft=0\r\nIntervalo=5\r\nOpacidad=0\r\nEjecutarInicio=False\r\nVerDiscosRed="
                "False\r\nIdioma=0\r\n"
                + extra);
    }
    TFormMain &Start()
    {
        window = std::make_unique<TFormMain>();
        window->SetFatalExit([](const QString &message) { ADD_FAILURE() << message.toStdString(); });
        window->SetAskQuestion([](const QString &, const QString &) { return false; });
        window->show();
        return *window;
    }
    // Refreshes until done() or the time is up: a server of the list is
    // never waited for, its answer comes to a later refresh.
    bool TickUntil(const std::function<bool()> &done, std::chrono::seconds limit = 30s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            window->TimerDiscosTimer(window->TimerDiscos);
            if (done())
                return true;
            WaitFor([] { return false; }, 100);
        }
        return false;
    }
    // The visible headings and panels from the top: "H name" and "P name".
    QStringList Column() const
    {
        QList<QWidget *> shown;
        for (QObject *child : window->children())
            if ((qobject_cast<TFrameDrive *>(child) || qobject_cast<TMachineHeading *>(child))
                && !static_cast<QWidget *>(child)->isHidden())
                shown << static_cast<QWidget *>(child);
        std::stable_sort(shown.begin(), shown.end(), [](QWidget *a, QWidget *b) { return a->y() < b->y(); });
        QStringList column;
        for (QWidget *w : shown)
            column << (qobject_cast<TFrameDrive *>(w)
                           ? QStringLiteral("P ") + static_cast<TFrameDrive *>(w)->Nombre()
                           : QStringLiteral("H ") + static_cast<QLabel *>(w)->text());
        return column;
    }
    TMachineHeading *Heading(const QString &name) const
    {
        for (TMachineHeading *heading : window->findChildren<TMachineHeading *>(Qt::FindDirectChildrenOnly))
            if (heading->text() == name)
                return heading;
        return nullptr;
    }
    QList<TFrameDrive *> PanelsOf(const QString &machine) const
    {
        QList<TFrameDrive *> panels;
        for (TFrameDrive *frame : window->Frames())
            if (frame->Nombre().startsWith(machine + QLatin1Char(':')))
                panels << frame;
        return panels;
    }

    // The column by heading: each heading's text and the panels below it
    // (a first entry with an empty heading holds panels above any heading).
    static QList<std::pair<QString, QStringList>> Groups(const QStringList &column)
    {
        QList<std::pair<QString, QStringList>> groups;
        for (const QString &line : column) {
            if (line.startsWith(u'H'))
                groups.append({line.mid(2), {}});
            else if (groups.isEmpty())
                groups.append({QString(), {line.mid(2)}});
            else
                groups.back().second << line.mid(2);
        }
        return groups;
    }
    static bool AllLocal(const QStringList &panels)
    {
        return !panels.isEmpty()
            && std::all_of(panels.cbegin(), panels.cend(), [](const QString &p) { return p.startsWith(u'/'); });
    }

    QTemporaryDir dir;
    std::unique_ptr<TFormMain> window;
};

} // namespace

TEST_F(OtherMachines, EachMachineUnderItsNameAndAServerDownGreysOnlyItsOwn)
{
    if (const std::string missing = PrometheusServers::Missing(); !missing.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << missing;
    PrometheusServers first;
    PrometheusServers second;
    first.WriteTextfile("data.prom", kDataTextfile);
    second.WriteTextfile("data.prom", kDataTextfile);
    ASSERT_TRUE(first.WaitForExporters(60s)) << first.Log();
    ASSERT_TRUE(second.WaitForExporters(60s)) << second.Log();
    Settings("[MAQUINAS]\r\nServidor1=" + QByteArray::fromStdString(first.Url())
             + "\r\nServidor2=" + QByteArray::fromStdString(second.Url()) + "\r\n");
    const QStringList machines = {
        QString::fromStdString(first.NodeInstance()), QString::fromStdString(first.TextfileInstance()),
        QString::fromStdString(second.NodeInstance()), QString::fromStdString(second.TextfileInstance())};

    TFormMain &w = Start();
    ASSERT_TRUE(TickUntil([&] {
        return std::all_of(machines.cbegin(), machines.cend(),
                           [&](const QString &m) { return !PanelsOf(m).isEmpty(); });
    })) << Column().join(u'\n').toStdString();

    // This machine first, then each server's machines in order; every
    // panel below the heading of its own machine, each heading once.
    const QStringList column = Column();
    const QString here = TDriveSource::ThisMachineName();
    const auto groups = Groups(column);
    QStringList headings;
    for (const auto &[heading, panels] : groups) {
        headings << heading;
        if (heading == here) {
            EXPECT_TRUE(AllLocal(panels)) << panels.join(u' ').toStdString();
            continue;
        }
        ASSERT_FALSE(panels.isEmpty()) << heading.toStdString();
        for (const QString &drive : panels)
            EXPECT_TRUE(drive.startsWith(heading + QLatin1Char(':')))
                << drive.toStdString() << " under " << heading.toStdString();
    }
    // Each server's machines in the order of its answer.
    ASSERT_EQ(headings.size(), 5) << column.join(u'\n').toStdString();
    EXPECT_EQ(headings[0], here);
    EXPECT_EQ(QSet<QString>({headings[1], headings[2]}), QSet<QString>({machines[0], machines[1]}));
    EXPECT_EQ(QSet<QString>({headings[3], headings[4]}), QSet<QString>({machines[2], machines[3]}));
    // Stacked without gaps: the window holds the headings and the panels.
    const int panels = int(column.size() - headings.size());
    ASSERT_NE(w.screen(), nullptr);
    EXPECT_EQ(w.FittedSize().height(),
              std::min(panels * w.Frames()[0]->height() + int(headings.size()) * TMachineHeading::Height,
                       w.screen()->availableGeometry().height()));
    // Only this machine's drives are its own (open, eject).
    EXPECT_FALSE(w.Frames().isEmpty());

    // The second server stops: its panels and headings grey, the others not.
    second.StopPrometheus();
    const auto greyed = [&](const QString &machine) {
        const QList<TFrameDrive *> panels = PanelsOf(machine);
        return !panels.isEmpty() && std::all_of(panels.cbegin(), panels.cend(), [](TFrameDrive *f) {
            return !PanelFailure::Reason(f).isEmpty();
        });
    };
    ASSERT_TRUE(TickUntil([&] { return greyed(machines[2]) && greyed(machines[3]); }))
        << Column().join(u'\n').toStdString();
    for (const QString &m : {machines[2], machines[3]}) {
        ASSERT_NE(Heading(m), nullptr);
        EXPECT_FALSE(Heading(m)->Failure().isEmpty()) << m.toStdString();
    }
    for (const QString &m : {here, machines[0], machines[1]}) {
        ASSERT_NE(Heading(m), nullptr);
        EXPECT_TRUE(Heading(m)->Failure().isEmpty()) << m.toStdString();
    }
    for (TFrameDrive *frame : w.Frames())
        if (!frame->Nombre().startsWith(machines[2]) && !frame->Nombre().startsWith(machines[3])) {
            EXPECT_TRUE(PanelFailure::Reason(frame).isEmpty()) << frame->Nombre().toStdString();
        }
    // Its panels keep their place and their last figures.
    EXPECT_EQ(Column(), column);

    // Back again: its colours come back.
    second.StartPrometheus();
    ASSERT_TRUE(TickUntil([&] { return Heading(machines[2]) && Heading(machines[2])->Failure().isEmpty(); }, 60s));
    EXPECT_TRUE(Heading(machines[3])->Failure().isEmpty());
}

TEST_F(OtherMachines, WithoutThisMachineOnlyTheServersDrivesShow)
{
    FakePrometheus server(velmora::test::FleetHandler(1, 2));
    const QStringList serverOnly = {QStringLiteral("P host0:9100:/"), QStringLiteral("P host0:9100:/fs1")};
    const struct
    {
        const char *what;
        QByteArray section;
        bool local;
    } cases[] = {
        {"this machine alone", "", true},
        {"this machine off, one server: its drives alone, no heading",
         "[MAQUINAS]\r\nEstaMaquina=False\r\nServidor1=" + QByteArray::fromStdString(server.Url()) + "\r\n",
         false},
        {"this machine off and no server: this machine all the same", "[MAQUINAS]\r\nEstaMaquina=False\r\n", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Settings(c.section);
        Start();
        const auto expected = [&] {
            const auto groups = Groups(Column());
            return groups.size() == 1 && groups[0].first.isEmpty()
                && (c.local ? AllLocal(groups[0].second) : Column() == serverOnly);
        };
        EXPECT_TRUE(TickUntil(expected, 10s)) << Column().join(u'\n').toStdString();
        window.reset();
    }
}

TEST_F(OtherMachines, TheDialogAddsATestedServerThatShowsBesideThisMachine)
{
    FakePrometheus server(velmora::test::FleetHandler(1, 2));
    const QString url = QString::fromStdString(server.Url());
    Settings("");
    TFormMain &w = Start();
    ASSERT_TRUE(AllLocal(Groups(Column()).value(0).second)) << Column().join(u'\n').toStdString();
    ASSERT_NE(w.OtrasMaquinasItem(), nullptr);
    EXPECT_EQ(w.OtrasMaquinasItem()->text(), QStringLiteral("Otras máquinas…"));
    w.OtrasMaquinasItem()->trigger();
    auto *dialog = qobject_cast<TOtherMachinesDialog *>(w.OtrasMaquinasDialog());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->ThisMachineBox()->isChecked());

    // What a button ends with: a trial says "Probando..." first, Añadir
    // that the server is listed, then what the keyring did.
    const auto outcome = [&](QPushButton *button, const QString &first = QStringLiteral("Probando")) {
        QString shown;
        const QMetaObject::Connection c = QObject::connect(dialog, &TOtherMachinesDialog::OutcomeShown,
                                                           [&](const QString &text) { shown = text; });
        button->click();
        EXPECT_TRUE(WaitFor([&] { return !shown.isEmpty() && !shown.contains(first); }, 15000));
        QObject::disconnect(c);
        return shown;
    };
    // Tried before it is added: nobody listens, then the server itself.
    dialog->UrlEdit()->setText(QStringLiteral("http://127.0.0.1:%1").arg(velmora::test::FreeTcpPort()));
    const QString refused = outcome(dialog->ProbeButton());
    EXPECT_TRUE(refused.contains(QStringLiteral("no acepta la conexión"))) << refused.toStdString();
    dialog->UrlEdit()->setText(url);
    EXPECT_EQ(outcome(dialog->ProbeButton()), QStringLiteral("%1 responde: 2 unidades de 1 máquinas.").arg(url));
    // A bad address is refused in plain words and never listed.
    dialog->UrlEdit()->setText(QStringLiteral("nas:9090"));
    dialog->AddButton()->click();
    EXPECT_TRUE(dialog->Outcome().contains(QStringLiteral("http://")));
    EXPECT_EQ(dialog->List()->count(), 0);
    // Added with a user and a password: no keyring runs here, which is said,
    // and the server stays, without a password.
    dialog->UrlEdit()->setText(url);
    dialog->UserEdit()->setText(QStringLiteral("ann"));
    dialog->PasswordEdit()->setText(QStringLiteral("Kx7-never-in-a-file"));
    const QString stored = outcome(dialog->AddButton(), QStringLiteral("está en la lista"));
    EXPECT_TRUE(
        stored.startsWith(QStringLiteral("No hay llavero del escritorio que guarde la contraseña de ") + url))
        << stored.toStdString();
    EXPECT_EQ(dialog->List()->count(), 1);
    EXPECT_TRUE(dialog->PasswordEdit()->text().isEmpty());
    dialog->accept();

    const auto besideThisMachine = [&] {
        const auto groups = Groups(Column());
        return groups.size() == 2 && groups[0].first == TDriveSource::ThisMachineName()
            && AllLocal(groups[0].second) && groups[1].first == QStringLiteral("host0:9100")
            && groups[1].second
            == QStringList({QStringLiteral("host0:9100:/"), QStringLiteral("host0:9100:/fs1")});
    };
    EXPECT_TRUE(TickUntil(besideThisMachine, 10s)) << Column().join(u'\n').toStdString();
    QFile ini(Ini());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray bytes = ini.readAll();
    EXPECT_TRUE(bytes.contains("Servidor1=" + url.toUtf8())) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("Usuario1=ann")) << bytes.toStdString();
    EXPECT_FALSE(bytes.contains("Kx7-never-in-a-file"));

    // The next start keeps it.
    window.reset();
    Start();
    EXPECT_TRUE(TickUntil(besideThisMachine, 10s)) << Column().join(u'\n').toStdString();
}

TEST_F(OtherMachines, ListChosenBeforeTheFirstSaveWaitsForIt)
{
    // No settings file: the first-run question is still to come. The list
    // must not make the file, and goes into it with the options.
    FakePrometheus server(velmora::test::FleetHandler(1, 1));
    TFormMain &w = Start();
    w.OtrasMaquinasItem()->trigger();
    auto *dialog = qobject_cast<TOtherMachinesDialog *>(w.OtrasMaquinasDialog());
    ASSERT_NE(dialog, nullptr);
    dialog->UrlEdit()->setText(QString::fromStdString(server.Url()));
    dialog->AddButton()->click();
    dialog->accept();
    EXPECT_FALSE(QFileInfo::exists(Ini()));
    window.reset();
    const TOtherMachines saved = TOtherMachines::Read(Ini());
    ASSERT_EQ(saved.Servers.size(), 1);
    EXPECT_EQ(saved.Servers[0].Url, QString::fromStdString(server.Url()));
}
