// What TLS costs per line sent to the IRC server: the same PRIVMSG lines,
// one write each through the session's own stream (irc::IIrcStream, as the
// writer thread calls it), over a loopback connection in plain text and over
// TLS, to a server in this process that reads and discards them. Reports
// the time per line, lines/s (items) and bytes/s, plain and TLS in one run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "irc/IrcConnection.h"
#include "irc/IrcSender.h"
#include "irc/IrcStream.h"
#include "platform/Clock.h"
#include "platform/Socket.h"
#include "support/TestCertificates.h"
#include "support/TlsTestServer.h"

namespace {

const std::string kLine =
    "PRIVMSG #fragrelay :\x03"
    "04[Axis] Hoffmann\x03 (12/3) killed \x03"
    "12[Allies] Smith\x03 "
    "(4/9) with a Kar98k\r\n";

// Reads and discards whatever one plain client sends.
class CPlainSink {
public:
    bool Start() {
        m_listener = platform::CSocket::CreateTcp();
        if (!m_listener.Bind(platform::LoopbackAddress()) || !m_listener.Listen()) return false;
        m_thread = std::thread([this] {
            platform::CSocket client = m_listener.Accept();
            char buf[65536];
            while (!m_bStop.load() && client.Recv(buf, sizeof buf) > 0) {
            }
        });
        return true;
    }
    ~CPlainSink() {
        m_bStop.store(true);
        m_listener.Shutdown();
        if (m_thread.joinable()) m_thread.join();
    }
    uint16_t Port() const { return m_listener.LocalPort(); }

private:
    platform::CSocket m_listener;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
};

void BM_LinePlain(benchmark::State& st) {
    CPlainSink sink;
    if (!sink.Start()) {
        st.SkipWithError("no listener");
        return;
    }
    auto pSocket = std::make_shared<platform::CSocket>(platform::CSocket::CreateTcp());
    if (!pSocket->Connect(platform::LoopbackAddress(sink.Port()), 5000)) {
        st.SkipWithError("no connection");
        return;
    }
    pSocket->SetSendBuffer(irc::CIrcConnection::kSendBufferBytes);
    const std::shared_ptr<irc::IIrcStream> pStream = irc::MakePlainStream(pSocket);
    platform::CStopSignal stop;
    for (auto _ : st) {
        if (pStream->Write(kLine, platform::SystemClock(), irc::CIrcSender::kSendStallMs, stop) !=
            irc::EWriteResult::Written) {
            st.SkipWithError("send failed");
            break;
        }
    }
    pStream->Shutdown();
    st.SetItemsProcessed(st.iterations());
    st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(kLine.size()));
}
BENCHMARK(BM_LinePlain);

void BM_LineTls(benchmark::State& st) {
    static testsupport::CTestCertificates s_certs;
    static const bool s_bMade = testsupport::CTestCertificates::Available() && s_certs.Make();
    if (!s_bMade) {
        st.SkipWithError("no certificates (is openssl installed?)");
        return;
    }
    testsupport::CTlsTestServer server(s_certs.Good().m_strCert, s_certs.Good().m_strKey);
    server.DiscardReceived();
    if (!server.Start()) {
        st.SkipWithError("no listener");
        return;
    }
    platform::CSocket socket = platform::CSocket::CreateTcp();
    if (!socket.Connect(platform::LoopbackAddress(server.Port()), 5000)) {
        st.SkipWithError("no connection");
        return;
    }
    socket.SetSendBuffer(irc::CIrcConnection::kSendBufferBytes);
    irc::CIrcSecurity security;
    security.m_bTls = true;
    security.m_strTlsFingerprint = s_certs.Good().m_strFingerprint;
    irc::CTlsIrcStream stream;
    const std::string strFailure = stream.Handshake(socket, "localhost", security, 10000, nullptr);
    if (!strFailure.empty()) {
        st.SkipWithError(strFailure.c_str());
        return;
    }
    st.SetLabel(stream.Description().substr(0, stream.Description().find(',')));
    platform::CStopSignal stop;
    for (auto _ : st) {
        if (stream.Write(kLine, platform::SystemClock(), irc::CIrcSender::kSendStallMs, stop) !=
            irc::EWriteResult::Written) {
            st.SkipWithError("send failed");
            break;
        }
    }
    stream.Shutdown();
    st.SetItemsProcessed(st.iterations());
    st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(kLine.size()));
}
BENCHMARK(BM_LineTls);

}  // namespace
