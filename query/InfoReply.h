#pragma once
// Reads a server's answer to the info request into the six facts of the
// quick-info panel. Pure functions over the reply text; any thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace query {

// What the quick-info panel shows of one info reply. A key the reply does
// not carry leaves its fresh value (empty text, 0).
class CInfoReply {
public:
    std::string m_strHostname;  // "hostname"
    std::string m_strMod;       // "gameId"; "xpack1" in any case becomes "RtR"
    std::string m_strVersion;   // "version"
    std::string m_strMapName;   // "mapname"
    uint16_t m_nHostPort = 0;   // "hostport", low 16 bits, unsigned
    int16_t m_nNumPlayers = 0;  // "numplayers", low 16 bits, signed
    int16_t m_nMaxPlayers = 0;  // "maxplayers", low 16 bits, signed

    // The host port in decimal ("40000").
    std::string GamePortText() const;
    // Player count and maximum in decimal joined by "/" ("12/32", "0/0").
    std::string PlayersText() const;

    bool operator==(const CInfoReply&) const = default;
};

// Reads every pair of the reply (an empty value stays empty and shifts
// nothing) and keeps the last value of each of the seven keys, compared
// exactly and case-sensitively; other keys are ignored. Numbers are read
// like atoi and keep their low 16 bits. Cannot fail; reads only inside reply.
CInfoReply ParseInfoReply(std::string_view reply);

// The mod name shown for a "gameId" value: "RtR" for the expansion's id
// "xpack1" in any letter case, otherwise the value in its own case.
std::string ModFromGameId(std::string_view strGameId);

}  // namespace query
