#pragma once
// The window as the program makes it, headless: the application reads a
// settings file in the test's folder, makes the bot and the main window
// with its four pages and starts the bot. The test thread is the UI thread:
// it acts as the operator (type, click, read a caption) and runs the
// dispatcher's queued work, where the bot's events reach the pages, while
// it waits. Peers on 127.0.0.1: a scripted IRC server and the stand-in game
// server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/TempFolder.h"
#include "core/Bot.h"
#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "res/Resource.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"
#include "ui/AboutDlg.h"
#include "ui/BotApp.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"
#include "ui/MainDlg.h"

namespace uitest {

inline constexpr char kQuit[] = "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay";
inline constexpr char kUser[] = "USER bf1942 * * :v1.3 BETA";
inline const framework::CMessage kFillOut{"Fill out all Inputfields!", "Error",
                                          framework::EIcon::Error};
inline constexpr auto kLong = std::chrono::seconds(10);

// A complete settings file; an empty server makes its side refuse, and a
// language below 0 leaves its line out (no language chosen).
inline std::string SettingsText(const std::string& strIrcServer, uint16_t nIrcPort,
                                const std::string& strGameServer, uint16_t nGamePort,
                                int nLanguage = 0) {
    return "irc_Server=" + strIrcServer +
           "\r\nirc_Port=" + std::to_string(static_cast<int16_t>(nIrcPort)) +
           "\r\nirc_Nick=bot\r\nirc_altNick=bot2\r\nirc_Channel=#relay\r\nirc_Auth=no\r\n"
           "irc_Username=\r\nirc_Password=\r\nirc_Network=0\r\nirc_Tickettime=60\r\n" +
           (nLanguage >= 0 ? "bf_Language=" + std::to_string(nLanguage) + "\r\n" : "") +
           "bf_Server=" + strGameServer + "\r\nbf_Port=" + std::to_string(nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=yes\r\n";
}

class WindowTest : public testing::Test {
protected:
    WindowTest() { m_dispatcher.BindToCurrentThread(); }
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_sim.Start());
    }
    void TearDown() override {
        if (!m_pApp || m_pApp->MainDlg() == nullptr) return;
        const framework::CPage* const pages[] = {&Main(), Main().IrcPage(), Main().GamePage(),
                                                 Main().SettingsPage(), Main().AboutPage()};
        for (const framework::CPage* pPage : pages) {
            EXPECT_EQ(pPage->UnknownIdUses(), 0u);
        }
        m_pApp->ExitInstance();
        m_dispatcher.RunPending();  // nothing queued may reach a page that is gone
    }

    std::string SettingsPath() const { return m_folder / "settings.ini"; }
    void WriteSettings(bool bIrcServer = true, bool bGameServer = true,
                       const std::string& strGameServer = "127.0.0.1", int nLanguage = 0) {
        ASSERT_TRUE(testsupport::WriteWholeFile(
            SettingsPath(),
            SettingsText(bIrcServer ? "127.0.0.1" : "", m_irc.Port(),
                         bGameServer ? strGameServer : "", m_sim.Port(), nLanguage)));
    }
    // The update check contacts nothing unless a test names a host.
    ui::CAppOptions Options(const std::string& strUpdateHost = "", uint16_t nUpdatePort = 0) const {
        ui::CAppOptions options;
        options.m_strSettingsPath = SettingsPath();
        options.m_strUpdateHost = strUpdateHost;
        options.m_nUpdatePort = nUpdatePort;
        return options;
    }
    // The program's start: settings read, bot and window made, bot started.
    void Open(const ui::CAppOptions& options) {
        m_pApp = std::make_unique<ui::CBotApp>(m_dispatcher, platform::SystemClock(), options);
        ASSERT_TRUE(m_pApp->InitInstance(m_sink));
        ASSERT_NE(m_pApp->MainDlg(), nullptr);
        m_dispatcher.RunPending();
    }
    void Open() { Open(Options()); }

    ui::CMainDlg& Main() const { return *m_pApp->MainDlg(); }
    ui::CIrcDlg& Irc() const { return *Main().IrcPage(); }
    ui::CGameDlg& Game() const { return *Main().GamePage(); }
    ui::CColorDlg& Colors() const { return *Main().SettingsPage(); }
    core::CBot& Bot() const { return *m_pApp->Bot(); }
    std::string Broadcast() const { return Main().GetItemText(res::IDC_MAIN_BROADCAST); }

    // Runs the UI thread's queued work while waiting.
    template <typename Pred>
    bool RunUntil(Pred pred, std::chrono::milliseconds timeout = kLong) {
        return testsupport::WaitUntil(
            [&] {
                m_dispatcher.RunPending();
                return pred();
            },
            timeout);
    }
    // Every command given so far has run and its events have been shown.
    void Settle() {
        EXPECT_TRUE(Bot().WaitForCommands(10000));
        m_dispatcher.RunPending();
    }
    // The IRC tab shows a session the bot has: locked, "Disconnect".
    // Connected as far as the server knows: it has the registration, so
    // that a Disconnect from here on says QUIT (one during the connect
    // itself only cuts the attempt short).
    bool IrcConnected() {
        return RunUntil([&] {
            return Irc().GetItemText(res::IDC_IRC_CONNECT) == "Disconnect" &&
                   Bot().State().m_irc.m_eState != irc::EIrcState::Idle &&
                   testsupport::HasRegistered(m_irc);
        });
    }
    bool IrcIdle() {
        return RunUntil([&] {
            return Irc().GetItemText(res::IDC_IRC_CONNECT) == "Connect" &&
                   Bot().State().m_irc.m_eState == irc::EIrcState::Idle;
        });
    }
    // The game tab shows a run that is set up and polling.
    bool GameRunning() {
        return RunUntil([&] {
            return Game().GetItemText(res::IDC_GAME_CONNECT) == "Disconnect" &&
                   Game().IsItemEnabled(res::IDC_GAME_CONNECT) && m_sim.StatusRequests() >= 3;
        });
    }
    bool GameIdle() {
        return RunUntil([&] {
            return Game().GetItemText(res::IDC_GAME_CONNECT) == "Connect" &&
                   Game().IsItemEnabled(res::IDC_GAME_CONNECT) &&
                   !Bot().State().m_game.m_bMonitorAlive;
        });
    }
    // The lines of a log control.
    static std::vector<std::string> LogLines(const framework::CPage& page, int nId) {
        std::vector<std::string> lines;
        const std::string strLog = page.GetItemText(nId);
        for (size_t nAt = 0; nAt <= strLog.size();) {
            const size_t nEnd = std::min(strLog.find('\n', nAt), strLog.size());
            lines.push_back(strLog.substr(nAt, nEnd - nAt));
            nAt = nEnd + 1;
        }
        return lines;
    }
    static std::string LastLogLine(const framework::CPage& page, int nId) {
        return LogLines(page, nId).back();
    }
    // Every line the scripted server got on connection n, once it has ended.
    std::vector<std::string> LinesAfterEnd(int nConn) {
        EXPECT_TRUE(testsupport::WaitUntil([&] { return m_irc.ClosedByPeer(nConn); }, kLong));
        return m_irc.Lines(nConn);
    }
    static int Count(const std::vector<std::string>& lines, const std::string& strLine) {
        return static_cast<int>(std::count(lines.begin(), lines.end(), strLine));
    }

    framework::CDispatcher m_dispatcher;
    framework::CRecordingMessageSink m_sink;
    testsupport::CTempFolder m_folder;
    testsupport::CScriptedTcpServer m_irc;
    bf42sim::CSimServer m_sim;
    // Last: the window and the bot go before the peers.
    std::unique_ptr<ui::CBotApp> m_pApp;
};

}  // namespace uitest
