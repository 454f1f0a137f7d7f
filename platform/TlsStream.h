#pragma once
// A TLS client over a TCP connection that already stands: the handshake, the
// checks of the server's certificate, and reads and writes of the protected
// bytes. Either the chain is verified against the system's trust store (plus
// an optional extra CA file) together with the host name, or, when a SHA-256
// fingerprint is pinned, the leaf certificate must have exactly that
// fingerprint. Verification is never switched off, and nothing falls back to
// plain text: a stream whose handshake failed sends and receives nothing.
//
// Every wait is bounded (a time limit, the stop signal, or Shutdown from
// another thread), so nothing blocks for ever. The header names no type of
// the TLS library or of the operating system: another implementation can
// stand behind it.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Socket.h"

namespace platform {

class CStopSignal;

// What the handshake checks and shows.
struct CTlsOptions {
    // The server's name as the operator typed it: sent as SNI (unless it is
    // an IP address literal) and checked against the certificate's names.
    std::string m_strHost;
    // Pinned SHA-256 of the server's certificate, hex, colons allowed, any
    // case. Empty: verify the chain and the host name instead.
    std::string m_strFingerprint;
    // PEM file of CA certificates trusted besides the system's store.
    std::string m_strCaFile;
    // PEM file holding a client certificate and its key (for CertFP); a key
    // with a pass phrase fails at once, without a prompt.
    std::string m_strClientCert;
};

// Why a handshake failed, as far as the operator can act on it.
enum class ETlsFailure {
    None,
    BadPin,               // the pinned fingerprint is not 32 bytes of hex
    ClientCertificate,    // the client certificate file is missing, unreadable or wrong,
                          // or its key has a pass phrase (never asked for: EncryptedKeyText)
    CaFile,               // the extra CA file is missing or holds no certificate
    Stopped,              // the stop signal or Shutdown ended it
    TimedOut,             // the server did not finish the handshake in time
    PeerClosed,           // the server closed the connection during the handshake
    Expired,              // the certificate (or one in its chain) is past its end date
    NotYetValid,          // the certificate is not valid yet
    WrongName,            // the certificate is for another host name or address
    UnknownIssuer,        // the chain does not lead to a trusted CA
    SelfSigned,           // a self-signed certificate that is not trusted
    FingerprintMismatch,  // pinned, and the certificate has another fingerprint
    Untrusted,            // any other verification failure
    Protocol,             // the handshake itself failed (no TLS server, no common cipher...)
};

struct CTlsHandshakeResult {
    ETlsFailure m_eFailure = ETlsFailure::None;
    // The detail: the path of a bad file, the library's words for an
    // unusual failure. May be empty.
    std::string m_strDetail;
    // SHA-256 of the server's certificate as "AB:CD:...", once one was seen.
    std::string m_strFingerprint;

    bool Ok() const { return m_eFailure == ETlsFailure::None; }
};

// A line for the operator: the reason, its detail and the fingerprint seen,
// e.g. "TLS: certificate expired (fingerprint AB:CD:...)". Pure; any thread.
std::string TlsFailureText(const CTlsHandshakeResult& result);

// Reads a pinned fingerprint: 64 hex digits, colons allowed anywhere between
// them, any case, blanks around it ignored. On success *pNormal (if given)
// gets the "AB:CD:..." form. Pure; any thread.
bool ParseFingerprint(std::string_view strText, std::string* pNormal = nullptr);

// The "AB:CD:..." form of raw digest bytes.
std::string FingerprintText(const unsigned char* pDigest, size_t nLen);

class CTlsStream {
public:
    // Recv's result when nothing arrived within its time limit.
    static constexpr int kTimedOut = -2;

    CTlsStream();
    ~CTlsStream();  // closes the connection (close_notify best effort, no wait)
    CTlsStream(const CTlsStream&) = delete;
    CTlsStream& operator=(const CTlsStream&) = delete;

    // Takes the connected socket and runs the handshake within nTimeoutMs;
    // ends early when pStop (if given) is stopped or Shutdown is called.
    // Files are checked before a byte is sent. On failure the socket is
    // closed. Called once, by the thread that owns the stream.
    CTlsHandshakeResult Handshake(CSocket socket, const CTlsOptions& options, int nTimeoutMs,
                                  const CStopSignal* pStop = nullptr);

    bool IsOpen() const;
    // The server certificate's SHA-256 ("AB:CD:..."), after the handshake.
    std::string PeerFingerprint() const;
    // The protocol version agreed on ("TLSv1.3"), after the handshake.
    std::string Version() const;

    // Sends all nLen bytes within nTimeoutMs. Returns nLen, or -1 on failure
    // or when time ran out; a send cut short by the time limit leaves the
    // stream unusable (a record was left half written). Senders are served
    // one at a time. Any thread, also while another thread reads.
    int Send(const void* pData, size_t nLen, int nTimeoutMs);
    int Send(const std::string& str, int nTimeoutMs) {
        return Send(str.data(), str.size(), nTimeoutMs);
    }

    // Receives up to nCap bytes, as many as have arrived: part of a line or
    // several lines. Waits up to nTimeoutMs (-1: until something happens).
    // Returns the bytes received, 0 at the end of the stream (the server
    // closed, or Shutdown), -1 on failure, kTimedOut. One reading thread.
    int Recv(void* pBuf, size_t nCap, int nTimeoutMs = -1);
    // Waits up to nTimeoutMs until Recv has something to return at once
    // (bytes, the end, or a failure). Same thread as Recv.
    EWaitResult WaitReadable(int nTimeoutMs);

    // Wakes a thread blocked in Recv, WaitReadable, Send or the handshake;
    // later reads see the end. Any thread.
    void Shutdown();
    // Ends the connection: close_notify if it can go at once, then closes
    // the socket. The owner's thread, with no other thread in Recv or Send
    // (Shutdown from another thread may come at any time).
    void Close();

private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};

}  // namespace platform
