#pragma once
// The thread-crossing half of a page's Win32 view: attached to the page, it
// is told of changes on any thread, keeps them in order and posts a message
// to the page's window, whose thread takes them. It never touches a
// window otherwise. A child page gets its link the moment its parent
// reports it created, so none of the child's changes is missed.
#include "win32/Win32Api.h"

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "framework/Control.h"
#include "framework/Page.h"

namespace win32 {

// Posted to a page's window when changes wait for it.
constexpr UINT WM_FR_CHANGES = WM_APP + 1;

class CWin32PageLink final : public framework::IPageView {
public:
    // Any thread: attaches to the page and keeps the state it starts from.
    explicit CWin32PageLink(framework::CPage& page);
    // Any thread: detaches, unless the page's window was destroyed (the
    // page may be gone then).
    ~CWin32PageLink() override;
    CWin32PageLink(const CWin32PageLink&) = delete;
    CWin32PageLink& operator=(const CWin32PageLink&) = delete;

    framework::CPage& Page() const { return m_page; }
    // The state at attachment (GUI thread, once).
    const framework::CPageSnapshot& Initial() const { return m_initial; }

    // Any thread: queues the change; posts WM_FR_CHANGES when the queue
    // was empty.
    void OnPageChanged(framework::CPage& page, const framework::CControlChange& change) override;

    // GUI thread: the window that takes the changes (nullptr stops the
    // posting; queued changes are kept).
    void SetReceiver(HWND hWnd);
    // GUI thread: every change queued so far, oldest first.
    std::deque<framework::CControlChange> TakeChanges();
    // Any thread: the page's window was destroyed; the page is not to be used.
    bool IsGone() const { return m_bGone.load(); }
    // GUI thread: the link made for a child page when its creation was
    // reported (or a new one for a child that existed before attachment).
    std::unique_ptr<CWin32PageLink> TakeChildLink(framework::CPage* pChild);

private:
    framework::CPage& m_page;
    framework::CPageSnapshot m_initial;
    std::atomic<bool> m_bGone{false};

    std::mutex m_mutex;
    std::deque<framework::CControlChange> m_pending;
    bool m_bPosted = false;
    HWND m_hReceiver = nullptr;
    std::map<framework::CPage*, std::unique_ptr<CWin32PageLink>> m_childLinks;
};

}  // namespace win32
