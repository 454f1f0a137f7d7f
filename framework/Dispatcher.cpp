#include "framework/Dispatcher.h"

#include <memory>
#include <utility>

namespace framework {

CDispatcher::~CDispatcher() {
    Stop();
    // Destroyed by its own work: the thread cannot join itself.
    if (m_thread.joinable()) m_thread.detach();
}

bool CDispatcher::Post(std::function<void()> fn) {
    bool bWake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopped) return false;
        m_queue.push_back(std::move(fn));
        if (!m_bWakePending) {
            m_bWakePending = true;
            bWake = true;
        }
    }
    m_cvWork.notify_one();
    // Outside the lock: the host may call back into us.
    if (bWake && m_pHost != nullptr) m_pHost->Wake();
    return true;
}

bool CDispatcher::Invoke(std::function<void()> fn) {
    if (IsUiThread()) {
        if (IsStopped()) return false;
        fn();
        return true;
    }
    auto pDone = std::make_shared<bool>(false);
    const bool bPosted = Post([this, pDone, fn = std::move(fn)]() {
        fn();
        std::lock_guard<std::mutex> lock(m_mutex);
        *pDone = true;
    });
    if (!bPosted) return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cvDone.wait(lock, [&] { return *pDone || m_bStopped; });
    return *pDone;
}

void CDispatcher::RunOne(std::function<void()>& fn) {
    fn();
    fn = nullptr;  // captured state goes before the work counts as done
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_nRunning;
        ++m_nCompleted;
    }
    m_cvDone.notify_all();
}

size_t CDispatcher::RunPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_uiThread == std::thread::id()) m_uiThread = std::this_thread::get_id();
        if (m_bStopped) return 0;
        batch.swap(m_queue);
        m_bWakePending = false;
        m_nRunning += batch.size();
    }
    size_t nRan = 0;
    while (!batch.empty()) {
        std::function<void()> fn = std::move(batch.front());
        batch.pop_front();
        if (IsStopped()) {
            // Stopped by a handler: the rest of the batch is dropped.
            std::lock_guard<std::mutex> lock(m_mutex);
            m_nRunning -= batch.size() + 1;
            batch.clear();
            break;
        }
        RunOne(fn);
        ++nRan;
    }
    m_cvDone.notify_all();
    return nRan;
}

void CDispatcher::BindToCurrentThread() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uiThread = std::this_thread::get_id();
}

void CDispatcher::Run() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_uiThread = std::this_thread::get_id();
    }
    for (;;) {
        std::function<void()> fn;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cvWork.wait(lock, [&] { return m_bStopped || !m_queue.empty(); });
            if (m_bStopped) return;
            fn = std::move(m_queue.front());
            m_queue.pop_front();
            if (m_queue.empty()) m_bWakePending = false;
            ++m_nRunning;
        }
        RunOne(fn);
    }
}

void CDispatcher::StartThread() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable() || m_bStopped) return;
    m_thread = std::thread([this] { Run(); });
    // Known at once, so that IsUiThread holds before the loop first runs.
    m_uiThread = m_thread.get_id();
}

void CDispatcher::Stop() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopped = true;
        m_queue.clear();
        if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
            thread = std::move(m_thread);
        }
    }
    m_cvWork.notify_all();
    m_cvDone.notify_all();
    if (thread.joinable()) thread.join();
}

bool CDispatcher::IsStopped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bStopped;
}

size_t CDispatcher::PendingCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

bool CDispatcher::IsUiThread() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_uiThread == std::this_thread::get_id();
}

bool CDispatcher::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cvDone.wait_for(lock, timeout,
                             [&] { return m_bStopped || (m_queue.empty() && m_nRunning == 0); });
}

}  // namespace framework
