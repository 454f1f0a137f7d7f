#pragma once
// Whether this machine has ::1: a system (or a container) with IPv6 switched
// off has none. The IPv6 tests skip there, saying so, instead of failing
// for a reason that is not the program's.
#include <gtest/gtest.h>

#include "platform/Socket.h"

namespace testsupport {

inline bool HasIpv6Loopback() {
    platform::CSocket probe = platform::CSocket::CreateUdp(platform::EAddressFamily::IPv6);
    return probe.IsValid() &&
           probe.Bind(platform::CNetAddress::Loopback(platform::EAddressFamily::IPv6));
}

}  // namespace testsupport

#define FR_SKIP_WITHOUT_IPV6()           \
    if (!testsupport::HasIpv6Loopback()) \
    GTEST_SKIP() << "::1 cannot be bound here (IPv6 is switched off)"
