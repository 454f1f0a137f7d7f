#include "qt/PageLink.h"

#include <QMetaObject>
#include <utility>

namespace qt {

CPageLink::CPageLink(framework::CPage& page) : m_page(page) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initial = m_page.AttachView(*this);
}

CPageLink::~CPageLink() {
    if (!m_bGone.load()) m_page.DetachView(*this);
    // Child links detach in their own destructors (m_childLinks).
}

void CPageLink::OnPageChanged(framework::CPage&, const framework::CControlChange& change) {
    // The child is alive while its creation is being reported; attach now.
    std::unique_ptr<CPageLink> pChildLink;
    if (change.eWhat == framework::EChange::ChildCreated && change.pChild != nullptr) {
        pChildLink = std::make_unique<CPageLink>(*change.pChild);
    }
    // Set at once: whatever follows, the page is not touched again.
    if (change.eWhat == framework::EChange::PageDestroyed) m_bGone.store(true);

    std::lock_guard<std::mutex> lock(m_mutex);
    if (pChildLink) m_childLinks[change.pChild] = std::move(pChildLink);
    m_pending.push_back(change);
    if (m_bPosted || m_pReceiver == nullptr) return;
    m_bPosted = true;
    // Only posts: a view never blocks the thread that made the change.
    QMetaObject::invokeMethod(m_pReceiver, m_fnTake, Qt::QueuedConnection);
}

void CPageLink::SetReceiver(QObject* pReceiver, std::function<void()> fnTake) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pReceiver = pReceiver;
    m_fnTake = std::move(fnTake);
    m_bPosted = false;
    if (m_pReceiver != nullptr && !m_pending.empty()) {
        m_bPosted = true;
        QMetaObject::invokeMethod(m_pReceiver, m_fnTake, Qt::QueuedConnection);
    }
}

std::deque<framework::CControlChange> CPageLink::TakeChanges() {
    std::deque<framework::CControlChange> changes;
    std::lock_guard<std::mutex> lock(m_mutex);
    changes.swap(m_pending);
    m_bPosted = false;
    return changes;
}

std::unique_ptr<CPageLink> CPageLink::TakeChildLink(framework::CPage* pChild) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_childLinks.find(pChild);
        if (it != m_childLinks.end()) {
            std::unique_ptr<CPageLink> pLink = std::move(it->second);
            m_childLinks.erase(it);
            return pLink;
        }
    }
    return std::make_unique<CPageLink>(*pChild);
}

}  // namespace qt
