#include "support/ScriptedTcpServer.h"

#ifdef _WIN32
#include <winsock2.h>
#define poll WSAPoll
#else
#include <poll.h>
#include <sys/socket.h>
#endif

#include "support/Wait.h"

namespace testsupport {

namespace {
// The serving thread never outlives a test by much, even if nobody stops it.
constexpr auto kMaxLifetime = std::chrono::seconds(300);
}  // namespace

CScriptedTcpServer::CScriptedTcpServer(EReading eReading, platform::EAddressFamily eFamily)
    : m_eReading(eReading) {
    m_listener = platform::CSocket::CreateTcp(eFamily);
    if (m_eReading == EReading::NeverReads) {
        // Set before listening, so that accepted connections start with it
        // and the window they offer stays small.
        const int nBytes = 2048;
        ::setsockopt(m_listener.Handle(), SOL_SOCKET, SO_RCVBUF,
                     reinterpret_cast<const char*>(&nBytes), sizeof nBytes);
    }
    if (m_listener.IsValid() && m_listener.Bind(platform::CNetAddress::Loopback(eFamily)) &&
        m_listener.Listen()) {
        m_nPort = m_listener.LocalPort();
        m_bListening = true;
        m_thread = std::thread([this] { Serve(); });
    }
}

CScriptedTcpServer::~CScriptedTcpServer() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
}

int CScriptedTcpServer::Connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_connections.size());
}

std::string CScriptedTcpServer::Received(int nConn) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nConn < 0 || nConn >= static_cast<int>(m_connections.size())) return {};
    return m_connections[nConn]->m_strReceived;
}

std::vector<std::string> CScriptedTcpServer::Lines(int nConn) const {
    const std::string strAll = Received(nConn);
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t nEnd = strAll.find("\r\n"); nEnd != std::string::npos;
         nEnd = strAll.find("\r\n", nStart)) {
        lines.push_back(strAll.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
    return lines;
}

bool CScriptedTcpServer::ClosedByPeer(int nConn) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nConn < 0 || nConn >= static_cast<int>(m_connections.size())) return false;
    return m_connections[nConn]->m_bPeerClosed;
}

bool CScriptedTcpServer::WaitForConnections(int nCount, std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Connections() >= nCount; }, timeout);
}

bool CScriptedTcpServer::WaitForLine(int nConn, const std::string& strLine,
                                     std::chrono::milliseconds timeout) const {
    return WaitUntil(
        [&] {
            for (const std::string& s : Lines(nConn))
                if (s == strLine) return true;
            return false;
        },
        timeout);
}

bool CScriptedTcpServer::Send(int nConn, const std::string& strBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nConn < 0 || nConn >= static_cast<int>(m_connections.size())) return false;
    return m_connections[nConn]->m_socket.Send(strBytes) == static_cast<int>(strBytes.size());
}

void CScriptedTcpServer::Close(int nConn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nConn >= 0 && nConn < static_cast<int>(m_connections.size())) {
        m_connections[nConn]->m_socket.Shutdown();
        // Ended now: not every system's poll reports a socket shut down
        // from this side (Wine's does not).
        m_connections[nConn]->m_bPeerClosed = true;
    }
}

void CScriptedTcpServer::StopListening() {
    m_bStopListening = true;
    WaitUntil([&] { return !m_bListening.load(); });
}

void CScriptedTcpServer::GreetEachConnection(const std::string& strBytes, bool bHangUp) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strGreeting = strBytes;
    m_bHangUp = bHangUp;
}

void CScriptedTcpServer::Accept() {
    auto pConn = std::make_unique<CConnection>();
    pConn->m_socket = m_listener.Accept();
    if (!pConn->m_socket.IsValid()) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_strGreeting.empty()) pConn->m_socket.Send(m_strGreeting);
    if (m_bHangUp) pConn->m_socket.Shutdown();
    m_connections.push_back(std::move(pConn));
}

void CScriptedTcpServer::Serve() {
    const auto deadline = std::chrono::steady_clock::now() + kMaxLifetime;
    std::vector<pollfd> fds;
    std::vector<CConnection*> polled;
    while (!m_bStop && std::chrono::steady_clock::now() < deadline) {
        if (m_bStopListening && m_listener.IsValid()) {
            m_listener.Close();
            m_bListening = false;
        }
        fds.clear();
        polled.clear();
        if (m_listener.IsValid()) fds.push_back(pollfd{m_listener.Handle(), POLLIN, 0});
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto& pConn : m_connections) {
                // A server that never reads leaves every byte where it is.
                if (!pConn->m_socket.IsValid() || m_eReading == EReading::NeverReads) continue;
                fds.push_back(pollfd{pConn->m_socket.Handle(), POLLIN, 0});
                polled.push_back(pConn.get());
            }
        }
        if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
        size_t i = 0;
        if (m_listener.IsValid()) {
            if (fds[0].revents & POLLIN) Accept();
            i = 1;
        }
        for (size_t k = 0; k < polled.size(); ++k, ++i) {
            if (fds[i].revents == 0) continue;
            char buf[4096];
            const int n = polled[k]->m_socket.Recv(buf, sizeof buf);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n > 0) {
                polled[k]->m_strReceived.append(buf, static_cast<size_t>(n));
            } else {
                polled[k]->m_bPeerClosed = true;
                polled[k]->m_socket.Close();
            }
        }
    }
    m_listener.Close();
    m_bListening = false;
}

}  // namespace testsupport
