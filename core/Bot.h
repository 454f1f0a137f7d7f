#pragma once
// The bot without a face. One object owns the settings value, the IRC
// session, the game side (the monitor's runs), what the two sides share,
// the quick-info check, the traffic meter and the update check. The window
// and fragrelayd are faces over it: they turn clicks and signals into its
// commands and show its events.
//
// Commands may be given from any thread, in any order, at any time, and
// return at once: what must wait (a look-up, a connect, a handshake, a
// monitor that is still ending, the game's closing line before QUIT) waits
// on the bot's own threads. A command whose settings keep a side from
// starting says so through OnMessage before it returns, and returns false.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/GameShared.h"
#include "config/Settings.h"
#include "core/BotEvents.h"
#include "core/CommandThread.h"
#include "core/GameLink.h"
#include "core/GameSide.h"
#include "core/QuickInfoCheck.h"
#include "core/TrafficMeter.h"
#include "core/UpdateCheck.h"
#include "core/WebFeed.h"
#include "irc/IrcSession.h"
#include "platform/Clock.h"
#include "web/WebServer.h"

#ifdef FR_HAVE_STATS
#include "stats/StatsService.h"
#endif

namespace core {

// What a new reading of the settings file (fragrelayd's SIGHUP) changed and
// what the bot does about it.
struct CReloadResult {
    std::vector<std::string> m_vChangedKeys;  // in the file's order
    bool m_bIrcChanged = false;     // an IRC connection key: the IRC side starts again
    bool m_bGameChanged = false;    // a game server, language or colour key: the game side too
    bool m_bTicketChanged = false;  // only the ticket interval: read at the next report
    bool m_bTicketApplied = false;  // the new interval is in use (it is above 0)
    bool m_bStatsChanged = false;   // the statistics start again with the new file
    bool m_bWebChanged = false;     // the web page starts again on the new address
    bool m_bIrcStarts = false;      // the IRC side starts again with the new settings
    bool m_bGameStarts = false;     // the game side does
};

class CBot : private IGameSideEvents, private irc::IIrcEvents {
public:
    struct COptions {
        // The update check's server; empty: no check.
        std::string m_strUpdateHost;
        uint16_t m_nUpdatePort = kUpdatePort;
        // Once a second, OnTraffic (the window's read-out); off for fragrelayd.
        bool m_bTrafficMeter = false;
        // The folder of the settings file: a statistics file named without a
        // folder lies there.
        std::string m_strSettingsFolder = ".";
    };

    // The settings it starts with; the clock paces every thread (tests give
    // a manual one) and must outlive the bot.
    CBot(const config::CSettings& settings, COptions options,
         platform::CClock& clock = platform::SystemClock());
    // Shutdown.
    ~CBot() override;
    CBot(const CBot&) = delete;
    CBot& operator=(const CBot&) = delete;

    // Observers are told every event, in the order added. Before Start only.
    void AddObserver(IBotObserver& observer);
    // Starts the bot's own thread, the traffic meter and the update check.
    // Nothing connects. Once.
    void Start();

    // ---- Settings. Any thread.
    config::CSettings Settings() const;
    // The values each side takes the next time it starts; the ticket
    // interval applies at the next report.
    void SetSettings(const config::CSettings& settings);

    // ---- The operator's commands. Any thread; each returns at once.
    // Both sides, and relaying into the channel once both run: a side that
    // starts is kept alive (it comes back by itself after a failure). The
    // IRC side's refusal is told first, then the game side's. True when at
    // least one side starts.
    bool StartBroadcast();
    // The game side ends (its closing line reaches the channel), then the
    // IRC side says QUIT; relaying goes off.
    void StopBroadcast();
    // The IRC tab's Connect and Disconnect.
    bool ConnectIrc();
    void DisconnectIrc();
    // The game tab's Connect and Disconnect.
    bool StartGame();
    void StopGame();
    // The game tab's Pause/Unpause: the monitor is held (or let go) and the
    // paused (resumed) line goes to the channel and the game log.
    void TogglePause();
    // The game tab's Check: one info exchange with the game server; the
    // result comes as OnQuickInfo. False when one runs already or the
    // server's settings refuse it.
    bool CheckQuickInfo();
    // A chat line into the channel (only while in it); the IRC log shows
    // "<nick> text" either way. Line breaks are dropped.
    void SendChat(const std::string& strText);
    // New settings for a running bot (fragrelayd's SIGHUP): each side
    // whose settings changed stops and starts again with them, the game
    // side first so that its closing line leaves before QUIT; a changed
    // ticket interval alone needs no restart.
    CReloadResult Reload(const config::CSettings& settings);
    // QUIT to the IRC server (sent whether connected or not), then every
    // thread ends; OnEnded tells when. Later commands are ignored.
    void Quit();
    // Stops and joins every thread without QUIT (or finishes a Quit under
    // way within its bounds). Not on the bot's threads. Idempotent.
    void Shutdown();

    // ---- Where the bot stands. Any thread.
    CBotState State() const;
    // The bot's threads keep their promises: the monitor loop and the
    // bot's own thread (and the IRC loop, once it beats) have beaten within
    // what they said, plus nGraceMs. A watchdog asks this. Any thread.
    bool IsHealthy(uint32_t nGraceMs) const;
    // Waits until every command given before this call has run; false
    // when nMs passed first. Tests and fragrelayd use it. Not on the bot's threads.
    bool WaitForCommands(uint32_t nMs);

    // The parts, for measuring and for tests.
    CGameSide& GameSide() { return m_game; }
    bridge::CGameShared& GameShared() { return m_shared; }
    CUpdateCheck& UpdateCheck() { return m_update; }
    // The web page's port while it runs, else 0.
    uint16_t WebPort() const;
    // The statistics file in use (the settings' one, placed in the settings
    // file's folder when named without one); empty: none.
    std::string StatsPath() const;

    // Pauses: after QUIT before the threads end, and, when relaying stops,
    // the longest wait for the game side's closing line before QUIT.
    static constexpr uint32_t kQuitPauseMs = 50;
    static constexpr uint32_t kClosingLineWaitMs = 2000;
    // Longest wait of a start for a monitor that is still ending.
    static constexpr int kMonitorEndWaitMs = 5000;

private:
    // irc::IIrcEvents
    void OnIrcLog(const std::string& strLine) override { Log(ESide::Irc, strLine); }
    void OnIrcStatusChanged() override { PublishState(); }
    void OnIrcRequest() override;
    // A statistics question: answered into the channel when the commands are
    // on and there are statistics.
    void AnswerStatsRequest(const bridge::CChannelRequest& request);

    // IGameSideEvents
    void OnGameLog(const std::string& strLine) override;
    void OnGameStatusChanged() override;
    void OnGamePoll(const monitor::CPollReport& report) override;
    void OnGamePollUnanswered() override;

    // The statistics and the web page, each started with the settings as
    // they are and stopped; on the bot's thread (or its owner's at the start
    // and the end).
    void StartStats();  // nothing when they run already
    void StopStats();
    bool HasStats() const;
    void StartWeb();
    void StopWeb();
    // The page's live view changed.
    void PublishToWeb();

    // Refusals: told through OnMessage; true when the side may start.
    bool IrcMayStart(const config::CSettings& settings);
    bool GameMayStart(const config::CSettings& settings);
    // On the bot's thread.
    void OpenIrc(bool bKeepAlive);
    void StartGameRun(bool bKeepAlive);
    void StopGameAndWait();
    void UpdateBroadcast();
    void DoQuit();

    void Log(ESide eSide, const std::string& strLine);
    void Message(const COperatorMessage& message);
    // Tells the observers when the state differs from the last one told.
    void PublishState();

    platform::CClock& m_clock;
    const COptions m_options;
    std::vector<IBotObserver*> m_observers;

    mutable std::mutex m_mutexSettings;
    config::CSettings m_settings;  // m_mutexSettings

    bridge::CGameShared m_shared;
    std::atomic<bool> m_bBroadcast{false};
    std::atomic<bool> m_bQuitting{false};
    std::atomic<bool> m_bEnded{false};

    std::mutex m_mutexState;
    CBotState m_lastState;  // m_mutexState: the last one told
    bool m_bStateTold = false;

    // The parts, in the order they are made; threads end in reverse.
    CGameSide m_game;
    platform::CHeartbeat m_ircBeat;  // the IRC loop's
    std::unique_ptr<irc::CIrcSession> m_pIrc;
    std::unique_ptr<CGameLink> m_pGameLink;
    std::mutex m_mutexRuns;
    monitor::EMonitorState m_eLastMonitor = monitor::EMonitorState::Ended;  // m_mutexRuns
    std::unique_ptr<CWebFeed> m_pFeed;
    std::unique_ptr<web::CWebServer> m_pWeb;
#ifdef FR_HAVE_STATS
    // Started and stopped on the bot's thread, read on every thread: taken
    // whole under the lock, so that a stop never pulls it from under a user.
    mutable std::mutex m_mutexStats;
    std::shared_ptr<stats::CStatsService> m_pStats;  // m_mutexStats
    std::shared_ptr<stats::CStatsService> Stats() const;
#endif
    CQuickInfoCheck m_quickInfo;
    CTrafficMeter m_traffic;
    CUpdateCheck m_update;
    CCommandThread m_commands;
    bool m_bStarted = false;
};

}  // namespace core
