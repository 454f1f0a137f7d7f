#pragma once
// A plain HTTP client over a socket, for the server tests: sends whatever
// bytes a test wants (hostile ones too) and reads answers, or an event
// stream's messages, each within a deadline.
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Socket.h"

namespace testsupport {

struct CHttpAnswer {
    int m_nStatus = 0;
    std::map<std::string, std::string> m_headers;  // names in lower case
    std::string m_strBody;

    std::string Header(const std::string& strLowerName) const;
};

class CHttpTestConnection {
public:
    // Connects to 127.0.0.1:nPort (or the address given). nReceiveBuffer:
    // what the system may hold for this client unread (0: its default).
    bool Connect(uint16_t nPort, int nReceiveBuffer = 0);
    bool Connect(const platform::CNetAddress& address, int nReceiveBuffer = 0);
    bool Send(std::string_view strBytes);
    // The next whole answer: its head, then a body by Content-Length, by
    // chunks, or up to the end of the connection. bHead: no body follows.
    std::optional<CHttpAnswer> ReadAnswer(int nMs = 5000, bool bHead = false);
    // After ReadAnswer on an event stream's head (bStream): the next
    // message's data line, skipping comments. nullopt on timeout or end.
    std::optional<std::string> ReadEvent(int nMs = 5000);
    // True once the server has closed the connection (within nMs).
    bool WaitClosed(int nMs = 5000);
    // How many bytes were received in all.
    size_t Received() const { return m_nReceived; }
    platform::CSocket& Socket() { return m_socket; }

private:
    // Reads more into m_strIn until the deadline; false on end or timeout.
    bool Fill(std::chrono::steady_clock::time_point deadline);
    // Takes a line (without CRLF) from m_strIn, reading more as needed.
    std::optional<std::string> TakeLine(std::chrono::steady_clock::time_point deadline);
    std::optional<std::string> TakeBytes(size_t n, std::chrono::steady_clock::time_point deadline);
    // The decoded body bytes of an answer in chunks, as they come.
    std::optional<std::string> TakeChunk(std::chrono::steady_clock::time_point deadline);

    platform::CSocket m_socket;
    std::string m_strIn;        // raw bytes received and not yet taken
    std::string m_strStreamed;  // decoded event-stream bytes not yet taken
    size_t m_nReceived = 0;
    bool m_bEnded = false;
};

// One GET (or any method) on a fresh connection with "Connection: close".
std::optional<CHttpAnswer> HttpRequest(uint16_t nPort, const std::string& strTarget,
                                       const std::string& strMethod = "GET");

}  // namespace testsupport
