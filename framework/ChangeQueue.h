#pragma once
// Hands a page's changes to its views in order without holding the page's
// lock while a view runs: the writer queues a change under the page's lock,
// and then whichever thread finds nobody delivering delivers everything
// queued, oldest first. A view is never called by two threads at once.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/Control.h"

namespace framework {

class CChangeQueue {
public:
    explicit CChangeQueue(CPage& page) : m_page(page) {}

    // Any thread, page lock held: the view is told of changes after nSeq.
    void AddView(IPageView& view, uint64_t nSeq);
    // Any thread: no call to the view starts after this returns, and it
    // waits for a call in progress unless it is called from inside one.
    void RemoveView(IPageView& view);
    // Removes every view, waiting like RemoveView (the page's destructor).
    void RemoveAllViews();
    bool HasViews() const;
    // Any thread, page lock held: queues one numbered change.
    void Push(CControlChange&& change);
    // Any thread, page lock NOT held: delivers queued changes unless another
    // thread is at it (that thread then delivers these too).
    void Deliver();

private:
    struct CView {
        IPageView* m_pView;
        uint64_t m_nFromSeq;
    };

    CPage& m_page;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<CControlChange> m_pending;
    std::vector<CView> m_views;
    bool m_bDelivering = false;
    std::thread::id m_deliverer;
    uint64_t m_nBatches = 0;  // batches finished
};

}  // namespace framework
