#pragma once
// The periodic ticket status line of a running game: both teams' tickets
// and, when the game has a time limit, the time left. One reporter runs per
// monitoring run on a thread of its own, started and ended by the monitor.
#include <cstdint>
#include <string>

#include "monitor/Announcements.h"
#include "monitor/MonitorHost.h"
#include "monitor/ServerStatus.h"
#include "platform/Clock.h"
#include "platform/Gate.h"

namespace monitor {

// The interval between two lines for the operator's setting in seconds:
// anything below one second counts as one second, and very long ones are
// cut to what a 32-bit millisecond sleep holds. Pure.
uint32_t TicketIntervalMs(int nSecs);

// "mm:ss" of the time from nClock to nEndTick, each part at least two
// digits; "00:00" once the clock has passed the end. Pure.
std::string TimeLeftText(uint32_t nEndTick, uint32_t nClock);

// The ticket status piece, followed by the time left when nEndTick is set
// (not 0) and differs from nClock. Pure.
std::string TicketLine(const CAnnounceSettings& s, const CServerStatus& status, uint32_t nEndTick,
                       uint32_t nClock);

class CTicketReporter {
public:
    // clock paces the reports; the time left is read on pGameClock, the
    // clock the monitor sets the game's end tick on (clock when nullptr), so
    // that both count the same time. gate holds the reporter while the game
    // is paused; stop ends it at once, also while held or asleep.
    CTicketReporter(IMonitorHost& host, platform::CClock& clock, platform::CThreadGate& gate,
                    platform::CStopSignal& stop, platform::CClock* pGameClock = nullptr);

    // One round: wait while held, sleep one interval, then post the line if
    // the game, the filter and the IRC side call for it. False when the
    // reporter ends (stopped, or monitoring has ended). Reporter thread.
    bool Step();
    // Rounds until Step says to end. Reporter thread.
    void Run();


private:
    IMonitorHost& m_host;
    platform::CClock& m_clock;
    platform::CThreadGate& m_gate;
    platform::CStopSignal& m_stop;
    platform::CClock& m_gameClock;
};

}  // namespace monitor
