// The BF42 tab of the window as a view over the bot: its look in each state
// the bot tells, Connect's copy of the run's settings (this page's and the
// Settings page's), the refusal of missing inputs, and the quick-info
// panel with the inputs a check locks and gives back. The test thread is
// the UI thread; the game server is the stand-in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "support/BotRecorder.h"
#include "ui/WindowSettings.h"

namespace uitest {
namespace {

using framework::CMessage;

// Settings page colour edits in the order allied kill, axis kill, status,
// allied flag, axis flag, value, key.
constexpr int kColorEdits[] = {1020, 1006, 1021, 1007, 1008, 1011, 1010};
constexpr int kFilterBoxes[] = {1059, 1060, 1061, 1062};
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

// A settings file that names no language.
class GameDlgTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteSettings(true, true, "127.0.0.1", /*nLanguage=*/-1);
        Open();
    }
    void FillInputs(const std::vector<const char*>& colors = {"7", "5", "14", "12", "4", "14",
                                                              "10"}) {
        for (size_t n = 0; n < colors.size(); ++n) Colors().TypeText(kColorEdits[n], colors[n]);
        Game().TypeText(res::IDC_GAME_SERVER, "127.0.0.1");
        Game().TypeText(res::IDC_GAME_PORT, std::to_string(m_sim.Port()));
    }
    // The look of an idle tab, and the bot idle behind it.
    bool IsIdle() const {
        return Game().GetItemText(res::IDC_GAME_CONNECT) == "Connect" &&
               Game().IsItemEnabled(res::IDC_GAME_CONNECT) &&
               !Game().IsItemEnabled(res::IDC_GAME_PAUSE) &&
               Game().IsItemEnabled(res::IDC_GAME_CHECK) &&
               Game().IsItemEnabled(res::IDC_GAME_LANGUAGE) &&
               !Game().IsReadOnly(res::IDC_GAME_SERVER) && !Game().IsReadOnly(res::IDC_GAME_PORT) &&
               !Colors().IsReadOnly(kColorEdits[0]) && Colors().IsItemEnabled(kFilterBoxes[0]) &&
               Bot().State().m_game.m_eWanted == bridge::EGameState::Idle;
    }
    Panel Shown() const {
        const ui::CGameDlg& g = Game();
        return {g.GetItemText(res::IDC_QI_HOSTNAME), g.GetItemText(res::IDC_QI_GAMEPORT),
                g.GetItemText(res::IDC_QI_MOD),      g.GetItemText(res::IDC_QI_MAP),
                g.GetItemText(res::IDC_QI_PLAYERS),  g.GetItemText(res::IDC_QI_VERSION),
                g.GetItemText(res::IDC_QI_STATUS)};
    }
    Panel Fields() const {
        const query::CQuickInfoResult shown = Game().QuickInfoShown();
        return {shown.m_strHostname, shown.m_strGamePort, shown.m_strMod,   shown.m_strMap,
                shown.m_strPlayers,  shown.m_strVersion,  shown.m_strStatus};
    }
    bool InputsBack() const {
        return Game().IsItemEnabled(res::IDC_GAME_CHECK) &&
               !Game().IsReadOnly(res::IDC_GAME_SERVER) && !Game().IsReadOnly(res::IDC_GAME_PORT);
    }
    bool CheckOver() {
        return RunUntil([&] { return !Bot().State().m_bQuickInfoRunning && InputsBack(); });
    }
};

TEST_F(GameDlgTest, StartsIdleWithItsCaptions) {
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PAUSE), "Pause");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CHECK), "Check");
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_LOG));
    EXPECT_EQ(Game().GetCurSel(res::IDC_GAME_LANGUAGE), -1);  // the file names none
    EXPECT_EQ(Game().GetItemText(res::IDC_QI_STATUS), "");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PORT), std::to_string(m_sim.Port()));
    EXPECT_FALSE(Bot().State().m_bBroadcast);
}

// The look follows what the bot tells, never a caption read back.
struct CLookRow {
    const char* m_pszName;
    bridge::EGameState m_eWanted;
    bool m_bAlive;
    bool m_bReady;
    bool m_bQuickInfo;
    const char* m_pszConnect;
    bool m_bConnectEnabled;
    const char* m_pszPause;
    bool m_bPauseEnabled;
    bool m_bInputsLocked;  // Check disabled, server and port read-only
    bool m_bRunLocked;     // language disabled, the Settings page locked
};

void PrintTo(const CLookRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

class GameDlgLook : public GameDlgTest, public testing::WithParamInterface<CLookRow> {};

TEST_P(GameDlgLook, FollowsTheStateTheBotTells) {
    const CLookRow& row = GetParam();
    core::CBotState state;
    state.m_game.m_eWanted = row.m_eWanted;
    state.m_game.m_bMonitorAlive = row.m_bAlive;
    state.m_game.m_bReady = row.m_bReady;
    state.m_bQuickInfoRunning = row.m_bQuickInfo;
    Game().ShowState(state);
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), row.m_pszConnect);
    EXPECT_EQ(Game().IsItemEnabled(res::IDC_GAME_CONNECT), row.m_bConnectEnabled);
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PAUSE), row.m_pszPause);
    EXPECT_EQ(Game().IsItemEnabled(res::IDC_GAME_PAUSE), row.m_bPauseEnabled);
    EXPECT_EQ(Game().IsItemEnabled(res::IDC_GAME_CHECK), !row.m_bInputsLocked);
    EXPECT_EQ(Game().IsReadOnly(res::IDC_GAME_SERVER), row.m_bInputsLocked);
    EXPECT_EQ(Game().IsReadOnly(res::IDC_GAME_PORT), row.m_bInputsLocked);
    EXPECT_EQ(Game().IsItemEnabled(res::IDC_GAME_LANGUAGE), !row.m_bRunLocked);
    for (int nId : kColorEdits) EXPECT_EQ(Colors().IsReadOnly(nId), row.m_bRunLocked) << nId;
    for (int nId : kFilterBoxes) EXPECT_EQ(Colors().IsItemEnabled(nId), !row.m_bRunLocked) << nId;
    // And back to rest.
    Game().ShowState(core::CBotState{});
    EXPECT_TRUE(IsIdle());
}

using bridge::EGameState;
// clang-format off
const CLookRow kLookRows[] = {
    {"Idle", EGameState::Idle, false, false, false, "Connect", true, "Pause", false, false, false},
    // Stopped, but its monitor still sends its last line: no new run yet.
    {"IdleWhileTheLastRunEnds", EGameState::Idle, true, false, false, "Connect", false, "Pause",
     false, false, false},
    {"RunningBeingSetUp", EGameState::Running, true, false, false, "Disconnect", false, "Pause",
     true, true, true},
    {"Running", EGameState::Running, true, true, false, "Disconnect", true, "Pause", true, true,
     true},
    {"Paused", EGameState::Paused, true, true, false, "Disconnect", false, "Unpause", true, true,
     true},
    {"CheckWhileIdle", EGameState::Idle, false, false, true, "Connect", true, "Pause", false, true,
     false},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, GameDlgLook, testing::ValuesIn(kLookRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST_F(GameDlgTest, ConnectLocksTheInputsAndTakesTheRunSettingsOfBothPages) {
    FillInputs();
    ASSERT_TRUE(Game().ChooseItem(res::IDC_GAME_LANGUAGE, 2));
    ASSERT_TRUE(Colors().Click(1060));  // teamkills off
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    Settle();
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Disconnect");
    // Enabled once the monitor is set up.
    ASSERT_TRUE(GameRunning());
    EXPECT_TRUE(Game().IsItemEnabled(res::IDC_GAME_PAUSE));
    EXPECT_FALSE(Game().IsItemEnabled(res::IDC_GAME_CHECK));
    EXPECT_FALSE(Game().IsItemEnabled(res::IDC_GAME_LANGUAGE));
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_PORT));
    for (int nId : kColorEdits) EXPECT_TRUE(Colors().IsReadOnly(nId)) << nId;
    for (int nId : kFilterBoxes) EXPECT_FALSE(Colors().IsItemEnabled(nId)) << nId;
    EXPECT_EQ(Bot().GameShared().GameState(), bridge::EGameState::Running);

    const core::CGameRunSettings run = Bot().GameSide().RunSettings();
    const monitor::CAnnounceSettings& s = run.m_announce;
    EXPECT_EQ(s.m_strAlliedKillColor, "07");  // one digit gets its "0"
    EXPECT_EQ(s.m_strAxisKillColor, "05");
    EXPECT_EQ(s.m_strStatusColor, "14");
    EXPECT_EQ(s.m_strAlliedFlagColor, "12");
    EXPECT_EQ(s.m_strAxisFlagColor, "04");
    EXPECT_EQ(s.m_strValueColor, "14");
    EXPECT_EQ(s.m_strKeyColor, "10");
    EXPECT_EQ(s.m_nLangBase, 200);
    EXPECT_EQ(s.m_strServer, "127.0.0.1");
    EXPECT_EQ(s.m_nQueryPort, m_sim.Port());
    EXPECT_TRUE(run.m_filters.m_bShowKill);
    EXPECT_FALSE(run.m_filters.m_bShowTk);
    EXPECT_TRUE(run.m_filters.m_bShowFlag);
    EXPECT_TRUE(run.m_bShowTicket);

    // Later changes on the Settings page wait for the next Connect.
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(RunUntil([&] { return IsIdle() && !Bot().State().m_game.m_bMonitorAlive; }));
    Colors().TypeText(kColorEdits[0], "3");
    EXPECT_EQ(Bot().GameSide().RunSettings().m_announce.m_strAlliedKillColor, "07");
}

TEST_F(GameDlgTest, ConnectWithoutALanguageHasNoPhraseBase) {
    FillInputs();
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    Settle();
    EXPECT_EQ(Bot().GameSide().RunSettings().m_announce.m_nLangBase, -100);
}

TEST_F(GameDlgTest, ConnectRefusesMissingInputsAndStaysIdle) {
    // In this order: the empty port keeps the 0 of the row before it.
    const struct {
        const char* m_pszName;
        const char* m_pszServer;
        const char* m_pszPort;
        int m_nEmptyColor;  // index into kColorEdits, -1 none
    } rows[] = {{"NoServer", "", "23000", -1},
                {"PortZero", "127.0.0.1", "0", -1},
                {"NoPort", "127.0.0.1", "", -1},
                {"KeyColourEmpty", "127.0.0.1", "23000", 6}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        FillInputs();
        Game().TypeText(res::IDC_GAME_SERVER, row.m_pszServer);
        Game().TypeText(res::IDC_GAME_PORT, row.m_pszPort);
        if (row.m_nEmptyColor >= 0) Colors().TypeText(kColorEdits[row.m_nEmptyColor], "");
        m_sink.Clear();
        ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
        Settle();
        EXPECT_EQ(m_sink.Last(), kFillOut);
        EXPECT_TRUE(IsIdle());
        EXPECT_EQ(Bot().State().m_game.m_eWanted, bridge::EGameState::Idle);
    }
    EXPECT_EQ(m_sim.StatusRequests(), 0);
}

// ---- The quick-info panel.

TEST_F(GameDlgTest, CheckFillsThePanelAndGivesTheInputsBack) {
    // The first request goes unanswered, so that the check still runs when
    // the test looks (a loopback answer can beat a busy test thread).
    m_sim.FallSilent(1);
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK));
    EXPECT_FALSE(Game().IsItemEnabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_EQ(Shown(),
              (Panel{kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, "receive status ..."}));
    ASSERT_TRUE(CheckOver());
    EXPECT_EQ(Shown(), (Panel{"bf42sim", "14567", "bf1942", "wake", "0/64", "v1.61", "idle"}));
    EXPECT_EQ(Fields(), Shown());
    EXPECT_FALSE(Game().IsReadOnly(res::IDC_GAME_PORT));

    // A failure blanks what the last check found.
    m_sim.FallSilent(-1);
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK));
    ASSERT_TRUE(CheckOver());
    EXPECT_EQ(Shown(), (Panel{kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, kNotFound}));
    EXPECT_EQ(Fields(), Shown());

    Game().TypeText(res::IDC_GAME_PORT, "0");
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK));
    Settle();
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{kFillOut});
    EXPECT_TRUE(InputsBack());
    EXPECT_EQ(Shown().m_strStatus, kNotFound);  // a refused check leaves the panel
}

TEST_F(GameDlgTest, LanguageChosenDuringACheckIsKept) {
    m_sim.FallSilent(2);  // keeps the check busy for about a second
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK));
    ASSERT_TRUE(Game().ChooseItem(res::IDC_GAME_LANGUAGE, 3));
    ASSERT_TRUE(CheckOver());
    EXPECT_EQ(Shown().m_strStatus, "idle");
    EXPECT_EQ(Game().GetCurSel(res::IDC_GAME_LANGUAGE), 3);
}

// Watches the game page: each time the Check button comes back, whether the
// bot still runs a check at that very moment.
class CCheckBackView : public framework::IPageView {
public:
    explicit CCheckBackView(core::CBot& bot) : m_bot(bot) {}
    void OnPageChanged(framework::CPage&, const framework::CControlChange& change) override {
        if (change.m_eWhat != framework::EChange::Enabled || change.m_nId != res::IDC_GAME_CHECK ||
            change.m_nValue != 1)
            return;
        if (m_bot.State().m_bQuickInfoRunning) m_nRunningWhenBack.fetch_add(1);
        m_nBack.fetch_add(1);
    }
    std::atomic<int> m_nBack{0};
    std::atomic<int> m_nRunningWhenBack{0};

private:
    core::CBot& m_bot;
};

// A Check pressed the moment the inputs come back must find the last check
// over; were it still running, the press would blank and lock the panel,
// be refused, and leave it locked.
TEST_F(GameDlgTest, TheInputsComeBackOnlyOnceTheCheckIsOver) {
    CCheckBackView view(Bot());
    Game().AttachView(view);
    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK)) << n;
        ASSERT_TRUE(RunUntil([&] { return view.m_nBack.load() == n; })) << n;
        EXPECT_TRUE(InputsBack());
        EXPECT_EQ(Shown().m_strHostname, "bf42sim");
    }
    EXPECT_EQ(view.m_nRunningWhenBack.load(), 0);
    Game().DetachView(view);
}

// The bot tells states, not every step between them: a check that begins
// and ends while the bot cannot tell (here the IRC thread's telling of its
// end is held until the check is over) leaves no state that says it ran.
// The tab, which locked its inputs at the press, must give them back with
// the result.
TEST(GameDlgCheckUntold, TheInputsComeBackWhenTheCheckWasNeverToldRunning) {
    framework::CDispatcher dispatcher;
    dispatcher.BindToCurrentThread();
    framework::CRecordingMessageSink sink;
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    testsupport::CScriptedTcpServer irc;
    bf42sim::CSimServer sim;
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(testsupport::WriteWholeFile(
        folder / "settings.ini", SettingsText("127.0.0.1", irc.Port(), "127.0.0.1", sim.Port())));
    ui::CWindowSettings file(folder / "settings.ini");
    core::CBot::COptions options;
    options.m_strSettingsFolder = folder.Path();
    core::CBot bot(file.Load(), options);
    ui::CMainDlg main(dispatcher, bot, file);
    ASSERT_TRUE(main.Create(sink));
    // After the window: a telling that this recorder holds keeps the bot's
    // state lock, so no other thread can tell a state meanwhile.
    testsupport::CBotRecorder held;
    std::mutex mutexHold;
    std::condition_variable cvHold;
    bool bArmed = false;
    bool bHolding = false;
    bool bReleased = false;
    held.SetOnState([&](const core::CBotState& state) {
        std::unique_lock<std::mutex> lock(mutexHold);
        if (!bArmed || state.m_irc.m_eState != irc::EIrcState::Idle) return;
        bArmed = false;
        bHolding = true;
        cvHold.notify_all();
        cvHold.wait_for(lock, std::chrono::seconds(20), [&] { return bReleased; });
    });
    bot.AddObserver(main);
    bot.AddObserver(held);
    bot.Start();
    const auto release = [&] {
        std::lock_guard<std::mutex> lock(mutexHold);
        bReleased = true;
        cvHold.notify_all();
    };
    // Whatever happens below, the bot's threads end before the window goes.
    struct CEndFirst {
        std::function<void()> m_fnRelease;
        core::CBot& m_bot;
        ~CEndFirst() {
            m_fnRelease();
            m_bot.Shutdown();
        }
    } endFirst{release, bot};
    const auto runUntil = [&](auto pred) {
        return testsupport::WaitUntil([&] {
            dispatcher.RunPending();
            return pred();
        });
    };

    // The server drops the bot: the IRC thread tells the session's end,
    // and is held there. Nothing changes after it.
    ASSERT_TRUE(bot.ConnectIrc());
    ASSERT_TRUE(irc.WaitForLine(0, kUser));
    ASSERT_TRUE(bot.WaitForCommands(5000));
    {
        std::lock_guard<std::mutex> lock(mutexHold);
        bArmed = true;
    }
    irc.Close(0);
    {
        std::unique_lock<std::mutex> lock(mutexHold);
        ASSERT_TRUE(cvHold.wait_for(lock, std::chrono::seconds(10), [&] { return bHolding; }));
    }
    ui::CGameDlg& game = *main.GamePage();
    dispatcher.RunPending();  // the tab has shown every state told so far
    ASSERT_TRUE(game.Click(res::IDC_GAME_CHECK));
    EXPECT_FALSE(game.IsItemEnabled(res::IDC_GAME_CHECK));
    // The check runs and ends while no state can be told.
    const bool bEnded = testsupport::WaitUntil(
        [&] { return held.QuickInfos().size() == 1 && !bot.State().m_bQuickInfoRunning; });
    release();
    ASSERT_TRUE(bEnded);
    EXPECT_TRUE(runUntil([&] {
        return game.IsItemEnabled(res::IDC_GAME_CHECK) && !game.IsReadOnly(res::IDC_GAME_SERVER) &&
               !game.IsReadOnly(res::IDC_GAME_PORT);
    })) << "the inputs stay locked after the check";
    EXPECT_EQ(game.GetItemText(res::IDC_QI_HOSTNAME), "bf42sim");
}

// Broadcast starts monitoring during a check: the check's end leaves the
// inputs the run uses locked.
TEST_F(GameDlgTest, ACheckEndingWhileMonitoringLeavesTheInputsLocked) {
    m_sim.FallSilent(1);  // the check's first request: it asks again half a second later
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK));
    ASSERT_TRUE(Bot().StartGame());
    ASSERT_TRUE(GameRunning());
    ASSERT_TRUE(RunUntil([&] { return Game().GetItemText(res::IDC_QI_HOSTNAME) == "bf42sim"; }));
    ASSERT_TRUE(RunUntil([&] { return !Bot().State().m_bQuickInfoRunning; }));
    Settle();
    EXPECT_EQ(m_sim.InfoRequests(), 2);
    EXPECT_FALSE(Game().IsItemEnabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_PORT));
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(GameIdle());
    EXPECT_TRUE(Game().IsItemEnabled(res::IDC_GAME_CHECK));
}

}  // namespace
}  // namespace uitest
