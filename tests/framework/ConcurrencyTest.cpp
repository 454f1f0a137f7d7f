// Control state under writers on several threads with a view attached: no
// torn values, each writer's changes arrive in its order, and the view ends
// with the page's state.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "framework/MessageBox.h"
#include "support/PageMirror.h"
#include "tests/framework/TestPage.h"
#include "tests/support/Wait.h"

using namespace fwtest;
using framework::EChange;

namespace {

constexpr int kWriters = 4;
constexpr int kRounds = 400;
// Each writer owns one edit; all of them append to the one log.
constexpr int kOwnEdit[kWriters] = {kName, kCount, kPort, kColour};

std::string Value(int nWriter, int nRound) {
    return "w" + std::to_string(nWriter) + ":" + std::to_string(nRound);
}

// Splits "wN:M"; false when the text is not one whole value.
bool ParseValue(const std::string& str, int& nWriter, int& nRound) {
    if (str.size() < 4 || str[0] != 'w' || str[2] != ':') return false;
    nWriter = str[1] - '0';
    nRound = 0;
    for (size_t n = 3; n < str.size(); ++n) {
        if (str[n] < '0' || str[n] > '9') return false;
        nRound = nRound * 10 + (str[n] - '0');
    }
    return nWriter >= 0 && nWriter < kWriters && nRound < kRounds;
}

TEST(PageConcurrency, WritersOnManyThreadsKeepOrderAndWholeValues) {
    framework::CRecordingMessageSink sink;
    CTestPage page;
    ASSERT_TRUE(page.Create(sink));
    page.SetLogLimits(kLog, 100000, 1 << 24);
    testsupport::CPageMirror mirror(page);

    std::atomic<bool> bDone{false};
    std::atomic<int> nTorn{0};
    // A reader that only ever sees whole values.
    std::thread reader([&] {
        for (int n = 0; n < 100000 && !bDone.load(); ++n) {
            const std::string str = page.GetItemText(kName);
            int w = 0, r = 0;
            if (str != "alpha" && !ParseValue(str, w, r)) nTorn.fetch_add(1);
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int r = 0; r < kRounds; ++r) {
                page.SetItemText(kOwnEdit[w], Value(w, r));
                page.AppendLogLine(kLog, Value(w, r));
                page.EnableItem(kGo, (r % 2) == 0);
                if (r % 50 == 0) page.UpdateData(false);  // whole transfers meanwhile
            }
        });
    }
    for (auto& thread : writers) thread.join();
    bDone = true;
    reader.join();
    EXPECT_EQ(nTorn.load(), 0);

    // The view was told of every line, whole, and of each writer's lines
    // and texts in the order that writer made them.
    std::vector<int> nextLine(kWriters, 0);
    std::vector<int> lastText(kWriters, -1);
    uint64_t nLastSeq = 0;
    int nLines = 0;
    for (const auto& change : mirror.Changes()) {
        EXPECT_GT(change.m_nSeq, nLastSeq);
        nLastSeq = change.m_nSeq;
        int w = 0, r = 0;
        if (change.m_eWhat == EChange::LogAppend) {
            ASSERT_TRUE(ParseValue(change.m_strText, w, r)) << change.m_strText;
            EXPECT_EQ(r, nextLine[static_cast<size_t>(w)]);
            nextLine[static_cast<size_t>(w)] = r + 1;
            ++nLines;
        } else if (change.m_eWhat == EChange::Text && change.m_nId != kLog &&
                   ParseValue(change.m_strText, w, r)) {
            EXPECT_GT(r, lastText[static_cast<size_t>(w)]);
            lastText[static_cast<size_t>(w)] = r;
        }
    }
    EXPECT_EQ(nLines, kWriters * kRounds);
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_EQ(lastText[static_cast<size_t>(w)], kRounds - 1) << "writer " << w;
    }

    // The mirror and the page agree on everything.
    const auto state = mirror.State();
    const auto snapshot = page.Snapshot();
    EXPECT_EQ(state.m_nSeq, snapshot.m_nSeq);
    ASSERT_EQ(state.m_controls.size(), snapshot.m_controls.size());
    for (size_t n = 0; n < state.m_controls.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(state.m_controls[n].m_strText, snapshot.m_controls[n].m_strText);
        EXPECT_EQ(state.m_controls[n].m_bEnabled, snapshot.m_controls[n].m_bEnabled);
        EXPECT_EQ(state.m_controls[n].m_nLimit, snapshot.m_controls[n].m_nLimit);
        EXPECT_EQ(state.m_controls[n].m_nCurSel, snapshot.m_controls[n].m_nCurSel);
    }
    EXPECT_EQ(page.GetLogLineCount(kLog), static_cast<size_t>(kWriters * kRounds));
}

// A view that reads the page while it is told of a change, as a real view
// may, and counts calls made at the same time by two threads.
class CReadingView : public framework::IPageView {
public:
    void OnPageChanged(framework::CPage& page, const framework::CControlChange&) override {
        if (m_nInside.fetch_add(1) != 0) m_nOverlaps.fetch_add(1);
        (void)page.GetItemText(kName);
        m_nCalls.fetch_add(1);
        m_nInside.fetch_sub(1);
    }
    std::atomic<int> m_nInside{0};
    std::atomic<int> m_nOverlaps{0};
    std::atomic<int> m_nCalls{0};
};

TEST(PageConcurrency, ViewIsNeverCalledTwiceAtOnceAndNotAfterDetach) {
    framework::CRecordingMessageSink sink;
    CTestPage page;
    ASSERT_TRUE(page.Create(sink));
    CReadingView view;
    page.AttachView(view);
    std::atomic<bool> bStop{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            for (int r = 0; r < 20000 && !bStop.load(); ++r) {
                page.SetItemText(kOwnEdit[w], Value(w, r % kRounds));
            }
        });
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] { return view.m_nCalls.load() > 500; }));
    page.DetachView(view);
    const int nAtDetach = view.m_nCalls.load();
    EXPECT_EQ(view.m_nInside.load(), 0);
    bStop = true;
    for (auto& thread : writers) thread.join();
    EXPECT_EQ(view.m_nCalls.load(), nAtDetach);
    EXPECT_EQ(view.m_nOverlaps.load(), 0);
}

}  // namespace
