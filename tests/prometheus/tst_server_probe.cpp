// SPDX-License-Identifier: MIT
// A trial of a server typed into the dialog of other machines: each way it
// can go is told apart, against servers of the test's own on 127.0.0.1.
#include "FakePrometheus.h"
#include "PrometheusServers.h"

#include "platform/ServerProbe.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using platform::ServerProbeOutcome;
using velmora::test::FakePrometheus;
using velmora::test::FakeReply;

namespace {

const char *Name(ServerProbeOutcome outcome)
{
    switch (outcome) {
    case ServerProbeOutcome::Reached:
        return "reached";
    case ServerProbeOutcome::Refused:
        return "refused";
    case ServerProbeOutcome::WrongPassword:
        return "wrong password";
    case ServerProbeOutcome::NotPrometheus:
        return "not Prometheus";
    case ServerProbeOutcome::TimedOut:
        return "timed out";
    case ServerProbeOutcome::BadAddress:
        return "bad address";
    case ServerProbeOutcome::Unavailable:
        break;
    }
    return "unavailable";
}

} // namespace

TEST(ServerProbe, EachOutcomeIsToldApart)
{
    FakePrometheus fleet(velmora::test::FleetHandler(2, 3));
    FakePrometheus denied([](const std::string &) { return FakeReply{401, "Unauthorized\n"}; });
    FakePrometheus webPage([](const std::string &) {
        return FakeReply{404, "<html><body>Not Found</body></html>"};
    });
    FakePrometheus notJson([](const std::string &) {
        return FakeReply{200, "<html><body>It works!</body></html>"};
    });
    FakePrometheus slow([](const std::string &) {
        FakeReply reply{200, "{}"};
        reply.delay = 3s;
        return reply;
    });
    const std::string nobody = "http://127.0.0.1:" + std::to_string(velmora::test::FreeTcpPort());
    const struct
    {
        std::string url;
        ServerProbeOutcome outcome;
        std::size_t drives, machines;
    } cases[] = {
        {fleet.Url(), ServerProbeOutcome::Reached, 6, 2},
        {nobody, ServerProbeOutcome::Refused, 0, 0},
        {denied.Url(), ServerProbeOutcome::WrongPassword, 0, 0},
        {webPage.Url(), ServerProbeOutcome::NotPrometheus, 0, 0},
        {notJson.Url(), ServerProbeOutcome::NotPrometheus, 0, 0},
        {slow.Url(), ServerProbeOutcome::TimedOut, 0, 0},
        {"ftp://127.0.0.1/", ServerProbeOutcome::BadAddress, 0, 0},
        {"http://", ServerProbeOutcome::BadAddress, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        const platform::ServerProbeResult result = platform::ProbeDriveServer(c.url, "ann", "pw", 1s);
        EXPECT_STREQ(Name(result.outcome), Name(c.outcome)) << result.detail;
        EXPECT_EQ(result.drives, c.drives);
        EXPECT_EQ(result.machines, c.machines);
        if (c.outcome != ServerProbeOutcome::Reached) {
            EXPECT_FALSE(result.detail.empty());
        }
        EXPECT_EQ(result.detail.find("pw"), std::string::npos) << result.detail;
    }
}

// A real Prometheus that asks for a password: the right one reaches its
// node_exporter's drives, a wrong one is told as such.
TEST(ServerProbe, RealServerWithAPassword)
{
    if (const std::string missing = velmora::test::PrometheusServers::Missing(); !missing.empty())
        GTEST_SKIP() << "SKIPPED LOUDLY: " << missing;
    velmora::test::PrometheusServers servers("ann", "Kx7-probe");
    servers.WriteTextfile("data.prom",
                          "# TYPE node_filesystem_size_bytes gauge\n"
                          "node_filesystem_size_bytes{device=\"/dev/sdz1\",fstype=\"ext4\","
                          "mountpoint=\"/srv/data\"} 1000000\n"
                          "# TYPE node_filesystem_avail_bytes gauge\n"
                          "node_filesystem_avail_bytes{device=\"/dev/sdz1\",fstype=\"ext4\","
                          "mountpoint=\"/srv/data\"} 400000\n");
    ASSERT_TRUE(servers.WaitForExporters(60s)) << servers.Log();
    const platform::ServerProbeResult right = platform::ProbeDriveServer(servers.Url(), "ann", "Kx7-probe", 5s);
    EXPECT_STREQ(Name(right.outcome), "reached") << right.detail;
    EXPECT_GT(right.drives, 0u);
    EXPECT_EQ(right.machines, 2u) << "node_exporter and the textfile exporter";
    const platform::ServerProbeResult wrong = platform::ProbeDriveServer(servers.Url(), "ann", "nope", 5s);
    EXPECT_STREQ(Name(wrong.outcome), "wrong password") << wrong.detail;
}
