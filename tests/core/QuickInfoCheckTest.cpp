// The quick-info check against the stand-in server: what the panel shows
// after a check, every way a check ends, and the inputs it gives back.
#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "query/ServerQuery.h"
#include "res/Resource.h"
#include "support/ScriptedUdpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"
#include "ui/GameDlg.h"
#include "ui/QuickInfoCheck.h"

namespace {

using namespace std::chrono_literals;
using bf42sim::CSimState;
using bf42sim::KeyStyle;

const std::string kBlank(65, ' ');
const char kNotFound[] = "Couldn't find Server! Check the Portsettings.";

// The panel as the operator sees it, in its order from the top.
struct Panel {
    std::string strHostname, strGamePort, strMod, strMap, strPlayers, strVersion, strStatus;
    bool operator==(const Panel&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Panel& p) {
    return os << "{" << p.strHostname << " | " << p.strGamePort << " | " << p.strMod << " | "
              << p.strMap << " | " << p.strPlayers << " | " << p.strVersion << " | " << p.strStatus
              << "}";
}

class QuickInfoTest : public ::testing::Test {
protected:
    QuickInfoTest() { EXPECT_TRUE(m_game.Create(m_sink)); }
    void TearDown() override {
        EXPECT_EQ(m_game.UnknownIdUses(), 0u);
        EXPECT_EQ(m_sink.Count(), 0u) << "a check shows no message box";
    }

    void StartServer() { ASSERT_TRUE(m_server.Start()); }

    // The operator types the server and the port and presses Check.
    void PressCheck(const std::string& strServer, int nPort) {
        m_game.TypeText(res::IDC_GAME_SERVER, strServer);
        m_game.TypeText(res::IDC_GAME_PORT, std::to_string(nPort));
        ASSERT_TRUE(m_game.Click(res::IDC_GAME_CHECK));
    }
    void CheckServer() { PressCheck("127.0.0.1", m_server.Port()); }

    bool WaitForEnd(std::chrono::milliseconds timeout = 10s) {
        return testsupport::WaitUntil([&] { return !m_game.IsQuickInfoRunning(); }, timeout);
    }

    Panel Shown() const {
        return {m_game.GetItemText(res::IDC_QI_HOSTNAME), m_game.GetItemText(res::IDC_QI_GAMEPORT),
                m_game.GetItemText(res::IDC_QI_MOD),      m_game.GetItemText(res::IDC_QI_MAP),
                m_game.GetItemText(res::IDC_QI_PLAYERS),  m_game.GetItemText(res::IDC_QI_VERSION),
                m_game.GetItemText(res::IDC_QI_STATUS)};
    }
    Panel Fields() {
        const ui::CQuickInfoResult shown = m_game.QuickInfoShown();
        return {shown.m_strHostname, shown.m_strGamePort, shown.m_strMod,   shown.m_strMap,
                shown.m_strPlayers,  shown.m_strVersion,  shown.m_strStatus};
    }
    bool InputsBack() const {
        return m_game.IsItemEnabled(res::IDC_GAME_CHECK) &&
               !m_game.IsReadOnly(res::IDC_GAME_SERVER) && !m_game.IsReadOnly(res::IDC_GAME_PORT);
    }
    // A failed check: its text in the status, nothing else in the panel.
    void ExpectFailure(const std::string& strText) {
        EXPECT_EQ(Shown(), (Panel{kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, strText}));
        EXPECT_EQ(Fields(), Shown());
        EXPECT_TRUE(InputsBack());
    }

    framework::CRecordingMessageSink m_sink;
    bf42sim::CSimServer m_server;
    platform::CManualClock m_clock;  // the pauses between re-sends after a failed receive
    bridge::CGameShared m_gameShared;
    ui::CGameDlg m_game{m_gameShared,
                        m_clock};  // last: stops and joins its check before the server goes
};

struct PanelCase {
    const char* szName;
    KeyStyle style;
    std::function<void(CSimState&)> fnEdit;  // changes to a server with two players
    Panel expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const PanelCase& row, std::ostream* pOut) {
    *pOut << row.szName;
}

class QuickInfoPanel : public QuickInfoTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(QuickInfoPanel, ShowsTheServersAnswer) {
    const PanelCase& c = GetParam();
    CSimState state = bf42sim::DefaultSimState();
    state.SetKey("hostname", "Sim Wake");
    state.m_vPlayers = {{"Ann", 1, 3, 3, 0, 40, "k0"}, {"Bob", 2, 0, 0, 3, 60, "k1"}};
    c.fnEdit(state);
    m_server.SetState(state);
    m_server.SetKeyStyle(c.style);
    StartServer();
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), c.expected);
    EXPECT_EQ(Fields(), c.expected);
    EXPECT_TRUE(InputsBack());
    EXPECT_EQ(m_server.InfoRequests(), 1);
    EXPECT_EQ(m_server.StatusRequests(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuickInfoPanel,
    ::testing::Values(
        PanelCase{"CapitalXpack1ShowsRtR",
                  KeyStyle::Classic,
                  [](CSimState& s) { s.SetKey("gameId", "XPACK1"); },
                  {"Sim Wake", "14567", "RtR", "wake", "2/64", "v1.61", "idle"}},
        PanelCase{"OtherModKeepsItsCase",
                  KeyStyle::Classic,
                  [](CSimState& s) { s.SetKey("gameId", "DC_Final"); },
                  {"Sim Wake", "14567", "DC_Final", "wake", "2/64", "v1.61", "idle"}},
        PanelCase{"NoPlayerKeysShowZeroOfZero",
                  KeyStyle::Classic,
                  [](CSimState& s) {
                      s.RemoveKey("numplayers");
                      s.RemoveKey("maxplayers");
                  },
                  {"Sim Wake", "14567", "bf1942", "wake", "0/0", "v1.61", "idle"}},
        PanelCase{"HostPort40000",
                  KeyStyle::Classic,
                  [](CSimState& s) { s.SetKey("hostport", "40000"); },
                  {"Sim Wake", "40000", "bf1942", "wake", "2/64", "v1.61", "idle"}},
        PanelCase{"RepeatedHostnameShowsTheSecond",
                  KeyStyle::Classic,
                  [](CSimState& s) {
                      s.m_vInfoExtra = {{"hostname", "Second Name"}};
                  },
                  {"Second Name", "14567", "bf1942", "wake", "2/64", "v1.61", "idle"}},
        // Empty values first in the reply, between and after the keys read.
        PanelCase{"V161EmptyValuesShowCorrectly",
                  KeyStyle::V161,
                  [](CSimState& s) {
                      s.SetKey("gamever", "");
                      s.SetKey("Version", "v1.61");
                      s.SetKey("mapname", "berlin");
                      s.m_vInfoExtra = {{"unpure_mods", ""}, {"gamestyle", ""}};
                  },
                  {"Sim Wake", "14567", "bf1942", "berlin", "2/64", "v1.61", "idle"}}),
    [](const ::testing::TestParamInfo<PanelCase>& info) { return info.param.szName; });

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
    PressCheck("no..such..host", 23000);
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
    PressCheck("127.0.0.1", server.Port());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server.Requests() >= 2; }));
    EXPECT_EQ(m_game.GetItemText(res::IDC_QI_STATUS), "receive status ...");
    EXPECT_FALSE(m_game.IsItemEnabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(m_game.IsQuickInfoRunning());
    EXPECT_FALSE(m_game.StartQuickInfo()) << "a second check while one runs";
    m_game.StopQuickInfo();
    EXPECT_FALSE(m_game.IsQuickInfoRunning());
    EXPECT_EQ(Shown(), (Panel{kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, "idle"}));
    EXPECT_TRUE(InputsBack());
}

// Regression: a server that fell silent mid-reply kept the check (and the
// Check button) busy for ever. Ten silent waits of half a second end it.
TEST_F(QuickInfoTest, ServerThatStaysSilentMidReplyTimesTheCheckOut) {
    testsupport::CScriptedUdpServer server(
        std::vector<testsupport::CScriptedUdpServer::Answer>{{"\\hostname\\Half"}});
    ASSERT_NE(server.Port(), 0);
    PressCheck("127.0.0.1", server.Port());
    ASSERT_TRUE(WaitForEnd(15s));
    ExpectFailure("Server timed out.");
    EXPECT_EQ(server.Requests(), query::kInfoSilenceLimit);
}

TEST_F(QuickInfoTest, FailureAfterASuccessBlanksTheOldValuesAndASecondCheckWorks) {
    StartServer();
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown().strStatus, "idle");
    EXPECT_EQ(Shown().strHostname, "bf42sim");

    // The old values must not stand beside a failure, even unblanked.
    m_server.FallSilent(-1);
    m_game.SetReadOnly(res::IDC_GAME_SERVER, true);
    m_game.EnableItem(res::IDC_GAME_CHECK, false);
    ASSERT_TRUE(m_game.StartQuickInfo());
    ASSERT_TRUE(WaitForEnd(15s));
    ExpectFailure(kNotFound);

    m_server.FallSilent(0);
    CheckServer();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown(), (Panel{"bf42sim", "14567", "bf1942", "wake", "0/64", "v1.61", "idle"}));
}

TEST_F(QuickInfoTest, LanguageChosenDuringACheckIsKept) {
    StartServer();
    m_server.FallSilent(2);  // keeps the check busy for about a second
    CheckServer();
    ASSERT_TRUE(m_game.ChooseItem(res::IDC_GAME_LANGUAGE, 3));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Shown().strStatus, "idle");
    EXPECT_EQ(m_game.GetCurSel(res::IDC_GAME_LANGUAGE), 3);
}

// Watches the game page: each time the Check button comes back, whether a
// check is still said to run at that very moment (the check's thread is
// the one that gives it back, so it is seen before that thread goes on).
class CCheckBackView : public framework::IPageView {
public:
    void OnPageChanged(framework::CPage& page, const framework::CControlChange& change) override {
        if (change.eWhat != framework::EChange::Enabled || change.nId != res::IDC_GAME_CHECK ||
            change.nValue != 1)
            return;
        if (static_cast<ui::CGameDlg&>(page).IsQuickInfoRunning()) m_nRunningWhenBack.fetch_add(1);
        m_nBack.fetch_add(1);
    }
    std::atomic<int> m_nBack{0};
    std::atomic<int> m_nRunningWhenBack{0};
};

// A Check pressed the moment the inputs come back must find the last check
// over; were it still running, the press would blank and lock the panel,
// be refused, and leave it locked.
TEST_F(QuickInfoTest, TheInputsComeBackOnlyOnceTheCheckIsOver) {
    StartServer();
    CCheckBackView view;
    m_game.AttachView(view);
    CheckServer();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return view.m_nBack.load() == 1; }));
    EXPECT_EQ(view.m_nRunningWhenBack.load(), 0);
    ASSERT_TRUE(WaitForEnd());
    // The next press is a check of its own, and gives everything back again.
    CheckServer();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return view.m_nBack.load() == 2; }));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_TRUE(InputsBack());
    EXPECT_EQ(view.m_nRunningWhenBack.load(), 0);
    m_game.DetachView(view);
}

}  // namespace
