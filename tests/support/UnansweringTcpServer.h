#pragma once
// A TCP port on 127.0.0.1 where a connect never completes, without root or
// firewall rules: a listener with the shortest accept queue that never
// accepts, whose queue one connection of its own fills. The system then
// drops every further SYN, so a client's connect waits until its own limit
// (or its stop), as it would for a server that never answers.
#include <cstdint>

#include "platform/Socket.h"

namespace testsupport {

class CUnansweringTcpServer {
public:
    CUnansweringTcpServer() {
        m_listener = platform::CSocket::CreateTcp();
        if (!m_listener.Bind(platform::LoopbackAddress()) || !m_listener.Listen(0)) return;
        m_nPort = m_listener.LocalPort();
        m_filler = platform::CSocket::CreateTcp();
        m_bOk = m_filler.Connect(platform::LoopbackAddress(m_nPort), 2000);
    }
    // False when the port could not be made so (a test then fails its set-up).
    bool IsOk() const { return m_bOk; }
    uint16_t Port() const { return m_nPort; }
    // True when a connect of nMs finds no answer here (as the set-up means).
    bool HoldsAConnectFor(int nMs) const {
        platform::CSocket probe = platform::CSocket::CreateTcp();
        return m_bOk && !probe.Connect(platform::LoopbackAddress(m_nPort), nMs);
    }

private:
    platform::CSocket m_listener;
    platform::CSocket m_filler;  // the one connection the queue holds
    uint16_t m_nPort = 0;
    bool m_bOk = false;
};

}  // namespace testsupport
