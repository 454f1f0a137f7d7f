#pragma once
// What one decoded poll told: the snapshot and the player table as that
// poll left them, when it came. The game side hands it to those who keep
// or show the match (the statistics, the web page) once the poll's lines
// have been announced. Pure; any thread.
#include <cstdint>

#include "monitor/PlayerRecord.h"
#include "monitor/ServerStatus.h"

namespace monitor {

struct CPollReport {
    uint32_t m_nTick = 0;      // the monitor clock's tick at the poll
    int64_t m_nUnixTime = 0;   // the wall clock at the poll, seconds since 1970 (UTC)
    CServerStatus m_status;    // this poll's snapshot
    PlayerTable m_players;     // the slots as this poll decoded them (empty past numplayers)
};

}  // namespace monitor
