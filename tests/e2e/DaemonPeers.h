#pragma once
// fragrelayd among real peers, for the tests of what its clients see: a
// working directory with settings.ini, the stand-in game server, ngircd and
// a second user (alice) in the channel. The program's output goes to a file
// in that directory, so that a busy match never fills a pipe nobody reads
// and stalls the bot; its environment may carry variables of the test's
// (the service manager's, for one).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "config/TempFolder.h"
#include "platform/Socket.h"
#include "support/ChildProcess.h"
#include "support/ColorText.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

extern char** environ;

namespace e2e {

inline constexpr auto kLong = std::chrono::seconds(30);
inline const std::string kBotPrivmsg = " PRIVMSG #relay :";

// A program with its output appended to a file, and variables ("NAME=value")
// added to the test's environment. strSelfPidVar, when set, names one more
// variable that holds the program's own process id (as WATCHDOG_PID does
// under systemd).
class CLoggedProcess {
public:
    CLoggedProcess() = default;
    CLoggedProcess(const CLoggedProcess&) = delete;
    CLoggedProcess& operator=(const CLoggedProcess&) = delete;
    ~CLoggedProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    bool Start(std::vector<std::string> vArgs, const std::string& strDir, const std::string& strLog,
               std::vector<std::string> vEnv = {}, const std::string& strSelfPidVar = {}) {
        if (vArgs.empty() || m_pid > 0) return false;
        m_strLog = strLog;
        const int nLog = ::open(strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        const int nNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        // Everything the child needs is made before the fork: it only calls
        // async-signal-safe functions.
        std::vector<char*> vArgv;
        for (std::string& str : vArgs) vArgv.push_back(str.data());
        vArgv.push_back(nullptr);
        // The test's environment, less what the additions replace and less
        // a service manager's variables (a test run by systemd must not
        // have the program talk to it).
        const size_t nAdded = vEnv.size();
        for (char** p = environ; *p != nullptr; ++p) {
            const std::string strVar = *p;
            const std::string strName = strVar.substr(0, strVar.find('=') + 1);
            bool bDropped = strName == "NOTIFY_SOCKET=" || strName == "WATCHDOG_USEC=" ||
                            strName == "WATCHDOG_PID=" || strName == strSelfPidVar + "=";
            for (size_t n = 0; n < nAdded; ++n) bDropped |= vEnv[n].rfind(strName, 0) == 0;
            if (!bDropped) vEnv.push_back(strVar);
        }
        std::string strPidVar = strSelfPidVar + "=" + std::string(24, '\0');
        std::vector<char*> vEnvp;
        for (std::string& str : vEnv) vEnvp.push_back(str.data());
        if (!strSelfPidVar.empty()) vEnvp.push_back(strPidVar.data());
        vEnvp.push_back(nullptr);
        char* pszPidDigits = strPidVar.data() + strSelfPidVar.size() + 1;
        pid_t pid = -1;
        if (nLog >= 0 && nNull >= 0) pid = ::fork();
        if (pid == 0) {
            char szDigits[24];
            int nDigits = 0;
            for (pid_t n = ::getpid(); n > 0; n /= 10) szDigits[nDigits++] = char('0' + n % 10);
            for (int i = 0; i < nDigits; ++i) pszPidDigits[i] = szDigits[nDigits - 1 - i];
            ::dup2(nNull, 0);
            ::dup2(nLog, 1);
            ::dup2(nLog, 2);
            if (::chdir(strDir.c_str()) != 0) ::_exit(126);
            ::execve(vArgv[0], vArgv.data(), vEnvp.data());
            ::_exit(127);
        }
        if (nLog >= 0) ::close(nLog);
        if (nNull >= 0) ::close(nNull);
        m_pid = pid;
        return pid > 0;
    }

    pid_t Pid() const { return m_pid; }
    void Signal(int nSignal) const {
        if (m_pid > 0) ::kill(m_pid, nSignal);
    }
    // What it printed so far.
    std::string Output() const { return testsupport::ReadWholeFile(m_strLog); }
    bool WaitForOutput(const std::string& strPart, std::chrono::milliseconds timeout = kLong) {
        return testsupport::WaitUntil([&] { return Output().find(strPart) != std::string::npos; },
                                      timeout);
    }
    // The exit status; -1 when it did not exit by itself in time (the
    // destructor kills it then) or ended by a signal.
    int Wait(std::chrono::milliseconds timeout) {
        int nStatus = 0;
        if (!testsupport::WaitUntil([&] { return ::waitpid(m_pid, &nStatus, WNOHANG) == m_pid; },
                                    timeout))
            return -1;
        m_pid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

private:
    pid_t m_pid = -1;
    std::string m_strLog;
};

// A TCP port on 127.0.0.1 that was free a moment ago (0 when none).
inline uint16_t FreeTcpPort() {
    platform::CSocket probe = platform::CSocket::CreateTcp();
    if (!probe.IsValid() || !probe.Bind(platform::LoopbackAddress())) return 0;
    return probe.LocalPort();
}

// The answer of one GET through curl, the client an operator's scripts use.
struct CCurlAnswer {
    int m_nStatus = 0;  // 0: curl itself failed
    std::string m_strBody;
};

inline CCurlAnswer Curl(const std::string& strUrl) {
    testsupport::CChildProcess curl;
    CCurlAnswer answer;
    if (!curl.Start({testsupport::FindProgram("curl"), "-sS", "--noproxy", "*", "--max-time", "10",
                     "-w", "\n%{http_code}", strUrl}))
        return answer;
    if (curl.Wait(std::chrono::seconds(20)) != 0) return answer;
    const std::string& strOut = curl.Output();
    const size_t nLast = strOut.rfind('\n');
    if (nLast == std::string::npos) return answer;
    answer.m_nStatus = std::atoi(strOut.c_str() + nLast + 1);
    answer.m_strBody = strOut.substr(0, nLast);
    return answer;
}

// The value of one sample in Prometheus' text ("name{labels}" as printed);
// -1 when it is not there.
inline double MetricValue(const std::string& strMetrics, const std::string& strSample) {
    const std::string strLine = "\n" + strSample + " ";
    const size_t nAt = ("\n" + strMetrics).find(strLine);
    if (nAt == std::string::npos) return -1;
    return std::atof(strMetrics.c_str() + nAt + strLine.size() - 1);
}

// A peer program this test needs is missing: the test is skipped, or fails
// where FR_REQUIRE_PEERS says the peers must be there.
#define E2E_NEED_PEER(present, what)                                         \
    do {                                                                     \
        if (!(present)) {                                                    \
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)                  \
                FAIL() << (what) << " is missing (FR_REQUIRE_PEERS is set)"; \
            GTEST_SKIP() << (what) << " is not installed";                   \
        }                                                                    \
    } while (0)

class DaemonPeersTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        E2E_NEED_PEER(testsupport::CNgircdServer::Available(), testsupport::CNgircdServer::kBinary);
        ASSERT_TRUE(m_ngircd.Start()) << m_ngircd.Log();
        ASSERT_TRUE(m_sim.Start());
        // The other user joins first and records everything from then on.
        ASSERT_TRUE(m_alice.Connect(m_ngircd.Port(), "alice"));
        ASSERT_TRUE(m_alice.SendLine("JOIN #relay"));
        ASSERT_TRUE(m_alice.WaitFor(" 366 alice #relay "));
    }

    std::string SettingsPath() const { return m_folder / "settings.ini"; }
    std::string LogPath() const { return m_folder / "fragrelayd.log"; }

    // The settings of both sides against this test's peers, then
    // strMoreKeys ("key=value" lines ending in CR LF).
    std::string SettingsText(const std::string& strMoreKeys = {}) const {
        return "irc_Server=127.0.0.1\r\nirc_Port=" +
               std::to_string(static_cast<int16_t>(m_ngircd.Port())) +
               "\r\nirc_Nick=fragbot\r\nirc_altNick=fragbot2\r\nirc_Channel=#relay\r\n"
               "irc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
               "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\nbf_Port=" +
               std::to_string(m_sim.Port()) +
               "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
               "axis_farbe_flagge=04\r\nstatus_farbe=15\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
               "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=no\r\nshow_tk=yes\r\n" +
               strMoreKeys;
    }

    // Writes the settings and starts the program in the test's folder.
    bool StartDaemon(const std::string& strMoreKeys, std::vector<std::string> vEnv = {},
                     const std::string& strSelfPidVar = {}) {
        if (!testsupport::WriteWholeFile(SettingsPath(), SettingsText(strMoreKeys))) return false;
        return m_daemon.Start({FR_DAEMON_PROGRAM}, m_folder.Path(), LogPath(), std::move(vEnv),
                              strSelfPidVar);
    }

    // The bot has joined and its opening banner is through.
    bool BotRelays() {
        return m_alice.WaitFor(kBotPrivmsg + testsupport::C("^10ticketratio "), 1, kLong);
    }

    // The bot's channel lines that hold strPart.
    int BotLinesWith(const std::string& strPart) const {
        int n = 0;
        for (const std::string& str : m_alice.Lines()) {
            const size_t nAt = str.find(kBotPrivmsg);
            n += str.rfind(":fragbot!", 0) == 0 && nAt != std::string::npos &&
                 str.find(strPart, nAt) != std::string::npos;
        }
        return n;
    }
    // The text of the bot's channel lines, for failure messages.
    std::string BotLines() const {
        std::string strAll;
        for (const std::string& str : m_alice.Lines()) {
            const size_t nAt = str.find(kBotPrivmsg);
            if (str.rfind(":fragbot!", 0) == 0 && nAt != std::string::npos)
                strAll += str.substr(nAt + kBotPrivmsg.size()) + "\n";
        }
        return strAll;
    }

    // SIGTERM ends it with exit status 0.
    void StopDaemon() {
        m_daemon.Signal(SIGTERM);
        EXPECT_EQ(m_daemon.Wait(kLong), 0) << m_daemon.Output();
    }

    testsupport::CTempFolder m_folder;
    testsupport::CNgircdServer m_ngircd;
    bf42sim::CSimServer m_sim;
    testsupport::CIrcTestClient m_alice;
    // Last: it ends before its peers go.
    CLoggedProcess m_daemon;
};

}  // namespace e2e
