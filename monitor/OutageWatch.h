#pragma once
// Whether the game server is away: polls it left unanswered in a row while
// relaying is on, counted across runs. An outage is said once when it has
// lasted nDownAfter polls, and once when the server answers again; never
// more than one of each per outage. Pure; one owner (the monitor thread).
#include <cstdint>

namespace monitor {

// The polls in a row without an answer after which an outage is said, when
// the settings name none.
inline constexpr int32_t kDefaultDownAfter = 10;

class COutageWatch {
public:
    enum class EChange {
        None,
        Down,  // the server has just been away long enough: say so
        Back,  // it answered after an outage that was said: say so
    };

    // A poll went unanswered. Counted only while broadcasting (nobody else
    // hears the line); nDownAfter 0 or less: never an outage.
    EChange OnUnanswered(int32_t nDownAfter, bool bBroadcasting);
    // A poll was answered: the count starts over.
    EChange OnAnswered();
    bool IsDown() const { return m_bDown; }

private:
    int32_t m_nInARow = 0;
    bool m_bDown = false;
};

}  // namespace monitor
