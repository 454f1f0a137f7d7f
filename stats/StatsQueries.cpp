#include "stats/StatsQueries.h"

#include <sqlite3.h>

#include "stats/NameFold.h"
#include "stats/RoundRecord.h"
#include "stats/SqlStatement.h"

namespace stats {
namespace {

constexpr int64_t kDaySeconds = 24 * 60 * 60;

// The ranked figure of a row of totals (kills, deaths, flags, teamkills);
// kills per death in hundredths, rounded, a death-free player by his kills.
const char* ValueOf(ETopKind eKind) {
    switch (eKind) {
        case ETopKind::Kills:
            return "t.kills";
        case ETopKind::KillsPerDeath:
            return "(t.kills*100+max(t.deaths,1)/2)/max(t.deaths,1)";
        case ETopKind::Flags:
            return "t.flags";
        case ETopKind::Teamkills:
            return "t.teamkills";
    }
    return "t.kills";
}

}  // namespace

int64_t CStatsQueries::FindPlayer(const std::string& strName, std::string* pStoredName,
                                  int64_t* pNameLastSeen) {
    // As typed first: two players may differ only in case.
    static const char* const kLookups[] = {
        "SELECT player_id, name, last_seen FROM player_names WHERE name=?1"
        " ORDER BY last_seen DESC LIMIT 1",
        "SELECT player_id, name, last_seen FROM player_names WHERE fold=?1"
        " ORDER BY last_seen DESC LIMIT 1",
    };
    for (int n = 0; n < 2; ++n) {
        CSqlStatement find(m_db, kLookups[n]);
        find.BindBytes(1, n == 0 ? strName : FoldName(strName));
        if (find.Step() != SQLITE_ROW) continue;
        if (pStoredName != nullptr) *pStoredName = find.Bytes(1);
        if (pNameLastSeen != nullptr) *pNameLastSeen = find.Int(2);
        return find.Int(0);
    }
    return 0;
}

std::optional<CPlayerStats> CStatsQueries::PlayerStats(const std::string& strName) {
    const int64_t nId = FindPlayer(strName, nullptr, nullptr);
    if (nId == 0) return std::nullopt;
    CSqlStatement totals(m_db,
                         "SELECT p.name, p.first_seen, p.last_seen, coalesce(sum(rp.kills),0),"
                         " coalesce(sum(rp.deaths),0), coalesce(sum(rp.teamkills),0),"
                         " coalesce(sum(rp.suicides),0), coalesce(sum(rp.flags),0),"
                         " coalesce(sum(rp.score),0), count(rp.round_id),"
                         " coalesce(sum(rp.seconds),0) FROM players p LEFT JOIN round_players rp"
                         " ON rp.player_id=p.id WHERE p.id=?1 GROUP BY p.id");
    totals.Bind(1, nId);
    if (totals.Step() != SQLITE_ROW) return std::nullopt;
    CPlayerStats out;
    out.m_strName = totals.Bytes(0);
    out.m_nFirstSeen = totals.Int(1);
    out.m_nLastSeen = totals.Int(2);
    out.m_nKills = totals.Int(3);
    out.m_nDeaths = totals.Int(4);
    out.m_nTeamkills = totals.Int(5);
    out.m_nSuicides = totals.Int(6);
    out.m_nFlags = totals.Int(7);
    out.m_nScore = totals.Int(8);
    out.m_nRounds = totals.Int(9);
    out.m_nSeconds = totals.Int(10);

    CSqlStatement names(m_db,
                        "SELECT name FROM player_names WHERE player_id=?1 AND name<>?2"
                        " ORDER BY last_seen DESC, name LIMIT ?3");
    names.Bind(1, nId).BindBytes(2, out.m_strName).Bind(3, static_cast<int64_t>(kMaxOtherNames));
    while (names.Step() == SQLITE_ROW) out.m_vOtherNames.push_back(names.Bytes(0));
    return out;
}

std::vector<CTopEntry> CStatsQueries::Top(ETopKind eKind, ETopPeriod ePeriod, int64_t nNow) {
    // Totals per player: kept in the players table for all time, summed
    // over the period's ranked rounds otherwise.
    const std::string strTotals =
        ePeriod == ETopPeriod::All
            ? "SELECT id AS pid, kills, deaths, flags, teamkills FROM players WHERE rounds>0"
            : "SELECT rp.player_id AS pid, sum(rp.kills) AS kills, sum(rp.deaths) AS deaths,"
              " sum(rp.flags) AS flags, sum(rp.teamkills) AS teamkills FROM rounds r"
              " JOIN round_players rp ON rp.round_id=r.id WHERE r.ranked=1 AND r.end_time>=?1"
              " GROUP BY rp.player_id";
    // The places are found first, and only their five names looked up.
    const std::string strValue = ValueOf(eKind);
    std::string strSql = "SELECT p.name, t.v, t.kills, t.deaths FROM (SELECT t.pid AS pid, " +
                         strValue + " AS v, t.kills AS kills, t.deaths AS deaths FROM (" +
                         strTotals + ") AS t WHERE " + strValue + ">0";
    if (eKind == ETopKind::KillsPerDeath) strSql += " AND t.kills>=?2";
    strSql +=
        " ORDER BY 2 DESC, t.kills DESC, t.pid LIMIT ?3) AS t JOIN players p ON p.id=t.pid"
        " ORDER BY t.v DESC, t.kills DESC, t.pid";
    CSqlStatement top(m_db, strSql.c_str());
    const int64_t nSince = nNow - (ePeriod == ETopPeriod::Today ? kDaySeconds : 7 * kDaySeconds);
    if (ePeriod != ETopPeriod::All) top.Bind(1, nSince);
    if (eKind == ETopKind::KillsPerDeath) top.Bind(2, kMinKillsForRatio);
    top.Bind(3, static_cast<int64_t>(kTopPlaces));
    std::vector<CTopEntry> entries;
    while (top.Step() == SQLITE_ROW)
        entries.push_back(CTopEntry{top.Bytes(0), top.Int(1), top.Int(2), top.Int(3)});
    return entries;
}

std::optional<CRoundSummary> CStatsQueries::LastRound() {
    CSqlStatement last(m_db,
                       "SELECT id, server, map, start_time, end_time, seconds, end_reason, winner,"
                       " tickets_axis, tickets_allies, players, ranked FROM rounds"
                       " WHERE end_reason<>?1 ORDER BY end_time DESC, id DESC LIMIT 1");
    last.Bind(1, static_cast<int64_t>(EEndReason::Stopped));
    if (last.Step() != SQLITE_ROW) return std::nullopt;
    CRoundSummary out;
    out.m_nId = last.Int(0);
    out.m_strServer = last.Bytes(1);
    out.m_strMap = last.Bytes(2);
    out.m_nStartTime = last.Int(3);
    out.m_nEndTime = last.Int(4);
    out.m_nSeconds = last.Int(5);
    out.m_nEndReason = static_cast<int32_t>(last.Int(6));
    out.m_nWinner = static_cast<int32_t>(last.Int(7));
    if (!last.IsNull(8)) out.m_nTicketsAxis = static_cast<int32_t>(last.Int(8));
    if (!last.IsNull(9)) out.m_nTicketsAllies = static_cast<int32_t>(last.Int(9));
    out.m_nPlayers = static_cast<int32_t>(last.Int(10));
    out.m_bRanked = last.Int(11) != 0;

    // The game's own order: score, then kills, then fewer deaths.
    CSqlStatement places(m_db,
                         "SELECT name, team, score, kills, deaths FROM round_players"
                         " WHERE round_id=?1 ORDER BY score DESC, kills DESC, deaths ASC,"
                         " first_seen LIMIT 3");
    places.Bind(1, out.m_nId);
    while (places.Step() == SQLITE_ROW) {
        out.m_vTop.push_back(CRoundPlace{places.Bytes(0), static_cast<int32_t>(places.Int(1)),
                                         places.Int(2), places.Int(3), places.Int(4)});
    }
    return out;
}

std::optional<CSeen> CStatsQueries::Seen(const std::string& strName) {
    CSeen out;
    const int64_t nId = FindPlayer(strName, &out.m_strName, &out.m_nLastSeen);
    if (nId == 0) return std::nullopt;
    CSqlStatement player(m_db, "SELECT name, last_seen FROM players WHERE id=?1");
    player.Bind(1, nId);
    if (player.Step() != SQLITE_ROW) return std::nullopt;
    out.m_strNowName = player.Bytes(0);
    out.m_nPlayerLastSeen = player.Int(1);
    return out;
}

int64_t CStatsQueries::RoundCount() {
    int64_t nCount = 0;
    return m_db.QueryInt("SELECT count(*) FROM rounds", &nCount) == SQLITE_OK ? nCount : 0;
}

}  // namespace stats
