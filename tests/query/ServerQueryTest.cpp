#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Socket.h"
#include "query/ServerQuery.h"
#include "support/Ipv6Loopback.h"
#include "support/ScriptedUdpServer.h"
#include "support/Wait.h"
#include "support/Wine.h"

using testsupport::CScriptedUdpServer;
using testsupport::WaitUntil;
using Answer = CScriptedUdpServer::Answer;

namespace {

const std::string kEnd = "\\final\\\\queryid\\";

// A port on 127.0.0.1 that nobody listens on (bound once, then released).
uint16_t ClosedLoopbackPort() {
    platform::CSocket probe = platform::CSocket::CreateUdp();
    if (!probe.Bind(platform::LoopbackAddress())) return 0;
    return probe.LocalPort();
}

// Runs one exchange; a watchdog stops it after 20 s, so that a fault that
// would keep it going for ever ends the test with query::QUERY_STOPPED instead.
query::EQueryResult ExchangeWithWatchdog(query::CServerQuery& query, std::string& strReply) {
    platform::CStopSignal stop;
    std::atomic<bool> bDone{false};
    std::thread watchdog([&] {
        if (!WaitUntil([&] { return bDone.load(); }, std::chrono::seconds(20))) stop.Stop();
    });
    const query::EQueryResult nResult = query.Exchange(strReply, &stop);
    bDone = true;
    watchdog.join();
    return nResult;
}

// Counts the request datagrams it is asked to send and those that went out;
// the first nFailures sends fail, and the send numbered nStopAt stops pStopAt.
class CFailingSendQuery : public query::CServerQuery {
public:
    CFailingSendQuery(platform::CClock& clock, int nFailures,
                      platform::CStopSignal* pStopAt = nullptr, int nStopAt = 0,
                      int nRecvFailLimit = query::kStatusRecvFailLimit)
        : query::CServerQuery(query::kStatusRequest, nRecvFailLimit, clock),
          m_nFailures(nFailures),
          m_pStopAt(pStopAt),
          m_nStopAt(nStopAt) {}
    int m_nSends = 0;  // sends tried
    int m_nSent = 0;   // sends that went out

protected:
    int SendDatagram(const char* pData, size_t nLen) override {
        ++m_nSends;
        if (m_pStopAt != nullptr && m_nSends == m_nStopAt) m_pStopAt->Stop();
        if (m_nSends <= m_nFailures) return -1;
        const int nResult = query::CServerQuery::SendDatagram(pData, nLen);
        if (nResult == static_cast<int>(nLen)) ++m_nSent;
        return nResult;
    }

private:
    int m_nFailures;
    platform::CStopSignal* m_pStopAt;
    int m_nStopAt;
};

class ServerQueryTest : public ::testing::Test {
protected:
    // Opens the query against 127.0.0.1 on the given port.
    void OpenQuery(query::CServerQuery& query, uint16_t nPort) {
        ASSERT_NE(nPort, 0);
        ASSERT_EQ(query.Open("127.0.0.1", nPort), query::QUERY_OK);
    }
};

TEST_F(ServerQueryTest, ReplyInThreeDatagramsIsJoinedInArrivalOrder) {
    const Answer answer = {"\\hostname\\A", "\\mapname\\wake", "\\numplayers\\3" + kEnd + "6.3"};
    CScriptedUdpServer server(std::vector<Answer>{answer});
    std::atomic<int32_t> nTraffic{7};
    std::string strReply;
    CFailingSendQuery query(platform::SystemClock(), 0);
    query.SetTrafficCounter(&nTraffic);
    OpenQuery(query, server.Port());
    strReply = "left over";

    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(strReply, answer[0] + answer[1] + answer[2]);
    EXPECT_EQ(nTraffic.load(), 7 + static_cast<int32_t>(strReply.size()));
    EXPECT_EQ(query.m_nSent, 1);
    EXPECT_TRUE(query.IsHeard());
    ASSERT_EQ(server.RequestTexts().size(), 1u);
    EXPECT_EQ(server.RequestTexts()[0], std::string("\xff\\status\\", 9));
    query.Close();
}

// Regression: the late datagram of a reply that completed without it used to
// become the start of the next reply.
TEST_F(ServerQueryTest, LateDatagramOfAnEarlierReplyIsDroppedBeforeTheNextRequest) {
    const std::string strFinal = "\\b\\2" + kEnd + "1.2";
    const std::string strLate = "\\a\\1\\queryid\\1.1";
    const std::string strNext = "\\c\\3" + kEnd + "2.1";
    CScriptedUdpServer server(std::vector<Answer>{{strFinal, strLate}, {strNext}});
    std::atomic<int32_t> nTraffic{0};
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    query.SetTrafficCounter(&nTraffic);
    OpenQuery(query, server.Port());

    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(strReply, strFinal);
    ASSERT_TRUE(WaitUntil([&] { return server.Sent() == 2; }));  // the late one is waiting
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(strReply, strNext);
    EXPECT_EQ(server.Requests(), 2);
    // It came over the wire all the same.
    EXPECT_EQ(nTraffic.load(),
              static_cast<int32_t>(strFinal.size() + strLate.size() + strNext.size()));
}

TEST_F(ServerQueryTest, MarkerAtPositionZeroIsNotComplete) {
    const std::string strComplete = "\\a\\1" + kEnd + "9.1";
    CScriptedUdpServer server(std::vector<Answer>{{kEnd + "9.1"}, {strComplete}});
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    // Only the empty wait after the first answer made it ask again.
    EXPECT_EQ(strReply, strComplete);
    EXPECT_EQ(server.Requests(), 2);
}

TEST_F(ServerQueryTest, DatagramTextEndsAtItsFirstNul) {
    const std::string strWithNul = std::string("\\a\\1\0garbage\\final", 18);
    const std::string strLast = kEnd + "3.2";
    CScriptedUdpServer server(std::vector<Answer>{{strWithNul, strLast}});
    std::atomic<int32_t> nTraffic{0};
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    query.SetTrafficCounter(&nTraffic);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(strReply, "\\a\\1" + strLast);
    // The meter counts what came over the wire, NUL and all.
    EXPECT_EQ(nTraffic.load(), static_cast<int32_t>(strWithNul.size() + strLast.size()));
}

std::string DatagramOfSize(size_t nSize) {
    const std::string strTail = kEnd + "5.1";
    return "\\pad\\" + std::string(nSize - 5 - strTail.size(), 'x') + strTail;
}

TEST_F(ServerQueryTest, DatagramOfExactlyTheCapacityIsAppendedWhole) {
    const std::string strDatagram = DatagramOfSize(query::CServerQuery::kRecvCapacity);
    ASSERT_EQ(strDatagram.size(), 1400u);
    CScriptedUdpServer server(std::vector<Answer>{{strDatagram}});
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(strReply, strDatagram);
}

TEST_F(ServerQueryTest, OversizedDatagramIsAFailedReceiveAndNeverAppended) {
    const std::string strOversized = DatagramOfSize(query::CServerQuery::kRecvCapacity + 1);
    const std::string strGood = "\\a\\1" + kEnd + "2.1";
    CScriptedUdpServer server(std::vector<Answer>{{strOversized}, {strGood}});
    std::atomic<int32_t> nTraffic{0};
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    query.SetTrafficCounter(&nTraffic);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    // A cut copy of the oversized datagram would carry its marker and end the
    // exchange at once with the wrong text.
    EXPECT_EQ(strReply, strGood);
    EXPECT_EQ(server.Requests(), 2);
    EXPECT_EQ(query.RecvFails(), 0);
    EXPECT_EQ(nTraffic.load(), static_cast<int32_t>(strGood.size()));
}

TEST_F(ServerQueryTest, AlwaysOversizedEndsTimedOutAfterTheFailLimit) {
    const std::string strOversized = DatagramOfSize(query::CServerQuery::kRecvCapacity + 1);
    CScriptedUdpServer server([&](int, const std::string&) { return Answer{strOversized}; });
    platform::CManualClock clock;  // the pauses between the re-sends
    query::CServerQuery query(query::kStatusRequest, query::kInfoRecvFailLimit, clock);
    OpenQuery(query, server.Port());
    std::string strReply;
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_TIMED_OUT);
    EXPECT_EQ(query.RecvFails(), query::kInfoRecvFailLimit);
    EXPECT_EQ(server.Requests(), query::kInfoRecvFailLimit);
    EXPECT_EQ(strReply.find("xxx"), std::string::npos);
}

// Takes about 2.5 s: five real readiness waits.
TEST_F(ServerQueryTest, NoAnswerEndsNotFoundAfterFiveWaitsAndFiveRequests) {
    CScriptedUdpServer server(std::vector<Answer>{});
    CFailingSendQuery query(platform::SystemClock(), 0);
    OpenQuery(query, server.Port());
    std::string strReply;
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_NOT_FOUND);
    EXPECT_EQ(query.Timeouts(), 5);
    EXPECT_FALSE(query.IsHeard());
    EXPECT_EQ(query.m_nSent, 5);
    EXPECT_TRUE(WaitUntil([&] { return server.Requests() == 5; }));
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_NOT_FOUND), 38);
}

// One round per call, as the monitor runs it: every round without a reply
// comes back as query::QUERY_AGAIN, and the rounds still add up to the limits of
// one exchange. Takes about 2.5 s: five real readiness waits.
TEST_F(ServerQueryTest, OneRoundPerCallComesBackBetweenRoundsAndKeepsTheCounts) {
    CScriptedUdpServer server(std::vector<Answer>{});
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    query.SetOneRoundPerCall(true);
    OpenQuery(query, server.Port());
    std::string strReply;
    for (int n = 1; n <= 4; ++n) {
        ASSERT_EQ(query.Exchange(strReply), query::QUERY_AGAIN) << n;
        EXPECT_EQ(query.Timeouts(), n);
    }
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_NOT_FOUND);
    EXPECT_TRUE(WaitUntil([&] { return server.Requests() == 5; }));
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_AGAIN), 0);
}

TEST_F(ServerQueryTest, ResendsAfterTheServerFellSilentUntilItAnswersAgain) {
    const std::string strFirst = "\\mapname\\wake" + kEnd + "1.1";
    const std::string strAfter = "\\mapname\\kursk" + kEnd + "4.1";
    // Heard, then a partial answer and two silent requests, then a whole reply.
    CScriptedUdpServer server(
        std::vector<Answer>{{strFirst}, {"\\mapname\\partial"}, {}, {}, {strAfter}});
    CFailingSendQuery query(platform::SystemClock(), 0);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(strReply, strAfter);  // the partial answer was dropped at the re-send
    EXPECT_EQ(server.Requests(), 5);
    EXPECT_EQ(query.m_nSent, 5);
    EXPECT_EQ(query.Timeouts(), 0);
}

// Takes about 3 s: more silent waits than the limit for an unheard server.
TEST_F(ServerQueryTest, StopEndsAnExchangeThatKeepsResendingToASilentServer) {
    CScriptedUdpServer server(std::vector<Answer>{{"\\a\\1" + kEnd + "1.1"}});
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);

    platform::CStopSignal stop;
    std::atomic<int> nResult{-1};
    std::thread worker([&] { nResult = query.Exchange(strReply, &stop); });
    // Past five empty waits a server that was heard is still asked, not given up.
    const bool bResent =
        WaitUntil([&] { return server.Requests() >= 7; }, std::chrono::milliseconds(10000));
    stop.Stop();
    const bool bReturned = WaitUntil([&] { return nResult.load() != -1; });
    worker.join();
    EXPECT_TRUE(bResent);
    EXPECT_TRUE(bReturned);
    EXPECT_EQ(nResult.load(), query::QUERY_STOPPED);
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_STOPPED), 0);
}

// Counts its sends and makes the first nFailures fail; optionally stops on
// the nStopAt-th send.

// Regression: refusals came back at once and used up the fail limit in a
// tight loop of requests.
TEST_F(ServerQueryTest, RefusalsFromAClosedPortArePacedAndEndTimedOutAtTheLimit) {
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    platform::CManualClock clock;
    CFailingSendQuery query(clock, 0, nullptr, 0, query::kInfoRecvFailLimit);  // fails no send
    OpenQuery(query, ClosedLoopbackPort());
    std::string strReply;
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_TIMED_OUT);
    EXPECT_EQ(query.RecvFails(), 10);
    EXPECT_TRUE(query.IsHeard());
    EXPECT_EQ(query.Timeouts(), 0);
    EXPECT_EQ(query.m_nSends, 10);
    // No more than one request per readiness wait of the clock.
    EXPECT_LE(static_cast<uint64_t>(query.m_nSends - 1),
              clock.SleptMs() / query::CServerQuery::kWaitMs);
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_TIMED_OUT), 45);
}

TEST_F(ServerQueryTest, FailedSendIsRetriedAfterAPause) {
    CScriptedUdpServer server(std::vector<Answer>{{"\\a\\1" + kEnd + "1.1"}});
    platform::CManualClock clock;
    CFailingSendQuery query(clock, 2);
    OpenQuery(query, server.Port());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(query.m_nSends, 3);
    EXPECT_EQ(clock.SleepCalls(), 2u);
    EXPECT_EQ(query.m_nSent, 1);  // only the send that went out
}

// Takes about 1 s: two empty waits.
TEST_F(ServerQueryTest, SendThatKeepsFailingIsBoundedAndStoppable) {
    CScriptedUdpServer server(std::vector<Answer>{});
    platform::CManualClock clock;
    platform::CStopSignal stop;
    const int nStopAt = 2 * query::CServerQuery::kSendTries;
    CFailingSendQuery query(clock, 1000, &stop, nStopAt);
    OpenQuery(query, server.Port());
    std::string strReply;
    EXPECT_EQ(query.Exchange(strReply, &stop), query::QUERY_STOPPED);
    // Each round: a few tries with pauses between them, then one readiness wait.
    EXPECT_EQ(query.m_nSends, nStopAt);
    EXPECT_EQ(clock.SleepCalls(), 2u * (query::CServerQuery::kSendTries - 1));
    EXPECT_EQ(query.Timeouts(), 1);
    EXPECT_EQ(query.m_nSent, 0);
}

// Regression: a server streaming datagrams that never carry the end marker
// grew the reply without bound. Now each round stops at the cap, counts as a
// failed receive, and the limit ends the exchange.
TEST_F(ServerQueryTest, EndlessStreamStaysUnderTheCapAndEndsTimedOut) {
    CScriptedUdpServer server(std::vector<Answer>{});
    server.StreamToRequester("\\pad\\" + std::string(994, 's'));
    platform::CManualClock clock;
    CFailingSendQuery query(clock, 0, nullptr, 0, query::kInfoRecvFailLimit);
    OpenQuery(query, server.Port());
    std::string strReply;
    EXPECT_EQ(ExchangeWithWatchdog(query, strReply), query::QUERY_TIMED_OUT);
    EXPECT_EQ(query.m_nSends, query::kInfoRecvFailLimit);
    EXPECT_LE(strReply.size(), query::CServerQuery::kMaxReplyBytes);
    EXPECT_GT(strReply.size(), query::CServerQuery::kMaxReplyBytes - 1000);  // it did fill up
    EXPECT_LE(strReply.capacity(), 2 * query::CServerQuery::kMaxReplyBytes);
}

// Datagrams that keep coming without the marker past the time limit are a
// failed receive too, however small they are (the server's clock runs fast).
TEST_F(ServerQueryTest, ReplyNotCompleteWithinTheTimeLimitIsAFailedReceive) {
    platform::CManualClock clock;
    CScriptedUdpServer server([&](int, const std::string&) {
        clock.Advance(query::CServerQuery::kReplyTimeLimitMs);
        return Answer{"\\a\\1", "\\b\\2", "\\c\\3"};
    });
    query::CServerQuery query(query::kInfoRequest, query::kInfoRecvFailLimit, clock);
    OpenQuery(query, server.Port());
    std::string strReply;
    EXPECT_EQ(ExchangeWithWatchdog(query, strReply), query::QUERY_TIMED_OUT);
    EXPECT_EQ(server.Requests(), query::kInfoRecvFailLimit);
    EXPECT_EQ(query.SilentWaits(), 0);
}

// The one-off check gives up on a server that fell silent mid-reply; the
// monitor (no limit) would ask again for ever.
TEST_F(ServerQueryTest, SilenceAfterAPartialReplyEndsTimedOutWhereLimited) {
    CScriptedUdpServer server(std::vector<Answer>{{"\\hostname\\Half"}});
    query::CServerQuery query(query::kInfoRequest, query::kInfoRecvFailLimit);
    query.SetSilenceLimit(3);
    OpenQuery(query, server.Port());
    std::string strReply;
    EXPECT_EQ(ExchangeWithWatchdog(query, strReply), query::QUERY_TIMED_OUT);
    EXPECT_EQ(server.Requests(), 3);
    EXPECT_EQ(query.SilentWaits(), 3);
    EXPECT_EQ(query.RecvFails(), 0);
}

TEST_F(ServerQueryTest, AsksAServerOnIpv6GivenBareOrInBrackets) {
    FR_SKIP_WITHOUT_IPV6();
    const Answer answer = {"\\hostname\\six" + kEnd + "1.1"};
    CScriptedUdpServer server(std::vector<Answer>{answer, answer}, platform::EAddressFamily::IPv6);
    ASSERT_NE(server.Port(), 0);
    query::CServerQuery query(query::kInfoRequest, query::kInfoRecvFailLimit);
    for (const char* pszHost : {"::1", "[::1]"}) {
        SCOPED_TRACE(pszHost);
        ASSERT_EQ(query.Open(pszHost, server.Port()), query::QUERY_OK);
        std::string strReply;
        EXPECT_EQ(ExchangeWithWatchdog(query, strReply), query::QUERY_OK);
        EXPECT_EQ(strReply, answer[0]);
    }
    EXPECT_EQ(server.Requests(), 2);
}

TEST_F(ServerQueryTest, OpenAndExchangeFailures) {
    query::CServerQuery query(query::kInfoRequest, query::kInfoRecvFailLimit);
    std::string strReply;
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_NO_SOCKET);  // not open
    EXPECT_EQ(query.Open("", 23000), query::QUERY_NO_HOST);
    EXPECT_EQ(query.Open("no..such..host", 23000), query::QUERY_NO_HOST);
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_NO_SOCKET);
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_NO_HOST), 39);
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_NO_SOCKET), 37);
    EXPECT_EQ(query::QueryResultStringId(query::QUERY_OK), 0);
}

TEST_F(ServerQueryTest, OpenStartsANewRunAndUsesTheLow16BitsOfThePort) {
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    CScriptedUdpServer server(std::vector<Answer>{{"\\a\\1" + kEnd + "1.1"}});
    platform::CManualClock clock;
    query::CServerQuery query(query::kInfoRequest, query::kInfoRecvFailLimit, clock);
    OpenQuery(query, ClosedLoopbackPort());
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_TIMED_OUT);
    ASSERT_EQ(query.Open("127.0.0.1", 0x10000 + server.Port()), query::QUERY_OK);
    EXPECT_FALSE(query.IsHeard());
    EXPECT_EQ(query.RecvFails(), 0);
    EXPECT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_EQ(server.RequestTexts().at(0), std::string("\xff\\info\\", 7));
}

}  // namespace
