// Logs: bounded, appended line by line, and told to views as appends.
#include <gtest/gtest.h>

#include "framework/LogBuffer.h"
#include "framework/MessageBox.h"
#include "support/PageMirror.h"
#include "tests/framework/TestPage.h"

using namespace fwtest;
using framework::CLogBuffer;
using framework::EChange;

namespace {

TEST(LogBuffer, FirstLineHasNoLeadingLineFeed) {
    CLogBuffer log(10, 1000);
    EXPECT_EQ(log.Text(), "");
    log.Append("one");
    EXPECT_EQ(log.Text(), "one");
    log.Append("two");
    EXPECT_EQ(log.Text(), "one\ntwo");
}

TEST(LogBuffer, KeepsTheNewestLinesWithinTheLineBound) {
    CLogBuffer log(3, 1000);
    size_t nDropped = 0;
    for (int n = 1; n <= 5; ++n) nDropped += log.Append("line " + std::to_string(n));
    EXPECT_EQ(nDropped, 2u);
    EXPECT_EQ(log.LineCount(), 3u);
    EXPECT_EQ(log.Text(), "line 3\nline 4\nline 5");
}

TEST(LogBuffer, KeepsTheNewestLinesWithinTheByteBound) {
    CLogBuffer log(100, 10);
    log.Append("aaaa");
    log.Append("bbbb");
    EXPECT_EQ(log.Append("cccc"), 1u);  // 12 bytes would pass the bound
    EXPECT_EQ(log.Text(), "bbbb\ncccc");
    EXPECT_EQ(log.ByteCount(), 8u);
}

TEST(LogBuffer, OneHugeLineIsCutToTheByteBound) {
    CLogBuffer log(100, 8);
    log.Append("short");
    EXPECT_EQ(log.Append(std::string(50, 'x')), 1u);
    EXPECT_EQ(log.Text(), std::string(8, 'x'));
    EXPECT_LE(log.ByteCount(), 8u);
}

TEST(LogBuffer, LineFeedInsideStartsFurtherLines) {
    CLogBuffer log(3, 1000);
    log.Append("a\nb");
    EXPECT_EQ(log.LineCount(), 2u);
    log.Append("c\nd");
    EXPECT_EQ(log.LineCount(), 3u);
    EXPECT_EQ(log.Text(), "b\nc\nd");
    log.Append("");
    EXPECT_EQ(log.Text(), "c\nd\n");
}

TEST(LogBuffer, NewLimitsTrimAtOnce) {
    CLogBuffer log(10, 1000);
    for (int n = 0; n < 6; ++n) log.Append(std::string(4, static_cast<char>('a' + n)));
    EXPECT_EQ(log.SetLimits(2, 1000), 4u);
    EXPECT_EQ(log.Text(), "eeee\nffff");
    EXPECT_EQ(log.SetLimits(0, 0), 1u);  // bounds of at least one
    EXPECT_EQ(log.Text(), "f");
}

class PageLogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_page.Create(m_sink)); }
    framework::CRecordingMessageSink m_sink;
    CTestPage m_page;
};

TEST_F(PageLogTest, ViewGetsAppendsAndTrimsNotTheWholeText) {
    m_page.SetLogLimits(kLog, 50, 1 << 20);
    testsupport::CPageMirror mirror(m_page);
    for (int n = 0; n < 1000; ++n) m_page.m_log.AppendLine("event " + std::to_string(n));
    m_page.m_log.ScrollToEnd();

    EXPECT_EQ(m_page.m_log.GetLineCount(), 50u);
    EXPECT_EQ(m_page.m_log.GetText().substr(0, 10), "event 950\n");
    size_t nAppends = 0;
    size_t nTrimmed = 0;
    for (const auto& change : mirror.Changes()) {
        ASSERT_TRUE(change.m_eWhat == EChange::LogAppend || change.m_eWhat == EChange::LogTrim ||
                    change.m_eWhat == EChange::ScrollToEnd);
        if (change.m_eWhat == EChange::LogAppend) {
            ++nAppends;
            EXPECT_LT(change.m_strText.size(), 10u);  // the line, never the log
        }
        if (change.m_eWhat == EChange::LogTrim) nTrimmed += static_cast<size_t>(change.m_nValue);
    }
    EXPECT_EQ(nAppends, 1000u);
    EXPECT_EQ(nTrimmed, 950u);
    EXPECT_EQ(mirror.Changes().back().m_eWhat, EChange::ScrollToEnd);
    // A view that applies the notices has the page's text.
    EXPECT_EQ(mirror.State().m_controls[10].m_strText, m_page.m_log.GetText());
}

TEST_F(PageLogTest, DefaultBoundsHoldForALongRun) {
    for (int n = 0; n < 5000; ++n) m_page.AppendLogLine(kLog, std::string(60, 'x'));
    EXPECT_EQ(m_page.GetLogLineCount(kLog), framework::CPage::kLogMaxLines);
    for (int n = 0; n < 10; ++n) m_page.AppendLogLine(kLog, std::string(100 * 1024, 'y'));
    EXPECT_LE(m_page.GetItemText(kLog).size(),
              framework::CPage::kLogMaxBytes + framework::CPage::kLogMaxLines);
}

TEST_F(PageLogTest, SettingTheWholeTextReplacesTheLines) {
    m_page.m_log.AppendLine("old");
    testsupport::CPageMirror mirror(m_page);
    m_page.m_log.SetText("x\ny");
    EXPECT_EQ(m_page.m_log.GetLineCount(), 2u);
    m_page.m_log.AppendLine("z");
    EXPECT_EQ(m_page.m_log.GetText(), "x\ny\nz");
    EXPECT_EQ(mirror.State().m_controls[10].m_strText, "x\ny\nz");
}

}  // namespace
