#include "win32/Win32PageLink.h"

#include <utility>

namespace win32 {

CWin32PageLink::CWin32PageLink(framework::CPage& page) : m_page(page) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initial = m_page.AttachView(*this);
}

CWin32PageLink::~CWin32PageLink() {
    if (!m_bGone.load()) m_page.DetachView(*this);
}

void CWin32PageLink::OnPageChanged(framework::CPage&, const framework::CControlChange& change) {
    // The child is alive while its creation is being reported; attach now.
    std::unique_ptr<CWin32PageLink> pChildLink;
    if (change.eWhat == framework::EChange::ChildCreated && change.pChild != nullptr)
        pChildLink = std::make_unique<CWin32PageLink>(*change.pChild);
    if (change.eWhat == framework::EChange::PageDestroyed) m_bGone.store(true);

    std::lock_guard<std::mutex> lock(m_mutex);
    if (pChildLink) m_childLinks[change.pChild] = std::move(pChildLink);
    m_pending.push_back(change);
    if (m_bPosted || m_hReceiver == nullptr) return;
    // Only posts: a view never blocks the thread that made the change.
    m_bPosted = ::PostMessageW(m_hReceiver, WM_FR_CHANGES, 0, 0) != FALSE;
}

void CWin32PageLink::SetReceiver(HWND hWnd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hReceiver = hWnd;
    m_bPosted = false;
    if (m_hReceiver != nullptr && !m_pending.empty())
        m_bPosted = ::PostMessageW(m_hReceiver, WM_FR_CHANGES, 0, 0) != FALSE;
}

std::deque<framework::CControlChange> CWin32PageLink::TakeChanges() {
    std::deque<framework::CControlChange> changes;
    std::lock_guard<std::mutex> lock(m_mutex);
    changes.swap(m_pending);
    m_bPosted = false;
    return changes;
}

std::unique_ptr<CWin32PageLink> CWin32PageLink::TakeChildLink(framework::CPage* pChild) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_childLinks.find(pChild);
        if (it != m_childLinks.end()) {
            std::unique_ptr<CWin32PageLink> pLink = std::move(it->second);
            m_childLinks.erase(it);
            return pLink;
        }
    }
    return std::make_unique<CWin32PageLink>(*pChild);
}

}  // namespace win32
