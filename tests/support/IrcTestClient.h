#pragma once
// A plain IRC user for end-to-end tests: registers, sends raw lines, and
// reads (answering PING) until an expected line arrives or a deadline
// passes. Single-threaded: it only reads while the test waits on it.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Socket.h"

namespace testsupport {

class CIrcTestClient {
public:
    // Connects to 127.0.0.1:nPort and registers; true once welcomed.
    bool Connect(uint16_t nPort, const std::string& strNick);
    bool SendLine(const std::string& strLine);
    // Waits until nCount received lines (counting from the start of the
    // connection) contain strPart.
    bool WaitFor(const std::string& strPart, int nCount = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    int Count(const std::string& strPart) const;
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    void ReadFor(int nMs);

    platform::CSocket m_socket;
    std::string m_strPending;
    std::vector<std::string> m_lines;
};

}  // namespace testsupport
