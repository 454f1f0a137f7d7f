#pragma once
// The statistics read from the file. A name is looked up as typed first,
// then without regard to case; several players behind one name give the one
// who used it last. Used on the thread that owns the connection.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/SqlDatabase.h"
#include "stats/StatsResults.h"

namespace stats {

class CStatsQueries {
public:
    explicit CStatsQueries(CSqlDatabase& db) : m_db(db) {}

    std::optional<CPlayerStats> PlayerStats(const std::string& strName);
    // At most kTopPlaces entries with a figure above 0, best first; nNow is
    // the wall-clock time the period ends at.
    std::vector<CTopEntry> Top(ETopKind eKind, ETopPeriod ePeriod, int64_t nNow);
    std::optional<CRoundSummary> LastRound();
    std::optional<CSeen> Seen(const std::string& strName);
    // Rounds in the file.
    int64_t RoundCount();

private:
    // The player with that name, or 0.
    int64_t FindPlayer(const std::string& strName, std::string* pStoredName,
                       int64_t* pNameLastSeen);

    CSqlDatabase& m_db;
};

}  // namespace stats
