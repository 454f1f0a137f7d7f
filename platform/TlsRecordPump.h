#pragma once
// The reading side of a TLS stream whose library decrypts one record at a
// time, in place, and says what it found in a few typed pieces (SChannel's
// DecryptMessage): received bytes go in, plain bytes come out. What the
// library answers, record by record, decides what happens next:
//   Ok           a record was decrypted: its Data goes out, its Extra (the
//                bytes after it) is decrypted next;
//   Incomplete   the bytes end inside a record: read more (Missing, when
//                given, says at least how many) and try again;
//   Renegotiate  a handshake message after the handshake (a TLS 1.3 ticket
//                or key update): what follows it goes to the handshake step,
//                which may itself want more bytes first;
//   Closed       the server's close_notify: the stream ends after what came
//                before it;
//   Failed       anything else: the stream is done for.
// The library stands behind ITlsRecordCodec, so that a test can feed the
// pump records in any pieces with a codec of its own. No type of the system
// here. One reading thread uses a pump; the codec locks what it shares.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

enum class ETlsCodecStatus { Ok, Incomplete, Renegotiate, Closed, Failed };

enum class ETlsPieceKind {
    Data,     // decrypted bytes, somewhere inside the bytes given
    Extra,    // the last m_nLen bytes given were not used: the next record
    Missing,  // at least m_nLen more bytes are needed
};

struct CTlsPiece {
    ETlsPieceKind m_eKind = ETlsPieceKind::Data;
    const char* m_pData = nullptr;  // Data only
    size_t m_nLen = 0;
};

struct CTlsCodecResult {
    static constexpr int kMaxPieces = 4;
    ETlsCodecStatus m_eStatus = ETlsCodecStatus::Failed;
    CTlsPiece m_pieces[kMaxPieces];
    int m_nPieces = 0;
    // The library's words for a failure (the handshake step's too).
    std::string m_strDetail;

    void Add(ETlsPieceKind eKind, size_t nLen, const char* pData = nullptr) {
        if (m_nPieces < kMaxPieces) m_pieces[m_nPieces++] = {eKind, pData, nLen};
    }
};

class ITlsRecordCodec {
public:
    virtual ~ITlsRecordCodec() = default;
    // Decrypts the record at the start of the nLen bytes at pData, in place
    // (Data points into them). nLen may be less than a record.
    virtual CTlsCodecResult Decrypt(char* pData, size_t nLen) = 0;
    // After Renegotiate: gives the handshake step what followed the message
    // (nLen may be 0). Ok when it took the message in (Extra: bytes it left
    // for Decrypt), Incomplete when it wants more first; anything else
    // fails the stream. What it must answer the server, it keeps for the
    // writer itself.
    virtual CTlsCodecResult AfterHandshake(char* pData, size_t nLen) = 0;
};

class CTlsRecordPump {
public:
    enum class EState {
        Data,      // plain bytes to Take
        NeedMore,  // read more from the socket, Received(), then Run again
        End,       // close_notify, after every byte before it was taken
        Failed,    // see Failure()
    };

    // nMaxIn: the most received bytes held undecrypted (a record is at most
    // 16 KiB and its overhead; a little more for a handshake message).
    explicit CTlsRecordPump(size_t nMaxIn = 64 * 1024);

    // Where the next received bytes go: up to *pnRoom bytes at the result.
    // *pnRoom is 0 when the pump holds nMaxIn bytes that do not make a
    // record; Run has failed the stream then.
    char* Space(size_t* pnRoom);
    // nLen bytes were received into Space().
    void Received(size_t nLen);
    // Copies bytes in (those left over from the handshake); false when they
    // do not fit.
    bool Feed(const char* pData, size_t nLen);

    // Decrypts what has come as far as it goes. Data is returned while plain
    // bytes wait to be taken, even after the end or a failure behind them.
    EState Run(ITlsRecordCodec& codec);
    // Moves up to nCap plain bytes out; returns how many.
    size_t Take(void* pBuf, size_t nCap);
    bool HasPlain() const { return m_nPlainPos < m_strPlain.size(); }
    // Received bytes not yet decrypted.
    size_t Pending() const { return m_nIn; }
    // Why Run failed.
    const std::string& Failure() const { return m_strFailure; }

private:
    void KeepLast(size_t nExtra);
    bool TakeResult(const CTlsCodecResult& result, bool bDecrypt);
    void Fail(std::string strWhy);

    std::vector<char> m_vIn;  // received, not yet decrypted: the first m_nIn bytes
    size_t m_nIn = 0;
    size_t m_nMaxIn;
    size_t m_nWanted = 1;  // Run calls the codec again once m_nIn reaches this
    std::string m_strPlain;
    size_t m_nPlainPos = 0;
    bool m_bAfterHandshake = false;    // a handshake message waits for the handshake step
    bool m_bMessageTookBytes = false;  // the decrypt step took bytes for that message
    bool m_bEnd = false;
    bool m_bFailed = false;
    std::string m_strFailure;
};

}  // namespace platform
