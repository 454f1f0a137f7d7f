// The address the page is served on, as the operator writes it in
// web_Address: what is taken as written, what means loopback, and that
// every interface is opened only when written so.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/WebAddress.h"

namespace {

struct CAddressRow {
    const char* m_pszName;
    std::string m_strText;
    bool m_bOk;
    std::string m_strHost;   // taken
    int m_nPort;             // taken; 0: off
    std::string m_strError;  // refused: a part of the reason
};

const std::vector<CAddressRow>& Rows() {
    static const std::vector<CAddressRow> rows = {
        {"EmptyIsOff", "", true, "", 0, ""},
        {"BlanksAreOff", "  \t ", true, "", 0, ""},
        {"PortAloneIsLoopback", "8080", true, "127.0.0.1", 8080, ""},
        {"PortWithBlanks", " 8080 ", true, "127.0.0.1", 8080, ""},
        {"HighestPort", "65535", true, "127.0.0.1", 65535, ""},
        {"HostAndPort", "192.168.1.5:8080", true, "192.168.1.5", 8080, ""},
        {"LoopbackWritten", "127.0.0.1:9000", true, "127.0.0.1", 9000, ""},
        {"EveryIPv4Interface", "0.0.0.0:8080", true, "0.0.0.0", 8080, ""},
        {"IPv6Loopback", "[::1]:8080", true, "::1", 8080, ""},
        {"EveryIPv6Interface", "[::]:8080", true, "::", 8080, ""},
        {"IPv6Written", "[2001:DB8::5]:80", true, "2001:db8::5", 80, ""},
        {"HostName", "localhost:8080", true, "localhost", 8080, ""},
        {"DottedHostName", "stats.example-clan.org:80", true, "stats.example-clan.org", 80, ""},
        {"PortZero", "0", false, "", 0, "1 to 65535"},
        {"PortTooHigh", "65536", false, "", 0, "1 to 65535"},
        {"PortOfSixDigits", "008080", false, "", 0, "1 to 65535"},
        {"NegativePort", "-80", false, "", 0, "no port"},
        {"NoHostBeforePort", ":8080", false, "", 0, "0.0.0.0:PORT"},
        {"StarIsNoHost", "*:8080", false, "", 0, "neither"},
        {"NoPort", "127.0.0.1", false, "", 0, "no port"},
        {"HostNameWithoutPort", "localhost", false, "", 0, "no port"},
        {"EmptyPort", "127.0.0.1:", false, "", 0, "1 to 65535"},
        {"WordPort", "127.0.0.1:http", false, "", 0, "1 to 65535"},
        {"BadIPv4", "999.1.1.1:80", false, "", 0, "neither"},
        {"IPv6WithoutBrackets", "::1:8080", false, "", 0, "brackets"},
        {"IPv6WithoutPort", "[::1]", false, "", 0, "no port"},
        {"IPv6Unclosed", "[::1:8080", false, "", 0, "]"},
        {"IPv4InBrackets", "[127.0.0.1]:80", false, "", 0, "not an IPv6"},
        {"Scheme", "http://127.0.0.1:8080", false, "", 0, "http://"},
        {"Path", "127.0.0.1:8080/stats", false, "", 0, "path"},
        {"HostWithUnderscore", "my_host:80", false, "", 0, "neither"},
        {"BlankInside", "127.0.0.1 :80", false, "", 0, "neither"},
    };
    return rows;
}

TEST(WebAddressTest, ParsesWhatTheOperatorWrites) {
    for (const CAddressRow& row : Rows()) {
        SCOPED_TRACE(row.m_pszName);
        web::CWebAddressParse result = web::ParseWebAddress(row.m_strText);
        EXPECT_EQ(result.m_bOk, row.m_bOk) << result.m_strError;
        if (row.m_bOk) {
            EXPECT_EQ(result.m_address.m_strHost, row.m_strHost);
            EXPECT_EQ(result.m_address.m_nPort, row.m_nPort);
            EXPECT_TRUE(result.m_strError.empty());
        } else {
            EXPECT_NE(result.m_strError.find(row.m_strError), std::string::npos)
                << "reason: " << result.m_strError;
        }
    }
}

TEST(WebAddressTest, TextWritesBracketsForIPv6) {
    EXPECT_EQ(web::ParseWebAddress("8080").m_address.Text(), "127.0.0.1:8080");
    EXPECT_EQ(web::ParseWebAddress("[::1]:81").m_address.Text(), "[::1]:81");
    EXPECT_EQ(web::ParseWebAddress("").m_address.Text(), "");
    EXPECT_TRUE(web::ParseWebAddress("").m_address.IsOff());
}

}  // namespace
