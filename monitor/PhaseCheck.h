#pragma once
// What a poll's map and game phase mean against the poll before: which
// lines are due and what happens to the end tick and the ticket reporter.
// Deciding is kept apart from acting so that every transition is one row
// of a table. All pure; monitor thread (any thread may call them).
#include <cstdint>
#include <string_view>

#include "monitor/ServerStatus.h"

namespace monitor {

// Phase texts as the server reports them; compared exactly.
inline constexpr char kPhasePre[] = "pre";
inline constexpr char kPhasePause[] = "pause";
inline constexpr char kPhaseEnd[] = "end";
inline constexpr char kPhaseOpenPlaying[] = "openplaying";
inline constexpr char kPhaseClosedPlaying[] = "closedplaying";

enum class EPhaseStep {
    None,      // first poll, same phase, or one playing phase to the other
    StartsIn,  // "pre": the start delay is announced
    Paused,    // "pause": game paused, the reporter held
    Ends,      // "end": end line, ranking, end score; no end tick
    Resumed,   // playing again after a pause: the reporter goes on
    Starts,    // playing from anything else: the start, with its end tick
};

struct CPhaseDecision {
    // The map differs from a known previous one: the map line is due and
    // the end tick starts over from the time limit.
    bool m_bMapChanged = false;
    EPhaseStep m_ePhase = EPhaseStep::None;
    // The game went from a pause straight to "end" or "pre": the pause is
    // over, so the paused flag is cleared and the reporter released, and
    // the next playing phase counts as a start.
    bool m_bPauseOver = false;

    bool operator==(const CPhaseDecision&) const = default;
};

// previous: the snapshot of the last fully processed poll (empty texts at
// the start of a run); current: this poll's; bGamePaused: the game was
// paused by an earlier step.
CPhaseDecision DecidePhaseAndMap(const CServerStatus& previous, const CServerStatus& current,
                                 bool bGamePaused);

// True for the two phases in which the game is being played.
bool IsPlayingPhase(std::string_view strPhase);

// The tick at which a game with this time limit ends when it starts at
// nNow: 0 (none) for "unlimited", otherwise nNow plus the limit's minutes
// (read like atoi, limited to what a 32-bit tick difference can hold) in
// milliseconds, wrapping like the tick count. A result of 0 would read as
// "no limit", so it becomes 1.
uint32_t EndTickFor(std::string_view strTimeLimit, uint32_t nNow);

// Milliseconds from nClock to nEndTick, read across a wrap of the tick
// count; 0 once nClock has reached or passed the end.
uint32_t MsLeft(uint32_t nEndTick, uint32_t nClock);

}  // namespace monitor
