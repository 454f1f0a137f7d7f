#include "platform/NetAddress.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Four decimal numbers 0..255, no leading zeros (which some readers take
// for octal), nothing else.
bool ParseIPv4(std::string_view str, uint8_t* pOut) {
    for (int nPart = 0; nPart < 4; ++nPart) {
        if (nPart > 0) {
            if (str.empty() || str.front() != '.') return false;
            str.remove_prefix(1);
        }
        size_t nDigits = 0;
        int nValue = 0;
        while (nDigits < str.size() && IsDigit(str[nDigits]) && nDigits < 4) {
            nValue = nValue * 10 + (str[nDigits] - '0');
            ++nDigits;
        }
        if (nDigits == 0 || nDigits > 3 || nValue > 255) return false;
        if (nDigits > 1 && str.front() == '0') return false;
        pOut[nPart] = static_cast<uint8_t>(nValue);
        str.remove_prefix(nDigits);
    }
    return str.empty();
}

// Groups of one to four hex digits between colons; the last piece may be a
// dotted IPv4 address (two groups) where bV4Tail allows it. An empty text
// is no groups.
bool ParseGroups(std::string_view str, bool bV4Tail, std::vector<uint16_t>& vGroups) {
    if (str.empty()) return true;
    for (;;) {
        const size_t nColon = str.find(':');
        const std::string_view piece = str.substr(0, nColon);
        const bool bLast = nColon == std::string_view::npos;
        if (bLast && bV4Tail && piece.find('.') != std::string_view::npos) {
            uint8_t v4[4];
            if (!ParseIPv4(piece, v4)) return false;
            vGroups.push_back(static_cast<uint16_t>(v4[0] << 8 | v4[1]));
            vGroups.push_back(static_cast<uint16_t>(v4[2] << 8 | v4[3]));
            return true;
        }
        if (piece.empty() || piece.size() > 4) return false;
        unsigned nValue = 0;
        for (char c : piece) {
            const int nHex = HexValue(c);
            if (nHex < 0) return false;
            nValue = nValue << 4 | static_cast<unsigned>(nHex);
        }
        vGroups.push_back(static_cast<uint16_t>(nValue));
        if (vGroups.size() > 8) return false;
        if (bLast) return true;
        str.remove_prefix(nColon + 1);
    }
}

bool ParseIPv6(std::string_view str, std::array<uint8_t, 16>& bytes) {
    std::vector<uint16_t> vHead, vTail;
    const size_t nGap = str.find("::");
    if (nGap == std::string_view::npos) {
        if (!ParseGroups(str, true, vHead) || vHead.size() != 8) return false;
    } else {
        const std::string_view tail = str.substr(nGap + 2);
        // A second "::" (or ":::") is no address.
        if (tail.find("::") != std::string_view::npos || (!tail.empty() && tail.front() == ':'))
            return false;
        if (!ParseGroups(str.substr(0, nGap), false, vHead) || !ParseGroups(tail, true, vTail))
            return false;
        // "::" stands for at least one group of zeros.
        if (vHead.size() + vTail.size() > 7) return false;
    }
    std::array<uint16_t, 8> groups{};
    std::copy(vHead.begin(), vHead.end(), groups.begin());
    std::copy(vTail.begin(), vTail.end(), groups.end() - static_cast<long>(vTail.size()));
    for (size_t n = 0; n < 8; ++n) {
        bytes[2 * n] = static_cast<uint8_t>(groups[n] >> 8);
        bytes[2 * n + 1] = static_cast<uint8_t>(groups[n] & 0xFF);
    }
    return true;
}

// One to five digits up to 65535.
bool ParsePort(std::string_view str, uint16_t* pPort) {
    if (str.empty() || str.size() > 5) return false;
    unsigned nValue = 0;
    for (char c : str) {
        if (!IsDigit(c)) return false;
        nValue = nValue * 10 + static_cast<unsigned>(c - '0');
    }
    if (nValue > 65535) return false;
    *pPort = static_cast<uint16_t>(nValue);
    return true;
}

std::string IPv4Text(const uint8_t* p) {
    return std::to_string(p[0]) + "." + std::to_string(p[1]) + "." + std::to_string(p[2]) + "." +
           std::to_string(p[3]);
}

std::string IPv6Text(const std::array<uint8_t, 16>& bytes) {
    static constexpr uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::equal(std::begin(kMapped), std::end(kMapped), bytes.begin()))
        return "::ffff:" + IPv4Text(bytes.data() + 12);
    unsigned groups[8];
    for (size_t n = 0; n < 8; ++n)
        groups[n] = static_cast<unsigned>(bytes[2 * n] << 8 | bytes[2 * n + 1]);
    // The longest run of two or more zero groups (the first of equals) becomes "::".
    int nRunStart = -1, nRunLen = 0;
    for (int n = 0; n < 8;) {
        if (groups[n] != 0) {
            ++n;
            continue;
        }
        int nEnd = n;
        while (nEnd < 8 && groups[nEnd] == 0) ++nEnd;
        if (nEnd - n > nRunLen && nEnd - n >= 2) {
            nRunStart = n;
            nRunLen = nEnd - n;
        }
        n = nEnd;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string str;
    for (int n = 0; n < 8; ++n) {
        if (n == nRunStart) {
            str += "::";
            n += nRunLen - 1;
            continue;
        }
        if (!str.empty() && str.back() != ':') str += ':';
        bool bDigits = false;
        for (int nShift = 12; nShift >= 0; nShift -= 4) {
            const unsigned nDigit = (groups[n] >> nShift) & 0xF;
            if (nDigit != 0 || bDigits || nShift == 0) {
                str += kHex[nDigit];
                bDigits = true;
            }
        }
    }
    return str;
}

}  // namespace

CNetAddress CNetAddress::FromIPv4(uint32_t nAddr, uint16_t nPort) {
    CNetAddress addr;
    addr.m_eFamily = EAddressFamily::IPv4;
    addr.m_bytes[0] = static_cast<uint8_t>(nAddr >> 24);
    addr.m_bytes[1] = static_cast<uint8_t>(nAddr >> 16);
    addr.m_bytes[2] = static_cast<uint8_t>(nAddr >> 8);
    addr.m_bytes[3] = static_cast<uint8_t>(nAddr);
    addr.m_nPort = nPort;
    return addr;
}

CNetAddress CNetAddress::FromIPv6(const std::array<uint8_t, 16>& bytes, uint16_t nPort,
                                  uint32_t nScopeId) {
    CNetAddress addr;
    addr.m_eFamily = EAddressFamily::IPv6;
    addr.m_bytes = bytes;
    addr.m_nPort = nPort;
    addr.m_nScopeId = nScopeId;
    return addr;
}

CNetAddress CNetAddress::Loopback(EAddressFamily eFamily, uint16_t nPort) {
    if (eFamily != EAddressFamily::IPv6) return FromIPv4(0x7F000001, nPort);
    std::array<uint8_t, 16> bytes{};
    bytes[15] = 1;
    return FromIPv6(bytes, nPort);
}

bool CNetAddress::ParseHost(std::string_view str, CNetAddress* pAddr) {
    if (str.size() >= 2 && str.front() == '[' && str.back() == ']') {
        str = str.substr(1, str.size() - 2);
        std::array<uint8_t, 16> bytes{};
        if (!ParseIPv6(str, bytes)) return false;
        *pAddr = FromIPv6(bytes);
        return true;
    }
    uint8_t v4[4];
    if (ParseIPv4(str, v4)) {
        *pAddr = FromIPv4(static_cast<uint32_t>(v4[0]) << 24 | static_cast<uint32_t>(v4[1]) << 16 |
                          static_cast<uint32_t>(v4[2]) << 8 | v4[3]);
        return true;
    }
    std::array<uint8_t, 16> bytes{};
    if (!ParseIPv6(str, bytes)) return false;
    *pAddr = FromIPv6(bytes);
    return true;
}

bool CNetAddress::Parse(std::string_view str, CNetAddress* pAddr) {
    CNetAddress addr;
    if (ParseHost(str, &addr)) {
        *pAddr = addr;
        return true;
    }
    // With a port: "[v6]:port" or "v4:port". A bare v6 address never has
    // one ("::1:80" is an address).
    const size_t nColon = str.rfind(':');
    if (nColon == std::string_view::npos) return false;
    const std::string_view host = str.substr(0, nColon);
    uint16_t nPort = 0;
    if (!ParsePort(str.substr(nColon + 1), &nPort) || !ParseHost(host, &addr)) return false;
    const bool bBracketed = !host.empty() && host.front() == '[';
    if (addr.Family() == EAddressFamily::IPv6 && !bBracketed) return false;
    *pAddr = addr.WithPort(nPort);
    return true;
}

CNetAddress CNetAddress::WithPort(uint16_t nPort) const {
    CNetAddress addr = *this;
    addr.m_nPort = nPort;
    return addr;
}

uint32_t CNetAddress::IPv4() const {
    if (m_eFamily != EAddressFamily::IPv4) return 0;
    return static_cast<uint32_t>(m_bytes[0]) << 24 | static_cast<uint32_t>(m_bytes[1]) << 16 |
           static_cast<uint32_t>(m_bytes[2]) << 8 | m_bytes[3];
}

bool CNetAddress::IsLoopback() const {
    if (m_eFamily == EAddressFamily::IPv4) return m_bytes[0] == 127;
    return m_eFamily == EAddressFamily::IPv6 && *this == Loopback(EAddressFamily::IPv6, m_nPort);
}

std::string CNetAddress::Text() const {
    switch (m_eFamily) {
        case EAddressFamily::IPv4:
            return IPv4Text(m_bytes.data());
        case EAddressFamily::IPv6:
            return IPv6Text(m_bytes) +
                   (m_nScopeId != 0 ? "%" + std::to_string(m_nScopeId) : std::string());
        case EAddressFamily::None:
            break;
    }
    return {};
}

std::string CNetAddress::TextWithPort() const {
    if (m_eFamily == EAddressFamily::None) return {};
    const std::string strPort = ":" + std::to_string(m_nPort);
    return m_eFamily == EAddressFamily::IPv6 ? "[" + Text() + "]" + strPort : Text() + strPort;
}

}  // namespace platform
