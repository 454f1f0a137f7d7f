// The quick-info check against the stand-in server: what a check finds
// (the panel's seven texts), every way a check ends, a second check after
// one has ended, and that the check is over before its owner hears so.
#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/QuickInfoCheck.h"
#include "platform/Clock.h"
#include "query/ServerQuery.h"
#include "support/ScriptedUdpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using namespace std::chrono_literals;
using bf42sim::CSimState;
using bf42sim::EKeyStyle;

const std::string kBlank(65, ' ');
const char kNotFound[] = "Couldn't find Server! Check the Portsettings.";

// The panel as the operator sees it, in its order from the top.
struct Panel {
    std::string m_strHostname, m_strGamePort, m_strMod, m_strMap, m_strPlayers, m_strVersion,
        m_strStatus;
    bool operator==(const Panel&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Panel& p) {
    return os << "{" << p.m_strHostname << " | " << p.m_strGamePort << " | " << p.m_strMod << " | "
              << p.m_strMap << " | " << p.m_strPlayers << " | " << p.m_strVersion << " | "
              << p.m_strStatus << "}";
}

class QuickInfoTest : public ::testing::Test {
protected:
    void StartServer() { ASSERT_TRUE(m_server.Start()); }

    // A check of strServer on nPort; its result and its end are recorded.
    bool Start(const std::string& strServer, int nPort) {
        return m_check.Start(strServer, nPort,
                             {[this](const query::CQuickInfoResult& result) {
                                  std::lock_guard<std::mutex> lock(m_mutex);
                                  m_result = result;
                                  ++m_nResults;
                              },
                              [this] {
                                  // The owner is told only once the check no longer runs.
                                  if (m_check.IsRunning()) m_nRunningWhenOver.fetch_add(1);
                                  m_nOver.fetch_add(1);
                              }});
    }
    void CheckServer() { ASSERT_TRUE(Start("127.0.0.1", m_server.Port())); }

    // Waits for the end of check number nCheck (from 1).
    bool WaitForEnd(std::chrono::milliseconds timeout = 10s, int nCheck = 0) {
        if (nCheck == 0) nCheck = m_nStarted + 1;
        m_nStarted = nCheck;
        return testsupport::WaitUntil([&] { return m_nOver.load() >= nCheck; }, timeout);
    }

    Panel Found() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return {m_result.m_strHostname, m_result.m_strGamePort, m_result.m_strMod,
                m_result.m_strMap,      m_result.m_strPlayers,  m_result.m_strVersion,
                m_result.m_strStatus};
    }
    int Results() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nResults;
    }
    // A failed check: its text in the status, every other text blank, and
    // the check over.
    void ExpectFailure(const std::string& strText) {
        EXPECT_EQ(Found(), (Panel{kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, strText}));
        EXPECT_FALSE(m_check.IsRunning());
        EXPECT_EQ(m_nRunningWhenOver.load(), 0);
    }

    bf42sim::CSimServer m_server;
    platform::CManualClock m_clock;  // the pauses between re-sends after a failed receive
    std::mutex m_mutex;
    query::CQuickInfoResult m_result;  // m_mutex
    int m_nResults = 0;                // m_mutex
    std::atomic<int> m_nOver{0};
    std::atomic<int> m_nRunningWhenOver{0};
    int m_nStarted = 0;
    // Last: stops and joins its check before the server and the record go.
    core::CQuickInfoCheck m_check{m_clock};
};

struct PanelCase {
    const char* m_szName;
    EKeyStyle m_style;
    std::function<void(CSimState&)> m_fnEdit;  // changes to a server with two players
    Panel m_expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const PanelCase& row, std::ostream* pOut) {
    *pOut << row.m_szName;
}

class QuickInfoPanel : public QuickInfoTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(QuickInfoPanel, ShowsTheServersAnswer) {
    const PanelCase& c = GetParam();
    CSimState state = bf42sim::DefaultSimState();
    state.SetKey("hostname", "Sim Wake");
    state.m_vPlayers = {{"Ann", 1, 3, 3, 0, 40, "k0"}, {"Bob", 2, 0, 0, 3, 60, "k1"}};
    c.m_fnEdit(state);
    m_server.SetState(state);
    m_server.SetKeyStyle(c.m_style);
    StartServer();
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Found(), c.m_expected);
    EXPECT_FALSE(m_check.IsRunning());
    EXPECT_EQ(m_server.InfoRequests(), 1);
    EXPECT_EQ(m_server.StatusRequests(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuickInfoPanel,
    ::testing::Values(
        PanelCase{"CapitalXpack1ShowsRtR",
                  EKeyStyle::Classic,
                  [](CSimState& s) { s.SetKey("gameId", "XPACK1"); },
                  {"Sim Wake", "14567", "RtR", "wake", "2/64", "v1.61", "idle"}},
        PanelCase{"OtherModKeepsItsCase",
                  EKeyStyle::Classic,
                  [](CSimState& s) { s.SetKey("gameId", "DC_Final"); },
                  {"Sim Wake", "14567", "DC_Final", "wake", "2/64", "v1.61", "idle"}},
        PanelCase{"NoPlayerKeysShowZeroOfZero",
                  EKeyStyle::Classic,
                  [](CSimState& s) {
                      s.RemoveKey("numplayers");
                      s.RemoveKey("maxplayers");
                  },
                  {"Sim Wake", "14567", "bf1942", "wake", "0/0", "v1.61", "idle"}},
        PanelCase{"HostPort40000",
                  EKeyStyle::Classic,
                  [](CSimState& s) { s.SetKey("hostport", "40000"); },
                  {"Sim Wake", "40000", "bf1942", "wake", "2/64", "v1.61", "idle"}},
        PanelCase{"RepeatedHostnameShowsTheSecond",
                  EKeyStyle::Classic,
                  [](CSimState& s) {
                      s.m_vInfoExtra = {{"hostname", "Second Name"}};
                  },
                  {"Second Name", "14567", "bf1942", "wake", "2/64", "v1.61", "idle"}},
        // Empty values first in the reply, between and after the keys read.
        PanelCase{"V161EmptyValuesShowCorrectly",
                  EKeyStyle::V161,
                  [](CSimState& s) {
                      s.SetKey("gamever", "");
                      s.SetKey("Version", "v1.61");
                      s.SetKey("mapname", "berlin");
                      s.m_vInfoExtra = {{"unpure_mods", ""}, {"gamestyle", ""}};
                  },
                  {"Sim Wake", "14567", "bf1942", "berlin", "2/64", "v1.61", "idle"}}),
    [](const ::testing::TestParamInfo<PanelCase>& info) { return info.param.m_szName; });

TEST_F(QuickInfoTest, SilentServerIsNotFoundAfterFiveRequests) {
    m_server.FallSilent(-1);
    StartServer();
    CheckServer();
    // Five empty waits of half a second each.
    ASSERT_TRUE(WaitForEnd(15s));
    ExpectFailure(kNotFound);
    EXPECT_EQ(m_server.InfoRequests(), 5);
}

TEST_F(QuickInfoTest, NameThatDoesNotResolveIsReportedAtOnce) {
    // Rejected by the resolver itself (an empty label), so no look-up leaves the machine.
    ASSERT_TRUE(Start("no..such..host", 23000));
    ASSERT_TRUE(WaitForEnd());
    ExpectFailure("Couldn't find Server at this IP!");
}

TEST_F(QuickInfoTest, OversizedAnswersTimeOutAfterTenFailedReceives) {
    m_server.SetOversized(true);
    StartServer();
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    ExpectFailure("Server timed out.");
    EXPECT_EQ(m_server.InfoRequests(), 10);
}

TEST_F(QuickInfoTest, ServerThatFallsSilentMidReplyKeepsTheCheckRunningUntilStopped) {
    // One datagram without the closing marker, then nothing: the request
    // goes out again after every empty wait, until a stop or the silence
    // limit ends the check.
    testsupport::CScriptedUdpServer server(
        std::vector<testsupport::CScriptedUdpServer::Answer>{{"\\hostname\\Half"}});
    ASSERT_NE(server.Port(), 0);
    ASSERT_TRUE(Start("127.0.0.1", server.Port()));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server.Requests() >= 2; }));
    EXPECT_TRUE(m_check.IsRunning());
    EXPECT_EQ(Results(), 0);
    EXPECT_FALSE(Start("127.0.0.1", server.Port())) << "a second check while one runs";
    m_check.Stop();
    EXPECT_FALSE(m_check.IsRunning());
    EXPECT_EQ(m_nOver.load(), 1);
    EXPECT_EQ(Found(), (Panel{kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, "idle"}));
    EXPECT_EQ(m_nRunningWhenOver.load(), 0);
}

// Regression: a server that fell silent mid-reply kept the check (and the
// Check button) busy for ever. Ten silent waits of half a second end it.
TEST_F(QuickInfoTest, ServerThatStaysSilentMidReplyTimesTheCheckOut) {
    testsupport::CScriptedUdpServer server(
        std::vector<testsupport::CScriptedUdpServer::Answer>{{"\\hostname\\Half"}});
    ASSERT_NE(server.Port(), 0);
    ASSERT_TRUE(Start("127.0.0.1", server.Port()));
    ASSERT_TRUE(WaitForEnd(15s));
    ExpectFailure("Server timed out.");
    EXPECT_EQ(server.Requests(), query::kInfoSilenceLimit);
}

TEST_F(QuickInfoTest, FailureAfterASuccessBlanksTheOldValuesAndASecondCheckWorks) {
    StartServer();
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Found().m_strStatus, "idle");
    EXPECT_EQ(Found().m_strHostname, "bf42sim");

    // The old values must not stand beside a failure.
    m_server.FallSilent(-1);
    CheckServer();
    ASSERT_TRUE(WaitForEnd(15s));
    ExpectFailure(kNotFound);

    m_server.FallSilent(0);
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Found(), (Panel{"bf42sim", "14567", "bf1942", "wake", "0/64", "v1.61", "idle"}));
    EXPECT_EQ(Results(), 3);
    EXPECT_EQ(m_nRunningWhenOver.load(), 0);
}

}  // namespace
