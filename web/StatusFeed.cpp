#include "web/StatusFeed.h"

#include <chrono>

#include "web/WebJson.h"

namespace web {

void CStatusFeed::Publish(CWebStatus status) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = std::move(status);  // made JSON by the first stream that wants it
        ++m_nSeq;
    }
    m_cv.notify_all();
}

CStatusFeed::CNext CStatusFeed::WaitNewer(uint64_t nSeen, int nMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(nMs),
                  [&] { return m_bClosed || m_nSeq > nSeen; });
    CNext next;
    next.m_bClosed = m_bClosed;
    next.m_nSeq = m_nSeq;
    if (m_bClosed || m_nSeq <= nSeen) return next;
    if (m_pending) {
        m_pJson = std::make_shared<const std::string>(StatusJson(*m_pending));
        m_pending.reset();
    }
    next.m_pJson = m_pJson;
    return next;
}

uint64_t CStatusFeed::Seq() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nSeq;
}

void CStatusFeed::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
    }
    m_cv.notify_all();
}

void CStatusFeed::Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bClosed = false;
}

bool CStatusFeed::TryAddStream(int nMax) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nStreams >= nMax) return false;
    ++m_nStreams;
    return true;
}

void CStatusFeed::RemoveStream() {
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_nStreams;
}

int CStatusFeed::Streams() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nStreams;
}

}  // namespace web
