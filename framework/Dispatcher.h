#pragma once
// The UI dispatcher: button handlers and queued work run on one thread, the
// UI thread, one at a time and in the order they were posted. Either the Qt
// event loop drives it (IDispatcherHost::Wake, then RunPending on the GUI
// thread) or it runs a loop of its own (Run / StartThread) for the headless
// program and the tests.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace framework {

class IDispatcherHost {
public:
    virtual ~IDispatcherHost() = default;
    // Called from any thread, when work arrives in an empty queue: arrange
    // for RunPending() to be called soon on the UI thread. Must only
    // schedule, never run the work itself nor block.
    virtual void Wake() = 0;
};

class CDispatcher {
public:
    // Without a host the dispatcher is run by Run() or StartThread().
    explicit CDispatcher(IDispatcherHost* pHost = nullptr) : m_pHost(pHost) {}
    // Stops and joins its own thread; work not yet run is dropped.
    ~CDispatcher();
    CDispatcher(const CDispatcher&) = delete;
    CDispatcher& operator=(const CDispatcher&) = delete;

    // Any thread: queues fn behind all work posted before it. Returns false
    // (and drops fn) once the dispatcher is stopped.
    bool Post(std::function<void()> fn);

    // Any thread: runs fn on the UI thread and waits until it has run; on
    // the UI thread itself it runs fn at once. Returns false when the
    // dispatcher stopped before fn ran. Never call it from a thread that the
    // UI thread may be waiting for.
    bool Invoke(std::function<void()> fn);

    // UI thread (the host's): runs the work that was queued when it was
    // called, in order, and returns how many ran. Work posted meanwhile
    // waits for the next call (the host is woken for it), so the event
    // loop is never starved. The first caller becomes the UI thread.
    size_t RunPending();

    // A host calls this once on its GUI thread at start, so that Invoke and
    // IsUiThread know that thread before RunPending first runs.
    void BindToCurrentThread();

    // Runs work as it arrives until Stop(); the calling thread becomes the
    // UI thread.
    void Run();
    // Run() on a thread of the dispatcher's own. Call once.
    void StartThread();

    // Any thread: stops running work, drops what is queued, wakes Invoke
    // callers and joins the dispatcher's own thread (unless called on it).
    void Stop();
    bool IsStopped() const;

    // Work queued and not yet started (for tests).
    size_t PendingCount() const;

    // True on the thread that runs the work.
    bool IsUiThread() const;

    // Any thread but the UI thread (tests, shutdown): waits until the queue
    // is empty and no work is running. False on time-out.
    bool WaitIdle(std::chrono::milliseconds timeout);

private:
    void RunOne(std::function<void()>& fn);

    IDispatcherHost* m_pHost;
    mutable std::mutex m_mutex;
    std::condition_variable m_cvWork;  // work arrived or stop
    std::condition_variable m_cvDone;  // one piece of work finished, or stop
    std::deque<std::function<void()>> m_queue;
    size_t m_nRunning = 0;
    unsigned long long m_nCompleted = 0;
    bool m_bStopped = false;
    bool m_bWakePending = false;
    std::thread::id m_uiThread;
    std::thread m_thread;
};

}  // namespace framework
