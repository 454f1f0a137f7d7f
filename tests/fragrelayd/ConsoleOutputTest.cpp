// What fragrelayd prints instead of showing a window: the log lines behind
// their prefix and the operator's messages, as UTF-8, one line each, safe
// for a terminal, whole lines even from two threads at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/BotEvents.h"
#include "fragrelayd/ConsoleOutput.h"
#include "fragrelayd/Daemon.h"
#include "support/ColorText.h"

namespace {

struct CLineRow {
    const char* m_pszName;
    std::string m_strLine;
    std::string m_strPrinted;
};

class ConsoleLogText : public testing::TestWithParam<CLineRow> {};

TEST_P(ConsoleLogText, IsOnePrefixedUtf8LinePerLine) {
    EXPECT_EQ(fragrelayd::ConsoleLogText("irc: ", GetParam().m_strLine), GetParam().m_strPrinted);
}

const CLineRow kLineRows[] = {
    {"Plain", "<alice> hi", "irc: <alice> hi\n"},
    {"Empty", "", "irc: \n"},
    // e acute and the euro sign, as the code page has them.
    {"Cp1252", "caf\xE9 \x80", "irc: caf\xC3\xA9 \xE2\x82\xAC\n"},
    {"LineFeedSplits", "one\ntwo", "irc: one\nirc: two\n"},
    {"CrLfIsOneBreak", "one\r\ntwo", "irc: one\nirc: two\n"},
    {"LoneCrSplits", "one\rtwo", "irc: one\nirc: two\n"},
    {"TrailingBreakAddsNoLine", "one\n", "irc: one\n"},
    {"BlankLineKept", "one\n\ntwo", "irc: one\nirc: \nirc: two\n"},
};
INSTANTIATE_TEST_SUITE_P(Rows, ConsoleLogText, testing::ValuesIn(kLineRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// What reaches a terminal of a text from outside. Colours are written with
// "^" for 0x03; kHex is 0x04.
class ConsoleText : public testing::TestWithParam<CLineRow> {};

TEST_P(ConsoleText, DropsFormattingAndEscapesControls) {
    EXPECT_EQ(fragrelayd::ConsoleText(GetParam().m_strLine), GetParam().m_strPrinted);
}

using testsupport::C;
const std::string kHex = "\x04";

const CLineRow kTextRows[] = {
    {"EscapeSequence", "\x1B[2J\x1B]0;owned\x07", "\\x1B[2J\\x1B]0;owned\\x07"},
    {"NulBellBackspaceTabDel", std::string("a\0b\x07\x08\t\x7F", 7), "a\\x00b\\x07\\x08\\x09\\x7F"},
    {"Breaks", "one\rtwo\nthree", "one\\x0Dtwo\\x0Athree"},
    {"OnOffCodes", "\x02x\x1Di\x1Fu\x16r\x1Es\x11m\x0Fo", "xiursmo"},
    {"ColourAndBackground", C("^04,12red^ plain"), "red plain"},
    {"ColourOneDigit", C("^4x"), "x"},
    {"ColourTakesTwoDigitsOnly", C("^123"), "3"},
    {"BackgroundTakesTwoDigitsOnly", C("^1,234"), "4"},
    {"CommaWithoutDigitStays", C("^4,x"), ",x"},
    {"CommaWithoutForegroundStays", C("^,5"), ",5"},
    {"ColourAtTheEnd", C("end^"), "end"},
    {"HexColourAndBackground", kHex + "FF0000,00ff00rgb", "rgb"},
    {"HexColourTooShort", kHex + "FF00zz", "FF00zz"},
    // These would be C1 controls (0x90 starts a device control string).
    {"UndefinedCodePageBytes", "\x81\x8D\x8F\x90\x9D", "\\x81\\x8D\\x8F\\x90\\x9D"},
    {"DefinedHighBytes", "\x80\x9B\xA0\xE9\xFF",
     "\xE2\x82\xAC\xE2\x80\xBA\xC2\xA0\xC3\xA9\xC3\xBF"},
    {"BackslashStays", "C:\\bf42\\x41", "C:\\bf42\\x41"},
};
INSTANTIATE_TEST_SUITE_P(Rows, ConsoleText, testing::ValuesIn(kTextRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// Whatever the bytes, the printed text holds no C0 control, no DEL and no
// C1 control (U+0080 to U+009F, in UTF-8 0xC2 0x80 to 0xC2 0x9F).
TEST(ConsoleTextAnyByte, NeverPrintsAControl) {
    for (int c = 0; c < 256; ++c) {
        for (const std::string& strIn : {std::string(1, static_cast<char>(c)),
                                         "x" + std::string(2, static_cast<char>(c)) + "9"}) {
            const std::string strOut = fragrelayd::ConsoleText(strIn);
            for (size_t n = 0; n < strOut.size(); ++n) {
                const auto b = static_cast<unsigned char>(strOut[n]);
                ASSERT_TRUE(b >= 0x20 && b != 0x7F) << "byte " << c;
                if (b == 0xC2 && n + 1 < strOut.size()) {
                    const auto next = static_cast<unsigned char>(strOut[n + 1]);
                    ASSERT_FALSE(next >= 0x80 && next <= 0x9F) << "byte " << c;
                }
            }
        }
    }
}

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

    // The lines printed, without their line ends.
    static std::vector<std::string> LinesOf(const std::string& strText) {
        std::vector<std::string> lines;
        for (size_t nAt = 0; nAt < strText.size();) {
            const size_t nEnd = strText.find('\n', nAt);
            if (nEnd == std::string::npos) {
                lines.push_back(strText.substr(nAt) + " (unfinished)");
                break;
            }
            lines.push_back(strText.substr(nAt, nEnd - nAt));
            nAt = nEnd + 1;
        }
        return lines;
    }

    std::FILE* m_pOut = std::tmpfile();
    std::FILE* m_pErr = std::tmpfile();
    fragrelayd::CConsoleOutput m_console{m_pOut, m_pErr};
};

TEST_F(ConsoleTest, MessagesGoToTheErrorStreamAsCaptionAndText) {
    m_console.PrintMessage({"Couldn't write to file.", "Error", core::EMessageIcon::Error, ""});
    // The newest version comes from a web server: no control reaches the terminal.
    m_console.PrintMessage({"Version = v1.3 BETA; Current Version = v2\xE9\x1B[2J\nsecond",
                            "New Version!", core::EMessageIcon::Information, ""});
    EXPECT_EQ(Contents(m_pErr),
              "Error: Couldn't write to file.\n"
              "New Version!: Version = v1.3 BETA; Current Version = v2\xC3\xA9\\x1B[2J\n"
              "New Version!: second\n");
    EXPECT_EQ(Contents(m_pOut), "");
}

TEST_F(ConsoleTest, LogLinesOfTwoThreadsNeverMix) {
    std::thread other([&] {
        for (int n = 0; n < 50; ++n) m_console.PrintLog("game: ", "thread");
    });
    for (int n = 0; n < 50; ++n) m_console.PrintLog("irc: ", "ui\r\nsecond");
    other.join();
    const std::vector<std::string> lines = LinesOf(Contents(m_pOut));
    ASSERT_EQ(lines.size(), 150u);
    int nUi = 0;
    int nThread = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        if (lines[n] == "irc: ui") {
            ++nUi;
            // A line that held a break is printed as two, one after the other.
            ASSERT_LT(n + 1, lines.size());
            EXPECT_EQ(lines[n + 1], "irc: second");
        }
        nThread += lines[n] == "game: thread";
    }
    EXPECT_EQ(nUi, 50);
    EXPECT_EQ(nThread, 50);
    EXPECT_EQ(Contents(m_pErr), "");
}

// What fragrelayd prints of the bot's events: each side's log behind its
// prefix on standard output, the operator's messages on standard error, and
// nothing of states, quick info or traffic.
TEST_F(ConsoleTest, TheDaemonPrintsTheBotsLogsAndMessages) {
    fragrelayd::CDaemon daemon(m_console, "settings.ini");
    core::IBotObserver& observer = daemon;
    observer.OnLog(core::ESide::Irc, "<alice> caf\xE9 ok");
    observer.OnLog(core::ESide::Game, "Hans (11/6/2)  [killed]  Tom (4/2/7)");
    observer.OnStateChanged(core::CBotState{});
    observer.OnQuickInfo(query::CQuickInfoResult{});
    observer.OnTraffic(1400);
    observer.OnMessage(
        {"Fill out all Inputfields!", "Error", core::EMessageIcon::Error, "irc_Server"});
    EXPECT_EQ(Contents(m_pOut),
              "irc: <alice> caf\xC3\xA9 ok\n"
              "game: Hans (11/6/2)  [killed]  Tom (4/2/7)\n");
    EXPECT_EQ(Contents(m_pErr), "Error: Fill out all Inputfields!\n");
}

}  // namespace
