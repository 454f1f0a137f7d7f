#pragma once
// A scripted game server for exchange tests: a UDP socket on 127.0.0.1 or
// ::1 (a free port) whose thread answers the n-th request (0-based) with the
// datagrams the script gives for it, in that order. An empty answer is
// silence. It counts and keeps the requests it received and counts the
// datagrams it sent. As a hostile server it can also stream one datagram
// without end to whoever asked last.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Socket.h"

namespace testsupport {

class CScriptedUdpServer {
public:
    using Answer = std::vector<std::string>;
    using Script = std::function<Answer(int nRequest, const std::string& strRequest)>;

    explicit CScriptedUdpServer(Script script,
                                platform::EAddressFamily eFamily = platform::EAddressFamily::IPv4)
        : m_script(std::move(script)) {
        m_socket = platform::CSocket::CreateUdp(eFamily);
        if (m_socket.IsValid() && m_socket.Bind(platform::CNetAddress::Loopback(eFamily)))
            m_nPort = m_socket.LocalPort();
        if (m_nPort != 0) m_thread = std::thread([this] { Serve(); });
    }

    // Answers request i with answers[i]; silent after the last one.
    explicit CScriptedUdpServer(std::vector<Answer> answers,
                                platform::EAddressFamily eFamily = platform::EAddressFamily::IPv4)
        : CScriptedUdpServer(
              [answers = std::move(answers)](int n, const std::string&) {
                  return n < static_cast<int>(answers.size()) ? answers[n] : Answer{};
              },
              eFamily) {}

    ~CScriptedUdpServer() {
        m_bStop = true;
        if (m_thread.joinable()) m_thread.join();
    }

    CScriptedUdpServer(const CScriptedUdpServer&) = delete;
    CScriptedUdpServer& operator=(const CScriptedUdpServer&) = delete;

    // 0 when the socket could not be bound.
    uint16_t Port() const { return m_nPort; }
    int Requests() const { return m_nRequests.load(); }
    // Datagrams sent; a sent datagram is already in the loopback peer's queue.
    int Sent() const { return m_nSent.load(); }
    // From now on, sends strDatagram to the last requester about once a
    // millisecond until the fixture ends (besides the script's answers).
    void StreamToRequester(std::string strDatagram) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strStream = std::move(strDatagram);
    }
    std::vector<std::string> RequestTexts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Serve() {
        char buf[2048];
        platform::CNetAddress last;
        // Ends when the fixture is destroyed; each wait is short so that is prompt.
        while (!m_bStop) {
            std::string strStream;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                strStream = m_strStream;
            }
            const bool bStreaming = !strStream.empty() && last.IsValid();
            if (bStreaming) SendCounted(strStream, last);
            if (m_socket.WaitReadable(bStreaming ? 1 : 10) != platform::EWaitResult::Readable)
                continue;
            platform::CNetAddress from;
            const int n = m_socket.RecvFrom(buf, sizeof buf, &from);
            if (n < 0) continue;
            last = from;
            const std::string strRequest(buf, static_cast<size_t>(n));
            int nIndex;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(strRequest);
                nIndex = static_cast<int>(m_requests.size()) - 1;
            }
            // Counted before answering: a client that has the answer sees the count.
            m_nRequests.fetch_add(1);
            for (const std::string& datagram : m_script(nIndex, strRequest))
                SendCounted(datagram, from);
        }
    }

    void SendCounted(const std::string& strDatagram, const platform::CNetAddress& to) {
        if (m_socket.SendTo(strDatagram.data(), strDatagram.size(), to) >= 0) m_nSent.fetch_add(1);
    }

    Script m_script;
    platform::CSocket m_socket;
    uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nRequests{0};
    std::atomic<int> m_nSent{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::string m_strStream;
    std::thread m_thread;
};

}  // namespace testsupport
