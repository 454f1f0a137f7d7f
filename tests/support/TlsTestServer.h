#pragma once
// A TLS server inside the test's process, for the TLS client's tests: it
// listens on 127.0.0.1 (a free port) and serves one connection after the
// other on its own thread, in one of a few behaviours a real or a hostile
// server shows. Every wait in it is bounded; the destructor stops it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Socket.h"

namespace testsupport {

class CTlsTestServer {
public:
    enum class EMode {
        Tls,          // handshake, then record what arrives and send what the test gives
        Silent,       // accept and never say a word
        CloseAtOnce,  // accept and hang up
        PlainText,    // answer with a plain IRC line, as a server without TLS does
    };

    // Serves with this certificate and key (PEM files).
    CTlsTestServer(std::string strCert, std::string strKey, EMode eMode = EMode::Tls);
    ~CTlsTestServer();
    CTlsTestServer(const CTlsTestServer&) = delete;
    CTlsTestServer& operator=(const CTlsTestServer&) = delete;

    bool Start();
    uint16_t Port() const { return m_nPort; }

    int Accepted() const { return m_nAccepted.load(); }
    int Handshakes() const { return m_nHandshakes.load(); }
    // Silent connections whose client has sent something (its hello).
    int HeardSilently() const { return m_nHeardSilently.load(); }
    // Connections the server is done with.
    int Finished() const { return m_nFinished.load(); }
    // Plain bytes received on the current connection.
    std::string Received() const;
    // Whether the client sent any byte before the server's first answer
    // (a client that fails before its handshake must send nothing).
    size_t RawBytesBeforeHandshake() const { return m_nRawBytes.load(); }
    // SHA-256 of the certificate the client showed, "AB:CD:...", or empty.
    std::string ClientFingerprint() const;
    // The server name the client asked for (SNI), or empty.
    std::string ServerName() const;
    bool WaitForReceived(const std::string& strPart,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Queues bytes for the client; they go out in one record each.
    void Send(const std::string& strBytes);
    // Ends the current connection (close_notify, then close).
    void CloseClient();
    // Stops reading from the client, so that its sends pile up.
    void StopReading() { m_bReading.store(false); }
    // Counts what arrives instead of keeping it (for benchmarks).
    void DiscardReceived() { m_bKeep.store(false); }
    uint64_t BytesReceived() const { return m_nBytes.load(); }

private:
    void Serve();
    void ServeTls(platform::CSocket& client);

    std::string m_strCert, m_strKey;
    EMode m_eMode;
    platform::CSocket m_listener;
    uint16_t m_nPort = 0;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bReading{true};
    std::atomic<bool> m_bKeep{true};
    std::atomic<uint64_t> m_nBytes{0};
    std::atomic<int> m_nHeardSilently{0};
    std::atomic<bool> m_bCloseClient{false};
    std::atomic<int> m_nAccepted{0};
    std::atomic<int> m_nHandshakes{0};
    std::atomic<int> m_nFinished{0};
    std::atomic<size_t> m_nRawBytes{0};
    mutable std::mutex m_mutex;
    std::string m_strReceived;
    std::string m_strToSend;
    std::string m_strClientFingerprint;
    std::string m_strServerName;
};

}  // namespace testsupport
