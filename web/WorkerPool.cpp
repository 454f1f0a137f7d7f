#include "web/WorkerPool.h"

#include "platform/ThreadName.h"

namespace web {

namespace {

thread_local bool t_bTurnedAway = false;

}  // namespace

void NameWebThread() {
    platform::NameThisThread("web");
}

CWorkerPool::CWorkerPool(int nThreads, int nQueue) : m_nQueue(static_cast<size_t>(nQueue)) {
    for (int i = 0; i < nThreads; ++i) m_threads.emplace_back([this] { WorkerThread(); });
}

CWorkerPool::~CWorkerPool() {
    shutdown();
}

void CWorkerPool::enqueue(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bShutdown && m_tasks.size() < m_nQueue) {
            m_tasks.push_back(std::move(fn));
            m_cv.notify_one();
            return;
        }
    }
    // No room: the task must still run, since it owns the connection and
    // closes it; it answers at once.
    t_bTurnedAway = true;
    fn();
    t_bTurnedAway = false;
}

void CWorkerPool::shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bShutdown = true;
    }
    m_cv.notify_all();
    for (std::thread& thread : m_threads)
        if (thread.joinable()) thread.join();
}

bool CWorkerPool::HasWaiting() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_tasks.empty();
}

bool CWorkerPool::IsTurnedAway() {
    return t_bTurnedAway;
}

void CWorkerPool::WorkerThread() {
    NameWebThread();
    for (;;) {
        std::function<void()> fn;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this] { return m_bShutdown || !m_tasks.empty(); });
            if (m_tasks.empty()) return;  // shut down, nothing left
            fn = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        fn();
    }
}

}  // namespace web
