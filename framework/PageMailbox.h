#pragma once
// The thread-crossing half of a page's native view (Qt or Win32): attached
// to the page, it is told of changes on any thread, keeps them in order and
// wakes the view's thread to take them. It never touches a widget or a
// window. A child page gets its mailbox the moment its parent reports it
// created, so none of the child's changes is missed however soon it follows.
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "framework/Page.h"

namespace framework {

class CPageMailbox final : public IPageView {
public:
    // Asks the view's thread to call TakeChanges soon; only posts, never
    // waits. True when the request was posted.
    using WakeFn = std::function<bool()>;

    // Any thread: attaches to the page and keeps the state it starts from.
    explicit CPageMailbox(CPage& page);
    // Any thread: detaches, unless the page's window was destroyed (the
    // page may be gone then). A page must not be deleted before its mailbox
    // is, unless its window was destroyed first.
    ~CPageMailbox() override;
    CPageMailbox(const CPageMailbox&) = delete;
    CPageMailbox& operator=(const CPageMailbox&) = delete;

    CPage& Page() const { return m_page; }
    // The state at attachment (view's thread, once).
    const CPageSnapshot& Initial() const { return m_initial; }

    // Any thread: queues the change and, when the queue was empty, wakes
    // the view's thread.
    void OnPageChanged(CPage& page, const CControlChange& change) override;

    // View's thread: how to wake it. Null stops the waking; changes queued
    // before are kept.
    void SetWake(WakeFn fnWake);
    // View's thread: every change queued so far, oldest first.
    std::deque<CControlChange> TakeChanges();
    // Any thread: the page's window was destroyed; the page is no longer
    // to be used.
    bool IsGone() const { return m_bGone.load(); }
    // View's thread: the mailbox made for a child page when its creation was
    // reported (or a new one for a child that existed before attachment).
    std::unique_ptr<CPageMailbox> TakeChildMailbox(CPage* pChild);

private:
    void WakeLocked();  // m_mutex held

    CPage& m_page;
    CPageSnapshot m_initial;
    std::atomic<bool> m_bGone{false};

    std::mutex m_mutex;
    std::deque<CControlChange> m_pending;
    bool m_bWoken = false;
    WakeFn m_fnWake;
    std::map<CPage*, std::unique_ptr<CPageMailbox>> m_childMailboxes;
};

}  // namespace framework
