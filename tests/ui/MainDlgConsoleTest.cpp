// What the headless program prints instead of showing the main window: the
// log lines behind their prefix and the message boxes, as UTF-8, one line
// each, and nothing once the page is gone.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/MessageBox.h"
#include "framework/Page.h"
#include "res/Resource.h"
#include "ui/ConsoleOutput.h"

namespace {

struct CLineRow {
    const char* pszName;
    std::string strLine;
    std::string strPrinted;
};

class ConsoleLogText : public testing::TestWithParam<CLineRow> {};

TEST_P(ConsoleLogText, IsOnePrefixedUtf8LinePerLine) {
    EXPECT_EQ(ui::ConsoleLogText("irc: ", GetParam().strLine), GetParam().strPrinted);
}

const CLineRow kLineRows[] = {
    {"Plain", "<alice> hi", "irc: <alice> hi\n"},
    {"Empty", "", "irc: \n"},
    // e acute, the euro sign and an undefined byte, as the code page has them.
    {"Cp1252", "caf\xE9 \x80 \x81", "irc: caf\xC3\xA9 \xE2\x82\xAC \xC2\x81\n"},
    {"LineFeedSplits", "one\ntwo", "irc: one\nirc: two\n"},
    {"CrLfIsOneBreak", "one\r\ntwo", "irc: one\nirc: two\n"},
    {"LoneCrSplits", "one\rtwo", "irc: one\nirc: two\n"},
    {"TrailingBreakAddsNoLine", "one\n", "irc: one\n"},
    {"BlankLineKept", "one\n\ntwo", "irc: one\nirc: \nirc: two\n"},
};
INSTANTIATE_TEST_SUITE_P(Rows, ConsoleLogText, testing::ValuesIn(kLineRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

// Both streams of a console as temporary files.
class ConsoleTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_pOut, nullptr);
        ASSERT_NE(m_pErr, nullptr);
    }
    ~ConsoleTest() override {
        if (m_pOut) std::fclose(m_pOut);
        if (m_pErr) std::fclose(m_pErr);
    }
    static std::string Contents(std::FILE* pFile) {
        std::string str;
        std::rewind(pFile);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, pFile)) > 0;) str.append(buf, n);
        std::fseek(pFile, 0, SEEK_END);
        return str;
    }

    std::FILE* m_pOut = std::tmpfile();
    std::FILE* m_pErr = std::tmpfile();
    ui::CConsoleOutput m_console{m_pOut, m_pErr};
};

TEST_F(ConsoleTest, MessagesGoToTheErrorStreamAsCaptionAndText) {
    m_console.ShowMessage({"Couldn't write to file.", "Error", framework::EIcon::Error});
    m_console.ShowMessage({"Version = v1.3 BETA; Current Version = v2\xE9", "New Version!",
                           framework::EIcon::Information});
    EXPECT_EQ(Contents(m_pErr),
              "Error: Couldn't write to file.\n"
              "New Version!: Version = v1.3 BETA; Current Version = v2\xC3\xA9\n");
    EXPECT_EQ(Contents(m_pOut), "");
}

TEST_F(ConsoleTest, PrinterPrintsTheAppendsOfItsLogUntilThePageIsGone) {
    framework::CRecordingMessageSink sink;
    auto pPage = std::make_unique<framework::CPage>(res::IDD_IRC);
    framework::CPage& page = *pPage;
    ASSERT_TRUE(page.Create(sink));
    page.AppendLogLine(res::IDC_IRC_LOG, "before the printer");
    {
        ui::CLogPrinter printer(page, res::IDC_IRC_LOG, "irc: ", m_console);
        page.AppendLogLine(res::IDC_IRC_LOG, "one");
        page.SetItemText(res::IDC_IRC_NICK, "not a log");
        page.SetItemText(res::IDC_IRC_LOG, "a whole new text is no new line");
        // Two threads never mix their lines.
        std::thread other([&] {
            for (int n = 0; n < 50; ++n) page.AppendLogLine(res::IDC_IRC_LOG, "thread");
        });
        for (int n = 0; n < 50; ++n) page.AppendLogLine(res::IDC_IRC_LOG, "ui");
        other.join();
        page.DestroyWindow();
        page.AppendLogLine(res::IDC_IRC_LOG, "after the window");
        // As the main window does: the page goes before its printer, which
        // must not touch it then.
        pPage.reset();
    }

    const std::string strOut = Contents(m_pOut);
    std::vector<std::string> lines;
    for (size_t nAt = 0; nAt < strOut.size();) {
        const size_t nEnd = strOut.find('\n', nAt);
        ASSERT_NE(nEnd, std::string::npos);
        lines.push_back(strOut.substr(nAt, nEnd - nAt));
        nAt = nEnd + 1;
    }
    ASSERT_EQ(lines.size(), 101u) << strOut;
    EXPECT_EQ(lines.front(), "irc: one");
    int nUi = 0;
    int nThread = 0;
    for (size_t n = 1; n < lines.size(); ++n) {
        nUi += lines[n] == "irc: ui";
        nThread += lines[n] == "irc: thread";
    }
    EXPECT_EQ(nUi, 50);
    EXPECT_EQ(nThread, 50);
}

}  // namespace
