// SPDX-License-Identifier: MIT
// Which program an existing autostart entry starts: the Exec line of the
// [Desktop Entry] group read back as the Desktop Entry Specification quotes
// and escapes it, and the entry file read with care (size, kind of file).
#include "LinuxTestSupport.h"

#include "platform/SessionStart.h"
#include "platform/linux/LinuxSessionStart.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

using linuxtest::ScopedEnv;
using linuxtest::TempFolder;

TEST(LinuxExecProgram, FirstArgumentOfTheDesktopEntrysExecLine)
{
    struct Case
    {
        const char *text;
        const char *program;
    };
    const Case cases[] = {
        {"[Desktop Entry]\nType=Application\nName=Velmora\nExec=/usr/bin/velmora\n", "/usr/bin/velmora"},
        {"[Desktop Entry]\nExec=/usr/bin/velmora --minimized %U\n", "/usr/bin/velmora"},
        {"[Desktop Entry]\nExec=/usr/bin/velmora\t-x\n", "/usr/bin/velmora"},
        {"[Desktop Entry]\r\nExec=/usr/bin/velmora\r\n", "/usr/bin/velmora"},
        {"[Desktop Entry]\nExec = \"/opt/My Apps/velmora\" -x\n", "/opt/My Apps/velmora"},
        // String escapes first (\\ -> \), then the quoting (\$ -> $).
        {"[Desktop Entry]\nExec=\"/tmp/a\\\\$b/velmora\"\n", "/tmp/a$b/velmora"},
        {"[Desktop Entry]\nExec=\"/tmp/q\\\\\"uote/velmora\"\n", "/tmp/q\"uote/velmora"},
        {"[Desktop Entry]\nExec=\"/tmp/back\\\\\\\\slash/velmora\"\n", "/tmp/back\\slash/velmora"},
        {"[Desktop Entry]\nExec=/tmp/a\\sb/velmora\n", "/tmp/a"},
        {"[Desktop Entry]\nExec=/srv/100%%/velmora\n", "/srv/100%/velmora"},
        // Only the [Desktop Entry] group, only the unlocalised key, the first one.
        {"[Desktop Action New]\nExec=/wrong\n[Desktop Entry]\nExec=/right\n", "/right"},
        {"[Desktop Entry]\nExec[de]=/wrong\nExecutable=/wrong\nExec=/right\nExec=/second\n", "/right"},
        {"[Desktop Entry]\n# Exec=/wrong\nExec=/right\n", "/right"},
        {"Exec=/before-any-group\n", ""},
        // Nothing to start.
        {"", ""},
        {"[Desktop Entry]\nName=Velmora\n", ""},
        {"[Desktop Entry]\nExec=\n", ""},
        {"[Desktop Entry]\nExec=\"/unclosed/velmora\n", ""},
        {"[Desktop Entry]\nExec=\"/ends/in/backslash\\", ""},
        {"[Desktop Entry]\nExec", ""},
        // Bare names are left to the search path.
        {"[Desktop Entry]\nExec=velmora\n", "velmora"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::LinuxExecProgram(c.text), c.program);
    }
    // A NUL byte is just a byte.
    static constexpr char withNul[] = "[Desktop Entry]\nExec=/a\0b\n";
    EXPECT_EQ(platform::LinuxExecProgram(std::string(withNul, sizeof withNul - 1)), std::string("/a\0b", 4));
}

TEST(LinuxExecProgram, ReadsBackEveryPathTheEntryWriterQuotes)
{
    for (const char *path : {"/usr/bin/velmora", "/opt/My Apps/velmora", "/tmp/a$b/velmora", "/srv/100%/velmora",
                             "/tmp/q\"uote/velmora", "/tmp/back\\slash/velmora", "/tmp/tab\there/velmora",
                             "/tmp/new\nline/velmora", "/tmp/`tick`/velmora", "/tmp/a=b/velmora"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(platform::LinuxExecProgram(platform::LinuxDesktopEntryText(path)), path);
    }
}

class LinuxSessionStartProgram : public ::testing::Test
{
protected:
    TempFolder FConfig;
    ScopedEnv FXdg{"XDG_CONFIG_HOME", FConfig.Path().c_str()};
    const std::string FProgram = "/opt/velmora/bin/velmora";

    std::string Entry() const { return FConfig.File("autostart/velmora.desktop"); }
    void MakeAutostartFolder() const { ::mkdir(FConfig.File("autostart").c_str(), 0700); }
};

TEST_F(LinuxSessionStartProgram, WrittenEntryNoEntryAndEntriesThatAreNoEntries)
{
    EXPECT_EQ(platform::SessionStartProgram(FProgram), "");
    ASSERT_EQ(platform::SetSessionStart(FProgram, true), platform::SessionStartResult::Done);
    EXPECT_EQ(platform::SessionStartProgram(FProgram), FProgram);
    // The entry of another program's name is not this one's.
    EXPECT_EQ(platform::SessionStartProgram("/usr/bin/velmora-2"), "");

    // Over 64 KiB: not read, however it begins.
    {
        std::ofstream big(Entry(), std::ios::trunc);
        big << "[Desktop Entry]\nExec=/usr/bin/velmora\n" << std::string(64 * 1024, '#') << '\n';
    }
    EXPECT_EQ(platform::SessionStartProgram(FProgram), "");

    // A folder or a pipe with the entry's name: nothing, and no wait for a
    // writer that never comes.
    ASSERT_EQ(::unlink(Entry().c_str()), 0);
    ASSERT_EQ(::mkfifo(Entry().c_str(), 0600), 0);
    EXPECT_EQ(platform::SessionStartProgram(FProgram), "");
    ASSERT_EQ(::unlink(Entry().c_str()), 0);
    ASSERT_EQ(::mkdir(Entry().c_str(), 0700), 0);
    EXPECT_EQ(platform::SessionStartProgram(FProgram), "");
}

} // namespace
