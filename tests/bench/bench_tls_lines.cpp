// What TLS costs per line sent to the IRC server: the same PRIVMSG lines,
// one send each as the session writes them, through a loopback connection
// in plain text and through the TLS stream, to a server in this process
// that reads and discards them. Reports lines/s (items) and bytes/s.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/Socket.h"
#include "platform/TlsStream.h"
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
    platform::CSocket socket = platform::CSocket::CreateTcp();
    if (!socket.Connect(platform::LoopbackAddress(sink.Port()), 5000)) {
        st.SkipWithError("no connection");
        return;
    }
    for (auto _ : st) {
        if (socket.Send(kLine) != static_cast<int>(kLine.size())) {
            st.SkipWithError("send failed");
            break;
        }
    }
    socket.Shutdown();
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
    platform::CTlsOptions options;
    options.m_strHost = "localhost";
    options.m_strCaFile = s_certs.CaFile();
    platform::CTlsStream stream;
    const platform::CTlsHandshakeResult result =
        stream.Handshake(std::move(socket), options, 10000);
    if (!result.Ok()) {
        st.SkipWithError(platform::TlsFailureText(result).c_str());
        return;
    }
    st.SetLabel(stream.Version());
    for (auto _ : st) {
        if (stream.Send(kLine, 5000) != static_cast<int>(kLine.size())) {
            st.SkipWithError("send failed");
            break;
        }
    }
    stream.Close();
    st.SetItemsProcessed(st.iterations());
    st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(kLine.size()));
}
BENCHMARK(BM_LineTls);

}  // namespace
