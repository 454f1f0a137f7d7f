#include "irc/ReconnectPolicy.h"

namespace irc {

CReconnectPolicy::CReconnectPolicy(uint32_t nSeed)
    : m_backoff(platform::CBackoff::kFirstMs, platform::CBackoff::kLastMs, nSeed) {}

uint32_t CReconnectPolicy::NextWaitMs(EConnectionEnd eEnd, uint32_t nRegisteredMs,
                                      bool bKeepAlive) {
    // A connection that stayed registered was a success: the next failure
    // waits the shortest delay again.
    if (nRegisteredMs >= kStableMs) m_backoff.Reset();
    if (eEnd == EConnectionEnd::Throttled) return kThrottleWaitMs;  // the server named its own wait
    // Without keep-alive only an ERROR leads to a new attempt, and never
    // sooner than the back-off: an ERROR loop must not hammer the server.
    if (eEnd != EConnectionEnd::ServerError && !bKeepAlive) return 0;
    return m_backoff.NextDelayMs();
}

}  // namespace irc
