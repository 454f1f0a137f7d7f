#pragma once
// A view for tests that keeps a copy of a page's state by applying the
// changes it is told of, exactly as a real view must; the tests compare its
// copy with the page.
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "framework/Control.h"

namespace testsupport {

using framework::CControlChange;
using framework::CControlState;
using framework::CPage;
using framework::CPageSnapshot;
using framework::IPageView;

class CPageMirror final : public IPageView {
public:
    // Attaches to the page at once. With bRecord every change is also kept.
    explicit CPageMirror(CPage& page, bool bRecord = true);
    // Detaches (waits for a delivery in progress).
    ~CPageMirror() override;
    CPageMirror(const CPageMirror&) = delete;
    CPageMirror& operator=(const CPageMirror&) = delete;

    void OnPageChanged(CPage& page, const CControlChange& change) override;

    // The mirrored state; logs as their joined text. Any thread.
    CPageSnapshot State() const;
    std::vector<CControlChange> Changes() const;
    size_t ChangeCount() const;
    // Seq of the last change applied.
    uint64_t LastSeq() const;

private:
    CControlState* Find(int nId);  // lock held

    CPage& m_page;
    bool m_bRecord;
    mutable std::mutex m_mutex;
    CPageSnapshot m_state;
    std::map<int, std::deque<std::string>> m_logs;  // log lines by control id
    std::vector<CControlChange> m_changes;
    size_t m_nChangeCount = 0;
};

}  // namespace testsupport
