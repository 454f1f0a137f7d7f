#include "web/WebAddress.h"

#include "platform/NetAddress.h"

namespace web {

namespace {

CWebAddressParse Refuse(std::string strError) {
    CWebAddressParse result;
    result.m_strError = std::move(strError);
    return result;
}

CWebAddressParse Accept(std::string strHost, uint16_t nPort) {
    CWebAddressParse result;
    result.m_bOk = true;
    result.m_address.m_strHost = std::move(strHost);
    result.m_address.m_nPort = nPort;
    return result;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view str) {
    if (str.empty()) return false;
    for (char c : str)
        if (!IsDigit(c)) return false;
    return true;
}

// 1 to 65535; 0 for anything else.
uint16_t ReadPort(std::string_view str) {
    if (!AllDigits(str) || str.size() > 5) return 0;
    uint32_t n = 0;
    for (char c : str) n = n * 10 + static_cast<uint32_t>(c - '0');
    return n <= 65535 ? static_cast<uint16_t>(n) : 0;
}

// Letters, digits and hyphens in dot-separated labels, as DNS names are
// written; a name made of digits and dots alone is an IPv4 address instead.
bool IsHostName(std::string_view str) {
    if (str.empty() || str.size() > 253) return false;
    bool bLetter = false;
    size_t nLabel = 0;
    for (size_t i = 0; i < str.size(); ++i) {
        char c = str[i];
        if (c == '.') {
            if (nLabel == 0 || str[i - 1] == '-') return false;
            nLabel = 0;
            continue;
        }
        bool bAlpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!bAlpha && !IsDigit(c) && c != '-') return false;
        if (c == '-' && nLabel == 0) return false;
        bLetter = bLetter || bAlpha || c == '-';
        if (++nLabel > 63) return false;
    }
    return bLetter && str.back() != '-';
}

constexpr const char* kPortRange = "the port must be a number from 1 to 65535";

}  // namespace

std::string CWebAddress::Text() const {
    if (IsOff()) return {};
    std::string strPort = std::to_string(m_nPort);
    if (m_strHost.find(':') != std::string::npos) return "[" + m_strHost + "]:" + strPort;
    return m_strHost + ":" + strPort;
}

CWebAddressParse ParseWebAddress(std::string_view strText) {
    while (!strText.empty() && (strText.front() == ' ' || strText.front() == '\t'))
        strText.remove_prefix(1);
    while (!strText.empty() && (strText.back() == ' ' || strText.back() == '\t'))
        strText.remove_suffix(1);
    if (strText.empty()) return Accept({}, 0);

    if (strText.find("://") != std::string_view::npos || strText.find('/') != std::string_view::npos)
        return Refuse("write HOST:PORT or a port alone, without http:// or a path");

    if (AllDigits(strText)) {
        uint16_t nPort = ReadPort(strText);
        if (nPort == 0) return Refuse(kPortRange);
        return Accept("127.0.0.1", nPort);
    }

    if (strText.front() == '[') {
        size_t nClose = strText.find(']');
        if (nClose == std::string_view::npos) return Refuse("the IPv6 address lacks its ']'");
        std::string_view strHost = strText.substr(1, nClose - 1);
        std::string_view strRest = strText.substr(nClose + 1);
        platform::CNetAddress address;
        if (!platform::CNetAddress::ParseHost(strHost, &address) ||
            address.Family() != platform::EAddressFamily::IPv6)
            return Refuse("\"" + std::string(strHost) + "\" is not an IPv6 address");
        if (strRest.empty() || strRest.front() != ':')
            return Refuse("no port: write [" + std::string(strHost) + "]:PORT");
        uint16_t nPort = ReadPort(strRest.substr(1));
        if (nPort == 0) return Refuse(kPortRange);
        return Accept(address.Text(), nPort);
    }

    size_t nColon = strText.find(':');
    if (nColon == std::string_view::npos)
        return Refuse("no port: write HOST:PORT, or a port alone for 127.0.0.1");
    if (strText.find(':', nColon + 1) != std::string_view::npos)
        return Refuse("an IPv6 address needs brackets: [::1]:PORT");
    std::string_view strHost = strText.substr(0, nColon);
    uint16_t nPort = ReadPort(strText.substr(nColon + 1));
    if (strHost.empty())
        return Refuse("no host before the port: 0.0.0.0:PORT listens on every interface, "
                      "a port alone on 127.0.0.1");
    if (nPort == 0) return Refuse(kPortRange);

    platform::CNetAddress address;
    if (platform::CNetAddress::ParseHost(strHost, &address) &&
        address.Family() == platform::EAddressFamily::IPv4)
        return Accept(address.Text(), nPort);
    if (IsHostName(strHost)) return Accept(std::string(strHost), nPort);
    return Refuse("\"" + std::string(strHost) + "\" is neither an IPv4 address nor a host name");
}

}  // namespace web
