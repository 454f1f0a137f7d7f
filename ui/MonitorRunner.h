#pragma once
// The game tab's monitor life cycle: the run state (idle, running, paused),
// the monitor thread, its wake-up and Pause gate, keep-alive and whether a
// monitor is alive or set up. It is the monitor's host; what a run needs of
// the page (the settings Connect copied, the log, the channel) and the
// controls that follow the run state, it asks of its page through IPage.
//
// The run state lives in the shared game state, written only under the
// runner's lock; the page's captions and enabled flags are set from it and
// never read back.
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

namespace ui {

class CMonitorRunner : public monitor::IMonitorHost {
public:
    // What a run needs of the game tab: where its lines go (the log, the
    // channel while broadcasting), and:
    class IPage : public monitor::IGameOutput {
    public:
        // ---- The run's settings and counter, as IMonitorHost says. Any thread.
        virtual monitor::CAnnounceSettings AnnounceSettings() const = 0;
        virtual monitor::CEventFilters EventFilters() const = 0;
        virtual bool IsTicketShown() const = 0;
        virtual std::atomic<int32_t>* TrafficCounter() = 0;
        // ---- Controls that follow the run state.
        // Start, UI thread: the state is running, no monitor yet.
        virtual void ShowRunning() = 0;
        // The state has just turned idle: the operator's stop (UI thread) or
        // a failure (monitor thread). Connect is set by ShowConnectOnceEnded.
        virtual void ShowIdle() = 0;
        // Connect (Disconnect) usable or not. Called with the runner's lock
        // held, so the page must not call back into the runner from it.
        virtual void SetConnectUsable(bool bUsable) = 0;
    };

    // page and game outlive the runner; the clock paces the monitor.
    CMonitorRunner(IPage& page, bridge::CGameShared& game, platform::CClock& clock);
    // Shutdown.
    ~CMonitorRunner() override;
    CMonitorRunner(const CMonitorRunner&) = delete;
    CMonitorRunner& operator=(const CMonitorRunner&) = delete;

    // ---- The operator's side. UI thread.
    // What the operator wants: idle, running or paused. Any thread.
    bridge::EGameState RunState() const { return m_game.GameState(); }
    // Before any run: idle, not monitoring.
    void Reset();
    // Waits up to nWaitMs for a monitor that is still ending and joins it;
    // true when none runs any more.
    bool WaitForPrevious(int nWaitMs);
    // Idle to running: the state first (the quick-info check's end and the
    // monitor decide by it), then the page's ShowRunning, then the monitor
    // thread. Nothing unless idle.
    void Start();
    // To idle: the state, then the page's ShowIdle, then a monitor held by
    // Pause or waiting on the server is woken to end. False (and nothing
    // done) when the state is idle already, so a stop never starts a run.
    bool Stop();
    // Running to paused (bPause) or back: the monitor is held at its next
    // safe point, or let go. Nothing when idle.
    void Pause(bool bPause);
    // Within ShowIdle: Connect usable once no monitor is alive (otherwise
    // the monitor's end makes it so). Any thread.
    void ShowConnectOnceEnded();
    // Ends the monitor and joins it (which announces "Broadcast closed"
    // while broadcasting). The state stays as it is.
    void Shutdown();

    // ---- Keep-alive: while on, a failed run is followed by another after
    // a growing wait and the tab stays running; off, a failure returns it to
    // idle. UI thread; read by the monitor.
    void SetKeepAlive(bool bOn) { m_bKeepAlive = bOn; }

    // True while a monitor thread runs (also while it is still ending). Any thread.
    bool IsMonitorRunning() const;
    // True while the operator's Pause holds the monitor at its safe point.
    bool IsMonitorHeld() const { return m_gate.IsWaiting(); }
    // The monitor thread, for measuring it (nullptr before the first run).
    std::thread* Thread() const { return m_pThread.get(); }

    // ---- IMonitorHost, for the monitor thread and the ticket reporter.
    monitor::CAnnounceSettings AnnounceSettings() const override {
        return m_page.AnnounceSettings();
    }
    monitor::CEventFilters EventFilters() const override { return m_page.EventFilters(); }
    bool IsTicketShown() const override { return m_page.IsTicketShown(); }
    bool IsBroadcasting() const override { return m_page.IsBroadcasting(); }
    bridge::IIrcLink* IrcLink() const override { return m_page.IrcLink(); }
    void AppendLog(std::string strText) override { m_page.AppendLog(std::move(strText)); }
    std::atomic<int32_t>* TrafficCounter() override { return m_page.TrafficCounter(); }
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

private:
    IPage& m_page;
    bridge::CGameShared& m_game;
    platform::CClock& m_clock;

    mutable std::mutex m_mutexStatus;
    monitor::CServerStatus m_status;         // guarded by m_mutexStatus
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
    std::unique_ptr<std::thread> m_pThread;
};

}  // namespace ui
