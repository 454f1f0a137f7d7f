#pragma once
// The thread-crossing half of a page's Qt view: attached to the page, it
// is told of changes on any thread, keeps them in order and asks the GUI
// thread to take them. It never touches a widget. A child page gets its
// link the moment its parent reports it created, so none of the child's
// changes is missed however soon it follows.
#include <QObject>
#include <QPointer>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "framework/Control.h"
#include "framework/Page.h"

namespace qt {

class CPageLink final : public framework::IPageView {
public:
    // Any thread: attaches to the page and keeps the state it starts from.
    explicit CPageLink(framework::CPage& page);
    // Any thread: detaches, unless the page's window was destroyed (the
    // page may be gone then). A page must not be deleted before its link
    // is, unless its window was destroyed first.
    ~CPageLink() override;
    CPageLink(const CPageLink&) = delete;
    CPageLink& operator=(const CPageLink&) = delete;

    framework::CPage& Page() const { return m_page; }
    // The state at attachment (GUI thread, once).
    const framework::CPageSnapshot& Initial() const { return m_initial; }

    // Any thread: queues the change and, when the queue was empty, posts
    // fnTake to the receiver set below.
    void OnPageChanged(framework::CPage& page, const framework::CControlChange& change) override;

    // GUI thread: who takes the changes (fnTake runs on the receiver's
    // thread). Null stops the posting; changes queued before are kept.
    void SetReceiver(QObject* pReceiver, std::function<void()> fnTake);
    // GUI thread: every change queued so far, oldest first.
    std::deque<framework::CControlChange> TakeChanges();

    // Any thread: the page's window was destroyed; the page is no longer
    // to be used.
    bool IsGone() const { return m_bGone.load(); }

    // GUI thread: the link made for a child page when its creation was
    // reported (or a new one for a child that existed before attachment).
    std::unique_ptr<CPageLink> TakeChildLink(framework::CPage* pChild);

private:
    framework::CPage& m_page;
    framework::CPageSnapshot m_initial;
    std::atomic<bool> m_bGone{false};

    std::mutex m_mutex;
    std::deque<framework::CControlChange> m_pending;
    bool m_bPosted = false;
    QObject* m_pReceiver = nullptr;
    std::function<void()> m_fnTake;
    std::map<framework::CPage*, std::unique_ptr<CPageLink>> m_childLinks;
};

}  // namespace qt
