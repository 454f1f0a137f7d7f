#pragma once
// One player slot of the server's score table, as the last status reply left it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace monitor {

class CPlayerRecord {
public:
    std::string m_strName;  // "player_N"
    int32_t m_nScore = 0;   // "score_N"
    int32_t m_nFrags = 0;   // "frags_N"
    int32_t m_nDeaths = 0;  // "deaths_N"
    int32_t m_nPing = -1;   // "ping_N"; -1 marks a slot that holds no player
    int32_t m_nTeam = 0;    // "team_N"; 2 is the Allied side, anything else the Axis
    // "keyhash_N", sent by v1.61 servers: the player's identity, whatever his
    // name. Only the statistics read it; no change code or event depends on it.
    std::string m_strKeyHash;

    // Called on the older record with the newer record of the same slot.
    // Three characters: how the score moved ("1" by the frags' change, "2" +2
    // alone, "3" -2, else "0"), the first character of the frags' change in
    // decimal ("-" when they fell), and "1" when the deaths went up, else "0".
    // Pure; any thread.
    std::string ChangeCode(const CPlayerRecord& newer) const;

    bool operator==(const CPlayerRecord&) const = default;
};

inline constexpr size_t kPlayerSlots = 64;
// Player slots indexed by slot number.
using PlayerTable = std::array<CPlayerRecord, kPlayerSlots>;

}  // namespace monitor
