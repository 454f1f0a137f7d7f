// The statistics service as the core uses it: polls in, rounds written on
// its own thread, answers on that thread, bad files said once, a full disk
// or a busy one never felt by the caller.
#include "stats/StatsService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>

#include "stats/StatsQueries.h"
#include "tests/config/TempFolder.h"
#include "tests/stats/PollScript.h"
#include "tests/stats/StoreSupport.h"
#include "tests/support/Wait.h"

using namespace stats;
using statstest::CPollScript;
using testsupport::WaitUntil;

namespace {

constexpr int64_t kNow = 1700000000;

// What the service said, and on which threads.
class CRecorder {
public:
    void Log(const std::string& str) {
        std::lock_guard lock(m_mutex);
        m_vLog.push_back(str);
    }
    void Send(const std::string& str) {
        std::lock_guard lock(m_mutex);
        m_vSent.push_back(str);
        m_bSentOnCaller = m_bSentOnCaller || std::this_thread::get_id() == m_caller;
    }
    std::vector<std::string> Logged() {
        std::lock_guard lock(m_mutex);
        return m_vLog;
    }
    std::vector<std::string> Sent() {
        std::lock_guard lock(m_mutex);
        return m_vSent;
    }
    bool SentOnCaller() {
        std::lock_guard lock(m_mutex);
        return m_bSentOnCaller;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_vLog;
    std::vector<std::string> m_vSent;
    const std::thread::id m_caller = std::this_thread::get_id();
    bool m_bSentOnCaller = false;
};

monitor::CAnnounceSettings Plain() {
    monitor::CAnnounceSettings s;
    s.m_strKeyColor = "14";
    s.m_strValueColor = "04";
    s.m_strStatusColor = "07";
    return s;
}

bridge::CChannelRequest Request(bridge::EChannelRequest eKind, std::string strArgs = {}) {
    return bridge::CChannelRequest{eKind, "asker", std::move(strArgs)};
}

// A whole round from "pre" to "end" of about four minutes.
void PlayRound(CStatsService& service, CPollScript& g, const std::string& strMap, int nKills) {
    g.NewMap(strMap);
    service.OnPoll(g.Poll());
    g.Phase("openplaying");
    for (int n = 0; n < 120; ++n) {
        if (n < nKills) g.Kill("Ann", "Bob");
        service.OnPoll(g.Poll());
    }
    g.Phase("end");
    service.OnPoll(g.Poll());
}

class StatsService : public testing::Test {
protected:
    std::unique_ptr<CStatsService> Make(COpenOptions options = COpenOptions()) {
        return std::make_unique<CStatsService>(
            Path(), [this](const std::string& str) { m_rec.Log(str); }, [] { return kNow; },
            options);
    }
    std::string Path() const { return m_folder / "stats.db"; }
    CStatsService::SendFn Send() {
        return [this](const std::string& str) { m_rec.Send(str); };
    }
    static bool IsState(CStatsService& service, EStatsState eState) {
        return WaitUntil([&] { return service.Figures().m_eState == eState; });
    }

    testsupport::CTempFolder m_folder;
    CRecorder m_rec;
};

TEST_F(StatsService, WritesRoundsAndAnswersOnItsOwnThread) {
    auto pService = Make();
    CStatsService& service = *pService;
    service.Start();
    ASSERT_TRUE(IsState(service, EStatsState::On));
    CPollScript g("wake", "pre");
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    service.OnPoll(g.Poll());
    service.OnPoll(g.Poll());
    PlayRound(service, g, "wake", 3);
    PlayRound(service, g, "berlin", 2);
    ASSERT_TRUE(WaitUntil([&] { return service.Figures().m_nRoundsWritten == 2; }));

    EXPECT_TRUE(service.Answer(Request(bridge::EChannelRequest::Stats, "ann"), Plain(), Send()));
    EXPECT_TRUE(
        service.Answer(Request(bridge::EChannelRequest::Top, "kills week"), Plain(), Send()));
    EXPECT_TRUE(service.Answer(Request(bridge::EChannelRequest::LastRound), Plain(), Send()));
    EXPECT_TRUE(service.Answer(Request(bridge::EChannelRequest::Seen, "Bob"), Plain(), Send()));
    EXPECT_TRUE(service.Answer(Request(bridge::EChannelRequest::Top, "nonsense"), Plain(), Send()));
    // Not ours: the game side answers these from its snapshot.
    EXPECT_FALSE(service.Answer(Request(bridge::EChannelRequest::GameInfo), Plain(), Send()));
    EXPECT_FALSE(service.Answer(Request(bridge::EChannelRequest::Join), Plain(), Send()));
    ASSERT_TRUE(WaitUntil([&] { return m_rec.Sent().size() == 5; }));
    const std::vector<std::string> sent = m_rec.Sent();
    EXPECT_FALSE(m_rec.SentOnCaller());
    EXPECT_NE(sent[0].find("kills \x03[\x03"
                           "045\x03]"),
              std::string::npos)
        << sent[0];
    EXPECT_NE(sent[1].find("1. Ann (5)"), std::string::npos) << sent[1];
    EXPECT_NE(sent[2].find("berlin"), std::string::npos) << sent[2];
    EXPECT_NE(sent[3].find("playing now"), std::string::npos) << sent[3];  // Bob is on
    EXPECT_NE(sent[4].find("usage: !top"), std::string::npos) << sent[4];

    // The page's reads, from threads of the web server's.
    std::thread reader([&] {
        EXPECT_EQ(service.PlayerStats("Ann")->m_nKills, 5);
        EXPECT_EQ(service.Top(ETopKind::Kills, ETopPeriod::All).size(), 1u);
        EXPECT_EQ(service.LastRound()->m_strMap, "berlin");
        EXPECT_EQ(service.Seen("bob")->m_strName, "Bob");
    });
    reader.join();
    EXPECT_TRUE(m_rec.Logged().empty());
    service.Stop();
    EXPECT_EQ(service.Figures().m_eState, EStatsState::Idle);
    EXPECT_FALSE(service.Answer(Request(bridge::EChannelRequest::LastRound), Plain(), Send()));
}

TEST_F(StatsService, StoppingWritesTheRoundGoingOnAsLeft) {
    {
        auto pService = Make();
        pService->Start();
        CPollScript g;
        g.Add("Ann", 2, "aaaa");
        g.Add("Bob", 1, "bbbb");
        for (int n = 0; n < 30; ++n) {
            g.Kill("Ann", "Bob");
            pService->OnPoll(g.Poll());
        }
        pService->OnMonitoringStopped();
        for (int n = 0; n < 5; ++n) pService->OnPoll(g.Poll());
        pService->Stop();  // the polls queued before are taken in
        EXPECT_EQ(pService->Figures().m_nRoundsWritten, 2u);
    }
    EXPECT_EQ(statstest::Peek(Path(), "SELECT group_concat(end_reason) FROM rounds"), "4");
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA integrity_check"), "ok");
    // The second round took up the first again: one round, counted once.
    EXPECT_EQ(statstest::Peek(Path(), "SELECT count(*) FROM rounds"), "1");
}

TEST_F(StatsService, AFileItCannotUseIsSaidOnceAndNothingIsLost) {
    const struct {
        const char* m_pszName;
        const char* m_pszText;
        const char* m_pszSaid;
    } kRows[] = {
        {"NotSqlite", "irc_Nick=bot\n", "not an SQLite database"},
        {"ADirectory", nullptr, "cannot be opened"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        testsupport::CTempFolder folder;
        CRecorder rec;
        const std::string strPath = folder / "stats.db";
        if (row.m_pszText != nullptr)
            std::ofstream(strPath, std::ios::binary) << row.m_pszText;
        else
            std::filesystem::create_directory(strPath);
        CStatsService service(strPath, [&](const std::string& str) { rec.Log(str); });
        service.Start();
        ASSERT_TRUE(IsState(service, EStatsState::Off));
        CPollScript g;
        g.Add("Ann", 2, "a");
        for (int n = 0; n < 50; ++n) service.OnPoll(g.Poll());
        service.OnMonitoringStopped();
        EXPECT_TRUE(service.Answer(Request(bridge::EChannelRequest::Top), Plain(),
                                   [&](const std::string& str) { rec.Send(str); }));
        ASSERT_TRUE(WaitUntil([&] { return rec.Sent().size() == 1; }));
        EXPECT_EQ(rec.Sent()[0],
                  "\x03"
                  "07statistics are off");
        EXPECT_FALSE(service.PlayerStats("Ann"));
        service.Stop();
        ASSERT_EQ(rec.Logged().size(), 1u);
        EXPECT_NE(rec.Logged()[0].find(row.m_pszSaid), std::string::npos) << rec.Logged()[0];
        EXPECT_NE(rec.Logged()[0].find(strPath), std::string::npos);
        EXPECT_NE(service.Figures().m_strWhyOff, "");
        if (row.m_pszText != nullptr) {
            std::ifstream in(strPath, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), row.m_pszText);
        }
    }
}

TEST_F(StatsService, AFullDiskIsSaidOnceAndTheRoundsBeforeItStay) {
    COpenOptions options;
    options.m_nMaxPageCount = 40;
    auto pService = Make(options);
    CStatsService& service = *pService;
    service.Start();
    ASSERT_TRUE(IsState(service, EStatsState::On));
    CPollScript g("wake", "pre");
    for (int n = 0; n < 32; ++n) g.Add("P" + std::to_string(n), 1 + n % 2, "k" + std::to_string(n));
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    service.OnPoll(g.Poll());
    service.OnPoll(g.Poll());
    // New players each round fill the pages the file may have.
    for (int nRound = 0; nRound < 40 && service.Figures().m_eState == EStatsState::On; ++nRound) {
        for (int n = 0; n < 32; ++n) {
            const std::string strId = std::to_string(nRound) + "." + std::to_string(n);
            g.Remove((nRound == 0 ? "P" + std::to_string(n)
                                  : "R" + std::to_string(nRound - 1) + "." + std::to_string(n)));
            g.Add("R" + strId, 1 + n % 2, "k" + strId);
        }
        PlayRound(service, g, "map" + std::to_string(nRound), 1);
        const uint64_t nWant = static_cast<uint64_t>(nRound) + 1;
        WaitUntil([&] {
            const CStatsFigures f = service.Figures();
            return f.m_nRoundsWritten == nWant || f.m_eState != EStatsState::On;
        });
    }
    ASSERT_EQ(service.Figures().m_eState, EStatsState::ReadOnly);
    const uint64_t nWritten = service.Figures().m_nRoundsWritten;
    EXPECT_GT(nWritten, 0u);
    // More rounds: nothing more is written, nothing more is said.
    PlayRound(service, g, "wake", 1);
    PlayRound(service, g, "berlin", 1);
    // The answers go on from what is there.
    EXPECT_TRUE(service.Answer(Request(bridge::EChannelRequest::Stats, "Ann"), Plain(), Send()));
    ASSERT_TRUE(WaitUntil([&] { return m_rec.Sent().size() == 1; }));
    EXPECT_NE(m_rec.Sent()[0].find("kills \x03[\x03"
                                   "04" +
                                   std::to_string(nWritten) + "\x03]"),
              std::string::npos)
        << m_rec.Sent()[0];
    service.Stop();
    EXPECT_EQ(service.Figures().m_nRoundsWritten, nWritten);
    ASSERT_EQ(m_rec.Logged().size(), 1u);
    EXPECT_NE(m_rec.Logged()[0].find("disk is full"), std::string::npos) << m_rec.Logged()[0];
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(statstest::Peek(Path(), "SELECT count(*) FROM rounds"), std::to_string(nWritten));
}

// The monitor hands its poll over and goes on, even while the disk is
// held by someone else: the queue is bounded and drops the oldest polls.
TEST_F(StatsService, APollIsOnlyQueuedWhileTheFileIsBusy) {
    COpenOptions options;
    options.m_nBusyMs = 3000;
    auto pService = Make(options);
    CStatsService& service = *pService;
    service.Start();
    ASSERT_TRUE(IsState(service, EStatsState::On));
    sqlite3* pOther = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &pOther), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(pOther, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    CPollScript g("wake", "pre");
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    service.OnPoll(g.Poll());
    service.OnPoll(g.Poll());
    PlayRound(service, g, "wake", 1);
    // The thread took the round's end and waits for the file.
    ASSERT_TRUE(WaitUntil([&] { return service.Figures().m_nQueued == 0; }));
    for (size_t n = 0; n < 2 * kMaxQueuedPolls; ++n) service.OnPoll(g.Poll());
    EXPECT_GT(service.Figures().m_nPollsDropped, 0u);
    EXPECT_EQ(service.Figures().m_nRoundsWritten, 0u);
    // Requests are bounded too, and a question asked again while it waits
    // is answered once.
    for (size_t n = 0; n < 3 * kMaxQueuedRequests; ++n)
        service.Answer(Request(bridge::EChannelRequest::LastRound), Plain(), Send());
    for (size_t n = 0; n < 3 * kMaxQueuedRequests; ++n)
        service.Answer(Request(bridge::EChannelRequest::Seen, "p" + std::to_string(n)), Plain(),
                       Send());
    EXPECT_EQ(service.Figures().m_nRequestsDropped, 2 * kMaxQueuedRequests + 1);
    sqlite3_exec(pOther, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(pOther);
    EXPECT_TRUE(WaitUntil([&] { return service.Figures().m_nRoundsWritten == 1; }));
    EXPECT_EQ(service.Figures().m_eState, EStatsState::On);
    EXPECT_TRUE(WaitUntil([&] { return m_rec.Sent().size() == kMaxQueuedRequests; }));
    service.Stop();
    EXPECT_EQ(m_rec.Sent().size(), kMaxQueuedRequests);
    EXPECT_TRUE(m_rec.Logged().empty());
}

TEST_F(StatsService, NoFileMeansNoThreadNoAnswersAndNothingSaid) {
    CStatsService service("", [&](const std::string& str) { m_rec.Log(str); });
    service.Start();
    EXPECT_EQ(service.Figures().m_eState, EStatsState::Off);
    CPollScript g;
    service.OnPoll(g.Poll());
    service.OnMonitoringStopped();
    EXPECT_FALSE(service.Answer(Request(bridge::EChannelRequest::Stats, "x"), Plain(), Send()));
    EXPECT_FALSE(service.LastRound());
    service.Stop();
    EXPECT_TRUE(m_rec.Logged().empty());
    EXPECT_FALSE(std::filesystem::exists(Path()));
}

}  // namespace
