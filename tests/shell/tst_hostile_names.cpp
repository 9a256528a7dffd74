// SPDX-License-Identifier: MIT
// Names that look like property lists: a mount path (or a label, which
// desktops turn into the mount path) holding ",FreeSpace=" or quotes must
// reach the panel and the window's figures as one name, with the figures the
// kernel gives. Real tmpfs mounts, the real drive query, the real panel.
#include "ShellTestSupport.h"

#include "desktop/DesktopNotifier.h"
#include "history/HistoryRecorder.h"
#include "panels/frDisco.h"
#include "shell/DriveFigures.h"
#include "shell/DriveHistory.h"
#include "shell/DriveMenu.h"
#include "shell/FMain.h"
#include "shell/PanelColumn.h"
#include "wbem/MofText.h"
#include "wbem/PropertyLines.h"
#include "wmi/CWMISQL.h"
#include "wmi/PropertyText.h"

#include "MountNamespace.h"
#include "TempFolder.h"

#include <QDesktopServices>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The name as the property list carries it: the object text's escapes stay,
// its quotes go, " = " becomes "=".
QString ListedName(const std::string &path)
{
    std::string name;
    for (const char c : platform::EscapeMofString(path))
        if (c != '"')
            name += c;
    for (std::size_t p; (p = name.find(" = ")) != std::string::npos;)
        name.erase(p + 2, 1).erase(p, 1);
    return QString::fromStdString(name);
}

TEST(HostileNames, MountPathsThatLookLikePropertiesStayOneName)
{
    TestApp();
    ::unsetenv("VELMORA_FAKE_WBEM");
    const std::string reason = testsupport::IsolateMounts();
    if (!reason.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;

    testsupport::OwnMounts mounts("velmora-names-");
    const std::string base = mounts.Path() + "/x/";
    const std::string leaves[] = {
        "a,FreeSpace=x", "Fotos,FreeSpace=999999999999", "say \"hi\",Size=1", "\"q\"", "line\nFreeSpace=7",
    };
    std::vector<std::string> names;
    for (const std::string &leaf : leaves) {
        ASSERT_TRUE(mounts.MountTmpfs("x/" + leaf, "size=4m")) << leaf << ": " << std::strerror(errno);
        names.push_back(base + leaf);
    }

    TWMISQL sql;
    sql.SetSQL(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    sql.SetActive(true);
    TDriveFigures figures;
    int found = 0;
    for (int i = 1; i <= sql.ObjectsCount(); ++i) {
        sql.SetObjectIndex(i);
        const QString text = sql.PropertiesText();
        const QString name = PropertyValue(SplitPropertyText(text), QStringLiteral("Name"));
        std::string path;
        for (const std::string &n : names)
            if (ListedName(n) == name)
                path = n;
        if (path.empty()) {
            // Whatever else is mounted here must not pose as one of ours.
            EXPECT_FALSE(name.startsWith(QString::fromStdString(base))) << text.toStdString();
            continue;
        }
        ++found;
        SCOPED_TRACE(path);
        struct statvfs st
        {};
        ASSERT_EQ(::statvfs(path.c_str(), &st), 0);
        const qint64 size = qint64(st.f_blocks) * qint64(st.f_frsize);
        const qint64 free = qint64(st.f_bavail) * qint64(st.f_frsize);
        ASSERT_EQ(size, qint64(4) << 20);

        // The panel, as the window builds it.
        TFrameDrive panel;
        ASSERT_NO_THROW(panel.SetPropiedades(text)) << text.toStdString();
        EXPECT_EQ(panel.Nombre(), name);
        EXPECT_EQ(panel.Tamanyo(), size);
        EXPECT_EQ(panel.Libre(), free);
        EXPECT_FALSE(panel.LibreAusente());

        // The figures the window's refresh reads.
        const TDriveFigures::TFigures &f = figures.Read(text);
        EXPECT_EQ(f.Name, name);
        EXPECT_EQ(f.FreeSpace, QString::number(free));
        EXPECT_EQ(f.Size, QString::number(size));
        EXPECT_NO_THROW(StrToInt64(f.FreeSpace));
    }
    EXPECT_EQ(found, int(names.size()));
    sql.SetActive(false);
}

// Two mount paths that differ only in bytes that are not UTF-8 (a stick
// formatted on an old system, a folder made by a script) both read as U+FFFD
// and shared one panel, which showed the other drive's figures; then a path
// with the byte 0xE9 and one with the four characters \xE9 met in one name.
// Each keeps a name of its own: in the query tool a property line that reads
// back to the path's very bytes, in the window a panel with its own figures.
TEST(HostileNames, PathsDifferingOnlyInBytesThatAreNotUtf8KeepTheirOwnPanels)
{
    TestApp();
    ::unsetenv("VELMORA_FAKE_WBEM");
    const std::string reason = testsupport::IsolateMounts();
    if (!reason.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;

    struct Drive
    {
        std::string path;
        std::string name; // as the drive query names it
        int megabytes;
    };
    testsupport::OwnMounts mounts("velmora-bytes-");
    const std::string base = mounts.Path() + "/u/";
    const Drive drives[] = {
        {base + "\xFF", base + "\xFF", 4},          {base + "\xFE", base + "\xFE", 8},
        {base + "\xC3", base + "\xC3", 12},         {base + "\xC3\xA9", base + "\xC3\xA9", 16},
        {base + "\\xFF", base + "\\xFF", 20},       {base + "caf\xE9", base + "caf\xE9", 24},
        {base + "caf\\xE9", base + "caf\\xE9", 28},
    };
    for (const Drive &d : drives) {
        const std::string options = "size=" + std::to_string(d.megabytes) + "m";
        ASSERT_TRUE(mounts.MountTmpfs(d.path.substr(mounts.Path().size() + 1), options))
            << d.name << ": " << std::strerror(errno);
    }

    // velmora-wql: one name per drive, each with its own size.
    std::map<std::string, std::string> listed;
    {
        std::string out;
        std::unique_ptr<FILE, int (*)(FILE *)> p(
            ::popen(VELMORA_WQL " --properties 'SELECT Name, Size FROM Win32_LogicalDisk'", "r"), &::pclose);
        ASSERT_TRUE(p);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p.get())) > 0;)
            out.append(buffer, n);
        std::istringstream in(out + "\n");
        std::string name;
        for (std::string line; std::getline(in, line);) {
            std::string property, value;
            if (line.empty())
                name.clear();
            else if (!platform::ParsePropertyLine(line, property, value))
                ADD_FAILURE() << "not a property line: " << line;
            else if (property == "Name")
                name = value;
            else if (property == "Size" && name.rfind(base, 0) == 0)
                listed[name] = value;
        }
    }
    std::map<std::string, std::string> expected;
    for (const Drive &d : drives)
        expected[d.name] = std::to_string(d.megabytes << 20);
    EXPECT_EQ(listed, expected);

    // The widget: one panel per drive, each found by its own name with its
    // own figures.
    TWMISQL sql;
    sql.SetSQL(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    sql.SetActive(true);
    std::vector<std::unique_ptr<TFrameDrive>> panels;
    QList<TFrameDrive *> frames;
    for (int i = 1; i <= sql.ObjectsCount(); ++i) {
        sql.SetObjectIndex(i);
        panels.push_back(std::make_unique<TFrameDrive>());
        ASSERT_NO_THROW(panels.back()->SetPropiedades(sql.PropertiesText()));
        frames << panels.back().get();
    }
    sql.SetActive(false);
    const TFrameIndex index(frames);
    QList<TFrameDrive *> found;
    for (const Drive &d : drives) {
        SCOPED_TRACE(d.name);
        TFrameDrive *panel = index.Find(ListedName(d.name));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->Tamanyo(), quint64(d.megabytes) << 20);
        EXPECT_FALSE(found.contains(panel));
        found << panel;
    }
}

// The Name of each object velmora-wql prints for a query, read back from its
// property lines to the bytes it stands for.
std::vector<std::string> QueriedNames(const std::string &environment, const std::string &wql)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE *)> p(
        ::popen((environment + " " VELMORA_WQL " --properties '" + wql + "'").c_str(), "r"), &::pclose);
    if (!p)
        return {};
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p.get())) > 0;)
        out.append(buffer, n);
    std::vector<std::string> names;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::string property, value;
        if (platform::ParsePropertyLine(line, property, value) && property == "Name")
            names.push_back(value);
    }
    return names;
}

// A drive's history is kept under the name the drive query gives it, so that
// Velmora_DiskTrend and Win32_LogicalDisk name a drive alike. The window's
// listed name keeps the object text's escapes; kept as it stood, the history
// escaped it a second time (a quote came back as the six characters \x0022).
// The real window's refresh over real mounts feeds the real history.
TEST(HostileNames, TheHistoryNamesADriveAsTheDriveQueryDoes)
{
    TestApp();
    ::unsetenv("VELMORA_FAKE_WBEM");
    const std::string reason = testsupport::IsolateMounts();
    if (!reason.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;

    testsupport::OwnMounts mounts("velmora-hist-");
    const std::string leaves[] = {
        "a\"b\\c", "caf\xE9", "plain", "x = y", "tab\there", "\\x0022",
    };
    std::vector<std::string> paths;
    for (const std::string &leaf : leaves) {
        ASSERT_TRUE(mounts.MountTmpfs("h/" + leaf, "size=4m")) << leaf << ": " << std::strerror(errno);
        paths.push_back(mounts.Path() + "/h/" + leaf);
    }

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    const std::string state = home.path().toStdString() + "/state";
    {
        auto recorder = std::make_unique<history::HistoryRecorder>(state + "/velmora/history.sqlite",
                                                                   [](std::vector<history::DriveSample> &) {});
        history::HistoryRecorder &written = *recorder;
        TDesktopNotifier notifier(nullptr);
        TDriveHistory driveHistory(notifier, std::move(recorder));
        TFormMain window;
        window.SetFatalExit([](const QString &message) { ADD_FAILURE() << message.toStdString(); });
        window.SetAskQuestion([](const QString &, const QString &) { return false; });
        QObject::connect(&window, &TFormMain::Refreshed, &driveHistory, &TDriveHistory::Refreshed);
        window.show(); // the first query, handed out
        written.Flush();
        ASSERT_EQ(written.Written(), 1u);
    }

    const std::string environment = "XDG_STATE_HOME='" + state + "'";
    const std::vector<std::string> disks = QueriedNames(environment, "SELECT Name FROM Win32_LogicalDisk");
    const std::vector<std::string> trends = QueriedNames(environment, "SELECT Name FROM Velmora_DiskTrend");
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(std::count(disks.begin(), disks.end(), path), 1);
        EXPECT_EQ(std::count(trends.begin(), trends.end(), path), 1);
    }
    // Nothing of ours under another name.
    for (const std::string &name : trends) {
        if (name.rfind(mounts.Path(), 0) == 0) {
            EXPECT_TRUE(std::find(paths.begin(), paths.end(), name) != paths.end()) << "listed as " << name;
        }
    }
}

// Stands in for the desktop's folder handler: keeps the address it was given.
class FolderOpener : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Opened;

public Q_SLOTS:
    void Open(const QUrl &url) { Opened << url; }
};

// Names holding a double quote, a backslash, a line break, " = " or a byte
// that is not UTF-8: the panel's title shows the name itself (a line break
// as its picture, a byte that is not UTF-8 as U+FFFD), and opening the drive
// hands the folder handler an address that gives back the path's very bytes.
TEST(HostileNames, TitlesShowAndOpenHandsTheRealName)
{
    TestApp();
    ::unsetenv("VELMORA_FAKE_WBEM");
    const std::string reason = testsupport::IsolateMounts();
    if (!reason.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;
    testsupport::TempFolder folder("velmora-names");
    struct Drive
    {
        std::string leaf;
        QString shown; // in the title
    };
    const Drive drives[] = {
        {"q\"uo'te", QStringLiteral("q\"uo'te")},           {"back\\slash", QStringLiteral("back\\slash")},
        {"line\nbreak", QStringLiteral("line\u240Abreak")}, {"a = b", QStringLiteral("a = b")},
        {"caf\xE9", QStringLiteral("caf\uFFFD")},           {"caf\\xE9", QStringLiteral("caf\\xE9")},
        {"caf\xC3\xA9", QStringLiteral("caf\u00E9")},
    };
    std::vector<std::string> mounted;
    const auto unmount = qScopeGuard([&mounted] {
        for (const std::string &path : mounted)
            ::umount2(path.c_str(), MNT_DETACH);
    });
    int megabytes = 4;
    for (const Drive &d : drives) {
        const std::string path = folder.Path() + "/" + d.leaf;
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
        const std::string options = "size=" + std::to_string(megabytes++) + "m";
        ASSERT_EQ(::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()), 0) << path;
        mounted.push_back(path);
    }

    TWMISQL sql;
    sql.SetSQL(QStringLiteral("SELECT * FROM Win32_LogicalDisk"));
    sql.SetActive(true);
    std::vector<std::unique_ptr<TFrameDrive>> panels;
    QList<TFrameDrive *> frames;
    for (int i = 1; i <= sql.ObjectsCount(); ++i) {
        sql.SetObjectIndex(i);
        panels.push_back(std::make_unique<TFrameDrive>());
        ASSERT_NO_THROW(panels.back()->SetPropiedades(sql.PropertiesText()));
        frames << panels.back().get();
    }
    sql.SetActive(false);

    FolderOpener opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "Open");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
    const TFrameIndex index(frames);
    const QString base = QString::fromUtf8(folder.Path());
    megabytes = 4;
    for (const Drive &d : drives) {
        const std::string path = folder.Path() + "/" + d.leaf;
        SCOPED_TRACE(path);
        TFrameDrive *panel = index.Find(ListedName(path));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->Tamanyo(), quint64(megabytes++) << 20) << "another drive's figures";
        EXPECT_EQ(panel->Titulo(),
                  QStringLiteral("Disco local (") + base + QLatin1Char('/') + d.shown
                      + QStringLiteral(") - tmpfs"));

        opener.Opened.clear();
        EXPECT_TRUE(OpenDriveFolder(panel->Nombre()));
        ASSERT_EQ(opener.Opened.size(), 1);
        const QByteArray address = opener.Opened[0].toEncoded();
        ASSERT_TRUE(address.startsWith("file:///")) << address.toStdString();
        EXPECT_EQ(QByteArray::fromPercentEncoding(address.mid(7)).toStdString(), path) << address.toStdString();
    }
}

} // namespace

#include "tst_hostile_names.moc"
