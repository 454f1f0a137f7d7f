#pragma once
// A finished round as the statistics keep it: the round's facts and one row
// per player who took part. Plain values, copied freely.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stats {

// Stored as these numbers: never renumber.
enum class EEndReason : int32_t {
    Ended = 1,       // the game's end phase
    MapChanged = 2,  // a new map without an end phase
    Restarted = 3,   // the same map began again ("pre" after play)
    Stopped = 4,     // monitoring stopped while the round went on
};

// Team numbers as the game sends them: 2 is the Allied side, any other the Axis.
inline constexpr int32_t kWinnerNone = 0;  // a draw, or not known
inline constexpr int32_t kWinnerAxis = 1;
inline constexpr int32_t kWinnerAllies = 2;

// A round shorter than this, or with fewer players, is kept but not ranked.
inline constexpr int64_t kRankedMinSeconds = 120;
inline constexpr int32_t kRankedMinPlayers = 2;

// Longest name, keyhash and map text kept; longer ones are cut (a hostile
// server could otherwise make every row large).
inline constexpr size_t kMaxStoredText = 64;

struct CRoundName {
    std::string m_strName;
    int64_t m_nFirstSeen = 0;
    int64_t m_nLastSeen = 0;
    bool operator==(const CRoundName&) const = default;
};

struct CRoundPlayer {
    std::string m_strIdent;            // "k:" + keyhash, or "n:" + name for a player without one
    std::string m_strKeyHash;          // empty when known by name
    std::string m_strName;             // the name he used last in the round
    std::vector<CRoundName> m_vNames;  // every name he used in the round
    int32_t m_nTeam = 0;
    int64_t m_nKills = 0;
    int64_t m_nDeaths = 0;
    int64_t m_nTeamkills = 0;
    int64_t m_nSuicides = 0;
    int64_t m_nFlags = 0;
    int64_t m_nScore = 0;
    int64_t m_nSeconds = 0;  // present while the game was being played
    int64_t m_nFirstSeen = 0;
    int64_t m_nLastSeen = 0;
    // The server's totals for him as last seen: a round taken up again
    // after monitoring stopped goes on from them.
    int32_t m_nSessionFrags = 0;
    int32_t m_nSessionDeaths = 0;
    int32_t m_nSessionScore = 0;
    bool operator==(const CRoundPlayer&) const = default;
};

struct CRoundRecord {
    int64_t m_nId = 0;        // 0 until written; a round taken up again keeps its id
    std::string m_strServer;  // the server's host name
    int32_t m_nServerPort = 0;
    std::string m_strMap;
    std::string m_strMod;
    std::string m_strGameType;
    int64_t m_nStartTime = 0;  // wall-clock seconds
    int64_t m_nEndTime = 0;
    int64_t m_nSeconds = 0;  // time in the playing phases
    EEndReason m_eEnd = EEndReason::Ended;
    std::optional<int32_t> m_nTicketsAxis;  // as the server last reported them
    std::optional<int32_t> m_nTicketsAllies;
    int32_t m_nWinner = kWinnerNone;
    bool m_bJoinedLate = false;  // monitoring began while it was being played
    std::vector<CRoundPlayer> m_vPlayers;

    // Players with time in a playing phase.
    int32_t PlayerCount() const;
    // Long enough and with enough players to count in rankings.
    bool IsRanked() const;
    bool operator==(const CRoundRecord&) const = default;
};

}  // namespace stats
