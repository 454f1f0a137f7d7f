#include "framework/ChangeQueue.h"

#include <algorithm>
#include <utility>

namespace framework {

void CChangeQueue::AddView(IPageView& view, uint64_t nSeq) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_views.push_back({&view, nSeq});
}

void CChangeQueue::RemoveView(IPageView& view) {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::erase_if(m_views, [&](const CView& v) { return v.m_pView == &view; });
    if (!m_bDelivering || m_deliverer == std::this_thread::get_id()) return;
    // The batch in progress may still hold the view; later batches do not.
    const uint64_t nBatch = m_nBatches;
    m_cv.wait(lock, [&] { return !m_bDelivering || m_nBatches != nBatch; });
}

void CChangeQueue::RemoveAllViews() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_views.clear();
    m_pending.clear();
    if (!m_bDelivering || m_deliverer == std::this_thread::get_id()) return;
    const uint64_t nBatch = m_nBatches;
    m_cv.wait(lock, [&] { return !m_bDelivering || m_nBatches != nBatch; });
}

bool CChangeQueue::HasViews() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_views.empty();
}

void CChangeQueue::Push(CControlChange&& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Nobody to tell: keep no backlog.
    if (m_views.empty()) return;
    m_pending.push_back(std::move(change));
}

void CChangeQueue::Deliver() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bDelivering || m_pending.empty()) return;
    m_bDelivering = true;
    m_deliverer = std::this_thread::get_id();
    for (;;) {
        std::deque<CControlChange> batch;
        batch.swap(m_pending);
        if (batch.empty()) break;
        const std::vector<CView> views = m_views;
        lock.unlock();
        for (const CControlChange& change : batch) {
            for (const CView& v : views) {
                if (change.m_nSeq > v.m_nFromSeq) v.m_pView->OnPageChanged(m_page, change);
            }
        }
        lock.lock();
        ++m_nBatches;
        m_cv.notify_all();
    }
    m_bDelivering = false;
    m_deliverer = std::thread::id();
    m_cv.notify_all();
}

}  // namespace framework
