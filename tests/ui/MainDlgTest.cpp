// The main window driven headless as the operator drives it: the tabs and
// their pages, Broadcast with a page that refuses, Apply, Quit against the
// close box, Enter and Escape, and the end of every worker thread before
// the pages go. Peers on 127.0.0.1: a scripted IRC server and the stand-in
// game server. The test thread is the UI thread: it runs the dispatcher's
// queued work while it waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config/TempFolder.h"
#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "irc/IrcSession.h"
#include "platform/Socket.h"
#include "res/Resource.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"
#include "ui/AboutDlg.h"
#include "ui/BotApp.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"
#include "ui/MainDlg.h"
#include "ui/TrafficMeter.h"
#include "ui/UpdateCheck.h"

namespace {

using framework::CMessage;
using framework::EIcon;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

constexpr char kQuit[] = "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay";
const CMessage kFillOut{"Fill out all Inputfields!", "Error", EIcon::Error};
constexpr auto kLong = std::chrono::seconds(10);

// A complete settings file; an empty IRC server makes the IRC page refuse.
std::string SettingsText(const std::string& strIrcServer, uint16_t nIrcPort,
                         const std::string& strGameServer, uint16_t nGamePort) {
    return "irc_Server=" + strIrcServer + "\r\nirc_Port=" + std::to_string(nIrcPort) +
           "\r\nirc_Nick=bot\r\nirc_altNick=bot2\r\nirc_Channel=#relay\r\nirc_Auth=no\r\n"
           "irc_Username=\r\nirc_Password=\r\nirc_Network=0\r\nirc_Tickettime=60\r\n"
           "bf_Language=0\r\nbf_Server=" +
           strGameServer + "\r\nbf_Port=" + std::to_string(nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=yes\r\n";
}

class MainDlgTest : public testing::Test {
protected:
    MainDlgTest() { m_dispatcher.BindToCurrentThread(); }
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_sim.Start());
    }
    void TearDown() override {
        if (!m_pMain) return;
        EXPECT_EQ(m_pMain->UnknownIdUses(), 0u);
        m_pMain->DestroyWindow();
    }

    std::string SettingsPath() const { return m_folder / "settings.ini"; }
    void WriteSettings(bool bIrcServer = true, bool bGameServer = true,
                       const std::string& strGameServer = "127.0.0.1") {
        ASSERT_TRUE(WriteWholeFile(SettingsPath(),
                                   SettingsText(bIrcServer ? "127.0.0.1" : "", m_irc.Port(),
                                                bGameServer ? strGameServer : "", m_sim.Port())));
    }
    // The update check contacts nothing unless a test names a host.
    ui::CMainDlg::COptions Options(const std::string& strUpdateHost = "", uint16_t nUpdatePort = 0) {
        ui::CMainDlg::COptions options;
        options.strSettingsPath = SettingsPath();
        options.strUpdateHost = strUpdateHost;
        options.nUpdatePort = nUpdatePort;
        return options;
    }
    void Open(ui::CMainDlg::COptions options) {
        m_pMain =
            std::make_unique<ui::CMainDlg>(m_dispatcher, platform::SystemClock(), std::move(options));
        ASSERT_TRUE(m_pMain->Create(m_sink));
        ASSERT_NE(m_pMain->IrcPage(), nullptr);
    }
    void Open() { Open(Options()); }

    ui::CMainDlg& Main() const { return *m_pMain; }
    ui::CIrcDlg& Irc() const { return *m_pMain->IrcPage(); }
    ui::CGameDlg& Game() const { return *m_pMain->GamePage(); }
    std::string Broadcast() const { return Main().GetItemText(res::IDC_MAIN_BROADCAST); }
    template <typename Pred>
    bool RunUntil(Pred pred) {
        return testsupport::WaitUntil(
            [&] {
                m_dispatcher.RunPending();
                return pred();
            },
            kLong);
    }
    bool IrcConnected() {
        return RunUntil([&] { return Irc().m_bSessionActive && Irc().IsIrcThreadRunning(); });
    }
    bool GameRunning() {
        return RunUntil([&] {
            return Game().IsMonitoring() && Game().IsMonitorRunning() && m_sim.StatusRequests() >= 3;
        });
    }
    // Every line the scripted server got on connection n, once it has ended.
    std::vector<std::string> LinesAfterEnd(int nConn) {
        EXPECT_TRUE(testsupport::WaitUntil([&] { return m_irc.ClosedByPeer(nConn); }, kLong));
        return m_irc.Lines(nConn);
    }
    static int Count(const std::vector<std::string>& lines, const std::string& strLine) {
        int n = 0;
        for (const std::string& s : lines) n += s == strLine;
        return n;
    }

    framework::CDispatcher m_dispatcher;
    framework::CRecordingMessageSink m_sink;
    testsupport::CTempFolder m_folder;
    testsupport::CScriptedTcpServer m_irc;
    bf42sim::CSimServer m_sim;
    std::unique_ptr<ui::CMainDlg> m_pMain;
};

TEST_F(MainDlgTest, OpensWithFourTabsCarryingTheirPagesAndTheFirstStartDefaults) {
    Open();  // no settings file: the defaults
    const std::vector<std::string> captions = {"IRC", "BF42", "Settings", "Information"};
    EXPECT_EQ(Main().GetListItems(res::IDC_MAIN_TAB), captions);
    const framework::CPage* pages[] = {Main().IrcPage(), Main().GamePage(), Main().SettingsPage(),
                                       Main().AboutPage()};
    for (int n = 0; n < ui::CMainDlg::kTabCount; ++n) {
        SCOPED_TRACE(captions[static_cast<size_t>(n)]);
        const framework::CPage* pPage = pages[n];
        ASSERT_NE(pPage, nullptr);
        EXPECT_EQ(Main().GetTabItemParam(res::IDC_MAIN_TAB, n), pPage);
        EXPECT_TRUE(pPage->IsCreated());
        EXPECT_EQ(pPage->Parent(), &Main());
        EXPECT_EQ(pPage->HostId(), res::IDC_MAIN_TAB);
        EXPECT_EQ(pPage->IsWindowVisible(), n == ui::CMainDlg::kTabIrc);
        const framework::CPageSnapshot snap = pPage->Snapshot();
        EXPECT_EQ(snap.nX, ui::CMainDlg::kPageX);
        EXPECT_EQ(snap.nY, ui::CMainDlg::kPageY);
    }
    EXPECT_EQ(Game().m_pIrcLink, static_cast<bridge::IIrcLink*>(&Irc()));
    // Both sides read the one game state the window holds.
    EXPECT_EQ(&Game().GameShared(), &Irc().GameShared());
    EXPECT_EQ(Game().m_pColorDlg, Main().SettingsPage());

    EXPECT_EQ(Main().GetWindowText(), "fragrelay");
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_EQ(Main().GetItemText(res::IDC_MAIN_APPLY), "Apply");
    EXPECT_EQ(Main().GetItemText(res::IDC_MAIN_QUIT), "Quit");
    EXPECT_EQ(Main().GetItemText(res::IDC_MAIN_TRAFFIC), "Traffic: 0 kb/s");
    // The loaded values were in the fields before the pages' windows existed.
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_NICK), "fraghorn");
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_PORT), "6667");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PORT), "23000");
    EXPECT_EQ(Main().SettingsPage()->GetItemText(res::IDC_COLOR_ALLIED_KILL), "02");

    // The shell's threads: the meter runs, the check without a host ends.
    ASSERT_NE(Main().TrafficMeter(), nullptr);
    EXPECT_TRUE(Main().TrafficMeter()->IsRunning());
    ASSERT_NE(Main().UpdateCheck(), nullptr);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Main().UpdateCheck()->HasEnded(); }));
    EXPECT_EQ(Main().UpdateCheck()->Attempts(), 0);
    // Opening writes nothing and connects nothing.
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{});
    EXPECT_EQ(m_irc.Connections(), 0);
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(MainDlgTest, TabsShowExactlyOnePageAtATime) {
    Open();
    for (int nTab : {2, 1, 3, 0, 3}) {
        ASSERT_TRUE(Main().ChooseItem(res::IDC_MAIN_TAB, nTab));
        for (int n = 0; n < ui::CMainDlg::kTabCount; ++n) {
            EXPECT_EQ(Main().GetTabItemParam(res::IDC_MAIN_TAB, n)->IsWindowVisible(), n == nTab)
                << "tab " << nTab << ", page " << n;
        }
    }
}

TEST_F(MainDlgTest, EnterAndEscapeNeverCloseTheWindow) {
    Open();
    ASSERT_TRUE(Main().FocusItem(res::IDC_MAIN_TAB));
    Main().PressEnter();
    Main().PressEscape();
    ui::CColorDlg& settings = *Main().SettingsPage();
    ASSERT_TRUE(Main().ChooseItem(res::IDC_MAIN_TAB, ui::CMainDlg::kTabSettings));
    ASSERT_TRUE(settings.FocusItem(res::IDC_COLOR_STATUS));
    settings.PressEnter();
    settings.PressEscape();
    EXPECT_FALSE(Main().IsEnded());
    EXPECT_FALSE(settings.IsEnded());
    EXPECT_TRUE(m_sink.Messages().empty());
}

// Quit and the close box both end the run; only Quit says goodbye and saves.
struct CEndRow {
    const char* pszName;
    bool bConnected;  // the IRC side runs when the run ends
    bool bQuit;       // Quit; else the close box
    int nResult;
    bool bSaved;
};

class MainDlgEnd : public MainDlgTest, public testing::WithParamInterface<CEndRow> {};

TEST_P(MainDlgEnd, EndsTheRun) {
    const CEndRow& row = GetParam();
    WriteSettings();
    const std::string strBefore = ReadWholeFile(SettingsPath());
    Open();
    if (row.bConnected) {
        ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
        ASSERT_TRUE(IrcConnected());
    }
    // Typed but not yet applied: only a save takes it to the file.
    ASSERT_EQ(Game().TypeText(res::IDC_GAME_PORT, "4711"), "4711");

    if (row.bQuit) {
        ASSERT_TRUE(Main().Click(res::IDC_MAIN_QUIT));
    } else {
        Main().PressClose();
    }
    EXPECT_TRUE(Main().IsEnded());
    EXPECT_EQ(Main().ModalResult(), row.nResult);
    const std::string strAfter = ReadWholeFile(SettingsPath());
    if (row.bSaved) {
        EXPECT_NE(strAfter.find("\r\nbf_Port=4711\r\n"), std::string::npos) << strAfter;
    } else {
        EXPECT_EQ(strAfter, strBefore);
    }
    EXPECT_TRUE(m_sink.Messages().empty());  // an unsent QUIT shows nothing

    if (row.bConnected && row.bQuit) {
        // The server closes the link after QUIT, as ngircd does: the bot,
        // which would reconnect after an ERROR, stays away.
        ASSERT_TRUE(m_irc.WaitForLine(0, kQuit));
        ASSERT_TRUE(m_irc.Send(0, "ERROR :Closing connection\r\n"));
        m_irc.Close(0);
        EXPECT_TRUE(RunUntil([&] { return !Irc().IsIrcThreadRunning(); }));
        EXPECT_EQ(m_irc.Connections(), 1);
    }
    // The window goes: the IRC thread is ended without a word of its own.
    Main().DestroyWindow();
    EXPECT_EQ(Main().IrcPage(), nullptr);
    if (row.bConnected) {
        const std::vector<std::string> lines = LinesAfterEnd(0);
        EXPECT_EQ(Count(lines, kQuit), row.bQuit ? 1 : 0) << testing::PrintToString(lines);
    } else {
        EXPECT_EQ(m_irc.Connections(), 0);
    }
}

const CEndRow kEndRows[] = {
    {"QuitConnected", true, true, framework::IDCANCEL, true},
    {"QuitUnconnected", false, true, framework::IDCANCEL, true},
    {"CloseBoxConnected", true, false, framework::IDOK, false},
    {"CloseBoxUnconnected", false, false, framework::IDOK, false},
};
INSTANTIATE_TEST_SUITE_P(Rows, MainDlgEnd, testing::ValuesIn(kEndRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(MainDlgTest, ApplyTakesTheControlsOfTheThreePagesAndWritesTheSameFileTwice) {
    Open();
    Irc().TypeText(res::IDC_IRC_CHANNEL, "#typed");
    Game().TypeText(res::IDC_GAME_PORT, "4711");
    Main().SettingsPage()->TypeText(res::IDC_COLOR_STATUS, "07");
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_APPLY));
    const std::string strFirst = ReadWholeFile(SettingsPath());
    for (const char* pszLine :
         {"\r\nirc_Channel=#typed\r\n", "\r\nbf_Port=4711\r\n", "\r\nstatus_farbe=07\r\n"}) {
        EXPECT_NE(strFirst.find(pszLine), std::string::npos) << pszLine << " in " << strFirst;
    }
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_APPLY));
    EXPECT_EQ(ReadWholeFile(SettingsPath()), strFirst);
    EXPECT_FALSE(Main().IsEnded());
    EXPECT_TRUE(m_sink.Messages().empty());
}

// Regression: a port beyond 16 bits became 0 in the field and Apply saved
// irc_Port=0 without a word. Apply refuses it as Connect does, and the file
// keeps the port it had; a port that fits is saved again.
TEST_F(MainDlgTest, ApplyRefusesAPortBeyondSixteenBitsAndKeepsTheStoredOne) {
    WriteSettings();
    const std::string strBefore = ReadWholeFile(SettingsPath());
    Open();
    Irc().TypeText(res::IDC_IRC_PORT, "70000");
    EXPECT_FALSE(Main().OnApply());
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{kFillOut});
    EXPECT_EQ(ReadWholeFile(SettingsPath()), strBefore);
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_PORT), "70000");  // left for the operator to mend
    Irc().TypeText(res::IDC_IRC_PORT, "6697");
    EXPECT_TRUE(Main().OnApply());
    EXPECT_NE(ReadWholeFile(SettingsPath()).find("\r\nirc_Port=6697\r\n"), std::string::npos);
    EXPECT_EQ(m_sink.Count(), 1u);
}

// Regression: Apply during a session wrote the server's spelling of the
// channel (from the bot's join) to the file instead of the operator's.
TEST_F(MainDlgTest, ApplyDuringASessionSavesTheChannelAsTyped) {
    WriteSettings();
    Open();
    ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    ASSERT_TRUE(m_irc.Send(0, ":bot!b@h JOIN :#RELAY\r\n"));
    ASSERT_TRUE(RunUntil([&] { return Irc().IsInChannel(); }));
    EXPECT_EQ(Irc().GetChannel(), "#RELAY");  // the checks use the server's spelling

    EXPECT_TRUE(Main().OnApply());
    const std::string strSaved = ReadWholeFile(SettingsPath());
    EXPECT_NE(strSaved.find("\r\nirc_Channel=#relay\r\n"), std::string::npos) << strSaved;
    EXPECT_EQ(Irc().GetChannel(), "#RELAY");  // and Apply left the session's alone
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CHANNEL), "#relay");
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(MainDlgTest, BroadcastWithARefusingIrcPageKeepsTheGameSideAndTriesAgain) {
    WriteSettings(/*bIrcServer=*/false);
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    // The IRC page said why; the game side started anyway.
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{kFillOut});
    ASSERT_TRUE(GameRunning());
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_FALSE(Game().m_bBroadcast);
    EXPECT_TRUE(Main().IsItemEnabled(res::IDC_MAIN_BROADCAST));

    // A second press tries the IRC side again and leaves the game side be.
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_EQ(m_sink.Messages(), (std::vector<CMessage>{kFillOut, kFillOut}));
    EXPECT_TRUE(Game().IsMonitoring());
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Disconnect");
    EXPECT_EQ(Broadcast(), "Start Broadcast");

    // With the server filled in, both sides run and relaying is on.
    Irc().TypeText(res::IDC_IRC_SERVER, "127.0.0.1");
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    EXPECT_TRUE(Game().m_bBroadcast);
    EXPECT_EQ(Broadcast(), "Stop Broadcast");
    EXPECT_EQ(m_sink.Count(), 2u);

    // Off: the game side stops, then the IRC side says goodbye.
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_FALSE(Game().m_bBroadcast);
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Connect");
    EXPECT_FALSE(Irc().m_bSessionActive);
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
    EXPECT_TRUE(RunUntil([&] { return !Game().IsMonitorRunning(); }));
}

// Broadcast means "keep relaying": the IRC side keeps trying while it is on,
// even when the first connect is refused, and stops when it goes off.
TEST_F(MainDlgTest, BroadcastKeepsTheIrcSideTryingUntilItIsSwitchedOff) {
    uint16_t nClosedPort = 0;
    {
        testsupport::CScriptedTcpServer gone;
        nClosedPort = gone.Port();
    }
    ASSERT_TRUE(WriteWholeFile(SettingsPath(),
                               SettingsText("127.0.0.1", nClosedPort, "127.0.0.1", m_sim.Port())));
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_TRUE(Irc().IsKeepAlive());
    ASSERT_TRUE(IrcConnected());
    EXPECT_EQ(Broadcast(), "Stop Broadcast");
    EXPECT_TRUE(RunUntil([&] { return Irc().State() == irc::CIrcSession::EState::Waiting; }));
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Disconnect");

    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_FALSE(Irc().IsKeepAlive());
    EXPECT_TRUE(RunUntil([&] { return !Irc().IsIrcThreadRunning(); }));
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Connect");
    EXPECT_TRUE(m_sink.Messages().empty());
}

// Stop Broadcast: the monitor's last lines reach the channel before QUIT.
TEST_F(MainDlgTest, StopBroadcastLetsTheClosingLineGoBeforeQuit) {
    WriteSettings();
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(m_irc.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    ASSERT_TRUE(m_irc.Send(0, ":srv 376 bot :End of MOTD\r\n"));
    ASSERT_TRUE(m_irc.WaitForLine(0, "JOIN #relay"));
    ASSERT_TRUE(m_irc.Send(0, ":bot!b@h JOIN :#relay\r\n"));
    ASSERT_TRUE(RunUntil([&] { return Irc().IsInChannel(); }));
    ASSERT_TRUE(GameRunning());

    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(m_irc.WaitForLine(0, kQuit, kLong));
    const std::vector<std::string> lines = m_irc.Lines(0);
    const auto itClosed = std::find_if(lines.begin(), lines.end(), [](const std::string& s) {
        return s.rfind("PRIVMSG #relay :", 0) == 0 && s.find("Broadcast closed") != s.npos;
    });
    ASSERT_NE(itClosed, lines.end()) << testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), kQuit);
}

TEST_F(MainDlgTest, BroadcastOverSidesConnectedByTheirOwnButtonsOnlySwitchesRelaying) {
    m_sim.StartLive(5, 64, 1000);  // replies of several kB a second
    WriteSettings();
    Open();
    ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(GameRunning());
    EXPECT_EQ(Broadcast(), "Start Broadcast");  // a page's own button leaves it

    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_TRUE(Game().m_bBroadcast);
    EXPECT_EQ(Broadcast(), "Stop Broadcast");
    EXPECT_EQ(m_irc.Connections(), 1);  // no second connection
    EXPECT_TRUE(Game().IsMonitorRunning());
    EXPECT_TRUE(m_sink.Messages().empty());
    // The read-out counts what the game page's monitor receives.
    EXPECT_TRUE(RunUntil([&] {
        return Main().GetItemText(res::IDC_MAIN_TRAFFIC) != "Traffic: 0 kb/s";
    })) << Main().GetItemText(res::IDC_MAIN_TRAFFIC);
}

// Broadcast keeps the game side alive: a game server that cannot be reached
// leaves the tab running and waiting for its next try (so broadcasting
// comes on), and Stop Broadcast ends the wait and the keep-alive.
TEST_F(MainDlgTest, BroadcastKeepsTheGameSideAliveUntilStopBroadcast) {
    WriteSettings(true, true, "no..such..host");  // refused by the resolver itself
    Open();
    EXPECT_FALSE(Game().IsKeepAlive());
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    EXPECT_TRUE(Game().IsKeepAlive());
    ASSERT_TRUE(RunUntil([&] {
        return Game().GetItemText(res::IDC_GAME_LOG).find("Trying again in ") != std::string::npos;
    }));
    EXPECT_EQ(Broadcast(), "Stop Broadcast");
    EXPECT_TRUE(Game().IsMonitoring());
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Disconnect");

    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_FALSE(Game().IsKeepAlive());
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Connect");
    EXPECT_TRUE(RunUntil([&] { return !Game().IsMonitorRunning(); }));
    const std::string strLog = Game().GetItemText(res::IDC_GAME_LOG);
    EXPECT_EQ(strLog.substr(strLog.rfind('\n') + 1), "* * * * * * [Broadcast closed] * * * * * * ");
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
}

// Presses Stop Broadcast from the game tab's failure path: at the moment a
// failed run has turned the tab's caption back to "Connect", before its
// monitor has finished, as an operator's click could land.
class CStopBroadcastOnIdleView : public framework::IPageView {
public:
    CStopBroadcastOnIdleView(ui::CMainDlg& main, std::thread::id uiThread)
        : m_main(main), m_uiThread(uiThread) {}
    void OnPageChanged(framework::CPage&, const framework::CControlChange& change) override {
        if (change.eWhat != framework::EChange::Text || change.nId != res::IDC_GAME_CONNECT ||
            change.strText != "Connect" || std::this_thread::get_id() == m_uiThread)
            return;
        if (m_bPressed.exchange(true)) return;
        m_main.Click(res::IDC_MAIN_BROADCAST);
        m_bDone = true;
    }
    std::atomic<bool> m_bDone{false};

private:
    ui::CMainDlg& m_main;
    const std::thread::id m_uiThread;
    std::atomic<bool> m_bPressed{false};
};

// Stop Broadcast decides from the game tab's run state: a run that failed
// and turned the tab idle is not taken for one to stop, and no run starts.
TEST_F(MainDlgTest, StopBroadcastWhileAFailedRunReturnsToIdleNeverStartsARun) {
    WriteSettings();
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(GameRunning());
    ASSERT_EQ(Broadcast(), "Stop Broadcast");
    // The tab's own run, not kept alive, on a host the resolver refuses.
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(RunUntil(
        [&] { return !Game().IsMonitorRunning() && Game().IsItemEnabled(res::IDC_GAME_CONNECT); }));
    Game().SetKeepAlive(false);
    Game().TypeText(res::IDC_GAME_SERVER, "no..such..host");
    CStopBroadcastOnIdleView view(Main(), std::this_thread::get_id());
    Game().AttachView(view);
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(RunUntil([&] { return view.m_bDone.load() && !Game().IsMonitorRunning(); }));
    Game().DetachView(view);
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Connect");
    EXPECT_FALSE(Game().IsMonitoring());
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_LOG).find("The previous run is still ending"),
              std::string::npos);
}

// Start Broadcast decides from the IRC session's state: after the IRC
// thread ended on its own, and before its page's posted return to the
// disconnected look has run, it connects instead of disconnecting.
TEST_F(MainDlgTest, StartBroadcastConnectsWhenTheIrcSessionEndedBeforeItsPageCaughtUp) {
    WriteSettings();
    Open();
    ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    m_irc.Close(0);
    // This thread runs no queued work until the press below.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !Irc().IsIrcThreadRunning(); }, kLong));
    ASSERT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Disconnect");
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_TRUE(Irc().m_bSessionActive);
    EXPECT_TRUE(m_irc.WaitForConnections(2));
    EXPECT_EQ(Broadcast(), "Stop Broadcast");
    // The stale return, run now, leaves the new session's look alone.
    m_dispatcher.RunPending();
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Disconnect");
}

// Every worker runs when the window goes: IRC, the update check waiting on
// a silent server, the traffic meter, and on the game side either the
// monitor with its ticket reporter or a quick-info check the server keeps
// waiting (the game tab never runs both at once).
class MainDlgStop : public MainDlgTest, public testing::WithParamInterface<bool> {};

TEST_P(MainDlgStop, StopThreadsEndsEveryWorkerBeforeThePagesGo) {
    const bool bQuickInfo = GetParam();
    // An update server that takes the request and never answers.
    platform::CSocket silentHttp = platform::CSocket::CreateTcp();
    ASSERT_TRUE(silentHttp.Bind(platform::LoopbackAddress()));
    ASSERT_TRUE(silentHttp.Listen());
    WriteSettings();
    Open(Options("127.0.0.1", silentHttp.LocalPort()));
    if (bQuickInfo) {
        m_sim.FallSilent(1000);
        ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
        ASSERT_TRUE(Game().Click(res::IDC_GAME_CHECK));
        ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.SilencedRequests() >= 1; }));
        ASSERT_TRUE(Game().IsQuickInfoRunning());
    } else {
        ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
        ASSERT_TRUE(GameRunning());
    }
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Main().UpdateCheck()->Attempts() == 1; }));
    ui::CTrafficMeter& meter = *Main().TrafficMeter();
    ui::CUpdateCheck& update = *Main().UpdateCheck();
    ASSERT_TRUE(meter.IsRunning());
    ASSERT_FALSE(update.HasEnded());

    const auto start = std::chrono::steady_clock::now();
    Main().StopThreads();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("[ figure ] every worker thread stopped and joined in %lld ms\n",
                static_cast<long long>(ms.count()));
    EXPECT_FALSE(Irc().IsIrcThreadRunning());
    EXPECT_FALSE(Game().IsMonitorRunning());
    EXPECT_FALSE(Game().IsMonitoring());
    EXPECT_FALSE(Game().IsQuickInfoRunning());
    EXPECT_FALSE(meter.IsRunning());
    EXPECT_TRUE(update.HasEnded());
    // Nothing more goes to the channel, and stopping is not quitting.
    EXPECT_FALSE(Game().m_bBroadcast);
    Main().DestroyWindow();
    EXPECT_EQ(Count(LinesAfterEnd(0), kQuit), 0);
    EXPECT_EQ(Main().GamePage(), nullptr);
    EXPECT_EQ(Main().TrafficMeter(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(GameSide, MainDlgStop, testing::Values(false, true), [](const auto& info) {
    return std::string(info.param ? "QuickInfoCheck" : "Monitor");
});

// The headless start: what Broadcast does, and whether a side started.
struct CStartRow {
    const char* pszName;
    bool bSettings;  // a settings file for the two local servers
    bool bIrcServer;
    bool bGameServer;
    bool bStarted;
    size_t nMessages;
};

class BotAppStart : public MainDlgTest, public testing::WithParamInterface<CStartRow> {};

TEST_P(BotAppStart, ReportsWhetherASideStarted) {
    const CStartRow& row = GetParam();
    if (row.bSettings) WriteSettings(row.bIrcServer, row.bGameServer);
    ui::CBotApp app(m_dispatcher, platform::SystemClock(), Options());
    ASSERT_TRUE(app.InitInstance(m_sink));
    EXPECT_FALSE(app.InitInstance(m_sink));
    EXPECT_EQ(app.StartAsBroadcast(), row.bStarted);
    EXPECT_EQ(m_sink.Count(), row.nMessages);
    EXPECT_EQ(
        app.MainDlg()->GetItemText(res::IDC_MAIN_BROADCAST),
        row.bSettings && row.bIrcServer && row.bGameServer ? "Stop Broadcast" : "Start Broadcast");
    app.ExitInstance();
    EXPECT_EQ(app.MainDlg(), nullptr);
    app.ExitInstance();
}

const CStartRow kStartRows[] = {
    // No file: the defaults lack a channel and a game server.
    {"NoSettingsFile", false, true, true, false, 2},
    {"GameSideOnly", true, false, true, true, 1},
    {"IrcSideOnly", true, true, false, true, 1},
    {"BothSides", true, true, true, true, 0},
};
INSTANTIATE_TEST_SUITE_P(Rows, BotAppStart, testing::ValuesIn(kStartRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

}  // namespace
