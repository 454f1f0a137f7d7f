#pragma once
// The server-wide values of the last status reply. Copied whole; a field
// that a reply does not carry keeps its value from an earlier reply.
#include <cstdint>
#include <string>

namespace monitor {

class CServerStatus {
public:
    std::string m_strMod;             // "gameId"; "xpack1" in any case becomes "RtR"
    std::string m_strServerVersion;   // "Version", compared as text
    std::string m_strGameMode;        // "gamemode": pre, pause, end, openplaying, closedplaying...
    int16_t m_nMaxPlayers = 0;        // "maxplayers", low 16 bits
    int16_t m_nNumPlayers = 0;        // "numplayers", low 16 bits
    std::string m_strGameType;        // "gametype"
    std::string m_strMapName;         // "mapname"
    uint16_t m_nHostPort = 0;         // "hostport", low 16 bits, unsigned
    std::string m_strHostname;        // "hostname"
    std::string m_strTicketRatio;     // "Ticket Ratio"
    std::string m_strGameStartDelay;  // "Game Start Delay"
    std::string m_strTimeLimit;       // "Time Limit": "unlimited" or minutes
    std::string m_strTickets1;        // "tickets1", Axis
    std::string m_strTickets2;        // "tickets2", Allied

    bool operator==(const CServerStatus&) const = default;
};

}  // namespace monitor
