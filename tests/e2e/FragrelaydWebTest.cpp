// fragrelayd's page as its real clients see it, over a live match of the
// stand-in game server: headless Chromium watches the scoreboard fill and an
// event arrive without a reload (tests/web/browser_check.py, screenshots in
// the build folder), promtool accepts the metrics (metrics_check.py), the
// JSON holds the match's players, and curl sees /healthz follow the IRC
// side as ngircd stops and starts again.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "e2e/DaemonPeers.h"

namespace {

using e2e::Curl;
using e2e::kLong;
using Json = nlohmann::json;

// Debian's own Python, where python3-selenium lives.
const char kPython[] = "/usr/bin/python3";
// What the check scripts return when a program they need is missing.
constexpr int kScriptSkipped = 77;

class FragrelaydWeb : public e2e::DaemonPeersTest {
protected:
    void SetUp() override {
        DaemonPeersTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        E2E_NEED_PEER(!testsupport::FindProgram("curl").empty(), "curl");
        m_strWebPort = std::to_string(e2e::FreeTcpPort());
        m_strBase = "http://127.0.0.1:" + m_strWebPort;
        // Eight players, a step of the match every 300 ms: kills come often.
        m_sim.StartLive(42, 8, 300);
    }
    // Starts the bot with statistics and the page on, and waits until the
    // page says both sides are up.
    void StartBot() {
        ASSERT_TRUE(StartDaemon("stats_File=fragrelay.db\r\nweb_Address=" + m_strWebPort + "\r\n"));
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return Curl(m_strBase + "/healthz").m_nStatus == 200; }, kLong))
            << Curl(m_strBase + "/healthz").m_strBody << m_daemon.Output();
    }
    // Runs one of tests/web's check scripts against the bot's page; false
    // (with GTEST_SKIP) when it lacks a program, unless peers are required.
    bool RunScript(const std::string& strScript, std::vector<std::string> vArgs,
                   std::string* pOutput) {
        vArgs.insert(vArgs.begin(), {kPython, std::string(FR_WEB_TEST_DIR) + "/" + strScript});
        testsupport::CChildProcess script;
        if (::access(kPython, X_OK) != 0 || !script.Start(vArgs)) {
            ADD_FAILURE() << "cannot run " << kPython;
            return false;
        }
        const int nExit = script.Wait(std::chrono::seconds(110));
        *pOutput = script.Output();
        std::printf("%s", pOutput->c_str());
        if (nExit == kScriptSkipped) return false;
        EXPECT_EQ(nExit, 0) << strScript << ": " << *pOutput;
        return true;
    }

    std::string m_strWebPort;
    std::string m_strBase;
};

std::set<std::string> SimNames(const bf42sim::CSimServer& sim) {
    std::set<std::string> names;
    for (const bf42sim::CSimPlayer& player : sim.CurrentState().m_vPlayers)
        names.insert(player.m_strName);
    return names;
}

std::set<std::string> PageNames(const Json& status) {
    std::set<std::string> names;
    for (const Json& team : status.at("teams"))
        for (const Json& player : team.at("players")) names.insert(player.at("name"));
    return names;
}

TEST_F(FragrelaydWeb, ChromiumSeesTheScoreboardFillAndAnEventArriveWithoutAReload) {
    ASSERT_NO_FATAL_FAILURE(StartBot());
    // Some play first, so that the screenshots show figures.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.LiveCounts().m_nKills >= 4; }, kLong));
    std::string strOutput;
    if (!RunScript("browser_check.py",
                   {"--url", m_strBase + "/", "--screenshots", FR_SCREENSHOT_DIR, "--min-players",
                    "4", "--event-timeout", "60"},
                   &strOutput)) {
        if (HasFailure()) return;
        E2E_NEED_PEER(false, "Chromium, chromedriver or python3-selenium");
    }
    EXPECT_NE(strOutput.find("PASS: "), std::string::npos) << strOutput;
    StopDaemon();
}

TEST_F(FragrelaydWeb, JsonMetricsAndHealthFollowTheMatchAndTheIrcSide) {
    ASSERT_NO_FATAL_FAILURE(StartBot());

    // The live scoreboard's JSON holds the match's players (who join and
    // leave now and then: looked at until both agree).
    Json status;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            status = Json::parse(Curl(m_strBase + "/api/status").m_strBody, nullptr, false);
            return !status.is_discarded() && status.contains("teams") &&
                   PageNames(status) == SimNames(m_sim);
        },
        kLong))
        << status.dump(1);
    EXPECT_EQ(status.at("game").at("up"), true) << status.dump(1);
    EXPECT_EQ(status.at("irc").at("up"), true) << status.dump(1);
    EXPECT_FALSE(status.at("map").get<std::string>().empty()) << status.dump(1);

    // The statistics answer: the top list (empty before a ranked round) and
    // a player of the match, not yet in any finished round.
    const e2e::CCurlAnswer top = Curl(m_strBase + "/api/top?metric=kd&period=week");
    ASSERT_EQ(top.m_nStatus, 200) << top.m_strBody;
    const Json topJson = Json::parse(top.m_strBody, nullptr, false);
    ASSERT_FALSE(topJson.is_discarded()) << top.m_strBody;
    EXPECT_EQ(topJson.value("metric", ""), "kd") << top.m_strBody;
    EXPECT_EQ(topJson.value("period", ""), "week") << top.m_strBody;
    EXPECT_TRUE(topJson.at("rows").is_array()) << top.m_strBody;
    const std::string strPlayer = *PageNames(status).begin();
    const e2e::CCurlAnswer player = Curl(m_strBase + "/api/players/" + strPlayer);
    EXPECT_TRUE(player.m_nStatus == 200 || player.m_nStatus == 404) << player.m_strBody;
    EXPECT_FALSE(Json::parse(player.m_strBody, nullptr, false).is_discarded()) << player.m_strBody;

    std::string strOutput;
    if (RunScript("metrics_check.py", {"--url", m_strBase + "/"}, &strOutput)) {
        EXPECT_NE(strOutput.find("promtool accepts /metrics"), std::string::npos) << strOutput;
    }
    const std::string strMetrics = Curl(m_strBase + "/metrics").m_strBody;
    EXPECT_EQ(e2e::MetricValue(strMetrics, "fragrelay_irc_connected"), 1) << strMetrics;
    EXPECT_EQ(e2e::MetricValue(strMetrics, "fragrelay_game_up"), 1) << strMetrics;
    EXPECT_GE(e2e::MetricValue(strMetrics, "fragrelay_game_players"), 1) << strMetrics;

    // The IRC server goes: 503 with the IRC side's reason.
    const uint16_t nIrcPort = m_ngircd.Port();
    m_ngircd.Stop();
    e2e::CCurlAnswer health;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            health = Curl(m_strBase + "/healthz");
            return health.m_nStatus == 503 &&
                   health.m_strBody.find("next attempt in ") != std::string::npos;
        },
        kLong))
        << health.m_nStatus << " " << health.m_strBody;
    EXPECT_EQ(health.m_strBody.rfind("irc: next attempt in ", 0), 0u) << health.m_strBody;
    EXPECT_EQ(e2e::MetricValue(Curl(m_strBase + "/metrics").m_strBody, "fragrelay_irc_connected"),
              0);

    // Back on the same port: the bot comes back by itself, and so does 200.
    ASSERT_TRUE(m_ngircd.Start(nIrcPort)) << m_ngircd.Log();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            health = Curl(m_strBase + "/healthz");
            return health.m_nStatus == 200;
        },
        std::chrono::seconds(60)))
        << health.m_nStatus << " " << health.m_strBody << m_daemon.Output();
    EXPECT_EQ(health.m_strBody, "ok\n");
    StopDaemon();
}

}  // namespace
