#pragma once
// Works out what happened in the game between two polls from the players'
// running totals alone: kills paired with victims, teamkills, suicides,
// deaths no killer accounts for, flag captures. Deciding is kept apart from
// wording: the result is a list of events in the order they are announced,
// which the announcer turns into lines.
#include <cstddef>
#include <vector>

#include "monitor/PlayerRecord.h"
#include "monitor/ServerStatus.h"

namespace monitor {

enum class EGameEvent {
    BroadcastOpened,  // first poll of a run: a line for the game side's log only
    Suicide,          // m_player killed himself
    Flag,             // m_player took a flag
    Teamkill,         // m_player killed a teammate
    OpeningBanner,    // the run's opening banner is due now
    Kill,             // m_player (totals after this kill) killed m_victim
    Death,            // m_player died and no killer accounts for it
};

struct CGameEvent {
    EGameEvent m_eKind = EGameEvent::Death;
    CPlayerRecord m_player;
    CPlayerRecord m_victim;  // kills only

    bool operator==(const CGameEvent&) const = default;
};

// The operator's action filters, as copied when monitoring started.
struct CEventFilters {
    bool m_bShowKill = true;
    bool m_bShowTk = true;  // teamkills, suicides and deaths without a killer
    bool m_bShowFlag = true;
};

// What one monitoring run remembers between polls. A new run starts from a
// fresh value.
struct CInferenceRun {
    PlayerTable m_previous;        // the table as the last poll left it
    int m_nPolls = 0;              // successful polls, counted up to 2 (warm-up)
    bool m_bBannerPosted = false;  // the opening banner went to the channel
};

struct CPollEvents {
    std::vector<CGameEvent> m_events;  // in announcement order
    // The poll ends here (warm-up, or a player left): no map or phase check,
    // no copy of the snapshot, and the next request goes out at once.
    bool m_bStopHere = false;
};

// Most entries an event list holds; further entries are dropped.
inline constexpr size_t kMaxEventEntries = kPlayerSlots;

// Compares the current table with run.m_previous slot by slot, for the
// slots below current.m_nMaxPlayers (clamped to 0..64); slots at or beyond
// current.m_nNumPlayers are reset to the empty record in `players`. Updates
// run (previous table, poll counter, banner flag) and, when the player count
// fell, previous.m_nNumPlayers. The banner is called for only when bInChannel
// and bBroadcast hold and it was not yet posted; the filters suppress what
// they switch off. Touches nothing but its arguments; monitor thread.
CPollEvents InferEvents(CInferenceRun& run, const CServerStatus& current, PlayerTable& players,
                        CServerStatus& previous, const CEventFilters& filters, bool bInChannel,
                        bool bBroadcast);

}  // namespace monitor
