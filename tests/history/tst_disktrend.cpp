// SPDX-License-Identifier: MIT
// Velmora_DiskTrend: the class's object texts and WQL, and velmora-wql
// answering it from a history written by the widget's own store code.
#include "history/DiskTrendService.h"
#include "history/HistoryStore.h"
#include "wbem/DiskTrendClass.h"
#include "wbem/WbemService.h"

#include "Command.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

using namespace platform;

namespace {

DiskTrendValues filling()
{
    DiskTrendValues v;
    v.name = "/data";
    v.freeBytes = 30'000'000'000;
    v.sizeBytes = 100'000'000'000;
    v.fillRatePerHour = 2'000'000'000;
    v.fullInSeconds = 54000;
    v.samples = 360;
    v.since = 1'800'000'000;
    return v;
}

DiskTrendValues freeing()
{
    DiskTrendValues v;
    v.name = "/home";
    v.freeBytes = 7;
    v.sizeBytes = 9;
    v.fillRatePerHour = -5000;
    v.samples = 61;
    return v;
}

std::string join(const std::vector<std::string> &texts)
{
    std::string all;
    for (const std::string &t : texts)
        all += t;
    return all;
}

} // namespace

TEST(DiskTrendClass, ObjectTextAsWritten)
{
    EXPECT_EQ(
        join(RenderDiskTrends(ParseDiskTrendQuery("SELECT * FROM Velmora_DiskTrend"), {filling(), freeing()})),
        "instance of Velmora_DiskTrend\n{\n"
        "\tFillRate = \"2000000000\";\n"
        "\tFreeSpace = \"30000000000\";\n"
        "\tFullIn = \"54000\";\n"
        "\tName = \"/data\";\n"
        "\tSamples = 360;\n"
        "\tSince = \"20270115080000.000000+000\";\n"
        "\tSize = \"100000000000\";\n"
        "};\n"
        "instance of Velmora_DiskTrend\n{\n"
        "\tFillRate = \"-5000\";\n"
        "\tFreeSpace = \"7\";\n"
        "\tName = \"/home\";\n"
        "\tSamples = 61;\n"
        "\tSize = \"9\";\n"
        "};\n");
}

TEST(DiskTrendClass, WhereAndPropertyLists)
{
    struct Case
    {
        const char *wql;
        const char *names; // the Name of each object given, in order
    } cases[] = {
        {"SELECT Name FROM Velmora_DiskTrend WHERE FullIn < 86400", "/data"},
        {"SELECT Name FROM Velmora_DiskTrend WHERE FullIn > 86400", ""},
        {"SELECT Name FROM Velmora_DiskTrend WHERE FullIn IS NULL", "/home"},
        {"SELECT Name FROM Velmora_DiskTrend WHERE FillRate < 0", "/home"},
        {"SELECT Name FROM Velmora_DiskTrend WHERE FillRate > -10000", "/data/home"},
        {"select name from velmora_disktrend where since = '20270115080000.000000+000'", "/data"},
        {"SELECT Name FROM Velmora_DiskTrend WHERE Samples >= 100 OR Name = '/HOME'", "/data/home"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.wql);
        std::string names;
        for (const std::string &text : RenderDiskTrends(ParseDiskTrendQuery(c.wql), {filling(), freeing()})) {
            std::smatch m;
            ASSERT_TRUE(std::regex_search(text, m, std::regex("\tName = \"([^\"]*)\";")));
            names += m[1];
            // A property list keeps the key and what it names.
            EXPECT_EQ(text.find("FreeSpace"), std::string::npos);
        }
        EXPECT_EQ(names, c.names);
    }
}

TEST(DiskTrendClass, WrongQueriesAreRefusedAsWmiRefusesThem)
{
    EXPECT_FALSE(IsDiskTrendQuery("SELECT * FROM Win32_LogicalDisk"));
    EXPECT_FALSE(IsDiskTrendQuery("SELECT FROM"));
    EXPECT_TRUE(IsDiskTrendQuery("SELECT * FROM velmora_disktrend"));
    const auto code = [](const char *wql) {
        try {
            ParseDiskTrendQuery(wql);
        } catch (const WbemError &e) {
            return static_cast<std::uint32_t>(e.code());
        }
        return 0u;
    };
    EXPECT_EQ(code("SELECT DriveType FROM Velmora_DiskTrend"), 0x80041017u);
    EXPECT_EQ(code("SELECT * FROM Velmora_DiskTrend WHERE Nope = 1"), 0x80041017u);
    EXPECT_EQ(code("SELECT * FROM Velmora_DiskTrend WHERE"), 0x80041017u);
    EXPECT_EQ(code("SELECT * FROM Win32_LogicalDisk"), 0x80041010u);
}

TEST(DiskTrendClass, CimDateTimeOfHandPickedDays)
{
    EXPECT_EQ(CimDateTime(0), "19700101000000.000000+000");
    EXPECT_EQ(CimDateTime(951782400 + 3723), "20000229010203.000000+000");
    EXPECT_EQ(CimDateTime(4107542399), "21000228235959.000000+000");
    EXPECT_EQ(CimDateTime(-1), "19691231235959.000000+000");
}

namespace {

std::int64_t wallNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A history as the widget leaves it: 8 hours of minutes up to now.
void writeHistory(const std::string &path, std::int64_t now)
{
    auto store = history::HistoryStore::Open(path);
    for (std::int64_t m = 8 * 60; m >= 0; --m) {
        const std::int64_t t = now - m * 60;
        const double hoursAgo = m / 60.0;
        history::DriveSample fast{"uuid:f", "/srv/fast", "ext4", false, 0, 100'000'000'000, 0, 0};
        fast.freeBytes = static_cast<std::uint64_t>(20e9 + 2e9 * hoursAgo); // 20 GB left, 2 GB an hour
        history::DriveSample flat{"uuid:s", "/srv/flat", "xfs", false, 50'000'000'000, 100'000'000'000, 0, 0};
        history::DriveSample image{"uuid:r", "/srv/image", "squashfs", true, 0, 100'000'000'000, 0, 0};
        image.freeBytes = fast.freeBytes;
        store->Record(t, {fast, flat, image});
    }
}

} // namespace

TEST(DiskTrendTool, VelmoraWqlAnswersFromTheHistoryTheWidgetWrote)
{
    testsupport::TempFolder state("velmora-trend");
    writeHistory(state.File("velmora/history.sqlite"), wallNow());
    const std::string run = "XDG_STATE_HOME='" + state.Path() + "' " VELMORA_WQL " ";

    const std::string soon = testsupport::Capture(
        run + "'SELECT Name, FullIn FROM Velmora_DiskTrend WHERE FullIn < 86400'");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(soon, m,
                                 std::regex("instance of Velmora_DiskTrend\n\\{\n\tFullIn = \"([0-9]+)\";\n"
                                            "\tName = \"/srv/fast\";\n\\};\n")))
        << soon;
    EXPECT_NEAR(std::stod(m[1]), 10 * 3600, 2 * 3600);

    const std::string all = testsupport::Capture(run + "--properties 'SELECT * FROM Velmora_DiskTrend'");
    EXPECT_NE(all.find("Name=\"/srv/flat\""), std::string::npos) << all;
    EXPECT_NE(all.find("FillRate=\"0\""), std::string::npos) << all;
    EXPECT_NE(all.find("Name=\"/srv/image\""), std::string::npos) << all;
    // Objects are blocks of lines with a blank line between them. The
    // read-only one fills as fast, and has neither rate nor time.
    std::string block;
    for (std::size_t at = 0, end; at < all.size(); at = end + 2) {
        end = std::min(all.find("\n\n", at), all.size());
        if (all.substr(at, end - at).find("Name=\"/srv/image\"") != std::string::npos)
            block = all.substr(at, end - at);
    }
    ASSERT_FALSE(block.empty()) << all;
    EXPECT_EQ(block.find("FillRate"), std::string::npos) << block;
    EXPECT_EQ(block.find("FullIn"), std::string::npos) << block;

    // No history at all: no drives, no error.
    testsupport::TempFolder empty("velmora-trend");
    EXPECT_EQ(testsupport::Capture("XDG_STATE_HOME='" + empty.Path()
                                   + "' " VELMORA_WQL " 'SELECT * FROM Velmora_DiskTrend'; echo $?"),
              "0\n");
}
