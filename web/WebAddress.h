#pragma once
// The address the page is served on (the key web_Address), read from the
// operator's text. Pure.
#include <cstdint>
#include <string>
#include <string_view>

namespace web {

struct CWebAddress {
    std::string m_strHost;  // as the socket takes it: "127.0.0.1", "::1", "0.0.0.0", "localhost"
    uint16_t m_nPort = 0;   // 0: no page

    bool IsOff() const { return m_nPort == 0; }
    // "127.0.0.1:8080", "[::1]:8080"; empty when off.
    std::string Text() const;
    bool operator==(const CWebAddress&) const = default;
};

struct CWebAddressParse {
    bool m_bOk = false;
    CWebAddress m_address;   // off when the text was empty
    std::string m_strError;  // why the text was refused, for the operator
};

// Empty (or blanks): off, the default. A port alone: 127.0.0.1:PORT.
// HOST:PORT and [IPV6]:PORT as written, HOST an IPv4 address or a host
// name. Every interface only when written so: 0.0.0.0:PORT or [::]:PORT.
// Anything else is refused with the reason.
CWebAddressParse ParseWebAddress(std::string_view strText);

}  // namespace web
