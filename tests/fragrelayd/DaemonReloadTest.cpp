// fragrelayd's new reading of its settings on SIGHUP, over the bot as the
// daemon runs it (the test thread is its main thread): only the sides whose
// settings changed start again, the ticket interval applies without a
// restart, a file that cannot be read changes nothing, a side with
// incomplete settings stays stopped until they are mended, a side that
// starts again recovers on its own as at the start, and the file is never
// written. Peers on 127.0.0.1: a scripted IRC server and the stand-in game
// server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/TempFolder.h"
#include "core/Bot.h"
#include "fragrelayd/DaemonSettings.h"
#include "support/BotRecorder.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

constexpr auto kLong = std::chrono::seconds(10);
constexpr char kQuit[] = "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay";
constexpr char kOpened[] = "[Broadcast opened]";

struct CSettings {
    std::string m_strIrcServer = "127.0.0.1";
    uint16_t m_nIrcPort = 0;  // 0: the scripted IRC server's
    std::string m_strNick = "bot";
    int m_nTicketSecs = 60;
    int m_nLanguage = 0;
    bool m_bShowKill = true;
};

class DaemonReloadTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_sim.Start());
        ASSERT_TRUE(m_streams.IsValid());
        ASSERT_NE(m_pErr, nullptr);
    }
    ~DaemonReloadTest() override {
        m_pBot.reset();
        if (m_pOut) std::fclose(m_pOut);
        if (m_pErr) std::fclose(m_pErr);
    }

    std::string Path() const { return m_folder / "settings.ini"; }
    void Write(const CSettings& s) {
        ASSERT_TRUE(WriteWholeFile(
            Path(),
            "irc_Server=" + s.m_strIrcServer + "\r\nirc_Port=" +
                std::to_string(
                    static_cast<int16_t>(s.m_nIrcPort != 0 ? s.m_nIrcPort : m_irc.Port())) +
                "\r\nirc_Nick=" + s.m_strNick +
                "\r\nirc_altNick=bot2\r\nirc_Channel=#relay\r\nirc_Auth=no\r\n"
                "irc_Username=\r\nirc_Password=\r\nirc_Network=0\r\nirc_Tickettime=" +
                std::to_string(s.m_nTicketSecs) +
                "\r\nbf_Language=" + std::to_string(s.m_nLanguage) +
                "\r\nbf_Server=127.0.0.1\r\nbf_Port=" + std::to_string(m_sim.Port()) +
                "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
                "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
                "show_flag=yes\r\nshow_kill=" +
                (s.m_bShowKill ? "yes" : "no") +
                "\r\nshow_ticket=yes\r\nshow_tk=yes\r\n"
                "irc_TLS=no\r\nirc_TLSFingerprint=\r\nirc_ClientCert=\r\n"));
    }
    // Reads the file and starts the bot as fragrelayd does.
    void Start() {
        config::CSettings values;
        ASSERT_TRUE(fragrelayd::ReadDaemonSettings(Path(), values, m_console));
        core::CBot::COptions options;
        options.m_strSettingsFolder = m_folder.Path();
        m_pBot = std::make_unique<core::CBot>(values, options);
        m_pBot->AddObserver(m_events);
        m_pBot->Start();
        m_pBot->StartBroadcast();
    }
    // One SIGHUP; returns what it printed once the bot has carried it out.
    std::string Reload() {
        const size_t nBefore = ErrText().size();
        fragrelayd::ReloadDaemonSettings(*m_pBot, Path(), m_console);
        EXPECT_TRUE(m_pBot->WaitForCommands(10000));
        return ErrText().substr(nBefore);
    }
    std::string ErrText() const {
        std::string str;
        std::rewind(m_pErr);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, m_pErr)) > 0;) str.append(buf, n);
        std::fseek(m_pErr, 0, SEEK_END);
        return str;
    }
    std::string Note(const std::string& strText) const { return "fragrelayd: " + strText + "\n"; }
    // A path as the program shows it: with backslashes on Windows.
    static std::string Shown(std::string strPath) {
#ifdef _WIN32
        for (char& c : strPath)
            if (c == '/') c = '\\';
#endif
        return strPath;
    }
    std::string Reading() const {
        return Note("SIGHUP: reading " + Shown(Path()) + " again");
    }

    core::CBotState State() const {
        return m_pBot->State();
    }
    template <typename Pred>
    bool WaitFor(Pred pred) {
        return testsupport::WaitUntil([&] { return pred(State()); }, kLong);
    }
    // Connected as far as the server knows (see testsupport::HasRegistered).
    bool IrcConnected() {
        return WaitFor([&](const core::CBotState& s) {
            return s.m_irc.m_bSessionActive && s.m_irc.m_eState != irc::EIrcState::Idle &&
                   testsupport::HasRegistered(m_irc);
        });
    }
    bool Broadcasting(bool bOn) {
        return WaitFor([&](const core::CBotState& s) { return s.m_bBroadcast == bOn; });
    }
    // How many monitor runs have opened so far.
    int GameRuns() const {
        return m_events.CountLog(core::ESide::Game, kOpened);
    }
    bool GameRunning(int nRuns) {
        return WaitFor([&](const core::CBotState& s) {
            return s.m_game.m_eWanted == bridge::EGameState::Running && s.m_game.m_bMonitorAlive &&
                   GameRuns() == nRuns;
        });
    }

    testsupport::CBotRecorder m_events;
    testsupport::CTempFolder m_folder;
    testsupport::CScriptedTcpServer m_irc;
    bf42sim::CSimServer m_sim;
    testsupport::CTempFolder m_streams;
    std::FILE* m_pOut = std::fopen((m_streams / "out").c_str(), "w+b");
    std::FILE* m_pErr = std::fopen((m_streams / "err").c_str(), "w+b");
    fragrelayd::CConsoleOutput m_console{m_pOut, m_pErr};
    // Last: its threads end before the peers go.
    std::unique_ptr<core::CBot> m_pBot;
};

TEST_F(DaemonReloadTest, RestartsOnlyTheSidesWhoseSettingsChanged) {
    CSettings settings;
    Write(settings);
    Start();
    ASSERT_TRUE(IrcConnected());
    // Connected, not still connecting: a stop during the connect sends no QUIT.
    ASSERT_TRUE(m_irc.WaitForLine(0, "NICK bot"));
    ASSERT_TRUE(GameRunning(1));
    ASSERT_TRUE(Broadcasting(true));

    // A new nickname: the IRC side says goodbye and comes back with it.
    settings.m_strNick = "bot9";
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Nick") +
                            Note("the IRC side started again with the new settings"));
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
    ASSERT_TRUE(m_irc.WaitForConnections(2));
    EXPECT_TRUE(m_irc.WaitForLine(1, "NICK bot9"));
    EXPECT_TRUE(IrcConnected());
    EXPECT_EQ(GameRuns(), 1);  // the game side ran on
    EXPECT_TRUE(Broadcasting(true));

    // Language and a filter: the game side starts again, the IRC side stays.
    settings.m_nLanguage = 1;
    settings.m_bShowKill = false;
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: bf_Language, show_kill") +
                            Note("the game side started again with the new settings"));
    EXPECT_TRUE(GameRunning(2));
    EXPECT_FALSE(m_pBot->GameSide().RunSettings().m_filters.m_bShowKill);
    EXPECT_TRUE(Broadcasting(true));
    EXPECT_EQ(m_irc.Connections(), 2);

    // The ticket interval needs no restart.
    settings.m_nTicketSecs = 90;
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Tickettime") +
                            Note("the ticket interval applies from the next report on"));
    EXPECT_EQ(m_pBot->GameShared().TicketSecs(), 90);
    EXPECT_EQ(m_pBot->Settings().m_nTicketSecs, 90);
    settings.m_nTicketSecs = 0;
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Tickettime") +
                            Note("irc_Tickettime is 0, not a number of seconds above 0; the "
                                 "interval stays 90"));
    EXPECT_EQ(m_pBot->GameShared().TicketSecs(), 90);
    settings.m_nTicketSecs = 90;
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("the settings are unchanged"));

    // A file that cannot be read changes nothing.
    ASSERT_EQ(std::remove(Path().c_str()), 0);
    EXPECT_EQ(Reload(), Reading() + Note("no settings file at " + Shown(Path())) +
                            Note("make one with \"fragrelayd --write-settings " + Shown(Path()) +
                                 "\", fill in its keys (fragrelayd --help lists them) and "
                                 "start again") +
                            Note("nothing changed; the bot runs on as before"));
    EXPECT_EQ(m_irc.Connections(), 2);
    EXPECT_EQ(GameRuns(), 2);
    EXPECT_TRUE(State().m_irc.m_bSessionActive);
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

TEST_F(DaemonReloadTest, SideWithIncompleteSettingsStaysStoppedUntilMended) {
    CSettings settings;
    settings.m_strIrcServer.clear();
    Write(settings);
    Start();  // the IRC side refuses; the game side runs without relaying
    ASSERT_TRUE(GameRunning(1));
    EXPECT_FALSE(State().m_irc.m_bSessionActive);
    EXPECT_FALSE(State().m_bBroadcast);
    EXPECT_EQ(m_events.Messages().Count(), 1u);

    // Mended: the IRC side starts and relaying is switched on.
    settings.m_strIrcServer = "127.0.0.1";
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Server") +
                            Note("the IRC side started again with the new settings"));
    EXPECT_TRUE(IrcConnected());
    // Connected, not still connecting: a stop during the connect sends no QUIT.
    ASSERT_TRUE(m_irc.WaitForLine(0, "NICK bot"));
    EXPECT_TRUE(Broadcasting(true));
    EXPECT_EQ(GameRuns(), 1);

    // Broken again: the side stops and says which key.
    settings.m_strNick.clear();
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Nick") +
                            Note("IRC side: irc_Nick is empty") +
                            Note("the IRC side stays stopped until its settings are mended and "
                                 "SIGHUP comes again"));
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
    EXPECT_FALSE(State().m_irc.m_bSessionActive);
    EXPECT_EQ(m_events.Messages().Count(), 2u);  // the IRC side's own message, as at the start
    EXPECT_EQ(State().m_game.m_eWanted, bridge::EGameState::Running);

    settings.m_strNick = "bot";
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Nick") +
                            Note("the IRC side started again with the new settings"));
    ASSERT_TRUE(m_irc.WaitForConnections(2));
    EXPECT_TRUE(m_irc.WaitForLine(1, "NICK bot"));
    EXPECT_EQ(GameRuns(), 1);
    // fragrelayd never writes the file: after the stop it says what the
    // operator wrote last.
    const std::string strFile = ReadWholeFile(Path());
    m_pBot->Quit();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_events.Ended() == 1; }, kLong));
    m_pBot->Shutdown();
    EXPECT_EQ(ReadWholeFile(Path()), strFile);
}

// Mended on SIGHUP while its server is down: the IRC side keeps trying, as
// it does after a refused first connect at the start, and relaying comes on.
TEST_F(DaemonReloadTest, SideStartedAgainKeepsTryingAServerThatRefuses) {
    CSettings settings;
    settings.m_strIrcServer.clear();
    Write(settings);
    Start();
    ASSERT_TRUE(GameRunning(1));
    EXPECT_FALSE(State().m_irc.m_bSessionActive);

    {
        testsupport::CScriptedTcpServer gone;
        settings.m_nIrcPort = gone.Port();
    }
    settings.m_strIrcServer = "127.0.0.1";
    Write(settings);
    EXPECT_EQ(Reload(), Reading() + Note("changed: irc_Server, irc_Port") +
                            Note("the IRC side started again with the new settings"));
    // Kept alive: a refused connect is followed by the next attempt.
    EXPECT_TRUE(WaitFor(
        [](const core::CBotState& s) { return s.m_irc.m_eState == irc::EIrcState::Waiting; }));
    EXPECT_TRUE(m_events.WaitForLog(core::ESide::Irc, "Next attempt in "))
        << testing::PrintToString(m_events.Log(core::ESide::Irc));
    EXPECT_TRUE(State().m_irc.m_bSessionActive);
    EXPECT_TRUE(Broadcasting(true));
    EXPECT_TRUE(m_pBot->GameSide().IsKeepAlive());
}

}  // namespace
