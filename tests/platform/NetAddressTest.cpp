// Addresses of both families: their text forms, the host look-up, sockets
// over ::1, and connecting to several addresses in turn.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/NetAddress.h"
#include "platform/Socket.h"
#include "support/Ipv6Loopback.h"

using namespace platform;

namespace {

constexpr EAddressFamily kV4 = EAddressFamily::IPv4;
constexpr EAddressFamily kV6 = EAddressFamily::IPv6;

CNetAddress V6(std::initializer_list<uint16_t> groups, uint16_t nPort = 0, uint32_t nScope = 0) {
    std::array<uint8_t, 16> bytes{};
    size_t n = 0;
    for (uint16_t nGroup : groups) {
        bytes[n++] = static_cast<uint8_t>(nGroup >> 8);
        bytes[n++] = static_cast<uint8_t>(nGroup & 0xFF);
    }
    return CNetAddress::FromIPv6(bytes, nPort, nScope);
}

// A port on the loopback address of the family that nobody listens on.
uint16_t ClosedPort(EAddressFamily eFamily) {
    CSocket gone = CSocket::CreateTcp(eFamily);
    if (!gone.Bind(CNetAddress::Loopback(eFamily))) return 0;
    return gone.LocalPort();
}

}  // namespace

TEST(NetAddressText, ReadsEveryLiteralFormAndWritesItBack) {
    const struct {
        const char* m_pszName;
        const char* m_pszText;
        EAddressFamily m_eFamily;
        uint16_t m_nPort;
        const char* m_pszWritten;   // Text()
        const char* m_pszWithPort;  // TextWithPort()
    } kRows[] = {
        {"Dotted", "1.2.3.4", kV4, 0, "1.2.3.4", "1.2.3.4:0"},
        {"DottedExtremes", "255.0.0.255", kV4, 0, "255.0.0.255", "255.0.0.255:0"},
        {"DottedWithPort", "127.0.0.1:6667", kV4, 6667, "127.0.0.1", "127.0.0.1:6667"},
        {"Loopback6", "::1", kV6, 0, "::1", "[::1]:0"},
        {"Bracketed", "[::1]", kV6, 0, "::1", "[::1]:0"},
        {"BracketedWithPort", "[::1]:6667", kV6, 6667, "::1", "[::1]:6667"},
        {"HighestPort", "[::1]:65535", kV6, 65535, "::1", "[::1]:65535"},
        {"AllZero", "::", kV6, 0, "::", "[::]:0"},
        {"FullUpperCaseIsShortened", "2001:0DB8:0000:0000:0000:FF00:0042:8329", kV6, 0,
         "2001:db8::ff00:42:8329", "[2001:db8::ff00:42:8329]:0"},
        {"GapAtTheEnd", "fe80::", kV6, 0, "fe80::", "[fe80::]:0"},
        {"GapForOneGroupIsWrittenAsZero", "1:2:3:4:5:6:7::", kV6, 0, "1:2:3:4:5:6:7:0",
         "[1:2:3:4:5:6:7:0]:0"},
        {"DottedTail", "64:ff9b::192.0.2.33", kV6, 0, "64:ff9b::c000:221", "[64:ff9b::c000:221]:0"},
        {"MappedIPv4", "::FFFF:10.0.0.1", kV6, 0, "::ffff:10.0.0.1", "[::ffff:10.0.0.1]:0"},
        // Without brackets the last group belongs to the address.
        {"BareIPv6TakesNoPort", "::1:80", kV6, 0, "::1:80", "[::1:80]:0"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        CNetAddress addr;
        ASSERT_TRUE(CNetAddress::Parse(row.m_pszText, &addr));
        EXPECT_EQ(addr.Family(), row.m_eFamily);
        EXPECT_EQ(addr.Port(), row.m_nPort);
        EXPECT_EQ(addr.Text(), row.m_pszWritten);
        EXPECT_EQ(addr.TextWithPort(), row.m_pszWithPort);
        // What is written reads back as the same address.
        CNetAddress again;
        ASSERT_TRUE(CNetAddress::Parse(addr.TextWithPort(), &again));
        EXPECT_EQ(again, addr);
    }
}

TEST(NetAddressText, RefusesWhatIsNoLiteralAddress) {
    const struct {
        const char* m_pszName;
        std::string m_strText;
    } kRows[] = {
        {"Empty", ""},
        {"HostName", "localhost"},
        {"ThreeNumbers", "1.2.3"},
        {"FiveNumbers", "1.2.3.4.5"},
        {"NumberAbove255", "256.1.1.1"},
        {"LeadingZero", "01.2.3.4"},
        {"Blank", " 1.2.3.4"},
        {"TrailingBlank", "1.2.3.4 "},
        {"EmptyPort", "1.2.3.4:"},
        {"PortAbove65535", "1.2.3.4:65536"},
        {"SignedPort", "1.2.3.4:+1"},
        {"SixDigitPort", "1.2.3.4:000080"},
        {"NineGroups", "1:2:3:4:5:6:7:8:9"},
        {"SevenGroups", "1:2:3:4:5:6:7"},
        {"EightGroupsAndAGap", "1:2:3:4:5:6:7:8::"},
        {"TwoGaps", "1::2::3"},
        {"ThreeColons", ":::1"},
        {"LoneLeadingColon", ":1::2"},
        {"LoneTrailingColon", "1::2:"},
        {"FiveHexDigits", "12345::1"},
        {"NotHex", "g::1"},
        {"DottedTailNotLast", "::1.2.3.4:5"},
        {"BadDottedTail", "::ffff:1.2.3"},
        {"Zone", "fe80::1%eth0"},
        {"OpenBracket", "[::1"},
        {"CloseBracket", "::1]"},
        {"BracketedIPv4", "[1.2.3.4]"},
        {"BracketsWithoutPort", "[::1]:"},
        {"PortWithoutColon", "[::1]6667"},
        {"Nul", std::string("1.2.3.4\0", 8)},
    };
    for (const auto& row : kRows) {
        CNetAddress addr = CNetAddress::Loopback(kV6, 7);
        EXPECT_FALSE(CNetAddress::Parse(row.m_strText, &addr)) << row.m_pszName;
        EXPECT_EQ(addr, CNetAddress::Loopback(kV6, 7)) << row.m_pszName << ": left unchanged";
    }
    // A host field holds no port.
    CNetAddress addr;
    EXPECT_FALSE(CNetAddress::ParseHost("127.0.0.1:6667", &addr));
    EXPECT_FALSE(CNetAddress::ParseHost("[::1]:6667", &addr));
    EXPECT_TRUE(CNetAddress::ParseHost("[::1]", &addr));
}

TEST(NetAddressText, WritesIPv6AsRfc5952Says) {
    const struct {
        const char* m_pszName;
        CNetAddress m_addr;
        const char* m_pszText;
    } kRows[] = {
        {"LongestRunOfZerosIsTheGap", V6({1, 0, 0, 1, 0, 0, 0, 1}), "1:0:0:1::1"},
        {"FirstOfEqualRuns", V6({1, 0, 0, 1, 0, 0, 1, 1}), "1::1:0:0:1:1"},
        {"NoRunNoGap", V6({1, 0, 1, 0, 1, 0, 1, 0}), "1:0:1:0:1:0:1:0"},
        {"LeadingZerosOfAGroupGo", V6({0x00ab, 0x0c00, 0, 0, 0, 0, 0, 0xf}), "ab:c00::f"},
        {"GapAtTheStart", V6({0, 0, 0, 0, 0, 0, 0, 0xabcd}), "::abcd"},
        {"LinkLocalWithScope", V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 0, 3), "fe80::1%3"},
    };
    for (const auto& row : kRows) EXPECT_EQ(row.m_addr.Text(), row.m_pszText) << row.m_pszName;
    EXPECT_EQ(V6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 80, 3).TextWithPort(), "[fe80::1%3]:80");
    EXPECT_EQ(CNetAddress().Text(), "");
    EXPECT_EQ(CNetAddress().TextWithPort(), "");
}

TEST(NetAddressText, FamiliesValuesAndLoopback) {
    const CNetAddress v4 = CNetAddress::FromIPv4(0x7F000001, 23000);
    EXPECT_EQ(v4.TextWithPort(), "127.0.0.1:23000");
    EXPECT_EQ(v4.IPv4(), 0x7F000001u);
    EXPECT_EQ(v4, LoopbackAddress(23000));
    EXPECT_NE(v4, v4.WithPort(23001));
    EXPECT_EQ(V6({0, 0, 0, 0, 0, 0, 0, 1}).IPv4(), 0u);
    EXPECT_FALSE(CNetAddress().IsValid());

    const struct {
        const char* m_pszText;
        bool m_bLoopback;
    } kRows[] = {{"127.0.0.1", true}, {"127.5.6.7", true}, {"128.0.0.1", false},
                 {"::1", true},       {"::2", false},      {"::ffff:8.8.8.8", false}};
    for (const auto& row : kRows) {
        CNetAddress addr;
        ASSERT_TRUE(CNetAddress::Parse(row.m_pszText, &addr)) << row.m_pszText;
        EXPECT_EQ(addr.IsLoopback(), row.m_bLoopback) << row.m_pszText;
    }
    EXPECT_FALSE(CNetAddress().IsLoopback());
}

TEST(HostLookup, LiteralIsItsOneAddressWithThePort) {
    const struct {
        const char* m_pszHost;
        const char* m_pszExpected;
    } kRows[] = {
        {"127.0.0.1", "127.0.0.1:6667"},
        {"10.1.2.3", "10.1.2.3:6667"},
        {"::1", "[::1]:6667"},
        {"[::1]", "[::1]:6667"},
        {"2001:db8::5", "[2001:db8::5]:6667"},
        {"[2001:DB8::5]", "[2001:db8::5]:6667"},
    };
    for (const auto& row : kRows) {
        const std::vector<CNetAddress> vAddrs = LookupHost(row.m_pszHost, 6667);
        ASSERT_EQ(vAddrs.size(), 1u) << row.m_pszHost;
        EXPECT_EQ(vAddrs[0].TextWithPort(), row.m_pszExpected) << row.m_pszHost;
    }
}

TEST(HostLookup, FindsNothingForNoHost) {
    EXPECT_TRUE(LookupHost("").empty());
    EXPECT_TRUE(LookupHost(std::string("127.0.0.1\0x", 11)).empty());
    EXPECT_TRUE(LookupHost("no..such..host").empty());
    // Brackets hold an IPv6 address only, never a name or an IPv4 address.
    EXPECT_TRUE(LookupHost("[127.0.0.1]").empty());
    EXPECT_TRUE(LookupHost("[localhost]").empty());
}

TEST(HostLookup, LocalhostGivesLoopbackAddressesEachOnce) {
    // Which families and in which order is the resolver's matter; what is
    // certain is that every address is a loopback one.
    const std::vector<CNetAddress> vAddrs = LookupHost("localhost", 80);
    ASSERT_FALSE(vAddrs.empty());
    for (size_t n = 0; n < vAddrs.size(); ++n) {
        EXPECT_TRUE(vAddrs[n].IsLoopback()) << vAddrs[n].Text();
        EXPECT_EQ(vAddrs[n].Port(), 80);
        for (size_t m = 0; m < n; ++m) EXPECT_NE(vAddrs[n], vAddrs[m]) << vAddrs[n].Text();
    }
}

// End never waits for a name server: a stop ends the look-up's wait.
TEST(HostLookup, AStopGivesNothingButALiteralStillCounts) {
    platform::CStopSignal stop;
    const std::vector<CNetAddress> vFound = LookupHost("localhost", 80, &stop);
    ASSERT_FALSE(vFound.empty());
    EXPECT_TRUE(vFound[0].IsLoopback());
    stop.Stop();
    EXPECT_TRUE(LookupHost("localhost", 80, &stop).empty());
    // A literal asks no one.
    EXPECT_EQ(LookupHost("127.0.0.1", 80, &stop).size(), 1u);
}

TEST(Ipv6Socket, TcpOverIpv6LoopbackCarriesBytes) {
    FR_SKIP_WITHOUT_IPV6();
    CSocket listener = CSocket::CreateTcp(kV6);
    ASSERT_TRUE(listener.Bind(CNetAddress::Loopback(kV6)));
    ASSERT_TRUE(listener.Listen());
    EXPECT_EQ(listener.LocalAddress().Text(), "::1");
    ASSERT_NE(listener.LocalPort(), 0);

    CSocket client = CSocket::CreateTcp(kV6);
    ASSERT_TRUE(client.Connect(listener.LocalAddress(), 5000));
    EXPECT_EQ(client.LocalAddress().Family(), kV6);
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    ASSERT_EQ(client.Send("over six"), 8);
    char buf[16];
    ASSERT_EQ(peer.WaitReadable(2000), EWaitResult::Readable);
    ASSERT_EQ(peer.Recv(buf, sizeof buf), 8);
    EXPECT_EQ(std::string(buf, 8), "over six");
}

TEST(Ipv6Socket, UdpOverIpv6LoopbackTellsTheSender) {
    FR_SKIP_WITHOUT_IPV6();
    CSocket server = CSocket::CreateUdp(kV6);
    ASSERT_TRUE(server.Bind(CNetAddress::Loopback(kV6)));
    CSocket client = CSocket::CreateUdp(kV6);
    ASSERT_EQ(client.SendTo("\\status\\", 8, server.LocalAddress()), 8);

    char buf[64];
    CNetAddress from;
    ASSERT_EQ(server.WaitReadable(2000), EWaitResult::Readable);
    ASSERT_EQ(server.RecvFrom(buf, sizeof buf, &from), 8);
    EXPECT_EQ(from.Text(), "::1");
    EXPECT_EQ(from.Port(), client.LocalPort());
    // The answer goes back to whoever asked.
    ASSERT_EQ(server.SendTo("answer", 6, from), 6);
    CNetAddress answeredBy;
    ASSERT_EQ(client.WaitReadable(2000), EWaitResult::Readable);
    ASSERT_EQ(client.RecvFrom(buf, sizeof buf, &answeredBy), 6);
    EXPECT_EQ(answeredBy, server.LocalAddress());
}

TEST(Ipv6Socket, AnAddressOfTheOtherFamilyOrNoneIsRefused) {
    FR_SKIP_WITHOUT_IPV6();
    CSocket listener = CSocket::CreateTcp(kV4);
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen());
    // An IPv6 socket speaks IPv6 only, on every system.
    CSocket six = CSocket::CreateTcp(kV6);
    EXPECT_FALSE(six.Connect(listener.LocalAddress(), 2000));
    CSocket four = CSocket::CreateTcp(kV4);
    EXPECT_FALSE(four.Connect(CNetAddress::Loopback(kV6, listener.LocalPort()), 2000));

    CSocket udp = CSocket::CreateUdp(kV4);
    EXPECT_FALSE(udp.Bind(CNetAddress()));
    EXPECT_FALSE(udp.Connect(CNetAddress()));
    EXPECT_EQ(udp.SendTo("x", 1, CNetAddress()), -1);
    EXPECT_FALSE(CSocket::CreateTcp(EAddressFamily::None).IsValid());
}

// ---- Several addresses of one host, in turn.

namespace {

struct CAttempts {
    std::vector<std::string> m_vTried;
    std::function<void(const std::shared_ptr<CSocket>&, const CNetAddress&)> Hook() {
        return [this](const std::shared_ptr<CSocket>& pSocket, const CNetAddress& addr) {
            EXPECT_TRUE(pSocket && pSocket->IsValid());
            m_vTried.push_back(addr.TextWithPort());
        };
    }
};

}  // namespace

TEST(ConnectInTurn, ARefusedAddressIsFollowedByTheNext) {
    FR_SKIP_WITHOUT_IPV6();
    CSocket listener = CSocket::CreateTcp(kV4);
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen());
    const CNetAddress open = listener.LocalAddress();
    const uint16_t nClosed6 = ClosedPort(kV6);
    ASSERT_NE(nClosed6, 0);
    const CNetAddress refused = CNetAddress::Loopback(kV6, nClosed6);

    CAttempts attempts;
    std::shared_ptr<CSocket> pSocket;
    EXPECT_EQ(ConnectInTurn({refused, open}, 5000, nullptr, attempts.Hook(), &pSocket),
              EConnectResult::Connected);
    EXPECT_EQ(attempts.m_vTried,
              (std::vector<std::string>{refused.TextWithPort(), open.TextWithPort()}));
    ASSERT_TRUE(pSocket);
    EXPECT_EQ(pSocket->LocalAddress().Family(), kV4);
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    EXPECT_EQ(pSocket->Send("x", 1), 1);

    // The first that connects ends the turn.
    CAttempts first;
    EXPECT_EQ(ConnectInTurn({open, refused}, 5000, nullptr, first.Hook(), &pSocket),
              EConnectResult::Connected);
    EXPECT_EQ(first.m_vTried, std::vector<std::string>{open.TextWithPort()});
}

TEST(ConnectInTurn, FailsWhenNoneConnectsOrWhenStopped) {
    const CNetAddress refused4 = LoopbackAddress(ClosedPort(kV4));
    CAttempts attempts;
    std::shared_ptr<CSocket> pSocket = std::make_shared<CSocket>();
    EXPECT_EQ(ConnectInTurn({refused4, refused4}, 5000, nullptr, attempts.Hook(), &pSocket),
              EConnectResult::Failed);
    EXPECT_EQ(attempts.m_vTried.size(), 2u);
    EXPECT_FALSE(pSocket);

    CStopSignal stop;
    stop.Stop();
    CAttempts stopped;
    EXPECT_EQ(ConnectInTurn({refused4}, 5000, &stop, stopped.Hook(), &pSocket),
              EConnectResult::Failed);
    EXPECT_TRUE(stopped.m_vTried.empty());

    // Nothing a socket can be made for.
    EXPECT_EQ(ConnectInTurn({}, 5000, nullptr, nullptr, &pSocket), EConnectResult::NoSocket);
    EXPECT_EQ(ConnectInTurn({CNetAddress()}, 5000, nullptr, nullptr, &pSocket),
              EConnectResult::NoSocket);
}
