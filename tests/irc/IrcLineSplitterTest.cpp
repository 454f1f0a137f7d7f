// Lines out of a byte stream that arrives in arbitrary pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/IrcLineSplitter.h"

using irc::CIrcLineSplitter;

namespace {

std::vector<std::string> Feed(CIrcLineSplitter& splitter, const std::string& strBytes) {
    splitter.Feed(strBytes.data(), strBytes.size());
    std::vector<std::string> lines;
    std::string line;
    while (splitter.Next(line)) lines.push_back(line);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(IrcLineSplitter, LineCutByReadIsJoinedWithItsRest) {
    // Regression: dispatching the two pieces as two lines turned
    // "PING :abcdef" into "PING :abc" and a stray "def".
    CIrcLineSplitter splitter;
    EXPECT_EQ(Feed(splitter, "PING :first\r\nPING :abc"), Lines{"PING :first"});
    EXPECT_EQ(Feed(splitter, "def"), Lines{});
    EXPECT_EQ(Feed(splitter, "\r"), Lines{"PING :abcdef"});
    // The LF of that CRLF arrives in the next read and yields no empty line.
    EXPECT_EQ(Feed(splitter, "\nNEXT\n"), Lines{"NEXT"});
    EXPECT_EQ(splitter.Pending(), 0u);
}

TEST(IrcLineSplitter, RunsOfLineEndsYieldNoEmptyLines) {
    CIrcLineSplitter splitter;
    EXPECT_EQ(Feed(splitter, "\r\n\r\na\n\n\rb\r\r\n"), (Lines{"a", "b"}));
}

TEST(IrcLineSplitter, NulCutsOnlyItsOwnLine) {
    // Cutting the whole read at a NUL lost every line after it.
    CIrcLineSplitter splitter;
    const std::string bytes("PING :a\0junk\r\n\0only junk\r\nPING :b\r\n", 35);
    EXPECT_EQ(Feed(splitter, bytes), (Lines{"PING :a", "PING :b"}));
}

TEST(IrcLineSplitter, OverlongLineIsDroppedUpToItsEnd) {
    CIrcLineSplitter splitter;
    const std::string chunk(1024, 'x');
    // A hostile server sends far more than any line may hold, in reads.
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(Feed(splitter, chunk), Lines{});
        EXPECT_LE(splitter.Pending(), CIrcLineSplitter::kMaxPendingLine + chunk.size());
    }
    EXPECT_EQ(Feed(splitter, "still the long line\r\nPING :ok\r\n"), Lines{"PING :ok"});
}

TEST(IrcLineSplitter, LongLineWithinBoundIsKept) {
    CIrcLineSplitter splitter;
    const std::string strLong(3000, 'y');
    for (size_t i = 0; i < strLong.size(); i += 1000) Feed(splitter, strLong.substr(i, 1000));
    EXPECT_EQ(Feed(splitter, "\r\n"), Lines{strLong});
}

TEST(IrcLineSplitter, RestAtEndOfStream) {
    CIrcLineSplitter splitter;
    EXPECT_EQ(Feed(splitter, "A\r\nERROR :bye"), Lines{"A"});
    std::string line;
    ASSERT_TRUE(splitter.TakeRest(line));
    EXPECT_EQ(line, "ERROR :bye");
    EXPECT_FALSE(splitter.TakeRest(line));
}

}  // namespace
