#pragma once
// What the statistics thread does with each job: it owns the write
// connection, the round tracker and the queries behind the channel's
// answers. Used on that thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "bridge/ChannelRequest.h"
#include "monitor/Announcements.h"
#include "monitor/PollReport.h"
#include "stats/RoundStore.h"
#include "stats/RoundTracker.h"
#include "stats/SqlDatabase.h"
#include "stats/StatsQueries.h"
#include "stats/StatsSchema.h"

namespace stats {

struct CWriteResult {
    uint64_t m_nWritten = 0;                   // rounds written
    EOpenResult m_eFailure = EOpenResult::Ok;  // a write that failed: what it means
    std::string m_strWhy;                      // SQLite's words for it
};

class CStatsWorker {
public:
    CStatsWorker(std::string strPath, COpenOptions options);

    // Opens the file for writing; on anything but Ok nothing else touches it.
    EOpenResult Open(std::string* pWhy);
    bool IsOpen() const { return m_db.IsOpen(); }
    // Writes stop after the first failed write; the answers go on.
    bool IsWriting() const { return m_bWriting; }

    // Tracks the poll and writes the rounds it finished.
    CWriteResult OnPoll(const monitor::CPollReport& report);
    // Writes the round going on as left by monitoring.
    CWriteResult OnStopped();

    // The answer to a Stats, Top, LastRound or Seen request; nNow is the
    // wall-clock time for "today" and "week". Empty for a request that gets
    // no answer (another kind).
    std::string AnswerLine(const bridge::CChannelRequest& request,
                           const monitor::CAnnounceSettings& settings, int64_t nNow);

private:
    CWriteResult Write(std::vector<CRoundRecord>& vRounds);
    bool IsPlayingNow(const std::string& strName) const;

    std::string m_strPath;
    COpenOptions m_options;
    CSqlDatabase m_db;
    CRoundTracker m_tracker;
    CRoundStore m_store;
    CStatsQueries m_queries;
    bool m_bWriting = true;
};

}  // namespace stats
