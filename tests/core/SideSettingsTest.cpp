// What each side takes from the settings when it starts, the message of a
// side whose settings refuse it, and the game log's own colour rule.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "config/SettingsCheck.h"
#include "config/SettingsFormat.h"
#include "core/GameLog.h"
#include "core/SideSettings.h"
#include "irc/IrcSecurity.h"
#include "monitor/Announcements.h"
#include "support/ColorText.h"
#include "support/RecordingMessages.h"

namespace {

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

struct CLogRow {
    const char* m_pszName;
    std::string m_strIn;
    std::string m_strShown;
};

void PrintTo(const CLogRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
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

class GameLog : public testing::TestWithParam<CLogRow> {};

TEST_P(GameLog, StripsColourCodesByItsOwnRule) {
    EXPECT_EQ(core::GameLogText(GetParam().m_strIn), GetParam().m_strShown);
}

INSTANTIATE_TEST_SUITE_P(Lines, GameLog, testing::ValuesIn(kLogRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// A settings file as the operator leaves it: one-digit colours, French, the
// teamkills filter off.
config::CSettings Typed() {
    return config::ParseSettings(
        "irc_Server=irc.example.net\r\nirc_Port=-1\r\nirc_Nick=bot\r\nirc_altNick=bot2\r\n"
        "irc_Channel=#relay\r\nirc_Auth=yes\r\nirc_Username=acct\r\nirc_Password=pw\r\n"
        "irc_Network=2\r\nirc_Tickettime=60\r\nbf_Language=2\r\nbf_Server=127.0.0.1\r\n"
        "bf_Port=23001\r\nallied_farbe_kill=7\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=5\r\n"
        "axis_farbe_flagge=4\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
        "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=no\r\n"
        "irc_TLS=yes\r\nirc_TLSFingerprint=\r\nirc_ClientCert=\r\n");
}

TEST(SideSettings, AGameRunTakesTwoDigitColoursTheLanguagesPhrasesAndTheFilters) {
    const core::CGameRunSettings run = core::GameRunSettingsOf(Typed());
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
    EXPECT_EQ(s.m_nQueryPort, 23001);
    EXPECT_TRUE(run.m_filters.m_bShowKill);
    EXPECT_FALSE(run.m_filters.m_bShowTk);
    EXPECT_TRUE(run.m_filters.m_bShowFlag);
    EXPECT_TRUE(run.m_bShowTicket);
    monitor::CPlayerRecord tom;
    tom.m_strName = "Tom";
    tom.m_nTeam = 2;
    EXPECT_EQ(monitor::EventLine(s, monitor::CGameEvent{monitor::EGameEvent::Flag, tom, {}}),
              C("^12Tom a captur\xE9 un drapeau!"));
}

TEST(SideSettings, AGameRunWithoutALanguageHasNoPhraseBase) {
    config::CSettings values = Typed();
    values.m_game.m_nLanguage = -1;
    EXPECT_EQ(core::GameRunSettingsOf(values).m_announce.m_nLangBase, -100);
}

TEST(SideSettings, TheIrcConnectionTakesAllSixteenBitsOfThePortAndTheSecurity) {
    const irc::CIrcSettings c = Typed().m_irc;
    EXPECT_EQ(c.m_strServer, "irc.example.net");
    EXPECT_EQ(c.m_nPort, 65535);  // the file's -1
    EXPECT_EQ(c.m_strNick, "bot");
    EXPECT_EQ(c.m_strAltNick, "bot2");
    EXPECT_EQ(c.m_strChannel, "#relay");
    EXPECT_TRUE(c.m_bAuth);
    EXPECT_EQ(c.m_strUsername, "acct");
    EXPECT_EQ(c.m_strPassword, "pw");
    EXPECT_EQ(c.m_nNetwork, irc::kNetworkSasl);
    EXPECT_TRUE(c.m_security.m_bTls);
}

// Where an empty field is not the reason, the operator reads the reason.
TEST(SideSettings, AnIrcRefusalNamesItsKeyAndWhereItHelpsItsReason) {
    config::CSettings values = Typed();
    values.m_irc.m_security.m_strTlsFingerprint = "AB:CD";
    values.m_irc.m_security.m_strClientCert = "/nonexistent/c.pem";
    const struct {
        const char* m_pszName;
        config::CSettingsProblem m_problem;
        const char* m_pszText;
    } rows[] = {
        {"EmptyField", {"irc_Nick", config::EProblem::Empty}, "Fill out all Inputfields!"},
        {"NoChannel", {"irc_Channel", config::EProblem::NoChannel}, "Channelname is no valid"},
        {"Fingerprint",
         {"irc_TLSFingerprint", config::EProblem::NoFingerprint},
         "irc_TLSFingerprint \"AB:CD\" is no SHA-256 fingerprint (64 hex digits, colons allowed)"},
        {"ClientCertificate",
         {"irc_ClientCert", config::EProblem::NoFile},
         "irc_ClientCert /nonexistent/c.pem cannot be read (No such file or directory)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(core::IrcRefusal(row.m_problem, values),
                  (core::COperatorMessage{row.m_pszText, "Error", core::EMessageIcon::Error,
                                          row.m_problem.m_pszKey}))
            << row.m_pszName;
    }
    EXPECT_EQ(core::GameRefusal(), (core::COperatorMessage{"Fill out all Inputfields!", "Error",
                                                           core::EMessageIcon::Error, ""}));
}

}  // namespace
