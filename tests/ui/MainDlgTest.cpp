// The main window driven headless as the operator drives it: the tabs and
// their pages, Broadcast with a side that refuses, Apply (and its question
// when the file changed on disk), Quit against the close box, Enter and
// Escape, and the end of the run. The bot's own decisions (which side
// starts, keep-alive, the order of the last lines) are the core's tests;
// here is what the window does with them. Peers on 127.0.0.1: a scripted
// IRC server and the stand-in game server. The test thread is the UI thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "platform/Socket.h"

namespace uitest {
namespace {

using framework::CMessage;
using framework::EIcon;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

class MainDlgTest : public WindowTest {};

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
        EXPECT_EQ(snap.m_nX, ui::CMainDlg::kPageX);
        EXPECT_EQ(snap.m_nY, ui::CMainDlg::kPageY);
    }

    EXPECT_EQ(Main().GetWindowText(), "fragrelay");
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_EQ(Main().GetItemText(res::IDC_MAIN_APPLY), "Apply");
    EXPECT_EQ(Main().GetItemText(res::IDC_MAIN_QUIT), "Quit");
    EXPECT_EQ(Main().GetItemText(res::IDC_MAIN_TRAFFIC), "Traffic: 0 kb/s");
    // The loaded values were in the fields before the pages' windows existed.
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_NICK), "fraghorn");
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_PORT), "6667");
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PORT), "23000");
    EXPECT_EQ(Colors().GetItemText(res::IDC_COLOR_ALLIED_KILL), "02");
    // The window and the bot hold the same values.
    EXPECT_EQ(Main().WindowSettings(), Bot().Settings());

    // The update check without a host ends at once.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Bot().UpdateCheck().HasEnded(); }));
    EXPECT_EQ(Bot().UpdateCheck().Attempts(), 0);
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
    ASSERT_TRUE(Main().ChooseItem(res::IDC_MAIN_TAB, ui::CMainDlg::kTabSettings));
    ASSERT_TRUE(Colors().FocusItem(res::IDC_COLOR_STATUS));
    Colors().PressEnter();
    Colors().PressEscape();
    EXPECT_FALSE(Main().IsEnded());
    EXPECT_FALSE(Colors().IsEnded());
    EXPECT_TRUE(m_sink.Messages().empty());
}

// Quit and the close box both end the run; only Quit says goodbye and saves.
struct CEndRow {
    const char* m_pszName;
    bool m_bConnected;  // the IRC side runs when the run ends
    bool m_bQuit;       // Quit; else the close box
    int m_nResult;
    bool m_bSaved;
};

class MainDlgEnd : public MainDlgTest, public testing::WithParamInterface<CEndRow> {};

TEST_P(MainDlgEnd, EndsTheRun) {
    const CEndRow& row = GetParam();
    WriteSettings();
    const std::string strBefore = ReadWholeFile(SettingsPath());
    Open();
    if (row.m_bConnected) {
        ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
        ASSERT_TRUE(IrcConnected());
        // Connected, not still connecting: an end during the connect says
        // nothing to the server.
        ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    }
    // Typed but not yet applied: only a save takes it to the file.
    ASSERT_EQ(Game().TypeText(res::IDC_GAME_PORT, "4711"), "4711");

    if (row.m_bQuit) {
        ASSERT_TRUE(Main().Click(res::IDC_MAIN_QUIT));
    } else {
        Main().PressClose();
    }
    EXPECT_TRUE(Main().IsEnded());
    EXPECT_EQ(Main().ModalResult(), row.m_nResult);
    const std::string strAfter = ReadWholeFile(SettingsPath());
    if (row.m_bSaved) {
        EXPECT_NE(strAfter.find("\r\nbf_Port=4711\r\n"), std::string::npos) << strAfter;
    } else {
        EXPECT_EQ(strAfter, strBefore);
    }

    if (row.m_bConnected && row.m_bQuit) {
        // The server closes the link after QUIT, as ngircd does: the bot,
        // which would reconnect after an ERROR, stays away.
        ASSERT_TRUE(m_irc.WaitForLine(0, kQuit));
        ASSERT_TRUE(m_irc.Send(0, "ERROR :Closing connection\r\n"));
        m_irc.Close(0);
        EXPECT_TRUE(RunUntil([&] { return Bot().State().m_irc.m_eState == irc::EIrcState::Idle; }));
        EXPECT_EQ(m_irc.Connections(), 1);
    }
    // The run ends: the IRC thread is ended without a word of its own.
    m_pApp->ExitInstance();
    EXPECT_EQ(m_pApp->MainDlg(), nullptr);
    if (row.m_bConnected) {
        const std::vector<std::string> lines = LinesAfterEnd(0);
        EXPECT_EQ(Count(lines, kQuit), row.m_bQuit ? 1 : 0) << testing::PrintToString(lines);
    } else {
        EXPECT_EQ(m_irc.Connections(), 0);
    }
    EXPECT_TRUE(m_sink.Messages().empty());  // an unsent QUIT shows nothing
}

const CEndRow kEndRows[] = {
    {"QuitConnected", true, true, framework::IDCANCEL, true},
    {"QuitUnconnected", false, true, framework::IDCANCEL, true},
    {"CloseBoxConnected", true, false, framework::IDOK, false},
    {"CloseBoxUnconnected", false, false, framework::IDOK, false},
};
INSTANTIATE_TEST_SUITE_P(Rows, MainDlgEnd, testing::ValuesIn(kEndRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST_F(MainDlgTest, ApplyTakesTheControlsOfTheThreePagesAndWritesTheSameFileTwice) {
    Open();
    Irc().TypeText(res::IDC_IRC_CHANNEL, "#typed");
    Game().TypeText(res::IDC_GAME_PORT, "4711");
    Colors().TypeText(res::IDC_COLOR_STATUS, "07");
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_APPLY));
    const std::string strFirst = ReadWholeFile(SettingsPath());
    for (const char* pszLine :
         {"\r\nirc_Channel=#typed\r\n", "\r\nbf_Port=4711\r\n", "\r\nstatus_farbe=07\r\n"}) {
        EXPECT_NE(strFirst.find(pszLine), std::string::npos) << pszLine << " in " << strFirst;
    }
    // The bot takes them too, for the next start of a side.
    EXPECT_EQ(Bot().Settings(), Main().WindowSettings());
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_APPLY));
    EXPECT_EQ(ReadWholeFile(SettingsPath()), strFirst);
    EXPECT_FALSE(Main().IsEnded());
    EXPECT_TRUE(m_sink.Messages().empty());
}

// The operator edits settings.ini while the window runs: Apply and Quit ask
// before writing over it; No keeps the edit, Yes replaces it.
TEST_F(MainDlgTest, ApplyAndQuitAskBeforeReplacingAFileChangedOnDisk) {
    WriteSettings();
    Open();
    const std::string strEdited = ReadWholeFile(SettingsPath()) + "// my edit\r\n";
    ASSERT_TRUE(WriteWholeFile(SettingsPath(), strEdited));
    const CMessage question{SettingsPath() +
                                " was changed by another program since fragrelay read it.\n"
                                "Replace it with the values shown here?",
                            "fragrelay", EIcon::Question, framework::EButtons::YesNo};

    EXPECT_FALSE(Main().OnApply());
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{question});
    EXPECT_EQ(ReadWholeFile(SettingsPath()), strEdited);

    // Quit asks too, and still ends the run.
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_QUIT));
    EXPECT_TRUE(Main().IsEnded());
    EXPECT_EQ(m_sink.Messages(), (std::vector<CMessage>{question, question}));
    EXPECT_EQ(ReadWholeFile(SettingsPath()), strEdited);
    m_pApp->ExitInstance();

    // A new window reads the edit; asked again after another one, Yes
    // replaces the file.
    m_sink.Clear();
    Open();
    ASSERT_TRUE(WriteWholeFile(SettingsPath(), strEdited + "// again\r\n"));
    m_sink.SetAnswer(framework::IDYES);
    EXPECT_TRUE(Main().OnApply());
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{question});
    EXPECT_EQ(ReadWholeFile(SettingsPath()).find("// "), std::string::npos);
    EXPECT_TRUE(Main().OnApply());  // its own write is no change on disk
    EXPECT_EQ(m_sink.Count(), 1u);
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
    ASSERT_TRUE(
        RunUntil([&] { return Bot().State().m_irc.m_eState == irc::EIrcState::InChannel; }));
    EXPECT_EQ(Bot().State().m_irc.m_strChannel, "#RELAY");  // the checks use the server's spelling

    EXPECT_TRUE(Main().OnApply());
    const std::string strSaved = ReadWholeFile(SettingsPath());
    EXPECT_NE(strSaved.find("\r\nirc_Channel=#relay\r\n"), std::string::npos) << strSaved;
    EXPECT_EQ(Bot().State().m_irc.m_strChannel, "#RELAY");  // and Apply left the session's alone
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CHANNEL), "#relay");
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(MainDlgTest, BroadcastWithARefusingIrcPageKeepsTheGameSideAndTriesAgain) {
    WriteSettings(/*bIrcServer=*/false);
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    // The bot said why; the game side started anyway, and the field to mend
    // has the focus.
    ASSERT_TRUE(GameRunning());
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{kFillOut});
    EXPECT_EQ(Irc().GetFocusItem(), res::IDC_IRC_SERVER);
    EXPECT_EQ(Broadcast(), "Start Broadcast");
    EXPECT_FALSE(Bot().State().m_bBroadcast);
    EXPECT_TRUE(Main().IsItemEnabled(res::IDC_MAIN_BROADCAST));

    // A second press tries the IRC side again and leaves the game side be.
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    Settle();
    EXPECT_EQ(m_sink.Messages(), (std::vector<CMessage>{kFillOut, kFillOut}));
    EXPECT_EQ(Bot().State().m_game.m_eWanted, bridge::EGameState::Running);
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Disconnect");
    EXPECT_EQ(Broadcast(), "Start Broadcast");

    // With the server filled in, both sides run and relaying is on.
    Irc().TypeText(res::IDC_IRC_SERVER, "127.0.0.1");
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(RunUntil([&] { return Broadcast() == "Stop Broadcast"; }));
    EXPECT_TRUE(Bot().State().m_bBroadcast);
    EXPECT_EQ(m_sink.Count(), 2u);

    // Off: the game side stops, then the IRC side says goodbye.
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
    ASSERT_TRUE(GameIdle());
    EXPECT_TRUE(RunUntil([&] { return Broadcast() == "Start Broadcast"; }));
    EXPECT_FALSE(Bot().State().m_bBroadcast);
    EXPECT_TRUE(RunUntil([&] { return Irc().GetItemText(res::IDC_IRC_CONNECT) == "Connect"; }));
    EXPECT_FALSE(Bot().State().m_irc.m_bSessionActive);
}

// Stop Broadcast: the monitor's last lines reach the channel before QUIT,
// and both tabs return to their idle look.
TEST_F(MainDlgTest, StopBroadcastLetsTheClosingLineGoBeforeQuit) {
    WriteSettings();
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    ASSERT_TRUE(m_irc.Send(0, ":srv 376 bot :End of MOTD\r\n"));
    ASSERT_TRUE(m_irc.WaitForLine(0, "JOIN #relay"));
    ASSERT_TRUE(m_irc.Send(0, ":bot!b@h JOIN :#relay\r\n"));
    ASSERT_TRUE(
        RunUntil([&] { return Bot().State().m_irc.m_eState == irc::EIrcState::InChannel; }));
    ASSERT_TRUE(GameRunning());
    ASSERT_TRUE(RunUntil([&] { return Broadcast() == "Stop Broadcast"; }));

    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(m_irc.WaitForLine(0, kQuit, kLong));
    const std::vector<std::string> lines = m_irc.Lines(0);
    const auto itClosed = std::find_if(lines.begin(), lines.end(), [](const std::string& s) {
        return s.rfind("PRIVMSG #relay :", 0) == 0 && s.find("Broadcast closed") != s.npos;
    });
    ASSERT_NE(itClosed, lines.end()) << testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), kQuit);
    EXPECT_TRUE(GameIdle());
    EXPECT_TRUE(RunUntil([&] {
        return Broadcast() == "Start Broadcast" &&
               Irc().GetItemText(res::IDC_IRC_CONNECT) == "Connect";
    }));
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
    ASSERT_TRUE(RunUntil([&] { return Broadcast() == "Stop Broadcast"; }));
    EXPECT_EQ(m_irc.Connections(), 1);  // no second connection
    EXPECT_TRUE(Bot().State().m_game.m_bMonitorAlive);
    EXPECT_TRUE(m_sink.Messages().empty());
    // The read-out counts what the game side's monitor receives.
    EXPECT_TRUE(RunUntil([&] {
        return Main().GetItemText(res::IDC_MAIN_TRAFFIC) != "Traffic: 0 kb/s";
    })) << Main().GetItemText(res::IDC_MAIN_TRAFFIC);
}

// Broadcast keeps the game side alive: a game server that cannot be reached
// leaves the tab running and waiting for its next try (so broadcasting
// comes on), and Stop Broadcast ends the wait.
TEST_F(MainDlgTest, BroadcastKeepsTheGameTabRunningUntilStopBroadcast) {
    WriteSettings(true, true, "no..such..host");  // refused by the resolver itself
    Open();
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));  // connected, so that the stop says QUIT
    ASSERT_TRUE(RunUntil([&] {
        return Game().GetItemText(res::IDC_GAME_LOG).find("Trying again in ") != std::string::npos;
    }));
    EXPECT_TRUE(RunUntil([&] { return Broadcast() == "Stop Broadcast"; }));
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_CONNECT), "Disconnect");

    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(GameIdle());
    EXPECT_TRUE(RunUntil([&] { return Broadcast() == "Start Broadcast"; }));
    EXPECT_TRUE(RunUntil([&] {
        return LastLogLine(Game(), res::IDC_GAME_LOG) ==
               "* * * * * * [Broadcast closed] * * * * * * ";
    }));
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
}

// Start Broadcast decides from the bot's IRC session: after it ended on its
// own, and before the tab has shown the end, it connects instead of
// disconnecting.
TEST_F(MainDlgTest, StartBroadcastConnectsWhenTheIrcSessionEndedBeforeItsPageCaughtUp) {
    WriteSettings();
    Open();
    ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    m_irc.Close(0);
    // This thread runs no queued work until the press below.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Bot().State().m_irc.m_eState == irc::EIrcState::Idle; }, kLong));
    ASSERT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Disconnect");
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    EXPECT_TRUE(m_irc.WaitForConnections(2));
    EXPECT_TRUE(RunUntil([&] { return Broadcast() == "Stop Broadcast"; }));
    // The stale end, run now, leaves the new session's look alone.
    Settle();
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Disconnect");
}

// The headless start (fragrelay --broadcast): what Broadcast does, and
// whether a side started.
struct CStartRow {
    const char* m_pszName;
    bool m_bSettings;  // a settings file for the two local servers
    bool m_bIrcServer;
    bool m_bGameServer;
    bool m_bStarted;
    size_t m_nMessages;
};

class BotAppStart : public MainDlgTest, public testing::WithParamInterface<CStartRow> {};

TEST_P(BotAppStart, ReportsWhetherASideStarted) {
    const CStartRow& row = GetParam();
    if (row.m_bSettings) WriteSettings(row.m_bIrcServer, row.m_bGameServer);
    ui::CBotApp app(m_dispatcher, platform::SystemClock(), Options());
    ASSERT_TRUE(app.InitInstance(m_sink));
    EXPECT_FALSE(app.InitInstance(m_sink));
    app.StartAsBroadcast();
    ASSERT_TRUE(app.Bot()->WaitForCommands(10000));
    const core::CBotState state = app.Bot()->State();
    EXPECT_EQ(state.m_irc.m_bSessionActive || state.m_game.m_eWanted != bridge::EGameState::Idle,
              row.m_bStarted);
    const bool bBoth = row.m_bSettings && row.m_bIrcServer && row.m_bGameServer;
    EXPECT_TRUE(RunUntil([&] {
        return m_sink.Count() == row.m_nMessages &&
               app.MainDlg()->GetItemText(res::IDC_MAIN_BROADCAST) ==
                   (bBoth ? "Stop Broadcast" : "Start Broadcast");
    })) << m_sink.Count();
    app.ExitInstance();
    EXPECT_EQ(app.MainDlg(), nullptr);
    EXPECT_EQ(app.Bot(), nullptr);
    app.ExitInstance();
    m_dispatcher.RunPending();
}

const CStartRow kStartRows[] = {
    // No file: the defaults lack a channel and a game server.
    {"NoSettingsFile", false, true, true, false, 2},
    {"GameSideOnly", true, false, true, true, 1},
    {"IrcSideOnly", true, true, false, true, 1},
    {"BothSides", true, true, true, true, 0},
};
INSTANTIATE_TEST_SUITE_P(Rows, BotAppStart, testing::ValuesIn(kStartRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

}  // namespace
}  // namespace uitest
