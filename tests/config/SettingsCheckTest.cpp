// The rules a side's settings must keep to start, by key and in the order
// the pages check them; the operator's words for each problem; which keys
// changed between two readings; and the keys' help, made from the format.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TempFolder.h"

#include "SettingsPrint.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFormat.h"
#include "config/SettingsHelp.h"

namespace {

using config::CSettings;
using config::CSettingsNote;
using config::CSettingsProblem;
using config::ENote;
using config::EProblem;

// Settings with which both sides start.
CSettings Complete() {
    CSettings v = config::DefaultSettings();
    v.m_irc.m_strAltNick = "fraghorn_";
    v.m_irc.m_strChannel = "#clan";
    v.m_nTicketSecs = 60;
    v.m_game.m_strServer = "10.1.2.3";
    return v;
}

struct CProblemRow {
    const char* m_pszName;
    std::function<void(CSettings&)> m_change;
    std::vector<CSettingsProblem> m_expected;
};

std::vector<CProblemRow> IrcRows() {
    return {
        {"Complete", [](CSettings&) {}, {}},
        {"InTheTabsOrder",
         [](CSettings& v) {
             v = CSettings();  // a file that names nothing
         },
         {{"irc_Port", EProblem::NoPort},
          {"irc_Server", EProblem::Empty},
          {"irc_Nick", EProblem::Empty},
          {"irc_altNick", EProblem::Empty},
          {"irc_Channel", EProblem::Empty},
          {"irc_Tickettime", EProblem::NoInterval}}},
        {"NegativeInterval",
         [](CSettings& v) { v.m_nTicketSecs = -5; },
         {{"irc_Tickettime", EProblem::NoInterval}}},
        {"HighPortIsAPort", [](CSettings& v) { v.m_irc.m_nPort = 65535; }, {}},
        {"ChannelWithoutHash",
         [](CSettings& v) { v.m_irc.m_strChannel = "clan"; },
         {{"irc_Channel", EProblem::NoChannel}}},
        {"ChannelWithBlank",
         [](CSettings& v) { v.m_irc.m_strChannel = "#my clan"; },
         {{"irc_Channel", EProblem::NoChannel}}},
        {"ChannelFormLast",
         [](CSettings& v) {
             v.m_irc.m_strChannel = "clan";
             v.m_irc.m_bAuth = true;
         },
         {{"irc_Username", EProblem::Empty},
          {"irc_Password", EProblem::Empty},
          {"irc_Channel", EProblem::NoChannel}}},
        {"CredentialsOnlyWithAuth",
         [](CSettings& v) {
             v.m_irc.m_bAuth = false;
             v.m_irc.m_nNetwork = -1;
         },
         {}},
        {"AuthWithCredentials",
         [](CSettings& v) {
             v.m_irc.m_bAuth = true;
             v.m_irc.m_strUsername = "acct";
             v.m_irc.m_strPassword = "pw";
         },
         {}},
        {"PinnedFingerprintInAnyCaseWithColons",
         [](CSettings& v) {
             v.m_irc.m_security.m_bTls = true;
             v.m_irc.m_security.m_strTlsFingerprint = std::string(63, 'a') + "B";
             v.m_irc.m_security.m_strTlsFingerprint.insert(2, ":");
         },
         {}},
        {"FingerprintTooShort",
         [](CSettings& v) { v.m_irc.m_security.m_strTlsFingerprint = "AB:CD"; },
         {{"irc_TLSFingerprint", EProblem::NoFingerprint}}},
        {"FingerprintNotHex",
         [](CSettings& v) { v.m_irc.m_security.m_strTlsFingerprint = std::string(64, 'g'); },
         {{"irc_TLSFingerprint", EProblem::NoFingerprint}}},
        {"MissingClientCertificate",
         [](CSettings& v) {
             v.m_irc.m_security.m_bTls = true;
             v.m_irc.m_security.m_strClientCert = "/nonexistent/fragrelay/client.pem";
         },
         {{"irc_ClientCert", EProblem::NoFile}}},
        {"SaslPlainNeedsThePassword",
         [](CSettings& v) {
             v.m_irc.m_bAuth = true;
             v.m_irc.m_nNetwork = 2;
             v.m_irc.m_strUsername = "acct";
         },
         {{"irc_Password", EProblem::Empty}}},
    };
}

// A client certificate that exists: SASL EXTERNAL needs no account or
// password, and the certificate needs TLS.
TEST(SettingsCheck, ClientCertificateLogsInOverTlsWithoutPassword) {
    testsupport::CTempFolder folder;
    const std::string strPem = folder.Path() + "/client.pem";
    std::FILE* pFile = std::fopen(strPem.c_str(), "wb");
    ASSERT_NE(pFile, nullptr);
    std::fputs("-----BEGIN CERTIFICATE-----\n", pFile);
    std::fclose(pFile);
    CSettings values = Complete();
    values.m_irc.m_bAuth = true;
    values.m_irc.m_nNetwork = 2;
    values.m_irc.m_security.m_strClientCert = strPem;
    values.m_irc.m_security.m_bTls = true;
    EXPECT_EQ(config::IrcSideProblems(values), std::vector<CSettingsProblem>{});
    values.m_irc.m_security.m_bTls = false;
    EXPECT_EQ(config::IrcSideProblems(values),
              (std::vector<CSettingsProblem>{{"irc_ClientCert", EProblem::NeedsTls}}));
    // An account network still needs its credentials, certificate or not.
    values.m_irc.m_security.m_bTls = true;
    values.m_irc.m_nNetwork = 0;
    EXPECT_EQ(config::IrcSideProblems(values),
              (std::vector<CSettingsProblem>{{"irc_Username", EProblem::Empty},
                                             {"irc_Password", EProblem::Empty}}));
}

TEST(SettingsCheck, IrcSideFollowsTheIrcTabsChecks) {
    for (const CProblemRow& row : IrcRows()) {
        CSettings values = Complete();
        row.m_change(values);
        EXPECT_EQ(config::IrcSideProblems(values), row.m_expected) << row.m_pszName;
        EXPECT_EQ(config::GameSideProblems(values).empty(), values.m_game.m_strServer != "")
            << row.m_pszName;
    }
}

TEST(SettingsCheck, GameSideNeedsServerPortAndEveryColour) {
    const CProblemRow rows[] = {
        {"Complete", [](CSettings&) {}, {}},
        {"ServerAndPort",
         [](CSettings& v) {
             v.m_game.m_strServer.clear();
             v.m_game.m_nQueryPort = 0;
         },
         {{"bf_Port", EProblem::NoPort}, {"bf_Server", EProblem::Empty}}},
        {"ColoursInTheSettingsTabsOrder",
         [](CSettings& v) {
             v.m_colors.m_strValueColor.clear();
             v.m_colors.m_strAlliedKillColor.clear();
         },
         {{"allied_farbe_kill", EProblem::Empty}, {"value_farbe", EProblem::Empty}}},
        {"EveryColour",
         [](CSettings& v) { v = CSettings(); },
         {{"bf_Port", EProblem::NoPort},
          {"bf_Server", EProblem::Empty},
          {"allied_farbe_kill", EProblem::Empty},
          {"axis_farbe_kill", EProblem::Empty},
          {"status_farbe", EProblem::Empty},
          {"allied_farbe_flagge", EProblem::Empty},
          {"axis_farbe_flagge", EProblem::Empty},
          {"value_farbe", EProblem::Empty},
          {"key_farbe", EProblem::Empty}}},
        // The quick check and the start read the same key; filters and
        // language do not keep a side from starting.
        {"FiltersAndLanguageFree",
         [](CSettings& v) {
             v.m_colors.m_bShowKill = false;
             v.m_game.m_nLanguage = -1;
         },
         {}},
    };
    for (const CProblemRow& row : rows) {
        CSettings values = Complete();
        row.m_change(values);
        EXPECT_EQ(config::GameSideProblems(values), row.m_expected) << row.m_pszName;
        std::vector<CSettingsProblem> serverOnly;
        for (const CSettingsProblem& problem : row.m_expected) {
            if (problem.m_pszKey[0] == 'b') serverOnly.push_back(problem);
        }
        EXPECT_EQ(config::GameServerProblems(values), serverOnly) << row.m_pszName;
    }
}

TEST(SettingsCheck, ProblemTextsNameTheKey) {
    CSettings values = Complete();
    values.m_nTicketSecs = -5;
    values.m_irc.m_strChannel = "my\xE9 clan";
    const struct {
        CSettingsProblem m_problem;
        const char* m_pszText;
    } rows[] = {
        {{"irc_Nick", EProblem::Empty}, "irc_Nick is empty"},
        {{"bf_Port", EProblem::NoPort}, "bf_Port is 0, not a port"},
        {{"irc_Tickettime", EProblem::NoInterval},
         "irc_Tickettime is -5, not a number of seconds above 0"},
        {{"irc_Channel", EProblem::NoChannel},
         "irc_Channel \"my\xE9 clan\" is no channel name (it needs a # and no blank)"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(config::ProblemText(row.m_problem, values), row.m_pszText);
    values.m_irc.m_strChannel = "clan";
    EXPECT_EQ(config::ProblemText({"irc_Channel", EProblem::NoChannel}, values),
              "irc_Channel \"clan\" is no channel name (it needs a #)");
    values.m_irc.m_security.m_strTlsFingerprint = "AB:CD";
    EXPECT_EQ(config::ProblemText({"irc_TLSFingerprint", EProblem::NoFingerprint}, values),
              "irc_TLSFingerprint \"AB:CD\" is no SHA-256 fingerprint (64 hex digits, colons "
              "allowed)");
    values.m_irc.m_security.m_strClientCert = "/nonexistent/c.pem";
    EXPECT_EQ(config::ProblemText({"irc_ClientCert", EProblem::NoFile}, values),
              "irc_ClientCert /nonexistent/c.pem cannot be read (No such file or directory)");
    EXPECT_EQ(config::ProblemText({"irc_ClientCert", EProblem::EncryptedKey}, values),
              "irc_ClientCert: the key in /nonexistent/c.pem is encrypted; fragrelay needs it "
              "without a pass phrase");
}

TEST(SettingsCheck, ChangedKeysInTheFilesOrder) {
    const struct {
        const char* m_pszName;
        std::function<void(CSettings&)> m_change;
        std::vector<std::string> m_keys;
    } rows[] = {
        {"Nothing", [](CSettings&) {}, {}},
        {"ChannelCaseOnly", [](CSettings& v) { v.m_irc.m_strChannel = "#CLAN"; }, {}},
        {"Channel", [](CSettings& v) { v.m_irc.m_strChannel = "#other"; }, {"irc_Channel"}},
        {"Several",
         [](CSettings& v) {
             v.m_colors.m_bShowTk = false;
             v.m_irc.m_strPassword = "new";
             v.m_nTicketSecs = 30;
             v.m_game.m_nLanguage = 1;
         },
         {"irc_Password", "irc_Tickettime", "bf_Language", "show_tk"}},
        {"Port", [](CSettings& v) { v.m_irc.m_nPort = 6668; }, {"irc_Port"}},
    };
    for (const auto& row : rows) {
        CSettings after = Complete();
        row.m_change(after);
        EXPECT_EQ(config::ChangedSettingsKeys(Complete(), after), row.m_keys) << row.m_pszName;
        EXPECT_EQ(config::ChangedSettingsKeys(after, Complete()), row.m_keys) << row.m_pszName;
    }
}

// The login would carry the password readable: said as a note, and nothing
// is refused that works. A server on this machine (a local bouncer or
// tunnel) is exempt.
TEST(SettingsNotes, PasswordInPlainTextIsNotedNotRefused) {
    const auto with = [](std::function<void(CSettings&)> change) {
        CSettings v = Complete();
        v.m_irc.m_strServer = "irc.example.net";
        v.m_irc.m_bAuth = true;
        v.m_irc.m_strUsername = "acct";
        v.m_irc.m_strPassword = "pw";
        change(v);
        return v;
    };
    const struct {
        const char* m_pszName;
        CSettings m_values;
        bool m_bNoted;
    } kRows[] = {
        {"Quakenet", with([](CSettings&) {}), true},
        {"Gamesnet", with([](CSettings& v) { v.m_irc.m_nNetwork = 1; }), true},
        {"SaslPlain", with([](CSettings& v) { v.m_irc.m_nNetwork = 2; }), true},
        {"SaslExternal", with([](CSettings& v) {
             v.m_irc.m_nNetwork = 2;
             v.m_irc.m_security.m_strClientCert = "/nonexistent/c.pem";
         }),
         false},
        {"OverTls", with([](CSettings& v) { v.m_irc.m_security.m_bTls = true; }), false},
        {"AuthOff", with([](CSettings& v) { v.m_irc.m_bAuth = false; }), false},
        {"NoAccountService", with([](CSettings& v) { v.m_irc.m_nNetwork = -1; }), false},
        {"Loopback4", with([](CSettings& v) { v.m_irc.m_strServer = "127.0.0.1"; }), false},
        {"LoopbackNet", with([](CSettings& v) { v.m_irc.m_strServer = "127.200.3.4"; }), false},
        {"Loopback6", with([](CSettings& v) { v.m_irc.m_strServer = "::1"; }), false},
        {"Loopback6Brackets", with([](CSettings& v) { v.m_irc.m_strServer = "[::1]"; }), false},
        {"Localhost", with([](CSettings& v) { v.m_irc.m_strServer = "LocalHost"; }), false},
        {"NextToLoopback", with([](CSettings& v) { v.m_irc.m_strServer = "128.0.0.1"; }), true},
        {"NotLoopback6", with([](CSettings& v) { v.m_irc.m_strServer = "::2"; }), true},
        {"NamedLikeLocalhost",
         with([](CSettings& v) { v.m_irc.m_strServer = "localhost.example.net"; }), true},
    };
    const std::vector<CSettingsNote> kPlain = {{"irc_Password", ENote::PasswordInPlainText}};
    for (const auto& row : kRows) {
        EXPECT_EQ(config::SendsPasswordInPlainText(row.m_values.m_irc), row.m_bNoted)
            << row.m_pszName;
        EXPECT_EQ(config::IrcSideNotes(row.m_values),
                  row.m_bNoted ? kPlain : std::vector<CSettingsNote>{})
            << row.m_pszName;
        if (row.m_values.m_irc.m_security.m_strClientCert.empty()) {
            EXPECT_EQ(config::IrcSideProblems(row.m_values), std::vector<CSettingsProblem>{})
                << row.m_pszName << ": a note refuses nothing";
        }
    }
    EXPECT_EQ(config::NoteText(kPlain[0], "settings.ini"),
              "irc_Password is sent in plain text: set irc_TLS=yes");
}

std::vector<std::string> Lines(const std::string& strText, const std::string& strEnd) {
    std::vector<std::string> lines;
    for (size_t nAt = 0; nAt < strText.size();) {
        const size_t nEnd = strText.find(strEnd, nAt);
        lines.push_back(strText.substr(nAt, nEnd - nAt));
        nAt = nEnd + strEnd.size();
    }
    return lines;
}

// Each written line of a first start, in order, with a meaning after it
// (on the next line when the value is long); the help fits 80 columns.
TEST(SettingsKeysHelp, ShowsEveryKeyWithItsDefaultAndMeaning) {
    const std::vector<std::string> defaults =
        Lines(config::FormatSettings(config::DefaultSettings()), "\r\n");
    const std::vector<std::string> help = Lines(config::SettingsKeysHelp(), "\n");
    size_t nKey = 0;
    for (size_t n = 0; n < help.size(); ++n) {
        EXPECT_LE(help[n].size(), 80u) << help[n];
        if (help[n].find('=') == std::string::npos) continue;
        ASSERT_LT(nKey, defaults.size()) << help[n];
        const std::string strEntry = "  " + defaults[nKey++];
        const bool bWrapped = help[n] == strEntry;
        const std::string& strMeaningLine = bWrapped && n + 1 < help.size() ? help[n + 1] : help[n];
        const size_t nMeaningAt = bWrapped ? 0 : strEntry.size();
        EXPECT_EQ(help[n].rfind(strEntry, 0), 0u) << help[n];
        EXPECT_GE(strMeaningLine.find_first_not_of(' ', nMeaningAt), nMeaningAt + 2) << help[n];
        EXPECT_NE(strMeaningLine.find_first_not_of(' ', nMeaningAt), std::string::npos) << help[n];
    }
    EXPECT_EQ(nKey, defaults.size());
}

}  // namespace
