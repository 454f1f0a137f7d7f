#pragma once
// One decoded poll as the monitor saw it, for observers of the game (the
// statistics): copied whole and handed on, so nothing in it is shared.
#include <cstdint>

#include "monitor/PlayerRecord.h"
#include "monitor/ServerStatus.h"

namespace monitor {

struct CPollReport {
    uint32_t m_nTick = 0;     // the monitor clock's tick count at the poll
    int64_t m_nUnixTime = 0;  // wall-clock seconds since 1970 at the poll
    CServerStatus m_status;   // the snapshot after this poll's reply
    PlayerTable m_players;    // the table as this poll's reply left it
};

}  // namespace monitor
