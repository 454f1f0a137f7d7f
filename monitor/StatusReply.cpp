#include "monitor/StatusReply.h"

#include <cstdint>

#include "platform/Text.h"
#include "query/InfoReply.h"
#include "query/ReplyReader.h"

namespace monitor {

namespace {

// A v1.61 server sends "time_limit" 0 for a game without a time limit.
bool IsZeroMinutes(std::string_view value) {
    if (value.empty()) return false;
    for (char c : value)
        if (c != '0') return false;
    return true;
}

// The slot number of a player key: decimal digits up to the end of the key,
// below the table's size; -1 for anything else ("team_", "team_x", "team_1a",
// "team_64", "team_ 1", "team_+1").
int ParseSlot(std::string_view digits) {
    if (digits.empty()) return -1;
    size_t nSlot = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        nSlot = nSlot * 10 + static_cast<size_t>(c - '0');
        if (nSlot >= kPlayerSlots) return -1;
    }
    return static_cast<int>(nSlot);
}

bool StoreServerValue(std::string_view key, std::string_view value, CServerStatus& status) {
    if (key == "hostname") {
        status.m_strHostname.assign(value);
    } else if (key == "hostport") {
        status.m_nHostPort = static_cast<uint16_t>(platform::ParseLeadingInt(value));
    } else if (key == "gameId") {
        status.m_strMod = query::ModFromGameId(value);
    } else if (key == "Version" || key == "version") {
        status.m_strServerVersion.assign(value);
    } else if (key == "maxplayers") {
        status.m_nMaxPlayers = query::Low16Signed(platform::ParseLeadingInt(value));
    } else if (key == "numplayers") {
        status.m_nNumPlayers = query::Low16Signed(platform::ParseLeadingInt(value));
    } else if (key == "gamemode") {
        status.m_strGameMode.assign(value);
    } else if (key == "mapname") {
        status.m_strMapName.assign(value);
    } else if (key == "Game Start Delay" || key == "game_start_delay") {
        status.m_strGameStartDelay.assign(value);
    } else if (key == "Time Limit") {
        status.m_strTimeLimit.assign(value);
    } else if (key == "time_limit") {
        status.m_strTimeLimit.assign(IsZeroMinutes(value) ? std::string_view("unlimited") : value);
    } else if (key == "Ticket Ratio" || key == "ticket_ratio") {
        status.m_strTicketRatio.assign(value);
    } else if (key == "gametype") {
        status.m_strGameType.assign(value);
    } else if (key == "tickets1") {
        status.m_strTickets1.assign(value);
    } else if (key == "tickets2") {
        status.m_strTickets2.assign(value);
    } else {
        return false;
    }
    return true;
}

enum class EPlayerField { Team, Ping, Score, Deaths, Frags, Name, KeyHash };

struct PlayerPrefix {
    std::string_view m_strPrefix;
    EPlayerField m_nField;
};

constexpr PlayerPrefix kPlayerPrefixes[] = {
    {"team_", EPlayerField::Team},
    {"ping_", EPlayerField::Ping},
    {"score_", EPlayerField::Score},
    {"deaths_", EPlayerField::Deaths},
    {"frags_", EPlayerField::Frags},
    {"player_", EPlayerField::Name},
    // The spellings of today's (v1.61) servers.
    {"kills_", EPlayerField::Frags},
    {"playername_", EPlayerField::Name},
    {"keyhash_", EPlayerField::KeyHash},
};

void StorePlayerValue(std::string_view key, std::string_view value, PlayerTable& players) {
    for (const PlayerPrefix& prefix : kPlayerPrefixes) {
        if (!key.starts_with(prefix.m_strPrefix)) continue;
        const int nSlot = ParseSlot(key.substr(prefix.m_strPrefix.size()));
        if (nSlot < 0) return;
        CPlayerRecord& player = players[static_cast<size_t>(nSlot)];
        switch (prefix.m_nField) {
            case EPlayerField::Team:
                player.m_nTeam = platform::ParseLeadingInt(value);
                break;
            case EPlayerField::Ping:
                player.m_nPing = platform::ParseLeadingInt(value);
                break;
            case EPlayerField::Score:
                player.m_nScore = platform::ParseLeadingInt(value);
                break;
            case EPlayerField::Deaths:
                player.m_nDeaths = platform::ParseLeadingInt(value);
                break;
            case EPlayerField::Frags:
                player.m_nFrags = platform::ParseLeadingInt(value);
                break;
            case EPlayerField::Name:
                player.m_strName.assign(value);
                break;
            case EPlayerField::KeyHash:
                player.m_strKeyHash.assign(value);
                break;
        }
        return;
    }
}

}  // namespace

void ParseStatusReply(std::string_view reply, CServerStatus& status, PlayerTable& players) {
    query::ForEachReplyPair(reply, [&](std::string_view key, std::string_view value) {
        if (!StoreServerValue(key, value, status)) StorePlayerValue(key, value, players);
    });
}

}  // namespace monitor
