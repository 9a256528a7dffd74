// SPDX-License-Identifier: MIT
// Names that look like property lists: a mount path (or a label, which
// desktops turn into the mount path) holding ",FreeSpace=" or quotes must
// reach the panel and the window's figures as one name, with the figures the
// kernel gives. Real tmpfs mounts, the real drive query, the real panel.
#include "ShellTestSupport.h"

#include "panels/frDisco.h"
#include "shell/DriveFigures.h"
#include "shell/PanelColumn.h"
#include "wbem/MofText.h"
#include "wbem/PropertyLines.h"
#include "wmi/CWMISQL.h"
#include "wmi/PropertyText.h"

#include "MountNamespace.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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
        name.replace(p, 3, "=");
    return QString::fromStdString(name);
}

TEST(HostileNames, MountPathsThatLookLikePropertiesStayOneName)
{
    TestApp();
    ::unsetenv("VELMORA_FAKE_WBEM");
    const std::string reason = testsupport::IsolateMounts();
    if (!reason.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << reason;

    const std::string names[] = {
        "/tmp/x/a,FreeSpace=x",     "/tmp/x/Fotos,FreeSpace=999999999999",
        "/tmp/x/say \"hi\",Size=1", "/tmp/x/\"q\"",
        "/tmp/x/line\nFreeSpace=7",
    };
    ASSERT_EQ(::mount("tmpfs", "/tmp", "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    ASSERT_EQ(::mkdir("/tmp/x", 0755), 0);
    for (const std::string &name : names) {
        ASSERT_EQ(::mkdir(name.c_str(), 0755), 0) << name;
        ASSERT_EQ(::mount("tmpfs", name.c_str(), "tmpfs", 0, "size=4m"), 0) << name;
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
            EXPECT_FALSE(name.startsWith(QStringLiteral("/tmp/x/"))) << text.toStdString();
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
    EXPECT_EQ(found, int(std::size(names)));
    sql.SetActive(false);
}

// Two mount paths that differ only in bytes that are not UTF-8 (a stick
// formatted on an old system, a folder made by a script) both read as U+FFFD
// and shared one panel, which showed the other drive's figures. Each keeps a
// name of its own, \xNN where the bytes are, in the query tool and in the
// panels; a UTF-8 path keeps its bytes.
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
    const Drive drives[] = {
        {"/tmp/u/\xFF", "/tmp/u/\\xFF", 4},
        {"/tmp/u/\xFE", "/tmp/u/\\xFE", 8},
        {"/tmp/u/\xC3", "/tmp/u/\\xC3", 12},
        {"/tmp/u/\xC3\xA9", "/tmp/u/\xC3\xA9", 16},
    };
    ASSERT_EQ(::mount("tmpfs", "/tmp", "tmpfs", 0, "size=1m"), 0) << std::strerror(errno);
    ASSERT_EQ(::mkdir("/tmp/u", 0755), 0);
    for (const Drive &d : drives) {
        ASSERT_EQ(::mkdir(d.path.c_str(), 0755), 0) << d.name;
        const std::string options = "size=" + std::to_string(d.megabytes) + "m";
        ASSERT_EQ(::mount("tmpfs", d.path.c_str(), "tmpfs", 0, options.c_str()), 0) << d.name;
    }

    // velmora-wql: four names, each with its own size.
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
            else if (property == "Size" && name.rfind("/tmp/u/", 0) == 0)
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

} // namespace
