// The update check: the request, how an answer becomes the newest version,
// the comparison, and the thread against a small HTTP responder on
// 127.0.0.1 (each sleep of the thread returns at once on a manual clock).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/UpdateCheck.h"
#include "platform/Clock.h"
#include "platform/Socket.h"
#include "support/Ipv6Loopback.h"
#include "support/RecordingMessages.h"
#include "support/Wait.h"

namespace {

using core::COperatorMessage;
using core::EMessageIcon;
using namespace std::chrono_literals;

constexpr char kOwn[] = "v1.3 BETA";

const std::string kExpectedRequest =
    "GET /relayfiles/VerCheck.txt HTTP/1.1\n"
    "Accept: */*\n"
    "Accept-Language: de\n"
    "Accept-Encoding: gzip, deflate\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\n"
    "Host: 127.0.0.1\n"
    "\n";

std::string HttpAnswer(const std::string& strBody) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(strBody.size()) + "\r\n\r\n" + strBody;
}

// Answers the first nAnswers connections with one scripted block each and
// records what each sent up to its empty line; then stops listening, so
// that further connections are refused. With bSilent it accepts and keeps
// the connection without answering.
class CHttpResponder {
public:
    CHttpResponder(std::string strAnswer, int nAnswers, bool bSilent = false,
                   platform::EAddressFamily eFamily = platform::EAddressFamily::IPv4)
        : m_strAnswer(std::move(strAnswer)), m_nAnswers(nAnswers), m_bSilent(bSilent) {
        m_listener = platform::CSocket::CreateTcp(eFamily);
        m_bOk = m_listener.Bind(platform::CNetAddress::Loopback(eFamily)) && m_listener.Listen();
        m_nPort = m_listener.LocalPort();
        if (m_bOk) m_thread = std::thread([this] { Serve(); });
    }
    ~CHttpResponder() {
        m_bStop.store(true);
        if (m_thread.joinable()) m_thread.join();
    }
    bool IsOk() const { return m_bOk; }
    uint16_t Port() const { return m_nPort; }
    bool IsDone() const { return m_bDone.load(); }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Serve() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        std::vector<platform::CSocket> kept;
        int nServed = 0;
        while (nServed < m_nAnswers && !m_bStop.load() &&
               std::chrono::steady_clock::now() < deadline) {
            if (m_listener.WaitReadable(20) != platform::EWaitResult::Readable) continue;
            platform::CSocket peer = m_listener.Accept();
            if (!peer.IsValid()) continue;
            std::string strRequest = ReadRequest(peer, deadline);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(strRequest);
            }
            if (m_bSilent) {
                kept.push_back(std::move(peer));
            } else {
                peer.Send(m_strAnswer);
            }
            ++nServed;
        }
        m_listener.Close();
        m_bDone.store(true);
        while (!kept.empty() && !m_bStop.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
    }
    std::string ReadRequest(platform::CSocket& peer,
                            std::chrono::steady_clock::time_point deadline) {
        std::string str;
        while (str.find("\n\n") == std::string::npos && str.size() < 4096 && !m_bStop.load() &&
               std::chrono::steady_clock::now() < deadline) {
            if (peer.WaitReadable(20) != platform::EWaitResult::Readable) continue;
            char buf[512];
            const int n = peer.Recv(buf, sizeof buf);
            if (n <= 0) break;
            str.append(buf, static_cast<size_t>(n));
        }
        return str;
    }

    const std::string m_strAnswer;
    const int m_nAnswers;
    const bool m_bSilent;
    platform::CSocket m_listener;
    bool m_bOk = false;
    uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bDone{false};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

TEST(UpdateTexts, RequestBytesAndNotice) {
    EXPECT_EQ(core::BuildUpdateRequest("127.0.0.1"), kExpectedRequest);
    // HTTP's host header writes an IPv6 address in brackets; a name stays as it is.
    const struct {
        const char* m_pszHost;
        const char* m_pszHeader;
    } kRows[] = {{"::1", "Host: [::1]\n\n"},
                 {"[::1]", "Host: [::1]\n\n"},
                 {"updates.example.org", "Host: updates.example.org\n\n"}};
    for (const auto& row : kRows) {
        const std::string strRequest = core::BuildUpdateRequest(row.m_pszHost);
        EXPECT_EQ(strRequest.substr(strRequest.rfind("Host: ")), row.m_pszHeader) << row.m_pszHost;
    }
    EXPECT_EQ(core::UpdateNoticeText(kOwn, "v1.4"),
              "Please update your copy of fragrelay!\nYour Version = v1.3 BETA; Current Version = "
              "v1.4");
}

TEST(UpdateTexts, BodyIsCutFromTheReceivedBlock) {
    const struct {
        const char* m_pszName;
        std::string m_strResponse;
        std::string m_strBody;
    } kRows[] = {
        {"LengthHeader", "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\ncurVer=v1.4\n",
         "curVer=v1.4\n"},
        {"MoreHeadersAfterIt",
         "HTTP/1.1 200 OK\r\nContent-Length: 12\r\nConnection: close\r\n\r\ncurVer=v1.4\n",
         "curVer=v1.4\n"},
        {"LengthBeyondTheBlock", "Content-Length: 500\r\n\r\ncurVer=v1\n",
         "500\r\n\r\ncurVer=v1\n"},
        {"LengthZero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        {"NegativeLength", "Content-Length: -5\r\n\r\ncurVer=v1\n", ""},
        {"NoDigits", "Content-Length: many\r\n\r\ncurVer=v1\n", ""},
        {"NoLineFeedAfterHeader", "HTTP/1.1 200 OK\r\nContent-Length: 12", ""},
        {"HeaderMissingCutsFifteen", "HTTP/1.1 200 OK\n\ncurVer=v1.4\n", ""},
        {"HeaderMissingNumberAfterCut", "0123456789ABCDE4\ncurVer=v2\n", "=v2\n"},
        // Not found in lower case; the 15-byte cut happens to land before the number.
        {"HeaderInLowerCase", "content-length: 12\r\n\r\ncurVer=v1.4\n", "curVer=v1.4\n"},
        {"HeaderMissingStatusOnly", "HTTP/1.1 204 No Content\r\n\r\n", ""},
        {"ShorterThanTheCut", "HTTP/1.1", ""},
        {"Nothing", "", ""},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(core::ExtractUpdateBody(row.m_strResponse), row.m_strBody) << row.m_pszName;
    }
}

TEST(UpdateTexts, NewestVersionLine) {
    const struct {
        const char* m_pszName;
        const char* m_pszBody;
        const char* m_pszNewest;
    } kRows[] = {
        {"Plain", "curVer=v1.4\n", "v1.4"},
        {"CrKept", "curVer=v1.4\r\n", "v1.4\r"},
        {"FurtherLinesIgnored", "curVer=v2.0\nnote=x\n", "v2.0"},
        {"EqualsInValue", "curVer=a=b\n", "a=b"},
        {"EmptyValue", "curVer=\n", ""},
        {"NoLineFeed", "curVer=v1.4", ""},
        {"KeyCase", "curver=v1.4\n", ""},
        {"BlankBeforeEquals", "curVer =v1.4\n", ""},
        {"NotTheFirstLine", "x\ncurVer=v1.4\n", ""},
        {"NoEquals", "curVer\n", ""},
        {"Nothing", "", ""},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(core::ReadNewestVersion(row.m_pszBody), row.m_pszNewest) << row.m_pszName;
    }
}

TEST(UpdateTexts, ByteOrderNotVersionOrder) {
    const struct {
        const char* m_pszNewest;
        bool m_bNewer;
    } kRows[] = {
        {"v1.4", true},        {"v2.0", true},  {"v1.3 BETB", true},
        {"v1.3 BETA\r", true}, {"\xE9", true},  // unsigned: 0xE9 sorts after 'v'
        {"v1.3 BETA", false},  {"v1.3", false}, {"v1.10", false},
        {"v1.3 BET", false},   {"", false},     {"V9", false},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(core::IsNewerVersion(row.m_pszNewest, kOwn), row.m_bNewer) << row.m_pszNewest;
    }
}

class UpdateCheck : public ::testing::Test {
protected:
    // Runs a check against the responder until the check ends by itself.
    void RunAgainst(CHttpResponder& responder) {
        ASSERT_TRUE(responder.IsOk());
        core::CUpdateCheck check("127.0.0.1", responder.Port(), kOwn, m_sink.Fn(), m_clock);
        ASSERT_TRUE(check.Start());
        ASSERT_TRUE(testsupport::WaitUntil([&] { return check.HasEnded(); }, 20s));
        m_nAttempts = check.Attempts();
        m_bNoticeShown = check.NoticeShown();
    }

    testsupport::CRecordingMessages m_sink;
    platform::CManualClock m_clock;
    int m_nAttempts = 0;
    bool m_bNoticeShown = false;
};

TEST_F(UpdateCheck, NewerVersionIsToldOnceAcrossCycles) {
    CHttpResponder responder(HttpAnswer("curVer=v1.4\n"), 3);
    RunAgainst(responder);
    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Last(),
              (COperatorMessage{
                  "Please update your copy of fragrelay!\nYour Version = v1.3 BETA; Current "
                  "Version = v1.4",
                  "New Version!", EMessageIcon::Information, ""}));
    EXPECT_TRUE(m_bNoticeShown);
    // Three answered cycles, 60 s apart, then the refused fourth ends it.
    EXPECT_EQ(responder.Requests(), std::vector<std::string>(3, kExpectedRequest));
    EXPECT_EQ(m_nAttempts, 4);
    EXPECT_EQ(m_clock.SleepCalls(), 3u);
    EXPECT_EQ(m_clock.SleptMs(), 3u * 60000u);
}

TEST_F(UpdateCheck, ReachesAHostOnIpv6) {
    FR_SKIP_WITHOUT_IPV6();
    CHttpResponder responder(HttpAnswer("curVer=v1.4\n"), 1, false, platform::EAddressFamily::IPv6);
    ASSERT_TRUE(responder.IsOk());
    core::CUpdateCheck check("::1", responder.Port(), kOwn, m_sink.Fn(), m_clock);
    ASSERT_TRUE(check.Start());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return check.HasEnded(); }, 20s));
    EXPECT_TRUE(check.NoticeShown());
    ASSERT_EQ(responder.Requests().size(), 1u);
    EXPECT_EQ(responder.Requests()[0], core::BuildUpdateRequest("::1"));
}

TEST_F(UpdateCheck, AnswersThatGiveNoNotice) {
    const struct {
        const char* m_pszName;
        std::string m_strAnswer;
    } kRows[] = {
        {"EqualVersion", HttpAnswer("curVer=v1.3 BETA\n")},
        {"OlderByBytes", HttpAnswer("curVer=v1.3\n")},
        {"HeaderMissing", "HTTP/1.1 200 OK\n\ncurVer=v1.4\n"},
        {"OtherFile", HttpAnswer("<html>not found</html>\n")},
        {"EmptyAnswer", ""},
    };
    for (const auto& row : kRows) {
        m_sink.Clear();
        CHttpResponder responder(row.m_strAnswer, 2);
        RunAgainst(responder);
        EXPECT_EQ(m_sink.Count(), 0u) << row.m_pszName;
        EXPECT_FALSE(m_bNoticeShown) << row.m_pszName;
        EXPECT_EQ(m_nAttempts, 3) << row.m_pszName << ": a quiet answer is no failure";
    }
}

TEST_F(UpdateCheck, CarriageReturnStaysInTheVersion) {
    CHttpResponder responder(HttpAnswer("curVer=v1.3 BETA\r\n"), 1);
    RunAgainst(responder);
    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Last().m_strText,
              "Please update your copy of fragrelay!\nYour Version = v1.3 BETA; Current Version = "
              "v1.3 BETA\r");
}

TEST_F(UpdateCheck, ClosedPortEndsTheCheckAfterItsFirstAttempt) {
    // Bound but not listening: every connection is refused.
    platform::CSocket closed = platform::CSocket::CreateTcp();
    ASSERT_TRUE(closed.Bind(platform::LoopbackAddress()));
    core::CUpdateCheck check("127.0.0.1", closed.LocalPort(), kOwn, m_sink.Fn(), m_clock);
    ASSERT_TRUE(check.Start());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return check.HasEnded(); }, 20s));
    EXPECT_EQ(check.Attempts(), 1);
    EXPECT_EQ(m_clock.SleepCalls(), 0u) << "no second attempt is planned";
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_FALSE(check.Start()) << "once per run";
}

TEST_F(UpdateCheck, WithoutAHostNothingIsContacted) {
    core::CUpdateCheck check("", 1, kOwn, m_sink.Fn(), m_clock);
    ASSERT_TRUE(check.Start());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return check.HasEnded(); }));
    EXPECT_EQ(check.Attempts(), 0);
    EXPECT_EQ(m_clock.SleepCalls(), 0u);
}

TEST_F(UpdateCheck, StopCutsTheWaitForASilentServer) {
    CHttpResponder responder("", 1, true);
    ASSERT_TRUE(responder.IsOk());
    core::CUpdateCheck check("127.0.0.1", responder.Port(), kOwn, m_sink.Fn(), m_clock);
    ASSERT_TRUE(check.Start());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return responder.Requests().size() == 1; }));
    EXPECT_FALSE(check.HasEnded()) << "still waiting for the answer";
    check.Stop();
    EXPECT_TRUE(check.HasEnded());
    EXPECT_EQ(responder.Requests()[0], kExpectedRequest);
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(UpdateCheck, StopWakesTheSleepBetweenCycles) {
    CHttpResponder responder(HttpAnswer("curVer=v1.0\n"), 1);
    ASSERT_TRUE(responder.IsOk());
    core::CUpdateCheck check("127.0.0.1", responder.Port(), kOwn, m_sink.Fn(),
                             platform::SystemClock());
    ASSERT_TRUE(check.Start());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return responder.IsDone(); }));
    check.Stop();  // the thread sleeps its 60 s (or is about to)
    EXPECT_TRUE(check.HasEnded());
    EXPECT_EQ(check.Attempts(), 1);
}

}  // namespace
