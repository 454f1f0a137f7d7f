#pragma once
// The statistics as the bot's core owns them: fed every decoded poll and
// told when monitoring stops, it works out the rounds and writes them into
// one SQLite file on a thread of its own, so the monitor never waits on the
// disk; it answers the channel's statistics requests on that thread too,
// and serves the same results to the web page from a read connection of its
// own.
//
// A file it cannot use (not SQLite, another program's, newer than us,
// read-only, locked, full) is said once through the log callback, and the
// bot goes on without statistics; what was written stays.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/ChannelRequest.h"
#include "monitor/Announcements.h"
#include "monitor/PollReport.h"
#include "stats/SqlDatabase.h"
#include "stats/StatsResults.h"
#include "stats/StatsSchema.h"

namespace stats {

enum class EStatsState {
    Idle,      // not started, or stopped
    Opening,   // the thread opens the file
    On,        // rounds are written
    ReadOnly,  // a write failed: nothing more is written, answers still come
    Off,       // no file, or one that cannot be used: no statistics at all
};

struct CStatsFigures {
    EStatsState m_eState = EStatsState::Idle;
    std::string m_strWhyOff;        // why not On, for the operator; empty while On
    uint64_t m_nRoundsWritten = 0;  // by this service, rounds taken up again included
    uint64_t m_nPollsDropped = 0;   // the queue was full
    uint64_t m_nRequestsDropped = 0;
    uint64_t m_nAnswers = 0;
    uint64_t m_nQueued = 0;  // polls and requests waiting for the thread now
    bool operator==(const CStatsFigures&) const = default;
};

// Polls and requests waiting for the thread at most; beyond, the oldest
// poll (a lost poll only blurs who did what) or the new request is dropped.
inline constexpr size_t kMaxQueuedPolls = 256;
inline constexpr size_t kMaxQueuedRequests = 16;

// Wall-clock seconds since 1970.
int64_t SystemUnixTime();

class CStatsService {
public:
    using LogFn = std::function<void(const std::string&)>;
    using SendFn = std::function<void(const std::string&)>;
    using NowFn = std::function<int64_t()>;

    // strPath: the file (empty: statistics off); fnLog: the owner's log,
    // called on the service's thread; fnNow: the wall clock for "today" and
    // "week".
    CStatsService(std::string strPath, LogFn fnLog, NowFn fnNow = SystemUnixTime,
                  COpenOptions options = COpenOptions());
    ~CStatsService();  // Stop()
    CStatsService(const CStatsService&) = delete;
    CStatsService& operator=(const CStatsService&) = delete;

    // Starts the thread, which opens the file; returns at once. Once only.
    void Start();
    // Writes the round going on as left by monitoring, ends the thread and
    // closes the file. Polls already queued are taken in first; requests
    // still waiting are dropped. Bounded by the file's busy wait.
    // Idempotent; not on the service's thread.
    void Stop();

    // One decoded poll (the monitor thread): copied and queued, never
    // waiting on the disk.
    void OnPoll(const monitor::CPollReport& report);
    // Monitoring stopped (any thread): the round going on is written as left.
    void OnMonitoringStopped();

    // Queues a Stats, Top, LastRound or Seen request (any thread); the
    // answer, one line, goes to fnSend on the service's thread ("statistics
    // are off" when the file could not be used). A question like one still
    // waiting adds nothing. False for a request of
    // another kind, which is not ours to answer, and while no thread runs
    // (not started, stopped, or no file set).
    bool Answer(const bridge::CChannelRequest& request, const monitor::CAnnounceSettings& settings,
                SendFn fnSend);

    // ---- For the web page: any thread, each call waits for the one before
    // (one read connection); nothing while the statistics are off.
    std::optional<CPlayerStats> PlayerStats(const std::string& strName);
    std::vector<CTopEntry> Top(ETopKind eKind, ETopPeriod ePeriod);
    std::optional<CRoundSummary> LastRound();
    std::optional<CSeen> Seen(const std::string& strName);

    CStatsFigures Figures() const;  // any thread

private:
    struct CJob;

    void Run();
    // False when no thread takes jobs (not started, stopping, no file).
    bool Push(std::unique_ptr<CJob> pJob);
    // The web page's connection, under m_readMutex.
    bool OpenReadLocked();
    void SetState(EStatsState eState, const std::string& strWhy);

    const std::string m_strPath;
    const LogFn m_fnLog;
    const NowFn m_fnNow;
    const COpenOptions m_options;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::unique_ptr<CJob>> m_jobs;
    size_t m_nQueuedPolls = 0;
    size_t m_nQueuedRequests = 0;
    bool m_bStopping = false;
    bool m_bStarted = false;
    CStatsFigures m_figures;
    std::thread m_thread;

    // The web page's connection, opened on first use once the file is known good.
    std::atomic<bool> m_bReadable{false};
    std::mutex m_readMutex;
    CSqlDatabase m_readDb;
};

}  // namespace stats
