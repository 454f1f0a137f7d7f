#pragma once
// What the IRC thread does once a connection has ended: try again after a
// wait, or stop. Keep-alive (Broadcast) tries again after every end; the
// IRC tab's own Connect only after the server's ERROR. Every wait but the
// throttle's comes from the back-off, which grows while attempts fail and
// starts short again once a connection has registered. Pure; one owner
// thread (the IRC thread, or the thread opening a session before it runs).
#include <cstdint>

#include "platform/Backoff.h"

namespace irc {

class CReconnectPolicy {
public:
    // The wait that the server's "(re)connect too fast -- throttled" asks for.
    static constexpr uint32_t kThrottleWaitMs = 30000;

    // The seed makes the jitter repeatable in tests; 0 takes one from the system.
    explicit CReconnectPolicy(uint32_t nSeed = 0);

    // nResult is the receive loop's: 0 ended, 1 after an ERROR, 2 throttled.
    // bRegistered: that connection reached the end of the message of the
    // day. The wait before the next attempt, or 0 for none.
    uint32_t NextWaitMs(int nResult, bool bRegistered, bool bKeepAlive);
    // A new session starts with the shortest wait.
    void Reset() { m_backoff.Reset(); }

private:
    platform::CBackoff m_backoff;
};

}  // namespace irc
