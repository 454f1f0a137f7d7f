#include "support/IrcTestClient.h"

namespace testsupport {

bool CIrcTestClient::Connect(uint16_t nPort, const std::string& strNick) {
    m_socket = platform::CSocket::CreateTcp();
    if (!m_socket.IsValid() || !m_socket.Connect(platform::LoopbackAddress(nPort))) return false;
    if (!SendLine("NICK " + strNick) || !SendLine("USER " + strNick + " 0 * :test user"))
        return false;
    return WaitFor(" 001 " + strNick + " ");
}

bool CIrcTestClient::SendLine(const std::string& strLine) {
    const std::string strBytes = strLine + "\r\n";
    return m_socket.Send(strBytes) == static_cast<int>(strBytes.size());
}

int CIrcTestClient::Count(const std::string& strPart) const {
    int n = 0;
    for (const std::string& s : m_lines)
        if (s.find(strPart) != std::string::npos) ++n;
    return n;
}

bool CIrcTestClient::WaitFor(const std::string& strPart, int nCount,
                             std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Count(strPart) < nCount) {
        if (std::chrono::steady_clock::now() >= deadline || !m_socket.IsValid()) return false;
        ReadFor(20);
    }
    return true;
}

void CIrcTestClient::ReadFor(int nMs) {
    if (m_socket.WaitReadable(nMs) != platform::EWaitResult::Readable) return;
    char buf[4096];
    const int n = m_socket.Recv(buf, sizeof buf);
    if (n <= 0) {
        m_socket.Close();
        return;
    }
    m_strPending.append(buf, static_cast<size_t>(n));
    for (size_t nEnd = m_strPending.find("\r\n"); nEnd != std::string::npos;
         nEnd = m_strPending.find("\r\n")) {
        std::string strLine = m_strPending.substr(0, nEnd);
        m_strPending.erase(0, nEnd + 2);
        if (strLine.compare(0, 5, "PING ") == 0) SendLine("PONG " + strLine.substr(5));
        m_lines.push_back(std::move(strLine));
    }
}

}  // namespace testsupport
