#pragma once
// What the statistics answer, as plain values: the channel's answers are
// worded from them, and the web page shows them as they are. Names are
// Windows-1252 bytes as the server sent them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stats {

// One player over every round he took part in (ranked or not).
struct CPlayerStats {
    std::string m_strName;  // the name he used last
    int64_t m_nKills = 0;
    int64_t m_nDeaths = 0;
    int64_t m_nTeamkills = 0;
    int64_t m_nSuicides = 0;
    int64_t m_nFlags = 0;
    int64_t m_nScore = 0;
    int64_t m_nRounds = 0;
    int64_t m_nSeconds = 0;  // time played
    int64_t m_nFirstSeen = 0;
    int64_t m_nLastSeen = 0;
    std::vector<std::string> m_vOtherNames;  // newest first, at most kMaxOtherNames
    bool operator==(const CPlayerStats&) const = default;
};
inline constexpr size_t kMaxOtherNames = 8;

enum class ETopKind { Kills, KillsPerDeath, Flags, Teamkills };
enum class ETopPeriod { Today, Week, All };  // the last 24 hours, the last 7 days, ever

// Places in a top list; only ranked rounds count.
inline constexpr size_t kTopPlaces = 5;
// Kills a player needs in the period to be placed by kills per death.
inline constexpr int64_t kMinKillsForRatio = 10;

struct CTopEntry {
    std::string m_strName;
    int64_t m_nValue = 0;  // the figure ranked by; kills per death times 100
    int64_t m_nKills = 0;
    int64_t m_nDeaths = 0;
    bool operator==(const CTopEntry&) const = default;
};

struct CRoundPlace {
    std::string m_strName;  // as used in that round
    int32_t m_nTeam = 0;
    int64_t m_nScore = 0;
    int64_t m_nKills = 0;
    int64_t m_nDeaths = 0;
    bool operator==(const CRoundPlace&) const = default;
};

// The last round the game ended (not one that monitoring left).
struct CRoundSummary {
    int64_t m_nId = 0;
    std::string m_strServer;
    std::string m_strMap;
    int64_t m_nStartTime = 0;
    int64_t m_nEndTime = 0;
    int64_t m_nSeconds = 0;
    int32_t m_nEndReason = 0;  // EEndReason's number
    int32_t m_nWinner = 0;     // kWinnerNone, kWinnerAxis, kWinnerAllies
    std::optional<int32_t> m_nTicketsAxis;
    std::optional<int32_t> m_nTicketsAllies;
    int32_t m_nPlayers = 0;
    bool m_bRanked = false;
    std::vector<CRoundPlace> m_vTop;  // by score, then kills, then fewer deaths; at most 3
    bool operator==(const CRoundSummary&) const = default;
};

// When a name was last seen, and who uses it now.
struct CSeen {
    std::string m_strName;     // as stored, in its own case
    int64_t m_nLastSeen = 0;   // under this name
    std::string m_strNowName;  // the name its player used last
    int64_t m_nPlayerLastSeen = 0;
    bool operator==(const CSeen&) const = default;
};

}  // namespace stats
