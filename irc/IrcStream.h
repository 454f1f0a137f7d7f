#pragma once
// The byte stream one IRC connection speaks through: the plain TCP socket,
// or TLS over it. The session reads, writes and ends a connection only
// through this, so the receive loop, the writer thread, the liveness checks
// and the reconnections are the same for both.
//
// Threads: the IRC thread waits and reads, the writer thread writes (one
// write at a time), and Shutdown may come from any thread, also while the
// other two are blocked: it wakes them, and later reads see the end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "irc/IrcSecurity.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace irc {

enum class EWriteResult {
    Written,  // every byte left
    Stalled,  // the peer took nothing for the stall limit: it stopped reading
    Failed,   // the connection is lost, or the writer is stopping
};

class IIrcStream {
public:
    // Recv's result when a wait said readable but no whole record has come
    // yet (TLS): nothing to do, wait again.
    static constexpr int kNothingYet = -2;

    virtual ~IIrcStream() = default;

    // Waits up to nTimeoutMs until Recv has something to return at once
    // (Readable: bytes, the end, or a failure), or until wake is woken
    // (TimedOut). IRC thread.
    virtual platform::EWaitResult WaitReadable(int nTimeoutMs,
                                              const platform::CSocketWake& wake) = 0;
    // The bytes that have arrived, up to nCap: part of a line or several
    // lines. 0 at the end of the stream, -1 on failure, kNothingYet. IRC
    // thread, after WaitReadable said readable.
    virtual int Recv(void* pBuf, size_t nCap) = 0;
    // Writes all bytes. Gives up as Stalled once nothing went out for
    // nStallMs (on the clock), as Failed when the connection is lost or
    // stop is set. A stream whose write did not finish is of no further
    // use: the caller shuts it down (after noting why). Writer thread.
    virtual EWriteResult Write(const std::string& strBytes, platform::CClock& clock,
                               uint32_t nStallMs, const platform::CStopSignal& stop) = 0;
    // Wakes every thread blocked on the stream; later reads see the end. Any thread.
    virtual void Shutdown() = 0;
};

// The plain stream over a connected socket, which it shares (the session
// publishes the socket before its connect, to cut that connect short).
std::shared_ptr<IIrcStream> MakePlainStream(std::shared_ptr<platform::CSocket> pSocket);

// A TLS stream before its handshake: Shutdown already wakes a handshake in
// progress, so the session publishes it before Handshake runs.
class CTlsIrcStream : public IIrcStream {
public:
    CTlsIrcStream();
    ~CTlsIrcStream() override;

    // Takes the connected socket (left empty) and runs the handshake within
    // nTimeoutMs, ending early when pStop is set or on Shutdown. Empty on
    // success, else the operator's line naming the reason and the
    // fingerprint seen. On failure nothing was sent but the handshake.
    // The thread that connects.
    std::string Handshake(platform::CSocket& socket, const std::string& strHost,
                          const CIrcSecurity& security, int nTimeoutMs,
                          const platform::CStopSignal* pStop);
    // After a handshake that succeeded: "TLSv1.3" and the server's
    // certificate fingerprint.
    std::string Description() const;

    platform::EWaitResult WaitReadable(int nTimeoutMs, const platform::CSocketWake& wake) override;
    int Recv(void* pBuf, size_t nCap) override;
    EWriteResult Write(const std::string& strBytes, platform::CClock& clock, uint32_t nStallMs,
                       const platform::CStopSignal& stop) override;
    void Shutdown() override;

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
    // The socket under the TLS layer, for the wait on it beside the wake.
    platform::NativeSocket m_nSocket = platform::kNoSocket;
};

}  // namespace irc
