#pragma once
// The game side's life from Connect to Disconnect, one run after the other.
// Without keep-alive (the game side's own Connect) there is one run: when it
// fails, its text is logged and the side goes back to idle. With keep-alive
// (Broadcast, and always in fragrelayd) a failed run is followed by a line
// that says when the next one starts, a wait that grows from seconds to
// minutes while runs keep failing, and a new run with a fresh warm-up, so
// that no stale events come out; a run that decoded replies for a minute
// starts the wait from its shortest again (a server that answers a moment
// and drops again is not asked every few seconds for weeks). The side stays
// in its running state throughout, and a stop ends the wait at once.
#include <atomic>
#include <cstdint>
#include <string>

#include "monitor/MonitorHost.h"
#include "monitor/MonitorRun.h"
#include "monitor/OutageWatch.h"
#include "platform/Backoff.h"

namespace monitor {


// The log line after a failed run: "Trying again in 12 s ..." for a wait of
// nMs, the seconds rounded up. Pure.
std::string RetryLine(uint32_t nMs);

class CMonitorSupervisor {
public:
    // Replies decoded for this long make the next outage start short again.
    static constexpr uint32_t kSteadyRunMs = 60000;

    // nSeed makes the wait's jitter repeatable; 0 takes one from the system.
    CMonitorSupervisor(IMonitorHost& host, CMonitorControl control, uint32_t nSeed = 0);

    // Runs until the host stops it, or, without keep-alive, until a run
    // fails. A stop that ends a run or a wait announces "Broadcast closed".
    // The operator's Pause holds a wait as it holds a run. Monitor thread.
    void Run();

    // Any thread.
    EMonitorState State() const { return m_eState.load(); }

private:
    enum class ERunEnd { Stopped, Failed };

    ERunEnd RunOnce();
    // Sets the state and tells the host; nWaitMs for Waiting.
    void SetState(EMonitorState eState, uint32_t nWaitMs = 0);
    // Waits nDelayMs of the clock; false when a stop ended the wait.
    bool WaitToRetry(uint32_t nDelayMs);

    IMonitorHost& m_host;
    CMonitorControl m_control;
    platform::CBackoff m_backoff;
    COutageWatch m_outage;  // across the runs
    std::atomic<EMonitorState> m_eState{EMonitorState::Starting};
};

// The thread procedure of the game side: runs (see CMonitorSupervisor)
// until the host stops it or, without keep-alive, a run fails; then
// monitoring is over and the host is told that the thread is done.
void MonitorThread(IMonitorHost& host, CMonitorControl control);

}  // namespace monitor
