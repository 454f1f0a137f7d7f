#pragma once
// A live simulated match for the demo and for tests that want realistic
// traffic: two teams, kills, teamkills, suicides, deaths, flag captures,
// tickets counting down, a time limit, the phases pre -> openplaying ->
// (sometimes pause) -> end -> next map, and players joining and leaving.
// Every player has a keyhash of his own; one who left may come back with
// it, now and then under another name, as real players do.
// Fully determined by its seed: the same seed gives the same states.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/bf42sim/SimRandom.h"
#include "tools/bf42sim/SimState.h"

namespace bf42sim {

// What the match has done so far, for tests and the program's summary.
struct CLiveCounts {
    long long m_nSteps = 0;
    int m_nKills = 0;
    int m_nTeamkills = 0;
    int m_nSuicides = 0;
    int m_nDeaths = 0;  // deaths without a killer
    int m_nFlags = 0;
    int m_nJoins = 0;
    int m_nLeaves = 0;
    int m_nPauses = 0;
    int m_nRounds = 0;   // rounds started, the first included
    int m_nReturns = 0;  // joins of a player who had left (counted in m_nJoins too)
    int m_nRenames = 0;  // returns under another name
};

// Not thread-safe: one owner (the responder, under its lock).
class CLiveMatch {
public:
    // nPlayers is clamped to 1..64; the match starts full, in "pre".
    CLiveMatch(uint64_t nSeed, int nPlayers);

    // Advances the match by one simulated second.
    void Step();

    const CSimState& State() const { return m_state; }
    const CLiveCounts& Counts() const { return m_counts; }
    long long Steps() const { return m_counts.m_nSteps; }

private:
    void StartRound();
    void PlayStep();
    void JoinAndLeave();
    void Publish();
    // A random player not yet in an event this step whose team equals
    // (bSameTeam) or differs from nTeam; nTeam 0 takes anyone. -1 if none.
    int PickPlayer(int nTeam, bool bSameTeam, int nExclude);
    void LoseTicket(int nTeam);
    CSimPlayer NewPlayer();
    // One of the first nEligible players who left, or else a new one.
    CSimPlayer JoiningPlayer(size_t nEligible);
    int BalancedTeam();
    std::string NextName();

    CSimRandom m_random;
    int m_nTarget;
    CSimState m_state;
    CLiveCounts m_counts;
    std::string m_strPhase;
    int m_nPhaseLeft = 0;  // steps left in pre, pause or end
    int m_nMap = -1;
    int m_nTickets[3] = {};
    int m_nRoundLeft = 0;  // seconds left; below 0 for no time limit
    bool m_bPausedThisRound = false;
    int m_nNextName = 0;
    std::vector<bool> m_vTouched;     // players already in an event this step
    std::vector<CSimPlayer> m_vGone;  // who left, at most kMaxPlayers, oldest first
};

}  // namespace bf42sim
