#pragma once
// The bot with no page at all, as fragrelayd and the window drive it: made
// from the text of a settings file, observed by a recorder, against a
// scripted IRC server and the stand-in game server on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "config/SettingsFormat.h"
#include "config/TempFolder.h"
#include "core/Bot.h"
#include "support/BotRecorder.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace coretest {

inline constexpr char kQuit[] = "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay";
inline constexpr char kUser[] = "USER bf1942 * * :v1.3 BETA";
inline constexpr char kOpened[] = "[Broadcast opened]";
inline constexpr char kClosedLine[] = "* * * * * * [Broadcast closed] * * * * * * ";
inline constexpr auto kLong = std::chrono::seconds(10);

// What a test varies in the settings file.
struct CFile {
    std::string m_strIrcServer = "127.0.0.1";
    uint16_t m_nIrcPort = 0;
    std::string m_strNick = "bot";
    std::string m_strChannel = "#relay";
    int m_nTicketSecs = 60;
    int m_nLanguage = 0;
    std::string m_strGameServer = "127.0.0.1";
    uint16_t m_nGamePort = 0;
    bool m_bShowKill = true;
};

// The file as the window writes it: the 24 keys, then the three of TLS.
inline std::string SettingsText(const CFile& f) {
    return "irc_Server=" + f.m_strIrcServer +
           "\r\nirc_Port=" + std::to_string(static_cast<int16_t>(f.m_nIrcPort)) +
           "\r\nirc_Nick=" + f.m_strNick + "\r\nirc_altNick=bot2\r\nirc_Channel=" + f.m_strChannel +
           "\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
           "irc_Tickettime=" +
           std::to_string(f.m_nTicketSecs) + "\r\nbf_Language=" + std::to_string(f.m_nLanguage) +
           "\r\nbf_Server=" + f.m_strGameServer + "\r\nbf_Port=" + std::to_string(f.m_nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=" +
           (f.m_bShowKill ? "yes" : "no") +
           "\r\nshow_ticket=yes\r\nshow_tk=yes\r\nirc_TLS=no\r\nirc_TLSFingerprint=\r\n"
           "irc_ClientCert=\r\n";
}

class BotTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.Start()); }

    // Both servers of this test, every side complete.
    CFile Complete() const {
        CFile f;
        f.m_nIrcPort = m_irc.Port();
        f.m_nGamePort = m_sim.Port();
        return f;
    }
    static auto Values(const CFile& f) { return config::ParseSettings(SettingsText(f)); }
    // Makes and starts the bot; the update check contacts nothing unless
    // the options name a host.
    void Make(const CFile& f, core::CBot::COptions options = {}) {
        // The statistics' file, when a side starts them, goes beside no build.
        if (options.m_strSettingsFolder == ".") options.m_strSettingsFolder = m_folder.Path();
        m_pBot = std::make_unique<core::CBot>(Values(f), options);
        m_pBot->AddObserver(m_events);
        m_pBot->Start();
    }
    core::CBot& Bot() const { return *m_pBot; }

    // Waits until the bot's state (read from it, not as told) holds.
    template <typename Pred>
    bool WaitFor(Pred pred, std::chrono::milliseconds timeout = kLong) const {
        return testsupport::WaitUntil([&] { return pred(m_pBot->State()); }, timeout);
    }
    bool IrcIdle() const {
        return WaitFor([](const core::CBotState& s) {
            return !s.m_irc.m_bSessionActive && s.m_irc.m_eState == irc::EIrcState::Idle;
        });
    }
    // Connection nConn registers and joins: the end of the message of the
    // day, the JOIN and its echo.
    bool JoinChannel(int nConn, const std::string& strNick = "bot") {
        return m_irc.WaitForLine(nConn, kUser, kLong) &&
               m_irc.Send(nConn, ":srv 376 " + strNick + " :End of MOTD\r\n") &&
               m_irc.WaitForLine(nConn, "JOIN #relay", kLong) &&
               m_irc.Send(nConn, ":" + strNick + "!b@h JOIN :#relay\r\n") &&
               WaitFor([](const core::CBotState& s) {
                   return s.m_irc.m_eState == irc::EIrcState::InChannel;
               });
    }
    // The channel lines of the first connection that hold strPart.
    int ChannelLinesWith(const std::string& strPart, int nConn = 0) const {
        int n = 0;
        for (const std::string& s : m_irc.Lines(nConn))
            n += s.rfind("PRIVMSG #relay :", 0) == 0 && s.find(strPart) != std::string::npos;
        return n;
    }
    // How many game runs have opened so far.
    int GameRuns() const { return m_events.CountLog(core::ESide::Game, kOpened); }
    // Run number nRuns is set up and polling.
    bool GameRunning(int nRuns = 1) {
        const int nRequests = m_sim.StatusRequests();
        return WaitFor([&](const core::CBotState& s) {
            return s.m_game.m_eWanted == bridge::EGameState::Running && s.m_game.m_bReady &&
                   GameRuns() == nRuns && m_sim.StatusRequests() >= nRequests + 2;
        });
    }
    bool GameIdle() const {
        return WaitFor([](const core::CBotState& s) {
            return s.m_game.m_eWanted == bridge::EGameState::Idle && !s.m_game.m_bMonitorAlive;
        });
    }
    bool Broadcasting(bool bOn) const {
        return WaitFor([&](const core::CBotState& s) { return s.m_bBroadcast == bOn; });
    }
    static core::COperatorMessage Refusal(const std::string& strText, const std::string& strKey) {
        return {strText, "Error", core::EMessageIcon::Error, strKey};
    }

    testsupport::CTempFolder m_folder;
    testsupport::CScriptedTcpServer m_irc;
    bf42sim::CSimServer m_sim;
    testsupport::CBotRecorder m_events;
    // Last: its threads end before the peers and the recorder go.
    std::unique_ptr<core::CBot> m_pBot;
};

}  // namespace coretest
