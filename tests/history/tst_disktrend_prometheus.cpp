// SPDX-License-Identifier: MIT
// Velmora_DiskTrend for a --host that is a Prometheus server: Debian's
// prometheus with 8 hours of history put into its database by its own
// promtool (the way a server that ran all along would hold it), and the
// newest figures scraped from a node_exporter's text files.
#include "PrometheusServers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

using velmora::test::CommandResult;
using velmora::test::PrometheusServers;
using velmora::test::RunCommand;
using velmora::test::ShellQuote;

namespace {

constexpr double kSize = 100e9;

double fillingFree(double hoursAgo)
{
    return 20e9 + 2e9 * hoursAgo; // 20 GB left, 2 GB an hour: full in 10 hours
}

std::string series(const char *family, const std::string &labels)
{
    return std::string(family) + "{" + labels + "}";
}

} // namespace

TEST(DiskTrendPrometheus, AServersOwnHistoryAnswersForAFleet)
{
    if (const std::string missing = PrometheusServers::Missing(); !missing.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: not installed: " << missing
                     << " (Debian packages prometheus, prometheus-node-exporter, apache2-utils)";
    if (RunCommand("command -v promtool").exitCode != 0)
        GTEST_SKIP() << "SKIPPED LOUDLY: promtool (Debian package prometheus) is not installed";

    PrometheusServers servers;
    // Three file systems of their own (one device each: the drive rules keep
    // one mount per device).
    const std::string fill = "device=\"/dev/vdx1\",fstype=\"ext4\",mountpoint=\"/srv/fill\"";
    const std::string flat = "device=\"/dev/vdy1\",fstype=\"ext4\",mountpoint=\"/srv/flat\"";
    const std::string ro = "device=\"/dev/vdz1\",fstype=\"ext4\",mountpoint=\"/srv/ro\"";
    const auto textfile = [&](double free) {
        std::ostringstream t;
        t.precision(17);
        for (const std::string &l : {fill, flat, ro})
            t << series("node_filesystem_size_bytes", l) << ' ' << kSize << '\n';
        t << series("node_filesystem_avail_bytes", fill) << ' ' << free << '\n'
          << series("node_filesystem_avail_bytes", flat) << ' ' << 50e9 << '\n'
          << series("node_filesystem_avail_bytes", ro) << ' ' << free << '\n'
          << series("node_filesystem_readonly", ro) << " 1\n";
        return t.str();
    };
    servers.WriteTextfile("fill.prom", textfile(fillingFree(0)));
    ASSERT_TRUE(servers.WaitForExporters(std::chrono::seconds(60))) << servers.Log();

    // The past 8 hours, a sample a minute, as the server would have scraped.
    servers.StopPrometheus();
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::ostringstream om;
    om.precision(17);
    const std::string target = "instance=\"" + servers.TextfileInstance() + "\",job=\"node\",";
    for (const char *family : {"node_filesystem_avail_bytes", "node_filesystem_size_bytes"}) {
        om << "# TYPE " << family << " gauge\n";
        for (const std::string &l : {fill, flat})
            for (int m = 8 * 60; m >= 2; --m) {
                const double value = std::string(family) == "node_filesystem_size_bytes" ? kSize
                    : l == fill                                                          ? fillingFree(m / 60.0)
                                                                                         : 50e9;
                om << series(family, target + l) << ' ' << value << ' ' << std::llround(now - m * 60) << '\n';
            }
    }
    om << "# EOF\n";
    std::ofstream(servers.Dir() + "/history.om") << om.str();
    const CommandResult backfill = RunCommand("promtool tsdb create-blocks-from openmetrics "
                                              + ShellQuote(servers.Dir() + "/history.om") + " "
                                              + ShellQuote(servers.Dir() + "/data"));
    ASSERT_EQ(backfill.exitCode, 0) << backfill.out << backfill.err;
    servers.WriteTextfile("fill.prom", textfile(fillingFree(0)));
    servers.StartPrometheus();
    ASSERT_TRUE(servers.WaitForExporters(std::chrono::seconds(60))) << servers.Log();

    const std::string wql = VELMORA_WQL " --host " + ShellQuote(servers.Url()) + " ";
    const CommandResult soon = RunCommand(
        wql + ShellQuote("SELECT Name, FullIn FROM Velmora_DiskTrend WHERE FullIn < 86400"));
    ASSERT_EQ(soon.exitCode, 0) << soon.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(soon.out, m,
                                 std::regex("instance of Velmora_DiskTrend\n\\{\n\tFullIn = \"([0-9]+)\";\n"
                                            "\tName = \""
                                            + servers.TextfileInstance()
                                            + ":/srv/fill\";\n"
                                              "\tSystemName = \""
                                            + servers.TextfileInstance() + "\";\n\\};\n")))
        << soon.out << servers.Log();
    EXPECT_NEAR(std::stod(m[1]), 10 * 3600, 2 * 3600);

    const CommandResult all = RunCommand(
        wql + "--properties "
        + ShellQuote("SELECT * FROM Velmora_DiskTrend WHERE SystemName = '" + servers.TextfileInstance() + "'"));
    ASSERT_EQ(all.exitCode, 0) << all.err;
    // The flat drive: a rate near 0, no time; the read-only one: neither.
    std::string flatBlock, roBlock;
    for (std::size_t at = 0, end; at < all.out.size(); at = end + 2) {
        end = std::min(all.out.find("\n\n", at), all.out.size());
        const std::string block = all.out.substr(at, end - at);
        if (block.find(":/srv/flat\"") != std::string::npos)
            flatBlock = block;
        if (block.find(":/srv/ro\"") != std::string::npos)
            roBlock = block;
    }
    ASSERT_FALSE(flatBlock.empty()) << all.out;
    ASSERT_FALSE(roBlock.empty()) << all.out;
    EXPECT_EQ(flatBlock.find("FullIn"), std::string::npos) << flatBlock;
    ASSERT_TRUE(std::regex_search(flatBlock, m, std::regex("FillRate=\"(-?[0-9]+)\""))) << flatBlock;
    EXPECT_LT(std::abs(std::stod(m[1])), 1e6) << flatBlock;
    EXPECT_EQ(roBlock.find("FillRate"), std::string::npos) << roBlock;
    EXPECT_EQ(roBlock.find("FullIn"), std::string::npos) << roBlock;
}
