#pragma once
// An IPv4 or IPv6 address with a port, as the sockets take and give it, and
// its text. The text forms are read and written here, the same on every
// system and without the network; the host look-up and the sockets'
// conversions live with the sockets (Socket.cpp, SocketWin32.cpp).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class EAddressFamily { None, IPv4, IPv6 };

// A value: copy it freely, from any thread.
class CNetAddress {
public:
    // No address (Family() None); sockets refuse it.
    CNetAddress() = default;

    // nAddr in host byte order (0x7F000001 is 127.0.0.1).
    static CNetAddress FromIPv4(uint32_t nAddr, uint16_t nPort = 0);
    // The 16 bytes in network order; nScopeId names the interface of a
    // link-local address (0: none).
    static CNetAddress FromIPv6(const std::array<uint8_t, 16>& bytes, uint16_t nPort = 0,
                                uint32_t nScopeId = 0);
    // 127.0.0.1 or ::1.
    static CNetAddress Loopback(EAddressFamily eFamily = EAddressFamily::IPv4, uint16_t nPort = 0);

    // Reads a literal address, with or without a port: "1.2.3.4",
    // "1.2.3.4:80", "::1", "[::1]", "[::1]:6667". IPv4 is four decimal
    // numbers 0 to 255 without leading zeros; IPv6 as RFC 4291 writes it
    // (hex groups, one "::", a dotted IPv4 tail), any case, without a zone.
    // A port is one to five digits up to 65535; an IPv6 address with a port
    // needs its brackets. False for anything else (host names included);
    // *pAddr is then unchanged.
    static bool Parse(std::string_view strText, CNetAddress* pAddr);
    // The same without a port: what a host field may hold as a literal
    // ("1.2.3.4", "::1", "[::1]"). Port 0.
    static bool ParseHost(std::string_view strText, CNetAddress* pAddr);

    EAddressFamily Family() const { return m_eFamily; }
    bool IsValid() const { return m_eFamily != EAddressFamily::None; }
    uint16_t Port() const { return m_nPort; }
    CNetAddress WithPort(uint16_t nPort) const;
    // IPv4: the address in host byte order; 0 for IPv6.
    uint32_t IPv4() const;
    // IPv6: the 16 bytes; IPv4: its 4 bytes first, the rest 0.
    const std::array<uint8_t, 16>& Bytes() const { return m_bytes; }
    uint32_t ScopeId() const { return m_nScopeId; }
    bool IsLoopback() const;

    // The address alone: "127.0.0.1", "::1", "::ffff:1.2.3.4" (RFC 5952:
    // lower case, the longest run of zero groups as "::"); a scope as
    // "%N". Empty without an address.
    std::string Text() const;
    // With the port: "127.0.0.1:6667", "[::1]:6667".
    std::string TextWithPort() const;

    bool operator==(const CNetAddress& other) const = default;

private:
    EAddressFamily m_eFamily = EAddressFamily::None;
    std::array<uint8_t, 16> m_bytes{};
    uint16_t m_nPort = 0;
    uint32_t m_nScopeId = 0;
};

}  // namespace platform
