// fragrelayd, the real program, as a server runs it: a working directory
// with settings.ini, the stand-in game server playing a scenario, ngircd
// as the IRC server, and a second, plain client in the channel that checks
// what arrives byte for byte. SIGTERM must end it as Quit does.
// With FR_DAEMON_COMMAND set (scripts/test-windows: Wine and fragrelayd.exe)
// the same runs check the Windows program; Wine ends a program at once on
// SIGTERM and hands SIGINT to it as Ctrl-C, so the stop is SIGINT there,
// and the Windows console's line ends are CR LF.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "config/TempFolder.h"
#include "support/ChildProcess.h"
#include "support/ColorText.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using testsupport::CIrcTestClient;
using testsupport::CNgircdServer;

constexpr auto kLong = std::chrono::seconds(20);
const std::string kPrivmsg = " PRIVMSG #relay :";

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

// Two players; the second state is a kill of Tom by Hans.
const char kBefore[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 10 5 2 40 Hans\nplayer 1 2 4 2 6 40 Tom\n";
const char kAfterKill[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 11 6 2 40 Hans\nplayer 1 2 4 2 7 40 Tom\n";

// The writer's 24 lines (the IRC port as the signed 16-bit number it
// writes); an empty IRC channel or game server refuses.
std::string SettingsText(uint16_t nIrcPort, const std::string& strChannel,
                         const std::string& strGameServer, uint16_t nGamePort) {
    return "irc_Server=127.0.0.1\r\nirc_Port=" + std::to_string(static_cast<int16_t>(nIrcPort)) +
           "\r\nirc_Nick=fragbot\r\nirc_altNick=fragbot2\r\nirc_Channel=" + strChannel +
           "\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
           "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=" +
           strGameServer + "\r\nbf_Port=" + std::to_string(nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=15\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=no\r\nshow_tk=yes\r\n";
}

// The command that starts the program: FR_DAEMON_COMMAND's words, or the
// program built beside this test.
std::vector<std::string> DaemonCommand() {
    const char* pszCommand = std::getenv("FR_DAEMON_COMMAND");
    if (pszCommand == nullptr || *pszCommand == '\0') return {FR_DAEMON_PROGRAM};
    std::vector<std::string> vWords;
    std::string strWord;
    for (const char* p = pszCommand;; ++p) {
        if (*p == ' ' || *p == '\0') {
            if (!strWord.empty()) vWords.push_back(strWord);
            strWord.clear();
            if (*p == '\0') break;
        } else {
            strWord += *p;
        }
    }
    return vWords;
}

bool OnWindows() {
    return DaemonCommand().size() > 1 || DaemonCommand()[0].find(".exe") != std::string::npos;
}

// The line end the program prints.
std::string Eol() {
    return OnWindows() ? "\r\n" : "\n";
}

long ElapsedMs(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

// "VmRSS" or "VmHWM" of a process, in kB; -1 when unreadable.
long StatusKb(pid_t pid, const std::string& strKey) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string strLine; std::getline(in, strLine);) {
        if (strLine.rfind(strKey + ":", 0) == 0)
            return std::atol(strLine.c_str() + strKey.size() + 1);
    }
    return -1;
}

class FragrelaydTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.IsValid()); }
    std::string SettingsPath() const { return m_folder / "settings.ini"; }
    bool StartDaemon(const std::vector<std::string>& vArgs = {}) {
        std::vector<std::string> vAll = DaemonCommand();
        vAll.insert(vAll.end(), vArgs.begin(), vArgs.end());
        return m_daemon.Start(vAll, m_folder.Path());
    }

    testsupport::CTempFolder m_folder;
    testsupport::CChildProcess m_daemon;
};

TEST_F(FragrelaydTest, HelpAndVersionPrintAndExit) {
    ASSERT_TRUE(StartDaemon({"--version"}));
    EXPECT_EQ(m_daemon.Wait(kLong), 0);
    EXPECT_EQ(m_daemon.Output(), "fragrelayd (fragrelay) v1.3 BETA" + Eol());

    std::vector<std::string> vHelp = DaemonCommand();
    vHelp.push_back("--help");
    testsupport::CChildProcess help;
    ASSERT_TRUE(help.Start(vHelp, m_folder.Path()));
    EXPECT_EQ(help.Wait(kLong), 0);
    EXPECT_EQ(help.Output().rfind("Usage: fragrelayd", 0), 0u) << help.Output();

    std::vector<std::string> vWrong = DaemonCommand();
    vWrong.push_back("--bogus");
    testsupport::CChildProcess wrong;
    ASSERT_TRUE(wrong.Start(vWrong, m_folder.Path()));
    EXPECT_EQ(wrong.Wait(kLong), 2);
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{});  // nothing written
}

TEST_F(FragrelaydTest, ExitsWithOneWhenNeitherSideCanStart) {
    const std::string strSettings = SettingsText(6667, "", "", 23000);
    ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), strSettings));
    ASSERT_TRUE(StartDaemon());
    EXPECT_EQ(m_daemon.Wait(kLong), 1);
    EXPECT_EQ(m_daemon.Output(),
              "Error: Fill out all Inputfields!" + Eol() + "Error: Fill out all Inputfields!" +
                  Eol() + "fragrelayd: neither the IRC side nor the game side could be started" +
                  Eol());
    EXPECT_EQ(testsupport::ReadWholeFile(SettingsPath()), strSettings);  // not saved
}

class FragrelaydWithPeers : public FragrelaydTest {
protected:
    void SetUp() override {
        FragrelaydTest::SetUp();
        if (!CNgircdServer::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << CNgircdServer::kBinary << " is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << CNgircdServer::kBinary << " is not installed";
        }
        ASSERT_TRUE(m_ngircd.Start()) << m_ngircd.Log();
        ASSERT_TRUE(m_sim.Start());
        // The other user joins first and records everything from then on.
        ASSERT_TRUE(m_alice.Connect(m_ngircd.Port(), "alice"));
        ASSERT_TRUE(m_alice.SendLine("JOIN #relay"));
        ASSERT_TRUE(m_alice.WaitFor(" 366 alice #relay "));
    }
    // A comment line shows whether the program wrote the file again.
    void WriteSettings() {
        ASSERT_TRUE(testsupport::WriteWholeFile(
            SettingsPath(), "// before the run\r\n" + SettingsText(m_ngircd.Port(), "#relay",
                                                                   "127.0.0.1", m_sim.Port())));
    }
    // The text of the bot's one channel line that holds strPart.
    std::string ChannelLineWith(const std::string& strPart) const {
        for (const std::string& str : m_alice.Lines()) {
            const size_t nAt = str.find(kPrivmsg);
            if (str.rfind(":fragbot!", 0) == 0 && nAt != std::string::npos &&
                str.find(strPart, nAt) != std::string::npos)
                return str.substr(nAt + kPrivmsg.size());
        }
        return "(none)";
    }
    // SIGTERM: the QUIT line, the settings saved, exit status 0.
    void StopLikeQuit() {
        const auto start = std::chrono::steady_clock::now();
        m_daemon.Signal(OnWindows() ? SIGINT : SIGTERM);
        EXPECT_EQ(m_daemon.Wait(kLong), 0) << m_daemon.Output();
        std::printf("[ figure ] fragrelayd: %s to exit %ld ms\n",
                    OnWindows() ? "SIGINT" : "SIGTERM", ElapsedMs(start));
        EXPECT_TRUE(m_alice.WaitFor(" QUIT :\"v1.3 BETA /// Battlefield 1942 to IRC relay"))
            << testing::PrintToString(m_alice.Lines());
        EXPECT_EQ(testsupport::ReadWholeFile(SettingsPath()),
                  SettingsText(m_ngircd.Port(), "#relay", "127.0.0.1", m_sim.Port()));
        // On Windows the file's access list holds it for its owner (its own
        // test checks that); Wine chooses the Linux mode bits itself.
        if (OnWindows()) return;
        struct stat st {};
        ASSERT_EQ(::stat(SettingsPath().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }

    CNgircdServer m_ngircd;
    bf42sim::CSimServer m_sim;
    CIrcTestClient m_alice;
};

TEST_F(FragrelaydWithPeers, RelaysTheScenarioIntoTheChannelAndEndsOnSigtermAsQuitDoes) {
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kBefore, &strError)) << strError;
    WriteSettings();
    ASSERT_TRUE(StartDaemon());

    // The opening banner, byte for byte (the server drops trailing blanks).
    const std::string strBanner =
        C("^10* * * * * * ^[^14fragrelay - Battlefield 1942 to IRC relay^]^10 * * * * * *");
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + C("^10ticketratio ^[^14100%^]"), 1, kLong))
        << testing::PrintToString(m_alice.Lines()) << m_daemon.Output();
    EXPECT_EQ(ChannelLineWith("fragrelay - "), strBanner);

    // A kill on the server becomes one line in the channel.
    ASSERT_TRUE(m_sim.LoadScenario(kAfterKill, &strError)) << strError;
    const std::string strKill = C("^05Hans (11/6/2)^  [killed]  ^02Tom (4/2/7)");
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + strKill, 1, kLong))
        << testing::PrintToString(m_alice.Lines());
    EXPECT_EQ(ChannelLineWith("[killed]"), strKill);

    // The channel's words reach the IRC log, printed as UTF-8.
    ASSERT_TRUE(m_alice.SendLine("PRIVMSG #relay :caf\xE9 ok"));
    EXPECT_TRUE(m_daemon.ReadUntil("irc: <alice> caf\xC3\xA9 ok" + Eol(), kLong))
        << m_daemon.Output();
    EXPECT_TRUE(m_daemon.ReadUntil("game: Hans (11/6/2)  [killed]  Tom (4/2/7)" + Eol(), kLong))
        << m_daemon.Output();

    StopLikeQuit();
    // Every line is a log line behind its prefix; no message box came.
    const std::string& strOut = m_daemon.Output();
    for (size_t nAt = 0; nAt < strOut.size();) {
        const size_t nEnd = strOut.find('\n', nAt);
        ASSERT_NE(nEnd, std::string::npos) << "unfinished last line";
        const std::string strLine = strOut.substr(nAt, nEnd - nAt);
        EXPECT_TRUE(strLine.rfind("irc: ", 0) == 0 || strLine.rfind("game: ", 0) == 0) << strLine;
        nAt = nEnd + 1;
    }
}

TEST_F(FragrelaydWithPeers, MeasuresItsMemoryWhileMonitoringSixtyFourPlayers) {
    m_sim.StartLive(7, 64, 1000);
    WriteSettings();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartDaemon());
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + C("^10ticketratio ^[^14"), 1, kLong))
        << testing::PrintToString(m_alice.Lines()) << m_daemon.Output();
    std::printf("[ figure ] fragrelayd: start to the banner's last line %ld ms\n",
                ElapsedMs(start));
    // Some seconds of polls and relayed events.
    const int nPolls = m_sim.StatusRequests() + 30;
    // Under Wine every socket call is a round trip to Wine's server
    // process, which a busy machine makes slow: more time, the same polls.
    const auto pollTime = OnWindows() ? 3 * kLong : kLong;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.StatusRequests() >= nPolls; }, pollTime))
        << m_sim.StatusRequests() << " of " << nPolls << " polls";
    std::printf("[ figure ] fragrelayd with 64 players: VmRSS %ld kB, VmHWM %ld kB\n",
                StatusKb(m_daemon.Pid(), "VmRSS"), StatusKb(m_daemon.Pid(), "VmHWM"));
    StopLikeQuit();
}

}  // namespace
