#pragma once
// Socket addresses of either family, as the socket calls take them, from and
// to CNetAddress. Both socket layers include it; only they may.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/NetAddress.h"

namespace platform::native {

#ifdef _WIN32
using SockLen = int;
#else
using SockLen = socklen_t;
#endif

struct CSockAddr {
    sockaddr_storage m_storage{};
    SockLen m_nLen = 0;
    sockaddr* Get() { return reinterpret_cast<sockaddr*>(&m_storage); }
};

inline CSockAddr ToSockAddr(const CNetAddress& addr) {
    CSockAddr sa;
    if (addr.Family() == EAddressFamily::IPv4) {
        auto* p = reinterpret_cast<sockaddr_in*>(&sa.m_storage);
        p->sin_family = AF_INET;
        p->sin_port = htons(addr.Port());
        p->sin_addr.s_addr = htonl(addr.IPv4());
        sa.m_nLen = sizeof *p;
    } else if (addr.Family() == EAddressFamily::IPv6) {
        auto* p = reinterpret_cast<sockaddr_in6*>(&sa.m_storage);
        p->sin6_family = AF_INET6;
        p->sin6_port = htons(addr.Port());
        std::memcpy(&p->sin6_addr, addr.Bytes().data(), 16);
        p->sin6_scope_id = addr.ScopeId();
        sa.m_nLen = sizeof *p;
    }
    // No address: length 0, which every call refuses.
    return sa;
}

// A family it does not know, or a length too short for the family: no address.
inline CNetAddress FromSockAddr(const sockaddr* pSa, SockLen nLen) {
    if (pSa == nullptr) return {};
    if (pSa->sa_family == AF_INET && nLen >= static_cast<SockLen>(sizeof(sockaddr_in))) {
        const auto* p = reinterpret_cast<const sockaddr_in*>(pSa);
        return CNetAddress::FromIPv4(ntohl(p->sin_addr.s_addr), ntohs(p->sin_port));
    }
    if (pSa->sa_family == AF_INET6 && nLen >= static_cast<SockLen>(sizeof(sockaddr_in6))) {
        const auto* p = reinterpret_cast<const sockaddr_in6*>(pSa);
        std::array<uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), &p->sin6_addr, 16);
        return CNetAddress::FromIPv6(bytes, ntohs(p->sin6_port), p->sin6_scope_id);
    }
    return {};
}

}  // namespace platform::native
