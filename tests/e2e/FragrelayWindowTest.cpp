// fragrelay, the window program, run as a process under the offscreen Qt
// platform: --broadcast connects both sides, and SIGTERM ends it as Quit
// does (the QUIT line, the settings saved, exit status 0).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "config/TempFolder.h"
#include "support/ChildProcess.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace {

constexpr auto kLong = std::chrono::seconds(20);
constexpr char kQuit[] = "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay";

std::string SettingsText(uint16_t nIrcPort, uint16_t nGamePort) {
    return "irc_Server=127.0.0.1\r\nirc_Port=" + std::to_string(static_cast<int16_t>(nIrcPort)) +
           "\r\nirc_Nick=fragbot\r\nirc_altNick=fragbot2\r\nirc_Channel=#relay\r\n"
           "irc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
           "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\nbf_Port=" +
           std::to_string(nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=no\r\nshow_tk=yes\r\n";
}

long StatusKb(pid_t pid, const std::string& strKey) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string strLine; std::getline(in, strLine);) {
        if (strLine.rfind(strKey + ":", 0) == 0)
            return std::atol(strLine.c_str() + strKey.size() + 1);
    }
    return -1;
}

TEST(FragrelayWindow, BroadcastsFromTheCommandLineAndEndsOnSigtermAsQuitDoes) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    testsupport::CScriptedTcpServer irc;
    bf42sim::CSimServer sim;
    ASSERT_TRUE(sim.Start());
    sim.StartLive(3, 64, 1000);
    const std::string strSettings = SettingsText(irc.Port(), sim.Port());
    ASSERT_TRUE(
        testsupport::WriteWholeFile(folder / "settings.ini", "// before\r\n" + strSettings));

    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // the child inherits it
    testsupport::CChildProcess window;
    ASSERT_TRUE(window.Start({FR_WINDOW_PROGRAM, "--broadcast"}, folder.Path()));
    // Both sides run: the IRC server has the bot, the game server its polls.
    ASSERT_TRUE(irc.WaitForLine(0, "NICK fragbot", kLong)) << window.Output();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sim.StatusRequests() >= 30; }, kLong));
    std::printf("[ figure ] fragrelay window, 64 players, offscreen: VmRSS %ld kB, VmHWM %ld kB\n",
                StatusKb(window.Pid(), "VmRSS"), StatusKb(window.Pid(), "VmHWM"));

    const auto start = std::chrono::steady_clock::now();
    window.Signal(SIGTERM);
    EXPECT_EQ(window.Wait(kLong), 0) << window.Output();
    std::printf("[ figure ] fragrelay window: SIGTERM to exit %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    EXPECT_TRUE(irc.WaitForLine(0, kQuit));
    // Saved again: every old line as it was, then the connection's security keys.
    EXPECT_EQ(testsupport::ReadWholeFile(folder / "settings.ini"),
              strSettings + "irc_TLS=no\r\nirc_TLSFingerprint=\r\nirc_ClientCert=\r\n"
                                "bf_DownAfter=10\r\nstats_File=fragrelay.db\r\nstats_Commands=yes\r\n"
                                "web_Address=\r\n");
}

}  // namespace
