#include "stats/StatsWorker.h"

#include <sqlite3.h>

#include "stats/NameFold.h"
#include "stats/StatsAnswers.h"

namespace stats {

CStatsWorker::CStatsWorker(std::string strPath, COpenOptions options)
    : m_strPath(std::move(strPath)), m_options(options), m_store(m_db), m_queries(m_db) {}

EOpenResult CStatsWorker::Open(std::string* pWhy) {
    return OpenForWriting(m_db, m_strPath, m_options, pWhy);
}

CWriteResult CStatsWorker::Write(std::vector<CRoundRecord>& vRounds) {
    CWriteResult result;
    if (vRounds.empty() || !m_bWriting) return result;
    const int nResult = m_store.Write(vRounds);
    if (nResult == SQLITE_OK) {
        result.m_nWritten = vRounds.size();
        return result;
    }
    m_bWriting = false;
    result.m_eFailure = ResultOfCode(nResult);
    if (result.m_eFailure == EOpenResult::Ok) result.m_eFailure = EOpenResult::Failed;
    result.m_strWhy = m_db.ErrorText();
    return result;
}

CWriteResult CStatsWorker::OnPoll(const monitor::CPollReport& report) {
    // Tracked even when nothing is written any more: "playing now" still holds.
    // A new run may take up the round that monitoring left, even one
    // written by an earlier process.
    if (m_tracker.WantsResumeCandidate()) m_tracker.SetResumeCandidate(m_store.LastStoppedRound());
    std::vector<CRoundRecord> vRounds = m_tracker.OnPoll(report);
    return Write(vRounds);
}

CWriteResult CStatsWorker::OnStopped() {
    std::vector<CRoundRecord> vRounds;
    if (auto round = m_tracker.OnStopped()) vRounds.push_back(std::move(*round));
    return Write(vRounds);
}

bool CStatsWorker::IsPlayingNow(const std::string& strName) const {
    const std::string strFolded = FoldName(strName);
    for (const std::string& strPresent : m_tracker.PresentNames())
        if (FoldName(strPresent) == strFolded) return true;
    return false;
}

std::string CStatsWorker::AnswerLine(const bridge::CChannelRequest& request,
                                     const monitor::CAnnounceSettings& s, int64_t nNow) {
    using bridge::EChannelRequest;
    if (request.m_eKind != EChannelRequest::Stats && request.m_eKind != EChannelRequest::Top &&
        request.m_eKind != EChannelRequest::LastRound && request.m_eKind != EChannelRequest::Seen)
        return std::string();
    if (!m_db.IsOpen()) return StatsOffLine(s);
    switch (request.m_eKind) {
        case EChannelRequest::Stats: {
            // Without a name: the one who asks.
            const std::string& strName =
                request.m_strArgs.empty() ? request.m_strNick : request.m_strArgs;
            return PlayerStatsLine(s, strName, m_queries.PlayerStats(strName));
        }
        case EChannelRequest::Top: {
            const std::optional<CTopRequest> top = ParseTopArgs(request.m_strArgs);
            if (!top) return UsageLine(s, "!top [kills|kd|flags|tk] [today|week|all]");
            return TopLine(s, *top, m_queries.Top(top->m_eKind, top->m_ePeriod, nNow));
        }
        case EChannelRequest::LastRound:
            return LastRoundLine(s, m_queries.LastRound());
        case EChannelRequest::Seen:
            if (request.m_strArgs.empty()) return UsageLine(s, "!seen NAME");
            return SeenLine(s, request.m_strArgs, m_queries.Seen(request.m_strArgs),
                            IsPlayingNow(request.m_strArgs));
        default:
            break;
    }
    return std::string();
}

}  // namespace stats
