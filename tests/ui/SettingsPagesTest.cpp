// The settings between the file and the three pages that hold them.
#include <gtest/gtest.h>

#include <string>

#include "config/SettingsFile.h"
#include "config/SettingsPrint.h"
#include "config/TempFolder.h"
#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "res/Resource.h"
#include "support/RecordingIrcSession.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/SettingsPages.h"

namespace {

using config::CSettings;

class SettingsPages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.IsValid()); }
    std::string File() const { return m_folder / "settings.ini"; }

    testsupport::CTempFolder m_folder;
    platform::CManualClock m_clock;
    testsupport::CRecordingIrcSession m_irc{m_clock, false};
    ui::CGameDlg m_game{m_irc.GameShared()};
    ui::CColorDlg m_colors;
    framework::CRecordingMessageSink m_sink;
};

TEST_F(SettingsPages, FirstStartFillsThePagesWithTheDefaults) {
    ui::LoadSettings(File(), m_irc, m_game, m_colors);
    EXPECT_EQ(m_irc.Connection().m_strServer, config::kDefaultIrcServer);
    EXPECT_EQ(m_irc.Connection().m_nPort, 6667);
    EXPECT_EQ(m_irc.Connection().m_strNick, "fraghorn");
    EXPECT_EQ(m_irc.Connection().m_nNetwork, 0);
    EXPECT_FALSE(m_irc.Connection().m_bAuth);
    EXPECT_EQ(m_game.ServerChoice().m_nQueryPort, 23000);
    EXPECT_EQ(m_game.ServerChoice().m_nLanguage, 0);
    EXPECT_EQ(m_colors.Scheme().m_strAlliedKillColor, "02");
    EXPECT_EQ(m_colors.Scheme().m_strAxisKillColor, "05");
    EXPECT_EQ(m_colors.Scheme().m_strAlliedFlagColor, "12");
    EXPECT_EQ(m_colors.Scheme().m_strAxisFlagColor, "04");
    EXPECT_EQ(m_colors.Scheme().m_strStatusColor, "14");
    EXPECT_EQ(m_colors.Scheme().m_strKeyColor, "10");
    EXPECT_EQ(m_colors.Scheme().m_strValueColor, "14");
    EXPECT_EQ(ui::CollectSettings(m_irc, m_game, m_colors), config::DefaultSettings());

    // Loaded before the window exists, shown once it does.
    ASSERT_TRUE(m_colors.Create(m_sink));
    EXPECT_EQ(m_colors.GetItemText(res::IDC_COLOR_ALLIED_KILL), "02");
}

TEST_F(SettingsPages, SavedPagesLoadBackIntoFreshPages) {
    CSettings v;
    v.m_irc.m_strServer = "irc.example.net";
    v.m_irc.m_nPort = 40000;  // written as -25536
    v.m_irc.m_strNick = "relay";
    v.m_irc.m_strAltNick = "relay_";
    v.m_irc.m_strChannel = "#clan";
    v.m_irc.m_bAuth = true;
    v.m_irc.m_strUsername = "acct";
    v.m_irc.m_strPassword = "pw";
    v.m_irc.m_nNetwork = 1;
    v.m_nTicketSecs = 90;
    v.m_game.m_nLanguage = 3;
    v.m_game.m_strServer = "10.0.0.2";
    v.m_game.m_nQueryPort = 23001;
    v.m_colors.m_strAlliedKillColor = "1";
    v.m_colors.m_strAlliedFlagColor = "2";
    v.m_colors.m_strAxisKillColor = "3";
    v.m_colors.m_strAxisFlagColor = "4";
    v.m_colors.m_strStatusColor = "5";
    v.m_colors.m_strKeyColor = "6";
    v.m_colors.m_strValueColor = "7";
    v.m_colors.m_bShowFlag = false;
    v.m_colors.m_bShowKill = true;
    v.m_colors.m_bShowTicket = false;
    v.m_colors.m_bShowTk = true;
    ui::ApplySettings(v, m_irc, m_game, m_colors);
    EXPECT_EQ(m_irc.Connection().m_nPort, 40000);
    EXPECT_EQ(m_irc.GameShared().TicketSecs(), 90);
    ASSERT_TRUE(ui::SaveSettings(File(), m_irc, m_game, m_colors, &m_sink));
    EXPECT_NE(testsupport::ReadWholeFile(File()).find("irc_Port=-25536\r\n"), std::string::npos);

    platform::CManualClock clock;
    testsupport::CRecordingIrcSession irc(clock, false);
    ui::CGameDlg game{irc.GameShared()};
    ui::CColorDlg colors;
    ui::LoadSettings(File(), irc, game, colors);
    EXPECT_EQ(irc.Connection().m_nPort, 40000);
    EXPECT_EQ(ui::CollectSettings(irc, game, colors), v);
    EXPECT_EQ(m_sink.Count(), 0u);
}

}  // namespace
