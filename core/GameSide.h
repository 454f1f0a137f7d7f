#pragma once
// The game side of the bot: the run state (idle, running, paused), the
// monitor thread with its wake-up and Pause gate, keep-alive, whether a
// monitor is alive and set up, the snapshot of the last poll and the
// settings a run was started with. It is the monitor's host; where the
// run's lines go (the game log, the channel while broadcasting) it tells
// its owner through IGameSideEvents.
//
// The run state lives in the shared game state, written only under the
// side's lock; whoever shows it (a page, a status line) reads Status().
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/GameShared.h"
#include "bridge/IrcLink.h"
#include "monitor/Announcements.h"
#include "monitor/MonitorHost.h"
#include "monitor/ServerStatus.h"
#include "platform/Clock.h"
#include "platform/Gate.h"
#include "platform/Heartbeat.h"

namespace core {

// What a run is started with; fixed while it lasts.
struct CGameRunSettings {
    monitor::CAnnounceSettings m_announce;  // colours (two digits), language, server, port
    monitor::CEventFilters m_filters;
    bool m_bShowTicket = true;
};

// The game side as its owner sees it. Any thread.
struct CGameStatus {
    bridge::EGameState m_eWanted = bridge::EGameState::Idle;  // what the operator wants
    bool m_bMonitorAlive = false;  // a monitor thread runs (also while it is ending)
    bool m_bReady = false;         // its set-up is done, or it waits for its next run
    monitor::EMonitorState m_eMonitor = monitor::EMonitorState::Ended;
    bool m_bAnswering = false;  // the current run has decoded a reply
    uint32_t m_nNextRunMs = 0;  // while Waiting: the wait that began

    // Connect/Disconnect may be used: when idle once no monitor is left,
    // when running once the monitor is set up, never while paused.
    bool IsConnectUsable() const {
        if (m_eWanted == bridge::EGameState::Idle) return !m_bMonitorAlive;
        return m_eWanted == bridge::EGameState::Running && m_bReady;
    }
    bool operator==(const CGameStatus&) const = default;
};

// What the game side tells its owner. Called on the monitor thread, the
// ticket reporter's or the caller's; must not wait and must not call back
// into Start, Stop, Pause or Shutdown.
class IGameSideEvents {
public:
    virtual ~IGameSideEvents() = default;
    // One line for the game log, as the run gives it (colour codes in).
    virtual void OnGameLog(const std::string& strLine) = 0;
    // Status() differs from what it was.
    virtual void OnGameStatusChanged() = 0;
    // A poll was decoded, or went unanswered (monitor thread; must not wait).
    virtual void OnGamePoll(const monitor::CPollReport& /*report*/) {}
    virtual void OnGamePollUnanswered() {}
};

class CGameSide : public monitor::IMonitorHost {
public:
    // game and events outlive the side; the clock paces the monitor.
    CGameSide(bridge::CGameShared& game, IGameSideEvents& events, platform::CClock& clock);
    // Shutdown.
    ~CGameSide() override;
    CGameSide(const CGameSide&) = delete;
    CGameSide& operator=(const CGameSide&) = delete;

    // ---- Set once by the owner before anything runs.
    void SetIrcLink(bridge::IIrcLink* pIrcLink) { m_pIrcLink = pIrcLink; }
    // Broadcasting is on while *pbBroadcast holds; the flag outlives the side.
    void SetBroadcastFlag(const std::atomic<bool>* pbBroadcast) { m_pbBroadcast = pbBroadcast; }

    // ---- The owner's commands (one thread at a time: the core's).
    // Waits up to nWaitMs for a monitor that is still ending and joins it;
    // true when none runs any more.
    bool WaitForPrevious(int nWaitMs);
    // Idle to running with these settings: the state first (the quick-info
    // check's end and the monitor decide by it), then the monitor thread.
    // Nothing unless idle.
    void Start(const CGameRunSettings& settings);
    // To idle; a monitor held by Pause or waiting on the server is woken to
    // end (announcing "Broadcast closed" while broadcasting). False (and
    // nothing done) when idle already, so that a stop never starts a run.
    bool Stop();
    // Running to paused (bPause) or back: the monitor is held at its next
    // safe point, or let go. Nothing when idle.
    void Pause(bool bPause);
    // Ends the monitor and joins it. The state stays as it is.
    void Shutdown();
    // A channel request waits: the monitor answers it at its next safe
    // point rather than after its pause. Any thread.
    void WakeForRequest() { m_wake.Stop(); }
    // Keep-alive: while on, a failed run is followed by another after a
    // growing wait and the side stays running; off, a failure returns it
    // to idle.
    void SetKeepAlive(bool bOn) { m_bKeepAlive = bOn; }

    // ---- Any thread.
    CGameStatus Status() const;
    bridge::EGameState RunState() const { return m_game.GameState(); }
    // The settings of the current (or last) run.
    CGameRunSettings RunSettings() const;
    // Bytes received from the game server since the traffic meter last took them.
    std::atomic<int32_t>& TrafficBytes() { return m_nTrafficBytes; }
    // True while the operator's Pause holds the monitor at its safe point.
    bool IsMonitorHeld() const { return m_gate.IsWaiting(); }
    // The monitor thread, for measuring it (nullptr before the first run).
    std::thread* Thread() const { return m_pThread.get(); }

    // ---- monitor::IMonitorHost, for the monitor thread and the ticket reporter.
    monitor::CAnnounceSettings AnnounceSettings() const override;
    monitor::CEventFilters EventFilters() const override;
    bool IsTicketShown() const override;
    bool IsBroadcasting() const override {
        return m_pbBroadcast != nullptr && m_pbBroadcast->load();
    }
    bridge::IIrcLink* IrcLink() const override { return m_pIrcLink; }
    void AppendLog(std::string strText) override;
    std::atomic<int32_t>* TrafficCounter() override { return &m_nTrafficBytes; }
    monitor::CServerStatus GetStatus() const override;
    void SetStatus(const monitor::CServerStatus& status) override;
    bool IsMonitoring() const override { return m_bMonitoring.load(); }
    void SetMonitoring(bool bMonitoring) override { m_bMonitoring = bMonitoring; }
    bool IsGamePaused() const override { return m_bGamePaused.load(); }
    void SetGamePaused(bool bPaused) override { m_bGamePaused = bPaused; }
    bridge::CGameShared& GameShared() const override { return m_game; }
    // Idle, or shutting down.
    bool IsStopRequested() const override;
    bool IsKeepAlive() const override { return m_bKeepAlive.load(); }
    // Set-up done (or waiting for the next run): Disconnect usable unless paused.
    void OnMonitorReady() override;
    // A failure: to idle as Stop does (an idle side stays as it is).
    void ReturnToIdle() override { Stop(); }
    // The thread's last act: Connect usable again when idle.
    void OnMonitorEnded() override;
    void OnMonitorState(monitor::EMonitorState eState, uint32_t nWaitMs) override;
    void OnPoll(const monitor::CPollReport& report) override;
    void OnPollUnanswered() override { m_events.OnGamePollUnanswered(); }
    platform::CHeartbeat* Heartbeat() override { return &m_heartbeat; }
    const platform::CHeartbeat& HeartbeatView() const { return m_heartbeat; }

private:
    IGameSideEvents& m_events;
    bridge::CGameShared& m_game;
    platform::CClock& m_clock;
    bridge::IIrcLink* m_pIrcLink = nullptr;
    const std::atomic<bool>* m_pbBroadcast = nullptr;
    std::atomic<int32_t> m_nTrafficBytes{0};
    platform::CHeartbeat m_heartbeat;  // the monitor thread's

    mutable std::mutex m_mutexStatus;
    monitor::CServerStatus m_status;  // guarded by m_mutexStatus
    CGameRunSettings m_settings;      // guarded by m_mutexStatus
    std::atomic<bool> m_bMonitoring{false};  // a monitor run is under way
    std::atomic<bool> m_bGamePaused{false};  // the game on the server is paused

    platform::CStopSignal m_wake;  // cuts the monitor's waits short; it resets it
    platform::CThreadGate m_gate;  // the operator's Pause
    std::atomic<bool> m_bShutdown{false};
    std::atomic<bool> m_bKeepAlive{false};
    mutable std::mutex m_mutexRun;  // the run state's writes and the two flags below
    std::condition_variable m_cvRun;
    bool m_bAlive = false;  // a monitor thread runs
    bool m_bReady = false;  // its set-up is done
    monitor::EMonitorState m_eMonitor = monitor::EMonitorState::Ended;
    bool m_bAnswering = false;
    uint32_t m_nNextRunMs = 0;
    std::unique_ptr<std::thread> m_pThread;
};

}  // namespace core
