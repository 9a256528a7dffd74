// SPDX-License-Identifier: MIT
// Names that look like property lists: a mount path (or a label, which
// desktops turn into the mount path) holding ",FreeSpace=" or quotes must
// reach the panel and the window's figures as one name, with the figures the
// kernel gives. Real tmpfs mounts, the real drive query, the real panel.
#include "ShellTestSupport.h"

#include "panels/PropertyText.h"
#include "panels/frDisco.h"
#include "platform/MofText.h"
#include "shell/DriveFigures.h"
#include "wmi/CWMISQL.h"

#include "MountNamespace.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace
