#include "HttpTestClient.h"

#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto n = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return n > 0 ? static_cast<int>(n) : 0;
}

std::string Lower(std::string str) {
    for (char& c : str)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return str;
}

}  // namespace

std::string CHttpAnswer::Header(const std::string& strLowerName) const {
    auto it = m_headers.find(strLowerName);
    return it == m_headers.end() ? std::string() : it->second;
}

bool CHttpTestConnection::Connect(uint16_t nPort, int nReceiveBuffer) {
    return Connect(platform::LoopbackAddress(nPort), nReceiveBuffer);
}

bool CHttpTestConnection::Connect(const platform::CNetAddress& address, int nReceiveBuffer) {
    m_socket = platform::CSocket::CreateTcp(address.Family());
    if (!m_socket.IsValid()) return false;
    if (nReceiveBuffer > 0) {
        // Before the connect, so that the window offered is small from the start.
        setsockopt(m_socket.Handle(), SOL_SOCKET, SO_RCVBUF,
                   reinterpret_cast<const char*>(&nReceiveBuffer), sizeof nReceiveBuffer);
    }
    return m_socket.Connect(address, 5000);
}

bool CHttpTestConnection::Send(std::string_view strBytes) {
    size_t nDone = 0;
    while (nDone < strBytes.size()) {
        int n = m_socket.Send(strBytes.data() + nDone, strBytes.size() - nDone);
        if (n <= 0) return false;
        nDone += static_cast<size_t>(n);
    }
    return true;
}

bool CHttpTestConnection::Fill(Clock::time_point deadline) {
    if (m_bEnded) return false;
    if (m_socket.WaitReadable(MsLeft(deadline)) != platform::EWaitResult::Readable) return false;
    char buf[8192];
    int n = m_socket.Recv(buf, sizeof buf);
    if (n <= 0) {
        m_bEnded = true;
        return false;
    }
    m_strIn.append(buf, static_cast<size_t>(n));
    m_nReceived += static_cast<size_t>(n);
    return true;
}

std::optional<std::string> CHttpTestConnection::TakeLine(Clock::time_point deadline) {
    for (;;) {
        size_t nEnd = m_strIn.find("\r\n");
        if (nEnd != std::string::npos) {
            std::string strLine = m_strIn.substr(0, nEnd);
            m_strIn.erase(0, nEnd + 2);
            return strLine;
        }
        if (!Fill(deadline)) return std::nullopt;
    }
}

std::optional<std::string> CHttpTestConnection::TakeBytes(size_t n, Clock::time_point deadline) {
    while (m_strIn.size() < n)
        if (!Fill(deadline)) return std::nullopt;
    std::string strBytes = m_strIn.substr(0, n);
    m_strIn.erase(0, n);
    return strBytes;
}

std::optional<std::string> CHttpTestConnection::TakeChunk(Clock::time_point deadline) {
    auto size = TakeLine(deadline);
    if (!size) return std::nullopt;
    size_t n = std::strtoul(size->c_str(), nullptr, 16);
    auto data = TakeBytes(n, deadline);
    if (!data || !TakeLine(deadline)) return std::nullopt;
    return data;
}

std::optional<CHttpAnswer> CHttpTestConnection::ReadAnswer(int nMs, bool bHead) {
    auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    auto status = TakeLine(deadline);
    if (!status || status->compare(0, 5, "HTTP/") != 0 || status->size() < 12)
        return std::nullopt;
    CHttpAnswer answer;
    answer.m_nStatus = std::atoi(status->c_str() + 9);
    for (;;) {
        auto line = TakeLine(deadline);
        if (!line) return std::nullopt;
        if (line->empty()) break;
        size_t nColon = line->find(':');
        if (nColon == std::string::npos) continue;
        size_t nValue = line->find_first_not_of(' ', nColon + 1);
        answer.m_headers[Lower(line->substr(0, nColon))] =
            nValue == std::string::npos ? std::string() : line->substr(nValue);
    }
    if (bHead) return answer;
    if (answer.Header("content-type") == "text/event-stream") return answer;  // read by ReadEvent
    if (answer.Header("transfer-encoding") == "chunked") {
        for (;;) {
            auto chunk = TakeChunk(deadline);
            if (!chunk) return std::nullopt;
            if (chunk->empty()) break;
            answer.m_strBody += *chunk;
        }
    } else if (!answer.Header("content-length").empty()) {
        auto body = TakeBytes(std::strtoul(answer.Header("content-length").c_str(), nullptr, 10),
                              deadline);
        if (!body) return std::nullopt;
        answer.m_strBody = *body;
    } else {
        while (Fill(deadline)) {
        }
        answer.m_strBody = m_strIn;
        m_strIn.clear();
    }
    return answer;
}

std::optional<std::string> CHttpTestConnection::ReadEvent(int nMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    for (;;) {
        size_t nEnd = m_strStreamed.find("\n\n");
        if (nEnd != std::string::npos) {
            std::string strMessage = m_strStreamed.substr(0, nEnd);
            m_strStreamed.erase(0, nEnd + 2);
            size_t nData = strMessage.find("data: ");
            if (nData != std::string::npos) return strMessage.substr(nData + 6);
            continue;  // a comment or the retry line
        }
        auto chunk = TakeChunk(deadline);
        if (!chunk || chunk->empty()) return std::nullopt;
        m_strStreamed += *chunk;
    }
}

bool CHttpTestConnection::WaitClosed(int nMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    while (!m_bEnded) {
        if (Clock::now() >= deadline) return false;
        if (!Fill(deadline) && !m_bEnded) return false;
        m_strIn.clear();
    }
    return true;
}

std::optional<CHttpAnswer> HttpRequest(uint16_t nPort, const std::string& strTarget,
                                       const std::string& strMethod) {
    CHttpTestConnection connection;
    if (!connection.Connect(nPort)) return std::nullopt;
    if (!connection.Send(strMethod + " " + strTarget +
                         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"))
        return std::nullopt;
    return connection.ReadAnswer(5000, strMethod == "HEAD");
}

}  // namespace testsupport
