#pragma once
// The operator's settings of the IRC connection: where, as whom, into which
// channel, the account login and the connection's security. One value, so
// that a session takes them, and hands them out, in one piece. Pure; any thread.
#include <cstdint>
#include <string>

#include "irc/IrcSecurity.h"

namespace irc {

struct CIrcSettings {
    std::string m_strChannel;  // as the operator typed it; the join's spelling is kept apart
    std::string m_strNick;
    std::string m_strServer;
    uint16_t m_nPort = 0;
    std::string m_strAltNick;
    bool m_bAuth = false;
    std::string m_strUsername;
    int32_t m_nNetwork = -1;  // as the file stores it: read through AuthNetworkOf
    std::string m_strPassword;
    CIrcSecurity m_security;  // TLS and its checks, the client certificate

    EAuthNetwork Network() const { return AuthNetworkOf(m_nNetwork); }
    bool operator==(const CIrcSettings&) const = default;
};

}  // namespace irc
