// The web server on 127.0.0.1 against a scripted source, through a plain
// socket client: what each address answers, that nothing but GET and HEAD
// is served, that the live page's stream delivers what is published, and
// that hostile clients get a bounded answer.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "FakeWebSource.h"
#include "HttpTestClient.h"
#include "support/Ipv6Loopback.h"
#include "support/Wait.h"
#include "web/WebServer.h"

namespace {

using Json = nlohmann::json;
using testsupport::CHttpAnswer;
using testsupport::CHttpTestConnection;
using testsupport::HttpRequest;

// Short times, few threads: the limits are reached quickly.
web::CWebLimits TestLimits() {
    web::CWebLimits limits;
    limits.m_nWorkers = 4;
    limits.m_nQueue = 2;
    limits.m_nEventClients = 2;
    limits.m_nHeadMs = 1000;
    limits.m_nIdleMs = 1000;
    limits.m_nWriteMs = 500;
    limits.m_nHeartbeatMs = 300;
    limits.m_nRequestsPerConnection = 3;
    limits.m_nStopSliceMs = 50;
    limits.m_nSendBufferBytes = 8192;
    return limits;
}

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string strError;
        ASSERT_TRUE(m_server.StartOnFreePort(&strError)) << strError;
        m_nPort = m_server.Port();
        ASSERT_NE(m_nPort, 0);
    }

    CHttpAnswer Get(const std::string& strTarget, const std::string& strMethod = "GET") {
        auto answer = HttpRequest(m_nPort, strTarget, strMethod);
        EXPECT_TRUE(answer.has_value()) << strMethod << " " << strTarget;
        return answer.value_or(CHttpAnswer{});
    }

    testsupport::CFakeWebSource m_source;
    web::CWebServer m_server{m_source, TestLimits()};
    uint16_t m_nPort = 0;
};

TEST_F(WebServerTest, LivePageIsHtmlThatLoadsNothingFromElsewhere) {
    CHttpAnswer answer = Get("/");
    EXPECT_EQ(answer.m_nStatus, 200);
    EXPECT_EQ(answer.Header("content-type"), "text/html; charset=utf-8");
    EXPECT_NE(answer.Header("content-security-policy").find("default-src 'none'"),
              std::string::npos);
    EXPECT_EQ(answer.Header("x-content-type-options"), "nosniff");
    EXPECT_NE(answer.m_strBody.find("EventSource('/events')"), std::string::npos);
}

TEST_F(WebServerTest, StatusAsJson) {
    CHttpAnswer answer = Get("/api/status");
    EXPECT_EQ(answer.m_nStatus, 200);
    EXPECT_EQ(answer.Header("content-type"), "application/json");
    Json json = Json::parse(answer.m_strBody);
    EXPECT_EQ(json["map"], "Battle of Britain");
    EXPECT_EQ(json["teams"][0]["players"][0]["name"], "<script>");
    EXPECT_EQ(json["server"], "[FR] Test Server \xE2\x82\xAC");
}

TEST_F(WebServerTest, PlayerPagesAndApiFindTheBotsBytes) {
    web::CWebPlayerStats stats;
    stats.m_strName = "Ren\xE9";
    stats.m_nKills = 77;
    m_source.AddPlayer(stats);

    CHttpAnswer api = Get("/api/players/Ren%C3%A9");
    EXPECT_EQ(api.m_nStatus, 200);
    EXPECT_EQ(m_source.LastPlayerAsked(), "Ren\xE9");
    EXPECT_EQ(Json::parse(api.m_strBody)["kills"], 77);

    CHttpAnswer page = Get("/players/Ren%C3%A9");
    EXPECT_EQ(page.m_nStatus, 200);
    EXPECT_NE(page.m_strBody.find("<h1>Ren\xC3\xA9</h1>"), std::string::npos);

    EXPECT_EQ(Get("/api/players/nobody").m_nStatus, 404);
    EXPECT_EQ(Json::parse(Get("/api/players/nobody").m_strBody)["error"],
              "no player of that name");
    EXPECT_EQ(Get("/players/nobody").m_nStatus, 404);
    EXPECT_EQ(Get("/players/").m_nStatus, 404);
}

TEST_F(WebServerTest, NamesThatAreMarkupStayText) {
    web::CWebPlayerStats stats;
    stats.m_strName = "<script>alert(1)</script>";
    m_source.AddPlayer(stats);
    CHttpAnswer page = Get("/players/%3Cscript%3Ealert(1)%3C%2Fscript%3E");
    EXPECT_EQ(page.m_nStatus, 200);
    EXPECT_EQ(page.m_strBody.find("<script"), std::string::npos);
    EXPECT_NE(page.m_strBody.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    // Not found: the asked name is not shown back at all.
    EXPECT_EQ(Get("/players/%3Cb%3Ex").m_strBody.find("<b>x"), std::string::npos);
}

TEST_F(WebServerTest, TopListTakesMetricAndPeriod) {
    m_source.SetTop({{"A", 30, 5}, {"B", 20, 4}, {"C", 10, 3}, {"D", 5, 2}, {"E", 1, 1}});
    CHttpAnswer api = Get("/api/top?metric=kd&period=week");
    EXPECT_EQ(api.m_nStatus, 200);
    EXPECT_EQ(m_source.LastMetric(), web::ETopMetric::KillsPerDeath);
    EXPECT_EQ(m_source.LastPeriod(), web::ETopPeriod::Week);
    Json json = Json::parse(api.m_strBody);
    EXPECT_EQ(json["rows"].size(), 5u);
    EXPECT_EQ(json["metric"], "kd");

    Get("/api/top");
    EXPECT_EQ(m_source.LastMetric(), web::ETopMetric::Kills);
    EXPECT_EQ(m_source.LastPeriod(), web::ETopPeriod::All);

    EXPECT_EQ(Get("/api/top?metric=deaths").m_nStatus, 400);
    EXPECT_EQ(Get("/api/top?period=month").m_nStatus, 400);
    CHttpAnswer page = Get("/top?metric=tk&period=today");
    EXPECT_EQ(page.m_nStatus, 200);
    EXPECT_NE(page.m_strBody.find(">A</a>"), std::string::npos);
    EXPECT_EQ(m_source.LastMetric(), web::ETopMetric::Teamkills);
}

TEST_F(WebServerTest, StatisticsOffIsSaid) {
    m_source.SetStatsOn(false);
    EXPECT_EQ(Get("/api/players/x").m_nStatus, 503);
    EXPECT_EQ(Json::parse(Get("/api/top").m_strBody)["error"], "statistics are off");
    EXPECT_EQ(Get("/players/x").m_nStatus, 503);
    EXPECT_EQ(Get("/top").m_nStatus, 503);
    // The live page and the figures do not need the database.
    EXPECT_EQ(Get("/api/status").m_nStatus, 200);
    EXPECT_EQ(Get("/metrics").m_nStatus, 200);
}

TEST_F(WebServerTest, MetricsInTheTextFormat) {
    CHttpAnswer answer = Get("/metrics");
    EXPECT_EQ(answer.m_nStatus, 200);
    EXPECT_EQ(answer.Header("content-type"), "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_NE(answer.m_strBody.find("fragrelay_game_polls_total{result=\"ok\"} 120\n"),
              std::string::npos);
}

TEST_F(WebServerTest, HealthFollowsBothSides) {
    EXPECT_EQ(Get("/healthz").m_nStatus, 200);
    EXPECT_EQ(Get("/healthz").m_strBody, "ok\n");
    web::CWebStatus status = m_source.Status();
    status.m_irc = {false, "no answer to PING"};
    m_source.SetStatus(status);
    CHttpAnswer answer = Get("/healthz");
    EXPECT_EQ(answer.m_nStatus, 503);
    EXPECT_EQ(answer.m_strBody, "irc: no answer to PING\n");
    status.m_game = {false, ""};
    m_source.SetStatus(status);
    EXPECT_EQ(Get("/healthz").m_strBody, "game: down\nirc: no answer to PING\n");
}

TEST_F(WebServerTest, OnlyGetAndHeadAreServed) {
    for (const char* pszMethod : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE", "CONNECT"}) {
        SCOPED_TRACE(pszMethod);
        CHttpAnswer answer = Get("/api/status", pszMethod);
        EXPECT_EQ(answer.m_nStatus, 405);
        EXPECT_EQ(answer.Header("allow"), "GET, HEAD");
    }
    CHttpAnswer head = Get("/api/status", "HEAD");
    EXPECT_EQ(head.m_nStatus, 200);
    EXPECT_EQ(head.Header("content-type"), "application/json");
    // A body is refused before anything reads it.
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    connection.Send("GET / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello");
    auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 400);
}

TEST_F(WebServerTest, UnknownAndTrickyPathsFindNothing) {
    for (const char* pszTarget :
         {"/nothing", "/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd", "/api", "/api/status/",
          "/top/", "/%00", "/%", "/%ZZ", "//api/status", "/api/players"}) {
        SCOPED_TRACE(pszTarget);
        EXPECT_EQ(Get(pszTarget).m_nStatus, 404);
    }
    // A name is only ever a name: never a file.
    EXPECT_EQ(Get("/players/..%2F..%2Fetc%2Fpasswd").m_nStatus, 404);
    EXPECT_EQ(m_source.LastPlayerAsked(), "../../etc/passwd");
    EXPECT_EQ(Get("/players/%00%01%C0%AE").m_nStatus, 404);
    EXPECT_EQ(m_source.LastPlayerAsked(), std::string("\0\x01??", 4));
    // Raw bytes that are not UTF-8.
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    connection.Send("GET /players/\xFF\xFE\x80 HTTP/1.1\r\nX-Name: \xFF\r\n\r\n");
    auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 404);
    EXPECT_EQ(m_source.LastPlayerAsked(), "???");
}

TEST_F(WebServerTest, OversizedRequestsGetABoundedAnswer) {
    EXPECT_EQ(Get("/players/" + std::string(3000, 'a')).m_nStatus, 414);
    // Long names within the limit are fine.
    EXPECT_EQ(Get("/players/" + std::string(1900, 'a')).m_nStatus, 404);

    CHttpTestConnection big;
    ASSERT_TRUE(big.Connect(m_nPort));
    std::string strHead = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 400; ++i) strHead += "X-Filler-" + std::to_string(i) + ": 0123456789\r\n";
    big.Send(strHead + "\r\n");
    auto answer = big.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 431);
    EXPECT_TRUE(big.WaitClosed());
}

TEST_F(WebServerTest, EndlessHeaderIsCutOff) {
    // A sender that never ends its header: the server answers once its
    // limit is read and closes; the sender's writes then fail.
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    std::thread sender([&connection] {
        connection.Send("GET / HTTP/1.1\r\nX-Endless: ");
        std::string strMore(16384, 'x');
        for (int i = 0; i < 1024 && connection.Send(strMore); ++i) {
        }
    });
    auto answer = connection.ReadAnswer();
    sender.join();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 431);
}

TEST_F(WebServerTest, RangesAreIgnored) {
    // Thousands of ranges in a few kilobytes would ask for megabytes.
    std::string strRanges = "bytes=0-";
    for (int i = 0; i < 1500; ++i) strRanges += ",0-";
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    connection.Send("GET /api/status HTTP/1.1\r\nRange: " + strRanges + "\r\n\r\n");
    auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 200);
    EXPECT_EQ(answer->m_strBody, Get("/api/status").m_strBody);
}

TEST_F(WebServerTest, SlowSenderGetsATimeout) {
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    connection.Send("GET / HTTP/1.1\r\n");
    // One byte at a time, slower than the head may take (bounded: at most
    // 100 bytes, and the answer ends it).
    std::optional<CHttpAnswer> answer;
    for (int i = 0; i < 100 && !answer; ++i) {
        connection.Send("X");
        if (connection.Socket().WaitReadable(100) == platform::EWaitResult::Readable)
            answer = connection.ReadAnswer();
    }
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 408);
    EXPECT_TRUE(connection.WaitClosed());
}

TEST_F(WebServerTest, IdleConnectionIsClosed) {
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    EXPECT_TRUE(connection.WaitClosed(5000));
    EXPECT_EQ(connection.Received(), 0u);
}

TEST_F(WebServerTest, KeepsAliveForABoundedNumberOfRequests) {
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(m_nPort));
    const std::string strRequest = "GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n";
    // Two in one send (pipelined), then one more: the third is the last.
    ASSERT_TRUE(connection.Send(strRequest + strRequest));
    for (int i = 0; i < 2; ++i) {
        auto answer = connection.ReadAnswer();
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->m_nStatus, 200);
        EXPECT_NE(answer->Header("connection"), "close");
    }
    ASSERT_TRUE(connection.Send(strRequest));
    auto last = connection.ReadAnswer();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Header("connection"), "close");
    EXPECT_TRUE(connection.WaitClosed());
}

TEST(WebServerLimitTest, ManyConnectionsAreTurnedAwayNotQueued) {
    // Clients that connect and say nothing: the workers and the line hold
    // as many as they have room for, every other one is told at once to
    // come back later. (A long head time: none is let go meanwhile, however
    // slowly the system hands over the connections.)
    web::CWebLimits limits = TestLimits();
    limits.m_nHeadMs = 20000;
    testsupport::CFakeWebSource source;
    web::CWebServer server(source, limits);
    ASSERT_TRUE(server.StartOnFreePort());
    const int nRoom = limits.m_nWorkers + limits.m_nQueue;
    std::vector<CHttpTestConnection> idle(static_cast<size_t>(nRoom + 10));
    for (auto& connection : idle) ASSERT_TRUE(connection.Connect(server.Port()));
    int nTurnedAway = 0;
    for (auto& connection : idle) {
        auto answer = connection.ReadAnswer(300);
        if (answer && answer->m_nStatus == 503) {
            ++nTurnedAway;
            EXPECT_EQ(answer->Header("retry-after"), "5");
        }
    }
    EXPECT_GE(nTurnedAway, 10);  // more when the accepting outruns the workers
    // Once the idle ones are gone, the server answers again.
    idle.clear();
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        auto answer = HttpRequest(server.Port(), "/healthz");
        return answer && answer->m_nStatus == 200;
    }));
}

TEST_F(WebServerTest, LivePageStreamDeliversWhatIsPublished) {
    CHttpTestConnection stream;
    ASSERT_TRUE(stream.Connect(m_nPort));
    ASSERT_TRUE(stream.Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n"));
    auto head = stream.ReadAnswer();
    ASSERT_TRUE(head);
    EXPECT_EQ(head->m_nStatus, 200);
    EXPECT_EQ(head->Header("content-type"), "text/event-stream");
    EXPECT_EQ(head->Header("content-encoding"), "");
    auto first = stream.ReadEvent();
    ASSERT_TRUE(first);
    EXPECT_EQ(Json::parse(*first)["map"], "Battle of Britain");

    web::CWebStatus status = m_source.Status();
    status.m_events.push_back("\x02" "Alice\x02 captured the airfield");
    m_server.Publish(status);
    auto next = stream.ReadEvent();
    ASSERT_TRUE(next);
    EXPECT_EQ(Json::parse(*next)["events"].back(), "Alice captured the airfield");
}

TEST_F(WebServerTest, StreamSkipsToTheNewestStatus) {
    CHttpTestConnection stream;
    ASSERT_TRUE(stream.Connect(m_nPort));
    ASSERT_TRUE(stream.Send("GET /events HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(stream.ReadAnswer());
    ASSERT_TRUE(stream.ReadEvent());
    web::CWebStatus status = m_source.Status();
    for (int i = 1; i <= 200; ++i) {
        status.m_nTimeLeft = i;
        m_server.Publish(status);
    }
    // However many it sent meanwhile, it ends at the newest, with fewer
    // messages than statuses.
    int nMessages = 0;
    int nTimeLeft = 0;
    while (nTimeLeft != 200 && nMessages < 200) {
        auto event = stream.ReadEvent();
        ASSERT_TRUE(event);
        nTimeLeft = Json::parse(*event)["timeLeft"];
        ++nMessages;
    }
    EXPECT_EQ(nTimeLeft, 200);
    EXPECT_LT(nMessages, 200);
}

TEST_F(WebServerTest, StreamsAreBoundedAndAReaderThatStopsIsDropped) {
    // Two streams are allowed; the first never reads (and its system holds
    // little for it, so that it is full soon).
    CHttpTestConnection stalled;
    ASSERT_TRUE(stalled.Connect(m_nPort, 4096));
    stalled.Send("GET /events HTTP/1.1\r\n\r\n");
    CHttpTestConnection reader;
    ASSERT_TRUE(reader.Connect(m_nPort));
    reader.Send("GET /events HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(reader.ReadAnswer());
    ASSERT_TRUE(reader.ReadEvent());
    EXPECT_EQ(HttpRequest(m_nPort, "/events")->m_nStatus, 503);

    // Big statuses, published until the stalled stream's buffers are full
    // and a write to it times out: then a third stream gets in.
    web::CWebStatus big = testsupport::BusyStatus(32, 20);
    int nPublished = 0;
    bool bRoom = testsupport::WaitUntil(
        [&] {
            big.m_nTimeLeft = ++nPublished;
            m_server.Publish(big);
            if (!reader.ReadEvent()) return false;  // the reader keeps up
            CHttpTestConnection probe;
            if (!probe.Connect(m_nPort)) return false;
            probe.Send("GET /events HTTP/1.1\r\nConnection: close\r\n\r\n");
            auto answer = probe.ReadAnswer();
            return answer && answer->m_nStatus == 200;
        },
        std::chrono::seconds(10));
    EXPECT_TRUE(bRoom);
    EXPECT_TRUE(stalled.WaitClosed());
}

TEST_F(WebServerTest, StopEndsStreamsAndWaitingClients) {
    CHttpTestConnection stream;
    ASSERT_TRUE(stream.Connect(m_nPort));
    stream.Send("GET /events HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(stream.ReadAnswer());
    CHttpTestConnection slow;
    ASSERT_TRUE(slow.Connect(m_nPort));
    slow.Send("GET / HTTP/1.1\r\n");
    std::atomic<bool> bStopped{false};
    std::thread stopper([&] {
        m_server.Stop();
        bStopped = true;
    });
    EXPECT_TRUE(testsupport::WaitUntil([&] { return bStopped.load(); }));
    stopper.join();
    EXPECT_FALSE(m_server.IsRunning());
    EXPECT_TRUE(stream.WaitClosed());
    EXPECT_TRUE(slow.WaitClosed());
    EXPECT_FALSE(HttpRequest(m_nPort, "/healthz"));
}

TEST(WebServerStartTest, RefusesAPortThatIsTaken) {
    platform::CSocket holder = platform::CSocket::CreateTcp();
    ASSERT_TRUE(holder.Bind(platform::LoopbackAddress(0)));
    ASSERT_TRUE(holder.Listen());
    testsupport::CFakeWebSource source;
    web::CWebServer server(source, TestLimits());
    std::string strError;
    web::CWebAddress address{"127.0.0.1", holder.LocalPort()};
    EXPECT_FALSE(server.Start(address, &strError));
    EXPECT_NE(strError.find("cannot listen on 127.0.0.1:"), std::string::npos) << strError;
    EXPECT_FALSE(server.IsRunning());
    EXPECT_FALSE(server.Start(web::CWebAddress{}, &strError));
}

TEST(WebServerStartTest, ServesOnIPv6Loopback) {
    FR_SKIP_WITHOUT_IPV6();
    platform::CSocket probe = platform::CSocket::CreateTcp(platform::EAddressFamily::IPv6);
    ASSERT_TRUE(probe.Bind(platform::CNetAddress::Loopback(platform::EAddressFamily::IPv6)));
    uint16_t nPort = probe.LocalPort();
    probe.Close();
    testsupport::CFakeWebSource source;
    web::CWebServer server(source, TestLimits());
    std::string strError;
    ASSERT_TRUE(server.Start(web::ParseWebAddress("[::1]:" + std::to_string(nPort)).m_address,
                             &strError))
        << strError;
    CHttpTestConnection connection;
    ASSERT_TRUE(connection.Connect(
        platform::CNetAddress::Loopback(platform::EAddressFamily::IPv6, nPort)));
    connection.Send("GET /healthz HTTP/1.1\r\n\r\n");
    auto answer = connection.ReadAnswer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->m_nStatus, 200);
}

TEST(WebServerStartTest, StartsAgainAfterStop) {
    testsupport::CFakeWebSource source;
    web::CWebServer server(source, TestLimits());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(server.StartOnFreePort());
        auto answer = HttpRequest(server.Port(), "/healthz");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->m_nStatus, 200);
        server.Stop();
    }
}

}  // namespace
