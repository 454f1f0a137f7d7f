#include "stats/RoundStore.h"

#include <sqlite3.h>

#include <vector>

#include "stats/NameFold.h"
#include "stats/SqlStatement.h"

namespace stats {

struct CRoundStore::CStatements {
    explicit CStatements(CSqlDatabase& db)
        : m_wasRanked(db, "SELECT ranked FROM rounds WHERE id=?1"),
          m_unrank(
              db,
              "UPDATE players SET kills=players.kills-rp.kills, deaths=players.deaths-rp.deaths,"
              " teamkills=players.teamkills-rp.teamkills,"
              " suicides=players.suicides-rp.suicides, flags=players.flags-rp.flags,"
              " score=players.score-rp.score, rounds=players.rounds-1"
              " FROM round_players AS rp WHERE rp.round_id=?1 AND rp.player_id=players.id"),
          m_forget(db, "DELETE FROM round_players WHERE round_id=?1"),
          m_round(db,
                  "INSERT OR REPLACE INTO rounds(id, server, server_port, map, mod, game_type,"
                  " start_time, end_time, seconds, end_reason, tickets_axis, tickets_allies,"
                  " winner, players, ranked, joined_late)"
                  " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)"),
          m_player(db,
                   "INSERT INTO players(ident, keyhash, name, first_seen, last_seen)"
                   " VALUES(?1,?2,?3,?4,?5) ON CONFLICT(ident) DO UPDATE SET"
                   " name=CASE WHEN excluded.last_seen>=players.last_seen"
                   " THEN excluded.name ELSE players.name END,"
                   " first_seen=min(players.first_seen, excluded.first_seen),"
                   " last_seen=max(players.last_seen, excluded.last_seen)"
                   " RETURNING id"),
          m_name(db,
                 "INSERT INTO player_names(player_id, name, fold, first_seen, last_seen)"
                 " VALUES(?1,?2,?3,?4,?5) ON CONFLICT(player_id, name) DO UPDATE SET"
                 " first_seen=min(first_seen, excluded.first_seen),"
                 " last_seen=max(last_seen, excluded.last_seen)"),
          m_part(db,
                 "INSERT INTO round_players(round_id, player_id, name, team, kills, deaths,"
                 " teamkills, suicides, flags, score, seconds, first_seen, last_seen,"
                 " session_frags, session_deaths, session_score)"
                 " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)"),
          m_rank(db,
                 "UPDATE players SET kills=kills+?2, deaths=deaths+?3, teamkills=teamkills+?4,"
                 " suicides=suicides+?5, flags=flags+?6, score=score+?7, rounds=rounds+1"
                 " WHERE id=?1") {}

    int Result() const {
        for (const CSqlStatement* p :
             {&m_wasRanked, &m_unrank, &m_forget, &m_round, &m_player, &m_name, &m_part, &m_rank})
            if (p->Result() != SQLITE_OK) return p->Result();
        return SQLITE_OK;
    }

    CSqlStatement m_wasRanked, m_unrank, m_forget, m_round, m_player, m_name, m_part, m_rank;
};

namespace {

// Runs a statement that returns no rows and makes it ready for the next.
int Run(CSqlStatement& statement) {
    const int nResult = statement.Step();
    statement.Reset();
    return nResult == SQLITE_DONE ? SQLITE_OK : nResult;
}

}  // namespace

int CRoundStore::Write(std::span<CRoundRecord> rounds) {
    std::vector<int64_t> vIds;
    for (const CRoundRecord& round : rounds) vIds.push_back(round.m_nId);
    auto restoreIds = [&] {
        for (size_t n = 0; n < rounds.size(); ++n) rounds[n].m_nId = vIds[n];
    };
    CSqlTransaction transaction(m_db);
    if (transaction.BeginResult() != SQLITE_OK) return transaction.BeginResult();
    CStatements s(m_db);
    int nResult = s.Result();
    for (size_t n = 0; n < rounds.size() && nResult == SQLITE_OK; ++n)
        nResult = WriteOne(s, rounds[n]);
    if (nResult == SQLITE_OK) nResult = transaction.Commit();
    if (nResult != SQLITE_OK) restoreIds();
    return nResult;
}

int CRoundStore::WriteOne(CStatements& s, CRoundRecord& r) {
    int nResult = SQLITE_OK;
    if (r.m_nId != 0) {
        // The earlier version of a round taken up again: its ranked totals
        // come off the players before its rows go.
        s.m_wasRanked.Bind(1, r.m_nId);
        const bool bWasRanked = s.m_wasRanked.Step() == SQLITE_ROW && s.m_wasRanked.Int(0) != 0;
        s.m_wasRanked.Reset();
        if (bWasRanked) nResult = Run(s.m_unrank.Bind(1, r.m_nId));
        if (nResult == SQLITE_OK) nResult = Run(s.m_forget.Bind(1, r.m_nId));
        if (nResult != SQLITE_OK) return nResult;
    }
    const bool bRanked = r.IsRanked();
    if (r.m_nId != 0)
        s.m_round.Bind(1, r.m_nId);
    else
        s.m_round.BindNull(1);
    s.m_round.BindBytes(2, r.m_strServer).Bind(3, r.m_nServerPort).BindBytes(4, r.m_strMap);
    s.m_round.BindBytes(5, r.m_strMod).BindBytes(6, r.m_strGameType);
    s.m_round.Bind(7, r.m_nStartTime).Bind(8, r.m_nEndTime).Bind(9, r.m_nSeconds);
    s.m_round.Bind(10, static_cast<int64_t>(r.m_eEnd));
    if (r.m_nTicketsAxis)
        s.m_round.Bind(11, *r.m_nTicketsAxis);
    else
        s.m_round.BindNull(11);
    if (r.m_nTicketsAllies)
        s.m_round.Bind(12, *r.m_nTicketsAllies);
    else
        s.m_round.BindNull(12);
    s.m_round.Bind(13, r.m_nWinner).Bind(14, r.PlayerCount()).Bind(15, bRanked ? 1 : 0);
    s.m_round.Bind(16, r.m_bJoinedLate ? 1 : 0);
    nResult = Run(s.m_round);
    if (nResult != SQLITE_OK) return nResult;
    r.m_nId = sqlite3_last_insert_rowid(m_db.Handle());

    for (const CRoundPlayer& p : r.m_vPlayers) {
        s.m_player.BindBytes(1, p.m_strIdent);
        if (p.m_strKeyHash.empty())
            s.m_player.BindNull(2);
        else
            s.m_player.BindBytes(2, p.m_strKeyHash);
        s.m_player.BindBytes(3, p.m_strName).Bind(4, p.m_nFirstSeen).Bind(5, p.m_nLastSeen);
        nResult = s.m_player.Step();
        const int64_t nPlayerId = s.m_player.Int(0);
        s.m_player.Reset();
        if (nResult != SQLITE_ROW) return nResult;

        std::vector<CRoundName> vNames = p.m_vNames;
        if (vNames.empty())
            vNames.push_back(CRoundName{p.m_strName, p.m_nFirstSeen, p.m_nLastSeen});
        for (const CRoundName& name : vNames) {
            s.m_name.Bind(1, nPlayerId).BindBytes(2, name.m_strName);
            s.m_name.BindBytes(3, FoldName(name.m_strName));
            s.m_name.Bind(4, name.m_nFirstSeen).Bind(5, name.m_nLastSeen);
            nResult = Run(s.m_name);
            if (nResult != SQLITE_OK) return nResult;
        }

        s.m_part.Bind(1, r.m_nId).Bind(2, nPlayerId).BindBytes(3, p.m_strName).Bind(4, p.m_nTeam);
        s.m_part.Bind(5, p.m_nKills).Bind(6, p.m_nDeaths).Bind(7, p.m_nTeamkills);
        s.m_part.Bind(8, p.m_nSuicides).Bind(9, p.m_nFlags).Bind(10, p.m_nScore);
        s.m_part.Bind(11, p.m_nSeconds).Bind(12, p.m_nFirstSeen).Bind(13, p.m_nLastSeen);
        s.m_part.Bind(14, p.m_nSessionFrags).Bind(15, p.m_nSessionDeaths);
        s.m_part.Bind(16, p.m_nSessionScore);
        nResult = Run(s.m_part);
        if (nResult != SQLITE_OK) return nResult;

        if (bRanked) {
            s.m_rank.Bind(1, nPlayerId).Bind(2, p.m_nKills).Bind(3, p.m_nDeaths);
            s.m_rank.Bind(4, p.m_nTeamkills).Bind(5, p.m_nSuicides).Bind(6, p.m_nFlags);
            s.m_rank.Bind(7, p.m_nScore);
            nResult = Run(s.m_rank);
            if (nResult != SQLITE_OK) return nResult;
        }
    }
    return SQLITE_OK;
}

std::optional<CRoundRecord> CRoundStore::LastStoppedRound() {
    CSqlStatement last(m_db,
                       "SELECT id, server, server_port, map, mod, game_type, start_time, end_time,"
                       " seconds, end_reason, tickets_axis, tickets_allies, winner, joined_late"
                       " FROM rounds ORDER BY end_time DESC, id DESC LIMIT 1");
    if (last.Step() != SQLITE_ROW) return std::nullopt;
    if (last.Int(9) != static_cast<int64_t>(EEndReason::Stopped)) return std::nullopt;
    CRoundRecord r;
    r.m_nId = last.Int(0);
    r.m_strServer = last.Bytes(1);
    r.m_nServerPort = static_cast<int32_t>(last.Int(2));
    r.m_strMap = last.Bytes(3);
    r.m_strMod = last.Bytes(4);
    r.m_strGameType = last.Bytes(5);
    r.m_nStartTime = last.Int(6);
    r.m_nEndTime = last.Int(7);
    r.m_nSeconds = last.Int(8);
    r.m_eEnd = EEndReason::Stopped;
    if (!last.IsNull(10)) r.m_nTicketsAxis = static_cast<int32_t>(last.Int(10));
    if (!last.IsNull(11)) r.m_nTicketsAllies = static_cast<int32_t>(last.Int(11));
    r.m_nWinner = static_cast<int32_t>(last.Int(12));
    r.m_bJoinedLate = last.Int(13) != 0;

    CSqlStatement parts(m_db,
                        "SELECT p.ident, p.keyhash, rp.name, rp.team, rp.kills, rp.deaths,"
                        " rp.teamkills, rp.suicides, rp.flags, rp.score, rp.seconds,"
                        " rp.first_seen, rp.last_seen, rp.session_frags, rp.session_deaths,"
                        " rp.session_score FROM round_players rp JOIN players p"
                        " ON p.id=rp.player_id WHERE rp.round_id=?1 ORDER BY rp.first_seen");
    parts.Bind(1, r.m_nId);
    int nResult = SQLITE_OK;
    while ((nResult = parts.Step()) == SQLITE_ROW) {
        CRoundPlayer p;
        p.m_strIdent = parts.Bytes(0);
        p.m_strKeyHash = parts.Bytes(1);
        p.m_strName = parts.Bytes(2);
        p.m_nTeam = static_cast<int32_t>(parts.Int(3));
        p.m_nKills = parts.Int(4);
        p.m_nDeaths = parts.Int(5);
        p.m_nTeamkills = parts.Int(6);
        p.m_nSuicides = parts.Int(7);
        p.m_nFlags = parts.Int(8);
        p.m_nScore = parts.Int(9);
        p.m_nSeconds = parts.Int(10);
        p.m_nFirstSeen = parts.Int(11);
        p.m_nLastSeen = parts.Int(12);
        p.m_nSessionFrags = static_cast<int32_t>(parts.Int(13));
        p.m_nSessionDeaths = static_cast<int32_t>(parts.Int(14));
        p.m_nSessionScore = static_cast<int32_t>(parts.Int(15));
        p.m_vNames.push_back(CRoundName{p.m_strName, p.m_nFirstSeen, p.m_nLastSeen});
        r.m_vPlayers.push_back(std::move(p));
    }
    if (nResult != SQLITE_DONE) return std::nullopt;
    return r;
}

}  // namespace stats
