// Logs: the view holds exactly the page's lines, follows the end and stays
// as bounded as the page's log.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>
#include <string>
#include <thread>

#include "QtTestSupport.h"
#include "qt/QtLogView.h"
#include "qt/QtText.h"

namespace qttest {
namespace {

using QtLogViewTest = CViewFixture;

qt::CQtLogView* LogOf(qt::CQtPageView& view) {
    return qobject_cast<qt::CQtLogView*>(view.ControlWidget(ID_LOG));
}

bool ShowsPageText(qt::CQtLogView* pLog, framework::CPage& page) {
    return pLog->toPlainText() == qt::ToDisplayText(page.GetItemText(ID_LOG), true);
}

TEST_F(QtLogViewTest, AppendsFromAWorkerFollowTheEndAndStayBounded) {
    m_pPage->SetLogLimits(ID_LOG, 100, 1 << 20);
    qt::CQtLogView* pLog = LogOf(*m_pView);
    std::thread worker([&] {
        for (int n = 0; n < 5000; ++n) m_pPage->AppendLogLine(ID_LOG, "line " + std::to_string(n));
    });
    worker.join();
    ASSERT_TRUE(SpinUntil([&] { return pLog->document()->lastBlock().text() == "line 4999"; }));
    EXPECT_EQ(pLog->LineCount(), 100u);
    EXPECT_EQ(pLog->document()->blockCount(), 100);
    EXPECT_EQ(pLog->document()->firstBlock().text(), QStringLiteral("line 4900"));
    EXPECT_TRUE(ShowsPageText(pLog, *m_pPage));
    QScrollBar* pBar = pLog->verticalScrollBar();
    EXPECT_GT(pBar->maximum(), 0);
    EXPECT_EQ(pBar->value(), pBar->maximum());
}

TEST_F(QtLogViewTest, EverySequenceOfLogChangesEndsWithThePagesLines) {
    qt::CQtLogView* pLog = LogOf(*m_pView);
    struct CStep {
        enum EKind { Append, Limit, Set } m_eKind;
        std::string m_strText;
        size_t m_nLines = 0;
    };
    struct CRow {
        const char* m_pszName;
        std::vector<CStep> m_steps;
    };
    const std::string strNul("nul\0byte", 8);
    const CRow rows[] = {
        {"one line into an empty log", {{CStep::Append, "a"}}},
        {"empty lines count", {{CStep::Append, ""}, {CStep::Append, ""}, {CStep::Append, "x"}}},
        {"several lines in one append", {{CStep::Append, "a\nb\nc"}, {CStep::Append, "d"}}},
        {"trimmed while appending",
         {{CStep::Limit, "", 3},
          {CStep::Append, "1"},
          {CStep::Append, "2\n3\n4"},
          {CStep::Append, "5"}}},
        {"one append longer than the limit",
         {{CStep::Limit, "", 2}, {CStep::Append, "a"}, {CStep::Append, "b\nc\nd\ne"}}},
        {"replaced between appends",
         {{CStep::Append, "old"}, {CStep::Set, "new\ntext"}, {CStep::Append, "more"}}},
        {"emptied then appended", {{CStep::Append, "x"}, {CStep::Set, ""}, {CStep::Append, "y"}}},
        {"control bytes",
         {{CStep::Append, strNul},
          {CStep::Append,
           "\x02"
           "bold\x1F"}}},
    };
    for (const CRow& row : rows) {
        m_pPage->SetLogLimits(ID_LOG, framework::CPage::kLogMaxLines,
                              framework::CPage::kLogMaxBytes);
        m_pPage->SetItemText(ID_LOG, "");
        // From a worker, so that the GUI takes the whole run in one go.
        std::thread worker([&] {
            for (const CStep& step : row.m_steps) {
                switch (step.m_eKind) {
                    case CStep::Append:
                        m_pPage->AppendLogLine(ID_LOG, step.m_strText);
                        break;
                    case CStep::Limit:
                        m_pPage->SetLogLimits(ID_LOG, step.m_nLines, 1 << 20);
                        break;
                    case CStep::Set:
                        m_pPage->SetItemText(ID_LOG, step.m_strText);
                        break;
                }
            }
        });
        worker.join();
        EXPECT_TRUE(SpinUntil([&] { return ShowsPageText(pLog, *m_pPage); }))
            << row.m_pszName << ": shows \"" << pLog->toPlainText().toStdString() << "\"";
        EXPECT_EQ(pLog->LineCount(), m_pPage->GetLogLineCount(ID_LOG)) << row.m_pszName;
        if (pLog->LineCount() > 0) {
            EXPECT_EQ(static_cast<size_t>(pLog->document()->blockCount()), pLog->LineCount())
                << row.m_pszName;
        }
    }
}

TEST_F(QtLogViewTest, LogTakesNoTyping) {
    qt::CQtLogView* pLog = LogOf(*m_pView);
    m_pPage->AppendLogLine(ID_LOG, "kept");
    ASSERT_TRUE(SpinUntil([&] { return pLog->LineCount() == 1; }));
    pLog->setFocus();
    QTest::keyClicks(pLog, QStringLiteral("typed"));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(pLog->toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(m_pPage->GetItemText(ID_LOG), "kept");
}

TEST_F(QtLogViewTest, ScrollToEndShowsTheLastLine) {
    qt::CQtLogView* pLog = LogOf(*m_pView);
    for (int n = 0; n < 200; ++n) m_pPage->AppendLogLine(ID_LOG, std::to_string(n));
    ASSERT_TRUE(SpinUntil([&] { return pLog->LineCount() == 200; }));
    QScrollBar* pBar = pLog->verticalScrollBar();
    pBar->setValue(0);  // the operator scrolled up
    m_pPage->ScrollToEnd(ID_LOG);
    EXPECT_TRUE(SpinUntil([&] { return pBar->value() == pBar->maximum(); }));
}

}  // namespace
}  // namespace qttest
