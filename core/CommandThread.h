#pragma once
// The core's own thread: runs the operator's commands one after the other,
// in the order they were given, so that a command that must wait (for a
// monitor that is still ending, for the game's closing line before QUIT)
// waits here and never on the thread that gave it. It sleeps until a
// command comes.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "platform/Heartbeat.h"

namespace core {

class CCommandThread {
public:
    CCommandThread() = default;
    // Stop.
    ~CCommandThread();
    CCommandThread(const CCommandThread&) = delete;
    CCommandThread& operator=(const CCommandThread&) = delete;

    // Starts the thread; false when it runs already or has been stopped.
    bool Start();
    // Queues a command; false (and nothing queued) once Stop has begun.
    // Any thread, never waits.
    bool Post(std::function<void()> fnCommand);
    // Runs the commands still queued, then ends the thread and joins it.
    // Not on the command thread. Idempotent.
    void Stop();
    // Waits until every command queued before this call has run; false when
    // nMs passed first. Not on the command thread.
    bool WaitIdle(uint32_t nMs);
    // True on the command thread itself.
    bool IsCommandThread() const;
    // Commands waiting or running. Any thread.
    size_t Pending() const;
    // Beats while a command runs (each gets kCommandBeatMs); idle between.
    const platform::CHeartbeat& Heartbeat() const { return m_heartbeat; }

    // The longest a command may take before a watchdog calls the thread stuck:
    // the longest wait of one (a monitor that is still ending) with room.
    static constexpr uint32_t kCommandBeatMs = 30000;

private:
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;      // a command came, or the stop
    std::condition_variable m_cvDone;  // a command has run
    std::deque<std::function<void()>> m_commands;
    uint64_t m_nPosted = 0;  // commands queued so far
    uint64_t m_nDone = 0;    // commands run so far
    bool m_bStarted = false;
    bool m_bStopping = false;
    std::thread m_thread;
    platform::CHeartbeat m_heartbeat;
};

}  // namespace core
