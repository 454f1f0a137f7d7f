#pragma once
// The game side as the monitor loop and the ticket reporter see it: the
// run's settings, the shared flags and snapshot, and the side's run state.
// The core's game side implements it; tests use a small stand-in.
#include <atomic>
#include <cstdint>

#include "bridge/GameShared.h"
#include "monitor/Announcements.h"
#include "monitor/EventInference.h"
#include "monitor/PollReport.h"
#include "monitor/ServerStatus.h"
#include "platform/Heartbeat.h"

namespace monitor {

// Where the game side's supervisor stands between and during runs.
enum class EMonitorState {
    Starting,  // a run opens its query
    Running,   // a run polls
    Waiting,   // a run failed: waiting for the next one
    Ended,     // stopped, or failed without keep-alive
};


class IMonitorHost : public IGameOutput {
public:
    // ---- What Connect copied for this run (fixed while it lasts). Any thread.
    virtual CAnnounceSettings AnnounceSettings() const = 0;
    virtual CEventFilters EventFilters() const = 0;
    virtual bool IsTicketShown() const = 0;

    // ---- Shared state. Any thread.
    // The snapshot of the last decoded reply, replaced and read whole.
    virtual CServerStatus GetStatus() const = 0;
    virtual void SetStatus(const CServerStatus& status) = 0;
    virtual bool IsMonitoring() const = 0;
    virtual void SetMonitoring(bool bMonitoring) = 0;
    // The game on the server is paused; written only by the monitor.
    virtual bool IsGamePaused() const = 0;
    virtual void SetGamePaused(bool bPaused) = 0;
    // What the IRC side reads of the game, and the ticket interval it sets.
    virtual bridge::CGameShared& GameShared() const = 0;
    // Bytes received from the game server; nullptr when nobody counts.
    virtual std::atomic<int32_t>* TrafficCounter() = 0;

    // ---- The side's run state, for the monitor thread.
    // The operator (or a failure, or shutdown) wants the run to end.
    virtual bool IsStopRequested() const = 0;
    // A failed run is followed by another one after a wait (Broadcast)
    // instead of ending monitoring.
    virtual bool IsKeepAlive() const = 0;
    // Set-up is done, or the side waits for its next run: the operator may
    // now stop it.
    virtual void OnMonitorReady() = 0;
    // A failure ends monitoring: the side goes back to idle (never starts a run).
    virtual void ReturnToIdle() = 0;
    // The thread's last act: nothing of the run touches the host after it.
    virtual void OnMonitorEnded() = 0;

    // ---- What happens, for those who watch (a status line, statistics).
    // The supervisor's state changed; nWaitMs: the wait that began (Waiting).
    virtual void OnMonitorState(EMonitorState /*eState*/, uint32_t /*nWaitMs*/) {}
    // A poll was decoded and its lines announced. Monitor thread; must not wait.
    virtual void OnPoll(const CPollReport& /*report*/) {}
    // A poll went unanswered (a silent round, or a run that failed).
    virtual void OnPollUnanswered() {}
    // What the monitor thread beats before each wait, for a watchdog; null
    // when nobody watches.
    virtual platform::CHeartbeat* Heartbeat() { return nullptr; }
};

}  // namespace monitor
