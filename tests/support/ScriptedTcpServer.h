#pragma once
// A scripted line server for IRC tests: listens on 127.0.0.1 or ::1 (a free
// port),
// accepts any number of connections and records what each one sends; the
// test answers by hand (Send), hangs up (Close) or stops accepting
// (StopListening). Connections are numbered from 0 in order of arrival.
//
// Hostile peers: one that never reads (a tiny receive buffer, nothing taken
// off it, so the client's sends soon block), and one that greets every
// connection with the same bytes and may hang up at once (an ERROR loop).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Socket.h"

namespace testsupport {

class CScriptedTcpServer {
public:
    enum class EReading { Reads, NeverReads };

    explicit CScriptedTcpServer(EReading eReading = EReading::Reads,
                                platform::EAddressFamily eFamily = platform::EAddressFamily::IPv4);
    ~CScriptedTcpServer();
    CScriptedTcpServer(const CScriptedTcpServer&) = delete;
    CScriptedTcpServer& operator=(const CScriptedTcpServer&) = delete;

    uint16_t Port() const { return m_nPort; }
    int Connections() const;
    // All bytes received on connection n so far.
    std::string Received(int nConn) const;
    // The complete lines received on connection n (without "\r\n").
    std::vector<std::string> Lines(int nConn) const;
    // True once connection n has ended (the client closed it, or Close).
    bool ClosedByPeer(int nConn) const;

    bool WaitForConnections(int nCount,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Waits until connection n has sent exactly this line.
    bool WaitForLine(int nConn, const std::string& strLine,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    bool Send(int nConn, const std::string& strBytes);
    // Ends connection n: the client reads the end of the stream.
    void Close(int nConn);
    // Closes the listening socket: later connects are refused.
    void StopListening();
    // Every connection accepted from now on is sent strBytes at once and,
    // with bHangUp, ended right after.
    void GreetEachConnection(const std::string& strBytes, bool bHangUp);

private:
    struct CConnection {
        platform::CSocket m_socket;
        std::string m_strReceived;
        bool m_bPeerClosed = false;
    };

    void Serve();
    void Accept();

    platform::CSocket m_listener;
    uint16_t m_nPort = 0;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<CConnection>> m_connections;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bStopListening{false};
    std::atomic<bool> m_bListening{false};
    const EReading m_eReading;
    std::string m_strGreeting;  // guarded by m_mutex
    bool m_bHangUp = false;
    std::thread m_thread;
};

// The newest connection has sent its registration (its USER line): the bot
// is connected as far as the server knows.
inline bool HasRegistered(const CScriptedTcpServer& server) {
    const int nConnections = server.Connections();
    if (nConnections == 0) return false;
    for (const std::string& strLine : server.Lines(nConnections - 1))
        if (strLine.rfind("USER ", 0) == 0) return true;
    return false;
}

}  // namespace testsupport
