// The BF42 tab as shared state: its log rule, Connect's copy of the run's
// settings, the quick-info inputs, and the snapshot shared across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "framework/MessageBox.h"
#include "monitor/Announcements.h"
#include "platform/Clock.h"
#include "res/Resource.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedUdpServer.h"
#include "support/Wait.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"

namespace {

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

using framework::CMessage;
using framework::EIcon;
using Lines = std::vector<std::string>;

// Settings page colour edits in the order allied kill, axis kill, status,
// allied flag, axis flag, value, key.
constexpr int kColorEdits[] = {1020, 1006, 1021, 1007, 1008, 1011, 1010};
constexpr int kFilterBoxes[] = {1059, 1060, 1061, 1062};

class GameDlgTest : public testing::Test {
protected:
    GameDlgTest() {
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        EXPECT_TRUE(m_colors.Create(m_sink));
        EXPECT_TRUE(m_game.Create(m_sink));
        m_game.SetIrcLink(&m_irc);
        m_game.SetColorDlg(&m_colors);
    }
    void TearDown() override {
        EXPECT_EQ(m_game.UnknownIdUses(), 0u);
        EXPECT_EQ(m_colors.UnknownIdUses(), 0u);
    }
    void FillInputs(const std::vector<const char*>& colors = {"7", "5", "14", "12", "4", "14",
                                                              "10"}) {
        for (size_t n = 0; n < colors.size(); ++n) m_colors.TypeText(kColorEdits[n], colors[n]);
        m_game.TypeText(res::IDC_GAME_SERVER, "127.0.0.1");
        m_game.TypeText(res::IDC_GAME_PORT, std::to_string(m_server.Port()));
    }
    bool IsIdle() {
        return m_game.GetItemText(res::IDC_GAME_CONNECT) == "Connect" &&
               m_game.IsItemEnabled(res::IDC_GAME_CONNECT) &&
               !m_game.IsItemEnabled(res::IDC_GAME_PAUSE) &&
               m_game.IsItemEnabled(res::IDC_GAME_CHECK) &&
               m_game.IsItemEnabled(res::IDC_GAME_LANGUAGE) &&
               !m_game.IsReadOnly(res::IDC_GAME_SERVER) && !m_game.IsReadOnly(res::IDC_GAME_PORT) &&
               !m_colors.IsReadOnly(kColorEdits[0]) && m_colors.IsItemEnabled(kFilterBoxes[0]) &&
               m_irc.GameShared().GameState() == bridge::EGameState::Idle;
    }

    // Connect starts a monitor: a server that answers every request keeps it running.
    testsupport::CScriptedUdpServer m_server{[](int, const std::string&) {
        return testsupport::CScriptedUdpServer::Answer{
            "\\mapname\\wake\\gamemode\\openplaying\\final\\\\queryid\\1.1"};
    }};
    framework::CRecordingMessageSink m_sink;
    platform::CManualClock m_clock;
    testsupport::CRecordingIrcSession m_irc{m_clock, /*bForwardWrites=*/false};
    ui::CColorDlg m_colors;
    ui::CGameDlg m_game{m_irc.GameShared()};
};

TEST_F(GameDlgTest, StartsIdleWithItsCaptions) {
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_PAUSE), "Pause");
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_CHECK), "Check");
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_LOG));
    EXPECT_EQ(m_game.GetCurSel(res::IDC_GAME_LANGUAGE), -1);
    EXPECT_EQ(m_game.GetItemText(res::IDC_QI_STATUS), "");
    EXPECT_FALSE(m_game.IsMonitoring());
    EXPECT_FALSE(m_game.m_bBroadcast);
    EXPECT_EQ(m_game.LoadResString(res::IDS_NOT_FOUND),
              "Couldn't find Server! Check the Portsettings.");
    EXPECT_EQ(m_game.LoadResString(9999), "");
}

struct CLogRow {
    const char* pszName;
    std::string strIn;
    std::string strShown;
};

void PrintTo(const CLogRow& row, std::ostream* pOut) {
    *pOut << row.pszName;
}

const CLogRow kLogRows[] = {
    {"ColourAndItsEnd", C("^04Tom^"), "Tom"},
    {"BareCodeGoesAlone", C("^[x^]"), "[x]"},
    {"DigitTakesTheNextCharacterWhateverItIs", C("^5Tom"), "om"},
    {"CodeAtTheVeryEnd", C("a^1"), "a"},
    {"OtherControlBytesStay", "\x02kills\x1F", "\x02kills\x1F"},
    {"LineBreaksAndNulGo", std::string("a\r\nb\0c", 6), "abc"},
    {"KillLine", C("^05Hans (12/7/3)^  [killed]  ^02Tom (4/2/6)"),
     "Hans (12/7/3)  [killed]  Tom (4/2/6)"},
};

class GameLog : public GameDlgTest, public testing::WithParamInterface<CLogRow> {};

TEST_P(GameLog, StripsColourCodesByItsOwnRule) {
    m_game.AppendLog("first");
    m_game.AppendLog(GetParam().strIn);
    m_game.AppendLog("");  // adds nothing
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_LOG), "first\n" + GetParam().strShown);
    EXPECT_EQ(m_game.GetLogLineCount(res::IDC_GAME_LOG), 2u);
}

INSTANTIATE_TEST_SUITE_P(Lines, GameLog, testing::ValuesIn(kLogRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(GameDlgTest, ConnectLocksTheInputsAndCopiesTheRunSettings) {
    FillInputs();
    ASSERT_TRUE(m_game.ChooseItem(res::IDC_GAME_LANGUAGE, 2));
    ASSERT_TRUE(m_colors.Click(1060));  // teamkills off
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));

    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_CONNECT), "Disconnect");
    // Enabled once the monitor is set up.
    EXPECT_TRUE(
        testsupport::WaitUntil([&] { return m_game.IsItemEnabled(res::IDC_GAME_CONNECT); }));
    EXPECT_TRUE(m_game.IsItemEnabled(res::IDC_GAME_PAUSE));
    EXPECT_FALSE(m_game.IsItemEnabled(res::IDC_GAME_CHECK));
    EXPECT_FALSE(m_game.IsItemEnabled(res::IDC_GAME_LANGUAGE));
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_PORT));
    for (int nId : kColorEdits) EXPECT_TRUE(m_colors.IsReadOnly(nId)) << nId;
    for (int nId : kFilterBoxes) EXPECT_FALSE(m_colors.IsItemEnabled(nId)) << nId;
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    EXPECT_TRUE(m_game.IsMonitoring());

    const monitor::CAnnounceSettings s = m_game.AnnounceSettings();
    EXPECT_EQ(s.m_strAlliedKillColor, "07");  // one digit gets its "0"
    EXPECT_EQ(s.m_strAxisKillColor, "05");
    EXPECT_EQ(s.m_strStatusColor, "14");
    EXPECT_EQ(s.m_strAlliedFlagColor, "12");
    EXPECT_EQ(s.m_strAxisFlagColor, "04");
    EXPECT_EQ(s.m_strValueColor, "14");
    EXPECT_EQ(s.m_strKeyColor, "10");
    EXPECT_EQ(s.m_nLangBase, 200);
    EXPECT_EQ(s.m_strServer, "127.0.0.1");
    EXPECT_EQ(s.m_nQueryPort, m_server.Port());
    EXPECT_TRUE(m_game.ColorScheme().m_bShowKill);
    EXPECT_FALSE(m_game.ColorScheme().m_bShowTk);
    EXPECT_TRUE(m_game.ColorScheme().m_bShowFlag);
    EXPECT_TRUE(m_game.ColorScheme().m_bShowTicket);
    monitor::CPlayerRecord tom;
    tom.m_strName = "Tom";
    tom.m_nTeam = 2;
    EXPECT_EQ(monitor::EventLine(s, monitor::CGameEvent{monitor::EGameEvent::Flag, tom, {}}),
              C("^12Tom a captur\xE9 un drapeau!"));

    // Later changes on the Settings page wait for the next Connect.
    m_game.StopMonitoring();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return IsIdle(); }));
    m_colors.TypeText(kColorEdits[0], "3");
    EXPECT_EQ(m_game.AnnounceSettings().m_strAlliedKillColor, "07");
}

TEST_F(GameDlgTest, ConnectWithoutALanguageHasNoPhraseBase) {
    FillInputs();
    m_game.StartMonitoring();
    EXPECT_EQ(m_game.m_nLangBase, -100);
}

TEST_F(GameDlgTest, ConnectRefusesMissingInputsAndStaysIdle) {
    const struct {
        const char* pszName;
        const char* pszServer;
        const char* pszPort;
        int nEmptyColor;  // index into kColorEdits, -1 none
    } rows[] = {{"NoServer", "", "23000", -1},
                {"PortZero", "127.0.0.1", "0", -1},
                {"NoPort", "127.0.0.1", "", -1},
                {"KeyColourEmpty", "127.0.0.1", "23000", 6}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
        FillInputs();
        m_game.TypeText(res::IDC_GAME_SERVER, row.pszServer);
        m_game.TypeText(res::IDC_GAME_PORT, row.pszPort);
        if (row.nEmptyColor >= 0) m_colors.TypeText(kColorEdits[row.nEmptyColor], "");
        {
            ui::CGameDlg::CServerChoice choice = m_game.ServerChoice();
            choice.m_nQueryPort = 0;  // an empty port keeps the field as it was
            m_game.SetServerChoice(choice);
        }
        m_sink.Clear();
        m_game.StartMonitoring();
        EXPECT_EQ(m_sink.Last(), (CMessage{"Fill out all Inputfields!", "Error", EIcon::Error}));
        EXPECT_TRUE(IsIdle());
        EXPECT_FALSE(m_game.IsMonitoring());
    }
}

TEST_F(GameDlgTest, QuickInfoInputsComeBack) {
    m_game.EnableItem(res::IDC_GAME_CHECK, false);
    m_game.SetReadOnly(res::IDC_GAME_SERVER, true);
    m_game.SetReadOnly(res::IDC_GAME_PORT, true);
    m_game.EnableQuickInfoInputs();
    EXPECT_TRUE(m_game.IsItemEnabled(res::IDC_GAME_CHECK));
    EXPECT_FALSE(m_game.IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_FALSE(m_game.IsReadOnly(res::IDC_GAME_PORT));
}

TEST_F(GameDlgTest, AnnouncedLinesReachTheChannelWhileBroadcastingAndTheLogAlways) {
    m_irc.m_bInChannel = true;
    m_game.m_bBroadcast = true;
    monitor::Announce(m_game, C("^10on"));
    m_game.m_bBroadcast = false;
    monitor::Announce(m_game, C("^10off"));
    EXPECT_EQ(m_irc.Writes(), Lines{C("PRIVMSG #chan :^10on\r\n")});
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_LOG), "on\noff");
}

TEST_F(GameDlgTest, TheSnapshotIsAlwaysReadWhole) {
    monitor::CServerStatus a;
    a.m_strMapName = std::string(200, 'a');
    a.m_strTickets1 = "1";
    a.m_nNumPlayers = 1;
    monitor::CServerStatus b;
    b.m_strMapName = std::string(300, 'b');
    b.m_strTickets1 = "2";
    b.m_nNumPlayers = 2;
    m_game.SetStatus(a);
    std::atomic<bool> bDone{false};
    std::thread writer([&] {
        for (int n = 0; n < 5000; ++n) m_game.SetStatus(n % 2 ? a : b);
        bDone = true;
    });
    int nTorn = 0;
    for (int n = 0; n < 100000 && !bDone; ++n) {
        const monitor::CServerStatus seen = m_game.GetStatus();
        if (!(seen == a) && !(seen == b)) ++nTorn;
    }
    writer.join();
    EXPECT_EQ(nTorn, 0);
}

}  // namespace
