#pragma once
// One IRC connection of a test, plain or through the TLS stream: sends
// lines, and hands out the server's lines one by one (answering PING on the
// way), each wait with a deadline. Single-threaded.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "irc/IrcLineSplitter.h"
#include "platform/Socket.h"
#include "platform/TlsStream.h"

namespace testsupport {

// A TCP connection to 127.0.0.1:nPort, or to [::1]:nPort.
inline platform::CSocket ConnectLoopback(uint16_t nPort, bool bIpv6 = false) {
    const platform::EAddressFamily eFamily =
        bIpv6 ? platform::EAddressFamily::IPv6 : platform::EAddressFamily::IPv4;
    platform::CSocket socket = platform::CSocket::CreateTcp(eFamily);
    if (socket.IsValid() && !socket.Connect(platform::CNetAddress::Loopback(eFamily, nPort), 5000))
        socket.Close();
    return socket;
}

class CIrcLineConnection {
public:
    bool ConnectPlain(uint16_t nPort, bool bIpv6 = false) {
        m_socket = ConnectLoopback(nPort, bIpv6);
        return m_socket.IsValid();
    }
    platform::CTlsHandshakeResult ConnectTls(uint16_t nPort, const platform::CTlsOptions& options,
                                             bool bIpv6 = false, int nTimeoutMs = 10000) {
        m_pTls = std::make_unique<platform::CTlsStream>();
        return m_pTls->Handshake(ConnectLoopback(nPort, bIpv6), options, nTimeoutMs);
    }

    bool SendLine(const std::string& strLine) {
        const std::string strBytes = strLine + "\r\n";
        const int n = m_pTls ? m_pTls->Send(strBytes, 5000) : m_socket.Send(strBytes);
        return n == static_cast<int>(strBytes.size());
    }

    // The next line from the server; false at the end of the stream or when
    // none came in time. A PING is answered and handed out too.
    bool NextLine(std::string& strLine,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!m_splitter.Next(strLine)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || m_bEnded) return false;
            char buf[4096];
            int n;
            if (m_pTls) {
                n = m_pTls->Recv(buf, sizeof buf, static_cast<int>(left.count()));
                if (n == platform::CTlsStream::kTimedOut) return false;
            } else {
                if (m_socket.WaitReadable(static_cast<int>(left.count())) !=
                    platform::EWaitResult::Readable)
                    return false;
                n = m_socket.Recv(buf, sizeof buf);
            }
            if (n <= 0) {
                m_bEnded = true;
                return false;
            }
            m_splitter.Feed(buf, static_cast<size_t>(n));
        }
        m_vLines.push_back(strLine);
        if (strLine.compare(0, 5, "PING ") == 0) SendLine("PONG " + strLine.substr(5));
        return true;
    }

    // Reads until a line holds strPart.
    bool WaitFor(const std::string& strPart,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (std::string strLine; std::chrono::steady_clock::now() < end;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (!NextLine(strLine, left)) return false;
            if (strLine.find(strPart) != std::string::npos) return true;
        }
        return false;
    }

    bool Ended() const { return m_bEnded; }
    const std::vector<std::string>& Lines() const { return m_vLines; }
    platform::CTlsStream* Tls() { return m_pTls.get(); }

private:
    platform::CSocket m_socket;
    std::unique_ptr<platform::CTlsStream> m_pTls;
    irc::CIrcLineSplitter m_splitter;
    std::vector<std::string> m_vLines;
    bool m_bEnded = false;
};

}  // namespace testsupport
