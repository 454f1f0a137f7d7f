#pragma once
// The threads that serve connections: a fixed number, and a bounded line of
// accepted connections waiting for one. The HTTP library hands each
// accepted connection here (on its accepting thread); when the line is full
// the task runs at once on that thread, with IsTurnedAway() true, so that
// it answers 503 and closes instead of waiting.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "web/HttpLib.h"

namespace web {

class CWorkerPool : public httplib::TaskQueue {
public:
    CWorkerPool(int nThreads, int nQueue);
    ~CWorkerPool() override;

    void enqueue(std::function<void()> fn) override;
    // Lets the tasks in the line run, then joins every thread.
    void shutdown() override;

    // True when connections wait for a worker: an idle connection then
    // gives its worker back. Any thread.
    bool HasWaiting() const;
    // True on the thread that runs a task the line had no room for.
    static bool IsTurnedAway();

private:
    void WorkerThread();

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
    size_t m_nQueue;
    bool m_bShutdown = false;
    std::vector<std::thread> m_threads;
};

// Names the calling thread "web" for the debugger.
void NameWebThread();

}  // namespace web
