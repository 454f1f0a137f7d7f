#pragma once
// Rounds made up for the store's tests, and a look at the file from outside.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stats/RoundRecord.h"

namespace statstest {

struct CPart {
    std::string m_strName;
    std::string m_strKeyHash;
    int64_t m_nKills = 0, m_nDeaths = 0, m_nTeamkills = 0, m_nFlags = 0, m_nScore = 0;
    int32_t m_nTeam = 1;
};

inline stats::CRoundRecord MakeRound(const std::string& strMap, int64_t nEnd,
                                     const std::vector<CPart>& vParts, int64_t nSeconds = 600,
                                     stats::EEndReason eEnd = stats::EEndReason::Ended) {
    stats::CRoundRecord r;
    r.m_strServer = "Test Server";
    r.m_nServerPort = 14567;
    r.m_strMap = strMap;
    r.m_strMod = "bf1942";
    r.m_strGameType = "conquest";
    r.m_nStartTime = nEnd - nSeconds;
    r.m_nEndTime = nEnd;
    r.m_nSeconds = nSeconds;
    r.m_eEnd = eEnd;
    r.m_nTicketsAxis = 0;
    r.m_nTicketsAllies = 10;
    r.m_nWinner = stats::kWinnerAllies;
    for (const CPart& part : vParts) {
        stats::CRoundPlayer p;
        p.m_strIdent = part.m_strKeyHash.empty() ? "n:" + part.m_strName : "k:" + part.m_strKeyHash;
        p.m_strKeyHash = part.m_strKeyHash;
        p.m_strName = part.m_strName;
        p.m_vNames = {stats::CRoundName{part.m_strName, r.m_nStartTime, nEnd}};
        p.m_nTeam = part.m_nTeam;
        p.m_nKills = part.m_nKills;
        p.m_nDeaths = part.m_nDeaths;
        p.m_nTeamkills = part.m_nTeamkills;
        p.m_nFlags = part.m_nFlags;
        p.m_nScore = part.m_nScore;
        p.m_nSeconds = nSeconds;
        p.m_nFirstSeen = r.m_nStartTime;
        p.m_nLastSeen = nEnd;
        p.m_nSessionFrags = static_cast<int32_t>(part.m_nKills);
        p.m_nSessionDeaths = static_cast<int32_t>(part.m_nDeaths);
        p.m_nSessionScore = static_cast<int32_t>(part.m_nScore);
        r.m_vPlayers.push_back(p);
    }
    return r;
}

// One value of the file, read by a connection of the test's own ("" on error).
inline std::string Peek(const std::string& strPath, const std::string& strSql) {
    sqlite3* pDb = nullptr;
    std::string strOut;
    if (sqlite3_open_v2(strPath.c_str(), &pDb, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* pStmt = nullptr;
        if (sqlite3_prepare_v2(pDb, strSql.c_str(), -1, &pStmt, nullptr) == SQLITE_OK &&
            sqlite3_step(pStmt) == SQLITE_ROW) {
            const unsigned char* p = sqlite3_column_text(pStmt, 0);
            if (p != nullptr) strOut = reinterpret_cast<const char*>(p);
        }
        sqlite3_finalize(pStmt);
    }
    sqlite3_close_v2(pDb);
    return strOut;
}

}  // namespace statstest
