#include "core/CommandThread.h"

#include <chrono>
#include <utility>

#include "platform/ThreadName.h"

namespace core {

CCommandThread::~CCommandThread() {
    Stop();
}

bool CCommandThread::Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStarted || m_bStopping) return false;
    m_bStarted = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool CCommandThread::Post(std::function<void()> fnCommand) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopping) return false;
        m_commands.push_back(std::move(fnCommand));
        ++m_nPosted;
    }
    m_cv.notify_one();
    return true;
}

void CCommandThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_cv.notify_one();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

bool CCommandThread::WaitIdle(uint32_t nMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t nTarget = m_nPosted;
    // Without a thread nothing would ever run them.
    if (!m_bStarted) return m_nDone >= nTarget;
    return m_cvDone.wait_for(lock, std::chrono::milliseconds(nMs),
                             [&] { return m_nDone >= nTarget; });
}

bool CCommandThread::IsCommandThread() const {
    return std::this_thread::get_id() == m_thread.get_id();
}

size_t CCommandThread::Pending() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<size_t>(m_nPosted - m_nDone);
}

void CCommandThread::Run() {
    platform::NameThisThread("core");
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_bStopping || !m_commands.empty(); });
        if (m_commands.empty()) break;  // stopping, and nothing left to run
        std::function<void()> fnCommand = std::move(m_commands.front());
        m_commands.pop_front();
        lock.unlock();
        m_heartbeat.Beat(platform::SystemClock().GetTickCount(), kCommandBeatMs);
        fnCommand();
        m_heartbeat.SetIdle();
        lock.lock();
        ++m_nDone;
        m_cvDone.notify_all();
    }
}

}  // namespace core
