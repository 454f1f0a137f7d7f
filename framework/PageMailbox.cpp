#include "framework/PageMailbox.h"

#include <utility>

namespace framework {

CPageMailbox::CPageMailbox(CPage& page) : m_page(page) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initial = m_page.AttachView(*this);
}

CPageMailbox::~CPageMailbox() {
    if (!m_bGone.load()) m_page.DetachView(*this);
    // Child mailboxes detach in their own destructors.
}

void CPageMailbox::OnPageChanged(CPage&, const CControlChange& change) {
    // The child is alive while its creation is being reported; attach now.
    std::unique_ptr<CPageMailbox> pChild;
    if (change.m_eWhat == EChange::ChildCreated && change.m_pChild != nullptr)
        pChild = std::make_unique<CPageMailbox>(*change.m_pChild);
    // Set at once: whatever follows, the page is not touched again.
    if (change.m_eWhat == EChange::PageDestroyed) m_bGone.store(true);

    std::lock_guard<std::mutex> lock(m_mutex);
    if (pChild) m_childMailboxes[change.m_pChild] = std::move(pChild);
    m_pending.push_back(change);
    if (!m_bWoken) WakeLocked();
}

void CPageMailbox::WakeLocked() {
    // Only posts: a view never blocks the thread that made the change.
    m_bWoken = m_fnWake && m_fnWake();
}

void CPageMailbox::SetWake(WakeFn fnWake) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fnWake = std::move(fnWake);
    m_bWoken = false;
    if (!m_pending.empty()) WakeLocked();
}

std::deque<CControlChange> CPageMailbox::TakeChanges() {
    std::deque<CControlChange> changes;
    std::lock_guard<std::mutex> lock(m_mutex);
    changes.swap(m_pending);
    m_bWoken = false;
    return changes;
}

std::unique_ptr<CPageMailbox> CPageMailbox::TakeChildMailbox(CPage* pChild) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_childMailboxes.find(pChild);
        if (it != m_childMailboxes.end()) {
            std::unique_ptr<CPageMailbox> pMailbox = std::move(it->second);
            m_childMailboxes.erase(it);
            return pMailbox;
        }
    }
    return std::make_unique<CPageMailbox>(*pChild);
}

}  // namespace framework
