// fragrelayd, the real program, as a server runs it: a working directory
// with settings.ini, the stand-in game server playing a scenario, ngircd
// as the IRC server, and a second, plain client in the channel that checks
// what arrives byte for byte. SIGTERM must end it with its QUIT line and
// leave the settings file as the operator left it (fragrelayd only reads
// it, even one it may not write); SIGHUP makes it read its settings again.
// Before it starts, what it says about its settings file, word for word
// ("{dir}" is the test's folder), and its exit status.
// With FR_DAEMON_COMMAND set (scripts/test-windows: Wine and fragrelayd.exe)
// the same runs check the Windows program; Wine ends a program at once on
// SIGTERM and hands SIGINT to it as Ctrl-C, so the stop is SIGINT there,
// and the Windows console's line ends are CR LF.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/TempFolder.h"
#include "fragrelayd/DaemonCommandLine.h"
#include "irc/Sasl.h"
#include "platform/Socket.h"
#include "res/Version.h"
#include "support/ChildProcess.h"
#include "support/ColorText.h"
#include "support/FolderText.h"
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
                         const std::string& strGameServer, uint16_t nGamePort,
                         const std::string& strNick = "fragbot") {
    return "irc_Server=127.0.0.1\r\nirc_Port=" + std::to_string(static_cast<int16_t>(nIrcPort)) +
           "\r\nirc_Nick=" + strNick + "\r\nirc_altNick=fragbot2\r\nirc_Channel=" + strChannel +
           "\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
           "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=" +
           strGameServer + "\r\nbf_Port=" + std::to_string(nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=15\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=no\r\nshow_tk=yes\r\n";
}

std::string Replaced(std::string str, const std::string& strFrom, const std::string& strTo) {
    for (size_t nAt = str.find(strFrom); nAt != std::string::npos;
         nAt = str.find(strFrom, nAt + strTo.size()))
        str.replace(nAt, strFrom.size(), strTo);
    return str;
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

// The test's folder as the program names it: under Wine, Linux's root is
// drive Z:.
std::string ShownFolder(const std::string& strFolder) {
    if (!OnWindows()) return strFolder;
    std::string str = "Z:" + strFolder;
    for (char& c : str)
        if (c == '/') c = '\\';
    return str;
}

// Expected output written with "\n": the program's own line ends.
std::string Printed(const std::string& str) {
    return Replaced(str, "\n", Eol());
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
    EXPECT_EQ(m_daemon.Output(),
              Printed("fragrelayd (fragrelay) " + std::string(res::ReleaseVersion()) +
                      "\nCopyright (c) 2026 the fragrelay developers.\n"
                      "Licensed under the MIT License.\n"
                      "\nThe bot's version text on IRC: v1.3 BETA\n"));

    std::vector<std::string> vHelp = DaemonCommand();
    vHelp.push_back("--help");
    testsupport::CChildProcess help;
    ASSERT_TRUE(help.Start(vHelp, m_folder.Path()));
    EXPECT_EQ(help.Wait(kLong), 0);
    EXPECT_EQ(help.Output(), Printed(fragrelayd::DaemonUsage()));
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{});  // nothing written
}

// One run of the program in the test's folder: arguments, the settings file
// there (none when empty), what it prints and its exit status.
struct CRunRow {
    const char* m_pszName;
    std::vector<std::string> m_vArgs;  // "{dir}" is the test's folder, as below
    std::string m_strSettings;
    int m_nExit;
    const char* m_pszOutput;
    std::vector<std::string> m_names;  // the folder's names afterwards
};

class FragrelaydRun : public FragrelaydTest, public testing::WithParamInterface<CRunRow> {};

TEST_P(FragrelaydRun, SaysWhatIsWrongAndExits) {
    const CRunRow& row = GetParam();
    if (!row.m_strSettings.empty()) {
        ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), row.m_strSettings));
    }
    const std::string strDir = ShownFolder(m_folder.Path());
    std::vector<std::string> vArgs;
    for (const std::string& strArg : row.m_vArgs)
        vArgs.push_back(testsupport::FolderText(strArg, strDir, OnWindows()));
    ASSERT_TRUE(StartDaemon(vArgs));
    EXPECT_EQ(m_daemon.Wait(kLong), row.m_nExit);
    EXPECT_EQ(m_daemon.Output(),
              Printed(testsupport::FolderText(row.m_pszOutput, strDir, OnWindows())));
    EXPECT_EQ(m_folder.Names(), row.m_names);
    if (!row.m_strSettings.empty()) {
        EXPECT_EQ(testsupport::ReadWholeFile(SettingsPath()), row.m_strSettings);  // not saved
    }
}

const std::string kNoSides = SettingsText(6667, "", "", 23000);
const std::string kBothSides = SettingsText(6667, "#relay", "127.0.0.1", 23000);
const std::vector<std::string> kSettingsOnly = {"settings.ini"};

const CRunRow kRunRows[] = {
    {"NoSettingsFile",
     {},
     "",
     2,
     "fragrelayd: no settings file at {dir}/settings.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings {dir}/settings.ini\", fill in its "
     "keys (fragrelayd --help lists them) and start again\n",
     {}},
    {"NoFileWhereDashCSays",
     {"-c", "conf/bot.ini"},
     "",
     2,
     "fragrelayd: no settings file at {dir}/conf/bot.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings {dir}/conf/bot.ini\", fill in its "
     "keys (fragrelayd --help lists them) and start again\n",
     {}},
    {"SettingsAFolder",
     {"--settings", "{dir}"},
     "",
     2,
     "fragrelayd: {dir} is a folder, not a settings file\n",
     {}},
    // The keys first, then each page's own message, as the window shows it.
    {"NeitherSideHasItsSettings",
     {},
     kNoSides,
     2,
     "fragrelayd: IRC side: irc_Channel is empty\n"
     "fragrelayd: game side: bf_Server is empty\n"
     "Error: Fill out all Inputfields!\n"
     "Error: Fill out all Inputfields!\n"
     "fragrelayd: neither the IRC side nor the game side could be started\n",
     kSettingsOnly},
    {"CheckComplete",
     {"--check"},
     kBothSides,
     0,
     "fragrelayd: {dir}/settings.ini: both sides can start\n",
     kSettingsOnly},
    {"CheckIncomplete",
     {"-c", "settings.ini", "--check"},
     kNoSides,
     2,
     "fragrelayd: IRC side: irc_Channel is empty\n"
     "fragrelayd: game side: bf_Server is empty\n"
     "fragrelayd: {dir}/settings.ini: neither side can start\n",
     kSettingsOnly},
    {"WriteSettingsNew",
     {"--write-settings", "{dir}/new.ini"},
     "",
     0,
     "fragrelayd: wrote the default settings to {dir}/new.ini\n"
     "fragrelayd: still to fill in: irc_altNick, irc_Channel, irc_Tickettime, bf_Server\n"
     "fragrelayd: then check them with \"fragrelayd --check -c {dir}/new.ini\"\n",
     {"new.ini"}},
    {"WriteSettingsNeverOverwrites",
     {"--write-settings"},
     kBothSides,
     2,
     "fragrelayd: {dir}/settings.ini exists already; it is not overwritten\n",
     kSettingsOnly},
    {"UnknownArgument",
     {"--bogus"},
     "",
     2,
     "fragrelayd: unknown argument \"--bogus\" (see fragrelayd --help)\n",
     {}},
};
INSTANTIATE_TEST_SUITE_P(Rows, FragrelaydRun, testing::ValuesIn(kRunRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// Complete IRC settings, but the IRC server refuses and the game side lacks
// its server: the IRC side keeps trying, as it does whenever its link ends
// unasked, so the bot runs on until it is stopped.
TEST_F(FragrelaydTest, KeepsTryingAnIrcServerThatRefusesUntilStopped) {
    // Bound but not listening: a connect there is refused.
    platform::CSocket closed = platform::CSocket::CreateTcp();
    ASSERT_TRUE(closed.Bind(platform::LoopbackAddress()));
    const std::string strSettings = SettingsText(closed.LocalPort(), "#relay", "", 23000);
    ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), strSettings));
    ASSERT_TRUE(StartDaemon());
    ASSERT_TRUE(m_daemon.ReadUntil("irc: Next attempt in ", kLong)) << m_daemon.Output();
    EXPECT_EQ(m_daemon.Output().rfind(Printed("fragrelayd: game side: bf_Server is empty\n"), 0),
              0u)
        << m_daemon.Output();
    EXPECT_NE(
        m_daemon.Output().find(Printed("irc: Couldn't find Server! Check the Portsettings.\n")),
        std::string::npos)
        << m_daemon.Output();
    m_daemon.Signal(OnWindows() ? SIGINT : SIGTERM);
    EXPECT_EQ(m_daemon.Wait(kLong), 0) << m_daemon.Output();
    EXPECT_EQ(testsupport::ReadWholeFile(SettingsPath()), strSettings);  // never written
}

// The file system under the settings is read-only: fragrelayd only reads
// its settings, so it starts there (and ends on SIGTERM with exit status
// 0); only --write-settings, which makes a file, is refused. Needs a mount
// namespace of its own.
TEST_F(FragrelaydTest, StartsWithSettingsOnAReadOnlyFileSystem) {
    if (OnWindows()) GTEST_SKIP() << "a read-only mount is Linux's";
    const std::string strUnshare = testsupport::FindProgram("unshare");
    const std::string strTimeout = testsupport::FindProgram("timeout");
    if (strUnshare.empty() || strTimeout.empty())
        GTEST_SKIP() << "unshare or timeout is not installed";
    // Bound but not listening: the IRC side's connect is refused at once.
    platform::CSocket closed = platform::CSocket::CreateTcp();
    ASSERT_TRUE(closed.Bind(platform::LoopbackAddress()));
    const std::string strRo = m_folder / "ro";
    const std::string strRun = m_folder / "run.txt";
    ASSERT_EQ(::mkdir(strRo.c_str(), 0700), 0);
    // The run's output goes to a file beside the mount; SIGTERM after two
    // seconds of trying.
    const std::string strScript =
        "mount -t tmpfs tmpfs \"$1\" || exit 77; printf %s \"$2\" >\"$1/settings.ini\"; "
        "mount -o remount,ro \"$1\" || exit 77; \"$4\" --preserve-status -s TERM 2 \"$0\" "
        "-c \"$1/settings.ini\" >\"$3\" 2>&1; echo \"exit $?\"; "
        "exec \"$0\" --write-settings \"$1/new.ini\"";
    // In a chroot "/" is no mount point, so unshare cannot make it private;
    // the mount then stays in the namespace that the chroot's owner made.
    std::unique_ptr<testsupport::CChildProcess> pChild;
    int nExit = -1;
    for (const bool bKeepPropagation : {false, true}) {
        std::vector<std::string> vArgs = {strUnshare, ::geteuid() == 0 ? "-m" : "-rm"};
        if (bKeepPropagation) vArgs.insert(vArgs.end(), {"--propagation", "unchanged"});
        vArgs.insert(vArgs.end(), {"sh", "-c", strScript, FR_DAEMON_PROGRAM, strRo,
                                   SettingsText(closed.LocalPort(), "#relay", "127.0.0.1", 23000),
                                   strRun, strTimeout});
        pChild = std::make_unique<testsupport::CChildProcess>();
        ASSERT_TRUE(pChild->Start(vArgs, m_folder.Path()));
        nExit = pChild->Wait(kLong);
        if (pChild->Output().find("propagation") == std::string::npos) break;
    }
    const testsupport::CChildProcess& child = *pChild;
    if (nExit == 77 || child.Output().rfind("unshare:", 0) == 0)
        GTEST_SKIP() << "no mount namespace here: " << child.Output();
    EXPECT_EQ(nExit, 2);
    EXPECT_EQ(child.Output(),
              "exit 0\n"
              "fragrelayd: cannot write " +
                  strRo + "/new.ini: Read-only file system\n");
    // It ran: the IRC side tried its server, and nothing was said of the file.
    const std::string strRunOutput = testsupport::ReadWholeFile(strRun);
    EXPECT_NE(strRunOutput.find("irc: Couldn't find Server! Check the Portsettings.\n"),
              std::string::npos)
        << strRunOutput;
    EXPECT_EQ(strRunOutput.find("fragrelayd: "), std::string::npos) << strRunOutput;
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
    void WriteSettings(const std::string& strNick = "fragbot") {
        ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), SettingsFile(strNick)));
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
    // The file as WriteSettings leaves it; a test may change it meanwhile.
    std::string SettingsFile(const std::string& strNick = "fragbot") const {
        return "// before the run\r\n" +
               SettingsText(m_ngircd.Port(), "#relay", "127.0.0.1", m_sim.Port(), strNick);
    }
    // SIGTERM: the QUIT line, exit status 0, and the settings file exactly as
    // it was (fragrelayd never writes it).
    void StopLikeQuit(const std::string& strFile) {
        const auto start = std::chrono::steady_clock::now();
        m_daemon.Signal(OnWindows() ? SIGINT : SIGTERM);
        EXPECT_EQ(m_daemon.Wait(kLong), 0) << m_daemon.Output();
        std::printf("[ figure ] fragrelayd: %s to exit %ld ms\n",
                    OnWindows() ? "SIGINT" : "SIGTERM", ElapsedMs(start));
        EXPECT_TRUE(m_alice.WaitFor(" QUIT :\"v1.3 BETA /// Battlefield 1942 to IRC relay"))
            << testing::PrintToString(m_alice.Lines());
        EXPECT_EQ(testsupport::ReadWholeFile(SettingsPath()), strFile);
    }
    void StopLikeQuit() { StopLikeQuit(SettingsFile()); }

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

// The operator edits settings.ini while the bot runs (as the README's
// sudoedit does) and then stops it (systemctl restart, a reboot): the file
// keeps the edit, byte for byte, and the bot ran on with what it had read.
TEST_F(FragrelaydWithPeers, AnEditWhileRunningSurvivesTheStop) {
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kBefore, &strError)) << strError;
    WriteSettings();
    ASSERT_TRUE(StartDaemon());
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + C("^10ticketratio ^[^14100%^]"), 1, kLong))
        << testing::PrintToString(m_alice.Lines()) << m_daemon.Output();

    const std::string strEdited =
        "// edited while the bot runs\r\n" +
        SettingsText(m_ngircd.Port(), "#relay", "127.0.0.1", m_sim.Port(), "fragbot9");
    ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), strEdited));
    StopLikeQuit(strEdited);
    // No SIGHUP came: the nickname it quit with is the one it started with.
    EXPECT_EQ(m_alice.Count(":fragbot9!"), 0) << testing::PrintToString(m_alice.Lines());
    EXPECT_EQ(m_daemon.Output().find("fragrelayd: "), std::string::npos) << m_daemon.Output();
}

// A settings file its owner made read-only is all the bot needs: it starts
// without a word about it, relays, and leaves the file as it was.
TEST_F(FragrelaydWithPeers, StartsOnAReadOnlySettingsFile) {
    if (OnWindows()) GTEST_SKIP() << "the file's mode bits are Linux's";
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kBefore, &strError)) << strError;
    WriteSettings();
    ASSERT_EQ(::chmod(SettingsPath().c_str(), 0400), 0);
    ASSERT_TRUE(StartDaemon());
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + C("^10ticketratio ^[^14100%^]"), 1, kLong))
        << testing::PrintToString(m_alice.Lines()) << m_daemon.Output();
    StopLikeQuit();
    struct stat st {};
    ASSERT_EQ(::stat(SettingsPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0400u);
    // Every line is a log line: no note about the file.
    EXPECT_EQ(m_daemon.Output().find("fragrelayd: "), std::string::npos) << m_daemon.Output();
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

// SIGHUP: the new nickname reaches the channel through a new connection of
// the IRC side; the game side relays on without a restart.
TEST_F(FragrelaydWithPeers, ReadsItsSettingsAgainOnSighupAndRestartsTheIrcSideOnly) {
    if (OnWindows()) GTEST_SKIP() << "Windows has no SIGHUP";
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kBefore, &strError)) << strError;
    WriteSettings();
    ASSERT_TRUE(StartDaemon());
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + C("^10ticketratio ^[^14100%^]"), 1, kLong))
        << testing::PrintToString(m_alice.Lines()) << m_daemon.Output();

    WriteSettings("fragbot9");
    m_daemon.Signal(SIGHUP);
    ASSERT_TRUE(
        m_daemon.ReadUntil("fragrelayd: the IRC side started again with the new settings\n", kLong))
        << m_daemon.Output();
    EXPECT_NE(m_daemon.Output().find("fragrelayd: SIGHUP: reading " + SettingsPath() +
                                     " again\nfragrelayd: changed: irc_Nick\n"),
              std::string::npos)
        << m_daemon.Output();
    EXPECT_TRUE(m_alice.WaitFor(":fragbot!", 1, kLong));
    ASSERT_TRUE(m_alice.WaitFor(" QUIT :", 1, kLong)) << testing::PrintToString(m_alice.Lines());
    ASSERT_TRUE(m_alice.WaitFor(":fragbot9!", 1, kLong)) << testing::PrintToString(m_alice.Lines());
    // Alice's own, the first nickname's and the new one's.
    ASSERT_TRUE(m_alice.WaitFor(" JOIN ", 3, kLong)) << testing::PrintToString(m_alice.Lines());

    // The bot is in the channel again once it answers there.
    const int nPrivmsgs = m_alice.Count(kPrivmsg);
    ASSERT_TRUE(m_alice.SendLine("PRIVMSG #relay :!gameinfo"));
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg, nPrivmsgs + 1, kLong))
        << testing::PrintToString(m_alice.Lines());

    // The monitor ran on: the next kill comes from the new nickname, and no
    // second opening banner was sent.
    ASSERT_TRUE(m_sim.LoadScenario(kAfterKill, &strError)) << strError;
    const std::string strKill = C("^05Hans (11/6/2)^  [killed]  ^02Tom (4/2/7)");
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + strKill, 1, kLong))
        << testing::PrintToString(m_alice.Lines());
    int nBanners = 0;
    for (const std::string& str : m_alice.Lines())
        nBanners += str.find("fragrelay - Battlefield 1942 to IRC relay") != std::string::npos;
    EXPECT_EQ(nBanners, 1);
    EXPECT_EQ(m_daemon.Output().find("game: * * * * * * [Broadcast closed]"), std::string::npos);

    StopLikeQuit(SettingsFile("fragbot9"));
}

// The password never shows in what the program prints, whichever way it
// logs in: SASL (which ngircd does not offer: the failure is named and the
// connection ends) and an account message after the registration.
TEST_F(FragrelaydWithPeers, NeverPrintsThePassword) {
    const std::string strPassword = "Hunter2-fragrelay";
    const std::string strBase = SettingsText(m_ngircd.Port(), "#relay", "127.0.0.1", m_sim.Port());
    const struct {
        const char* m_pszName;
        const char* m_pszNetwork;
        const char* m_pszAwait;  // printed once the password would have gone out
    } rows[] = {
        {"Sasl", "2", "irc: SASL failed: "},
        {"AccountMessage", "0", "irc: :: fragbot has joined #relay"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        std::string strSettings = Replaced(strBase, "irc_Auth=no", "irc_Auth=yes");
        strSettings = Replaced(strSettings, "irc_Username=\r", "irc_Username=fragacct\r");
        strSettings =
            Replaced(strSettings, "irc_Password=\r", "irc_Password=" + strPassword + "\r");
        strSettings =
            Replaced(strSettings, "irc_Network=0", std::string("irc_Network=") + row.m_pszNetwork);
        ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), strSettings));
        ASSERT_TRUE(StartDaemon());
        EXPECT_TRUE(m_daemon.ReadUntil(row.m_pszAwait, kLong)) << m_daemon.Output();
        m_daemon.Signal(OnWindows() ? SIGINT : SIGTERM);
        EXPECT_EQ(m_daemon.Wait(kLong), 0) << m_daemon.Output();
        EXPECT_EQ(m_daemon.Output().find(strPassword), std::string::npos) << m_daemon.Output();
        const std::string strEncoded =
            irc::Base64Encode(irc::PlainResponse("fragacct", strPassword));
        EXPECT_EQ(m_daemon.Output().find(strEncoded), std::string::npos) << "nor its base64";
    }
}

}  // namespace
