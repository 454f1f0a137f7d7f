#include "irc/IrcStream.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/TlsStream.h"

namespace irc {

namespace {

// Waits for room to send in slices this long, so that a stop is seen soon.
constexpr int kWriteSliceMs = 100;

class CPlainStream final : public IIrcStream {
public:
    explicit CPlainStream(std::shared_ptr<platform::CSocket> pSocket)
        : m_pSocket(std::move(pSocket)) {}

    platform::EWaitResult WaitReadable(int nTimeoutMs, const platform::CSocketWake& wake) override {
        return platform::WaitReadableOrWoken(m_pSocket->Handle(), wake, nTimeoutMs);
    }
    int Recv(void* pBuf, size_t nCap) override { return m_pSocket->Recv(pBuf, nCap); }

    EWriteResult Write(const std::string& strBytes, platform::CClock& clock, uint32_t nStallMs,
                       const platform::CStopSignal& stop) override {
        size_t nDone = 0;
        uint32_t nLastProgress = clock.GetTickCount();
        EWriteResult eResult = EWriteResult::Failed;
        while (nDone < strBytes.size()) {
            if (stop.IsStopped()) break;
            const int n = m_pSocket->SendNow(strBytes.data() + nDone, strBytes.size() - nDone);
            if (n < 0) break;
            if (n > 0) {
                nDone += static_cast<size_t>(n);
                nLastProgress = clock.GetTickCount();
                continue;
            }
            if (clock.GetTickCount() - nLastProgress >= nStallMs) {
                eResult = EWriteResult::Stalled;
                break;
            }
            m_pSocket->WaitWritable(kWriteSliceMs);
        }
        return nDone == strBytes.size() ? EWriteResult::Written : eResult;
    }

    void Shutdown() override { m_pSocket->Shutdown(); }

private:
    std::shared_ptr<platform::CSocket> m_pSocket;
};

}  // namespace

std::shared_ptr<IIrcStream> MakePlainStream(std::shared_ptr<platform::CSocket> pSocket) {
    return std::make_shared<CPlainStream>(std::move(pSocket));
}

struct CTlsIrcStream::CImpl {
    platform::CTlsStream m_tls;
    std::string m_strDescription;
};

CTlsIrcStream::CTlsIrcStream() : m_pImpl(std::make_unique<CImpl>()) {}
CTlsIrcStream::~CTlsIrcStream() = default;

std::string CTlsIrcStream::Handshake(platform::CSocket& socket, const std::string& strHost,
                                     const CIrcSecurity& security, int nTimeoutMs,
                                     const platform::CStopSignal* pStop) {
    m_nSocket = socket.Handle();
    platform::CTlsOptions options;
    options.m_strHost = strHost;
    options.m_strFingerprint = security.m_strTlsFingerprint;
    options.m_strClientCert = security.m_strClientCert;
    const platform::CTlsHandshakeResult result =
        m_pImpl->m_tls.Handshake(std::move(socket), options, nTimeoutMs, pStop);
    if (!result.Ok()) return platform::TlsFailureText(result);
    m_pImpl->m_strDescription =
        m_pImpl->m_tls.Version() + ", certificate " + result.m_strFingerprint;
    return {};
}

std::string CTlsIrcStream::Description() const {
    return m_pImpl->m_strDescription;
}

platform::EWaitResult CTlsIrcStream::WaitReadable(int nTimeoutMs,
                                                 const platform::CSocketWake& wake) {
    // Bytes the TLS layer holds already, the end, or a failure: at once.
    if (m_pImpl->m_tls.WaitReadable(0) == platform::EWaitResult::Readable)
        return platform::EWaitResult::Readable;
    const platform::EWaitResult eWait = platform::WaitReadableOrWoken(m_nSocket, wake, nTimeoutMs);
    if (eWait != platform::EWaitResult::Readable) return eWait;
    // New bytes: a whole record, or only part of one (then nothing yet,
    // and the socket waits for the rest).
    return m_pImpl->m_tls.WaitReadable(0);
}

int CTlsIrcStream::Recv(void* pBuf, size_t nCap) {
    const int n = m_pImpl->m_tls.Recv(pBuf, nCap, 0);
    return n == platform::CTlsStream::kTimedOut ? kNothingYet : n;
}

EWriteResult CTlsIrcStream::Write(const std::string& strBytes, platform::CClock&, uint32_t nStallMs,
                                  const platform::CStopSignal& stop) {
    // A TLS record cut short cannot be taken back, so the write is one call
    // with the whole stall limit; a stop reaches it through Shutdown, which
    // the session calls before it stops the writer.
    if (stop.IsStopped()) return EWriteResult::Failed;
    const auto start = std::chrono::steady_clock::now();
    const int n = m_pImpl->m_tls.Send(strBytes, static_cast<int>(nStallMs));
    if (n == static_cast<int>(strBytes.size())) return EWriteResult::Written;
    // The limit passed (the stream counts whole milliseconds, so within a
    // slice of it): the peer stopped reading. The stream breaks at the limit,
    // so the receive loop may end the connection and stop the writer before
    // this line: that stop does not make it another failure.
    const uint32_t nSlackMs = std::min<uint32_t>(nStallMs, kWriteSliceMs);
    const bool bStalled =
        std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(nStallMs - nSlackMs);
    return bStalled ? EWriteResult::Stalled : EWriteResult::Failed;
}

void CTlsIrcStream::Shutdown() {
    m_pImpl->m_tls.Shutdown();
}

}  // namespace irc
