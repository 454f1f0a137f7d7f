// The send queue's pace, order, drops and caps, on a tick count the test
// moves by hand.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "irc/SendQueue.h"

using irc::CSendQueue;
using irc::ELineKind;
using irc::ELineTarget;
using EPop = CSendQueue::EPop;

namespace {

struct CSent {
    uint32_t m_nTick;
    std::string m_strLine;  // a marker shows as "[skipped n]"
};

// Takes every line as the writer would, moving time forward by each wait;
// at most nMax lines, so that a fault cannot loop for ever.
std::vector<CSent> Drain(CSendQueue& queue, uint32_t* pnNow, size_t nMax = 500) {
    std::vector<CSent> sent;
    for (size_t n = 0; n < 4 * nMax && sent.size() < nMax; ++n) {
        CSendQueue::COut out;
        uint32_t nWait = 0;
        const EPop ePop = queue.Pop(*pnNow, &out, &nWait);
        if (ePop == EPop::Empty || ePop == EPop::Done) break;
        if (ePop == EPop::Wait) {
            EXPECT_GT(nWait, 0u);
            *pnNow += nWait;
            continue;
        }
        sent.push_back({*pnNow, out.m_nSkipped > 0
                                    ? "[skipped " + std::to_string(out.m_nSkipped) + "]"
                                    : out.m_strLine});
    }
    return sent;
}

std::vector<std::string> LinesOf(const std::vector<CSent>& sent) {
    std::vector<std::string> lines;
    for (const CSent& s : sent) lines.push_back(s.m_strLine);
    return lines;
}

std::vector<uint32_t> TicksOf(const std::vector<CSent>& sent, uint32_t nStart) {
    std::vector<uint32_t> ticks;
    for (const CSent& s : sent) ticks.push_back(s.m_nTick - nStart);
    return ticks;
}

TEST(SendQueue, ABurstAtTheOldPaceThenALineASecond) {
    CSendQueue queue;
    for (int n = 0; n < 8; ++n) queue.Push("L" + std::to_string(n), ELineKind::Reply);
    uint32_t nNow = 5000;
    const std::vector<CSent> sent = Drain(queue, &nNow);
    EXPECT_EQ(TicksOf(sent, 5000),
              (std::vector<uint32_t>{0, 400, 800, 1200, 1600, 2600, 3600, 4600}));
    // After a quiet spell the full burst is back.
    nNow += 3400;
    for (int n = 0; n < 6; ++n) queue.Push("M" + std::to_string(n), ELineKind::Event);
    const uint32_t nStart = nNow;
    EXPECT_EQ(TicksOf(Drain(queue, &nNow), nStart),
              (std::vector<uint32_t>{0, 400, 800, 1200, 1600, 2600}));
}

TEST(SendQueue, ThePaceIsASettingThatIsEasyToChange) {
    CSendQueue queue(irc::CSendPace{2, 100, 2000});
    for (int n = 0; n < 4; ++n) queue.Push("L", ELineKind::Reply);
    uint32_t nNow = 0;
    EXPECT_EQ(TicksOf(Drain(queue, &nNow), 0), (std::vector<uint32_t>{0, 100, 2100, 4100}));
}

TEST(SendQueue, UrgentLinesGoAheadAtOnceAndKeepTheOrderOfTheRest) {
    CSendQueue queue;
    uint32_t nNow = 0;
    for (int n = 0; n < 6; ++n) queue.Push("PRIVMSG #c :e" + std::to_string(n), ELineKind::Event);
    CSendQueue::COut out;
    uint32_t nWait = 0;
    ASSERT_EQ(queue.Pop(nNow, &out, &nWait), EPop::Line);
    EXPECT_EQ(out.m_strLine, "PRIVMSG #c :e0");
    nNow += 100;
    ASSERT_EQ(queue.Pop(nNow, &out, &nWait), EPop::Wait);
    EXPECT_EQ(nWait, 300u);
    // A PING arrived: its PONG does not wait for the pace.
    ASSERT_TRUE(queue.Push("PONG :srv", ELineKind::Urgent));
    ASSERT_EQ(queue.Pop(nNow, &out, &nWait), EPop::Line);
    EXPECT_EQ(out.m_strLine, "PONG :srv");
    EXPECT_EQ(out.m_eKind, ELineKind::Urgent);
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)),
              (std::vector<std::string>{"PRIVMSG #c :e1", "PRIVMSG #c :e2", "PRIVMSG #c :e3",
                                        "PRIVMSG #c :e4", "PRIVMSG #c :e5"}));
}

TEST(SendQueue, PiledUpEventLinesLoseTheOldestAndOneLineSaysHowMany) {
    CSendQueue queue;
    queue.Push("R0", ELineKind::Reply);
    const size_t nEvents = CSendQueue::kMaxEvents + 5;
    for (size_t n = 0; n < nEvents; ++n) queue.Push("E" + std::to_string(n), ELineKind::Event);
    queue.Push("R1", ELineKind::Reply);
    EXPECT_EQ(queue.SkippedEvents(), 5u);
    uint32_t nNow = 0;
    std::vector<std::string> expected{"R0", "[skipped 5]"};
    for (size_t n = 5; n < nEvents; ++n) expected.push_back("E" + std::to_string(n));
    expected.push_back("R1");
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), expected);
}

TEST(SendQueue, AfterAMarkerTheQueuedLinesGoBeforeTheNextOne) {
    CSendQueue queue;
    uint32_t nNow = 0;
    for (size_t n = 0; n < CSendQueue::kMaxEvents + 2; ++n) queue.Push("A", ELineKind::Event);
    CSendQueue::COut out;
    uint32_t nWait = 0;
    ASSERT_EQ(queue.Pop(nNow, &out, &nWait), EPop::Line);
    EXPECT_EQ(out.m_nSkipped, 2u);
    EXPECT_TRUE(out.m_strLine.empty());
    // Three more than fit: counted, but said after the lines now queued,
    // not as a second marker straight after the first.
    for (int n = 0; n < 3; ++n) queue.Push("B", ELineKind::Event);
    std::vector<std::string> expected(CSendQueue::kMaxEvents - 3, "A");
    expected.insert(expected.end(), 3, "B");
    expected.push_back("[skipped 3]");
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), expected);
    EXPECT_EQ(queue.SkippedEvents(), 5u);
    EXPECT_EQ(queue.Size(), 0u);
}

// The fault this guards against: a game that kept producing more than a line
// a second left the channel nothing but markers, one a second, for as long
// as it went on; not one event line went out.
TEST(SendQueue, AGameThatOutrunsTheChannelStillGetsItsLinesThrough) {
    CSendQueue queue;
    std::vector<std::string> sent;
    size_t nPushed = 0;
    auto take = [&](uint32_t nNow) {
        CSendQueue::COut out;
        uint32_t nWait = 0;
        for (int n = 0; n < 10 && queue.Pop(nNow, &out, &nWait) == EPop::Line; ++n)
            sent.push_back(out.m_nSkipped > 0 ? "[skipped " + std::to_string(out.m_nSkipped) + "]"
                                              : out.m_strLine);
    };
    // Five lines a second for two minutes, taken as the writer takes them.
    for (uint32_t nNow = 0; nNow < 120000; nNow += 200) {
        queue.Push(std::to_string(nPushed++), ELineKind::Event);
        take(nNow);
    }
    uint32_t nNow = 120000;
    for (const CSent& s : Drain(queue, &nNow)) sent.push_back(s.m_strLine);

    // Mostly lines; a marker only after a queue's worth of them; every line
    // pushed either sent, in order, or counted by a marker.
    size_t nLines = 0;
    size_t nSinceMarker = CSendQueue::kMaxEvents;
    int nMarkersTooSoon = 0;
    int nOutOfOrder = 0;
    uint64_t nCounted = 0;
    long nLast = -1;
    for (const std::string& str : sent) {
        if (str.rfind("[skipped ", 0) == 0) {
            if (nSinceMarker < CSendQueue::kMaxEvents) ++nMarkersTooSoon;
            nSinceMarker = 0;
            nCounted += std::stoul(str.substr(9));
            continue;
        }
        ++nLines;
        ++nSinceMarker;
        if (std::stol(str) <= nLast) ++nOutOfOrder;
        nLast = std::stol(str);
    }
    EXPECT_EQ(nMarkersTooSoon, 0);
    EXPECT_EQ(nOutOfOrder, 0);
    EXPECT_GE(nLines, 100u) << sent.size() << " sent";  // about a line a second for two minutes
    EXPECT_EQ(nLines + nCounted, nPushed);
    EXPECT_EQ(nCounted, queue.SkippedEvents());
}

TEST(SendQueue, ANewerTicketLineReplacesTheOneStillQueued) {
    CSendQueue queue;
    queue.Push("T1", ELineKind::Ticket);
    queue.Push("E1", ELineKind::Event);
    queue.Push("T2", ELineKind::Ticket);
    queue.Push("E2", ELineKind::Event);
    uint32_t nNow = 0;
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), (std::vector<std::string>{"T2", "E1", "E2"}));
    // Once sent, the next ticket line queues anew.
    queue.Push("T3", ELineKind::Ticket);
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), std::vector<std::string>{"T3"});
}

TEST(SendQueue, ControlLinesMergeAndPassTheCapWhileTheRestIsRefused) {
    CSendQueue queue;
    size_t nTaken = 0;
    for (size_t n = 0; n < CSendQueue::kMaxLines + 50; ++n)
        nTaken += queue.Push("NOTICE u" + std::to_string(n) + " :hi", ELineKind::Reply);
    EXPECT_EQ(nTaken, CSendQueue::kMaxLines);
    EXPECT_EQ(queue.RefusedLines(), 50u);
    EXPECT_FALSE(queue.Push("PONG :x", ELineKind::Urgent));
    EXPECT_FALSE(queue.Push("T", ELineKind::Ticket));
    // Event lines make room among themselves only; with none queued, refused.
    EXPECT_FALSE(queue.Push("E", ELineKind::Event));
    // The bot's own protocol lines are never dropped; a repeat merges.
    EXPECT_TRUE(queue.Push("JOIN #c", ELineKind::Control));
    EXPECT_TRUE(queue.Push("JOIN #c", ELineKind::Control));
    EXPECT_TRUE(queue.Push("NICK b2", ELineKind::Control));
    EXPECT_EQ(queue.Size(), CSendQueue::kMaxLines + 2);
}

TEST(SendQueue, CloseLetsTheQueuedLinesGoThenTheFinalLineThenNothing) {
    CSendQueue queue;
    uint32_t nNow = 100;
    queue.Push("E1", ELineKind::Event);
    queue.Push("E2", ELineKind::Event);
    queue.Close("QUIT :bye", nNow);
    EXPECT_TRUE(queue.IsClosing());
    EXPECT_FALSE(queue.Push("E3", ELineKind::Event)) << "nothing new after the goodbye";
    EXPECT_FALSE(queue.Push("JOIN #c", ELineKind::Control));
    EXPECT_TRUE(queue.Push("PONG :s", ELineKind::Urgent)) << "the server may still ask";
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)),
              (std::vector<std::string>{"PONG :s", "E1", "E2", "QUIT :bye"}));
    EXPECT_TRUE(queue.IsDone());
    EXPECT_FALSE(queue.Push("PONG :s", ELineKind::Urgent));
    CSendQueue::COut out;
    uint32_t nWait = 0;
    EXPECT_EQ(queue.Pop(nNow, &out, &nWait), EPop::Done);
    // A new connection starts afresh.
    queue.Clear();
    EXPECT_FALSE(queue.IsClosing());
    EXPECT_TRUE(queue.Push("NICK b", ELineKind::Control));
}

TEST(SendQueue, ClosingDrainsForALimitedTimeThenSaysGoodbye) {
    CSendQueue queue;
    for (int n = 0; n < 40; ++n) queue.Push("R" + std::to_string(n), ELineKind::Reply);
    uint32_t nNow = 0;
    queue.Close("QUIT :bye", nNow);
    const std::vector<CSent> sent = Drain(queue, &nNow);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().m_strLine, "QUIT :bye");
    EXPECT_EQ(sent.back().m_nTick, CSendQueue::kDrainLimitMs);
    EXPECT_LT(sent.size(), 40u) << "the lines left at the limit are dropped";
}

TEST(SendQueue, ExpediteSendsTheGoodbyeNext) {
    CSendQueue queue;
    for (int n = 0; n < 10; ++n) queue.Push("R", ELineKind::Reply);
    queue.Expedite();  // not closing: no effect
    EXPECT_EQ(queue.Size(), 10u);
    queue.Close("QUIT :bye", 0);
    queue.Expedite();
    uint32_t nNow = 0;
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), std::vector<std::string>{"QUIT :bye"});
}

// Regression: after a kick the JOIN waited behind every channel line queued
// before it (16 s on a busy match), and those lines went to a channel the
// bot was no longer in.
TEST(SendQueue, ARejoinGoesAheadOfTheChannelsBacklogWithinOneSlot) {
    CSendQueue queue;
    uint32_t nNow = 1000;
    // The burst is spent and a full backlog of event lines waits.
    for (int n = 0; n < 5; ++n)
        queue.Push("PRIVMSG #c :early " + std::to_string(n), ELineKind::Event);
    ASSERT_EQ(Drain(queue, &nNow).size(), 5u);
    for (size_t n = 0; n < CSendQueue::kMaxEvents; ++n)
        queue.Push("PRIVMSG #c :event " + std::to_string(n), ELineKind::Event);
    queue.Push("PRIVMSG #c :answer", ELineKind::Reply, ELineTarget::Channel);
    // The kick: out of the channel, and the rejoin queued.
    queue.HoldChannel(true);
    queue.Push("JOIN #c", ELineKind::Control);
    const uint32_t nKick = nNow;
    CSendQueue::COut out;
    uint32_t nWait = 0;
    EPop ePop = queue.Pop(nNow, &out, &nWait);
    if (ePop == EPop::Wait) {
        EXPECT_LE(nWait, irc::CSendPace().m_nSpacingMs);
        nNow += nWait;
        ePop = queue.Pop(nNow, &out, &nWait);
    }
    ASSERT_EQ(ePop, EPop::Line);
    EXPECT_EQ(out.m_strLine, "JOIN #c");
    EXPECT_LE(nNow - nKick, irc::CSendPace().m_nSpacingMs);
    // Nothing for the channel until the join is confirmed; the rest goes.
    queue.Push("NOTICE al :welcome", ELineKind::Reply);
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), std::vector<std::string>{"NOTICE al :welcome"});
    EXPECT_EQ(queue.Pop(nNow, &out, &nWait), EPop::Empty);
    EXPECT_EQ(queue.Size(), CSendQueue::kMaxEvents + 1);
    // Back in: the backlog follows in its order.
    queue.HoldChannel(false);
    const std::vector<std::string> lines = LinesOf(Drain(queue, &nNow));
    ASSERT_EQ(lines.size(), CSendQueue::kMaxEvents + 1);
    EXPECT_EQ(lines.front(), "PRIVMSG #c :event 0");
    EXPECT_EQ(lines.back(), "PRIVMSG #c :answer");
}

TEST(SendQueue, HeldChannelLinesStayWithinTheBoundsAndCloseWithoutThem) {
    CSendQueue queue;
    queue.HoldChannel(true);
    // Event lines pile up while out of the channel: the oldest go, one
    // marker counts them, and it waits with them.
    for (size_t n = 0; n < CSendQueue::kMaxEvents + 4; ++n)
        queue.Push("PRIVMSG #c :e" + std::to_string(n), ELineKind::Event);
    queue.Push("PRIVMSG #c :t1", ELineKind::Ticket);
    queue.Push("PRIVMSG #c :t2", ELineKind::Ticket);
    uint32_t nNow = 0;
    EXPECT_EQ(Drain(queue, &nNow).size(), 0u);
    EXPECT_EQ(queue.SkippedEvents(), 4u);
    // Closing: what the channel cannot get is dropped, and goodbye goes at once.
    queue.Close("QUIT :bye", nNow);
    EXPECT_EQ(LinesOf(Drain(queue, &nNow)), std::vector<std::string>{"QUIT :bye"});
    EXPECT_TRUE(queue.IsDone());
}

TEST(SendQueue, ThePaceHoldsAcrossTheTickCountsWrap) {
    CSendQueue queue;
    for (int n = 0; n < 7; ++n) queue.Push("L", ELineKind::Reply);
    uint32_t nNow = UINT32_MAX - 500;
    const uint32_t nStart = nNow;
    EXPECT_EQ(TicksOf(Drain(queue, &nNow), nStart),
              (std::vector<uint32_t>{0, 400, 800, 1200, 1600, 2600, 3600}));
}

}  // namespace
