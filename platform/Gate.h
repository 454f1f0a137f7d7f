#pragma once
// Holds a thread at a safe point until released: our form of suspending and
// resuming a thread. The worker calls Pass() where it may be held; Hold and
// Release may come from any thread. A held worker is never in the middle of
// a send, because it only stops inside Pass().
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class CStopSignal;

class CThreadGate {
public:
    void Hold();
    void Release();
    bool IsHeld() const;
    // Worker side: returns at once when the gate is open; otherwise waits
    // until it is released or the stop signal (checked every 50 ms) is given.
    // Returns false when it returned because of the stop signal.
    bool Pass(CStopSignal* pStop = nullptr);
    // True while a worker waits inside Pass() (for tests and shutdown).
    bool IsWaiting() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bHeld = false;
    int m_nWaiting = 0;
};

}  // namespace platform
