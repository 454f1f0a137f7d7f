#pragma once
// What the game side and the IRC side both read: where the game stands as
// the game side runs it, when the running game's time ends, and the ticket
// line's interval. The core owns one and hands it to both sides at
// construction; it outlives every thread that reads it.
//
// Each value is written by one side and read by the other: single atomics,
// any thread, never waiting.
#include <atomic>
#include <cstdint>

namespace bridge {

// The game side's monitoring as the channel's requests and the ticket line
// see it.
enum class EGameState : int {
    Idle = 0,     // no monitoring
    Running = 1,  // monitoring, not paused by the operator
    Paused = 2,   // the operator's Pause holds the monitor
};

class CGameShared {
public:
    // Written by the core's game side.
    EGameState GameState() const { return m_eGameState.load(); }
    void SetGameState(EGameState eState) { m_eGameState = eState; }
    // Tick at which the running game's time ends, 0 when none; written by
    // the monitor, read by the ticket reporter.
    uint32_t GameEndTick() const { return m_nGameEndTick.load(); }
    void SetGameEndTick(uint32_t nTick) { m_nGameEndTick = nTick; }
    // The ticket line's interval in seconds as the operator typed it;
    // written from the settings, read by the ticket reporter.
    int32_t TicketSecs() const { return m_nTicketSecs.load(); }
    void SetTicketSecs(int32_t nSecs) { m_nTicketSecs = nSecs; }

private:
    std::atomic<EGameState> m_eGameState{EGameState::Idle};
    std::atomic<uint32_t> m_nGameEndTick{0};
    std::atomic<int32_t> m_nTicketSecs{0};
};

}  // namespace bridge
