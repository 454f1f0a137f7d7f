#pragma once
// What the IRC thread does once a connection has ended: try again after a
// wait, or stop. Keep-alive (Broadcast) tries again after every end; the
// IRC side's own Connect only after the server's ERROR. Every wait but the
// throttle's comes from the back-off, which grows while attempts fail and
// starts short again once a connection has stayed registered for a while:
// a server that drops the bot right after its message of the day is no
// success. Pure; one owner thread (the IRC thread).
#include <cstdint>

#include "irc/IrcDispatch.h"
#include "platform/Backoff.h"

namespace irc {

class CReconnectPolicy {
public:
    // The wait that the server's "(re)connect too fast -- throttled" asks for.
    static constexpr uint32_t kThrottleWaitMs = 30000;
    // A connection that stayed registered this long was a success.
    static constexpr uint32_t kStableMs = 60000;

    // The seed makes the jitter repeatable in tests; 0 takes one from the system.
    explicit CReconnectPolicy(uint32_t nSeed = 0);

    // eEnd: how the connection ended. nRegisteredMs: how long it stayed
    // registered (0 when it never was). The wait before the next attempt,
    // or 0 for none.
    uint32_t NextWaitMs(EConnectionEnd eEnd, uint32_t nRegisteredMs, bool bKeepAlive);
    // A new session starts with the shortest wait.
    void Reset() { m_backoff.Reset(); }

private:
    platform::CBackoff m_backoff;
};

}  // namespace irc
