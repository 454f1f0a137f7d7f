#include "platform/TlsRecordPump.h"

#include <algorithm>
#include <cstring>

namespace platform {

CTlsRecordPump::CTlsRecordPump(size_t nMaxIn) : m_nMaxIn(std::max<size_t>(nMaxIn, 1)) {}

char* CTlsRecordPump::Space(size_t* pnRoom) {
    if (m_vIn.size() < m_nMaxIn) m_vIn.resize(m_nMaxIn);
    *pnRoom = m_nMaxIn - m_nIn;
    return m_vIn.data() + m_nIn;
}

void CTlsRecordPump::Received(size_t nLen) {
    m_nIn += std::min(nLen, m_nMaxIn - m_nIn);
}

bool CTlsRecordPump::Feed(const char* pData, size_t nLen) {
    size_t nRoom = 0;
    char* p = Space(&nRoom);
    if (nLen > nRoom) return false;
    if (nLen > 0) std::memcpy(p, pData, nLen);
    Received(nLen);
    return true;
}

void CTlsRecordPump::KeepLast(size_t nExtra) {
    nExtra = std::min(nExtra, m_nIn);
    if (nExtra > 0 && nExtra < m_nIn)
        std::memmove(m_vIn.data(), m_vIn.data() + (m_nIn - nExtra), nExtra);
    m_nIn = nExtra;
}

void CTlsRecordPump::Fail(std::string strWhy) {
    if (m_bFailed) return;
    m_bFailed = true;
    m_strFailure = std::move(strWhy);
}

// Takes in what one codec call said; true when Run may go on at once.
bool CTlsRecordPump::TakeResult(const CTlsCodecResult& result, bool bDecrypt) {
    const ETlsCodecStatus eStatus = result.m_eStatus;
    if (eStatus == ETlsCodecStatus::Incomplete) {
        size_t nMissing = 1;
        for (int i = 0; i < result.m_nPieces; ++i)
            if (result.m_pieces[i].m_eKind == ETlsPieceKind::Missing)
                nMissing = std::max(nMissing, result.m_pieces[i].m_nLen);
        m_nWanted = m_nIn + nMissing;
        if (m_nWanted > m_nMaxIn)
            Fail("a TLS record longer than " + std::to_string(m_nMaxIn) + " bytes");
        return false;
    }
    const bool bTaken =
        eStatus == ETlsCodecStatus::Ok || (bDecrypt && (eStatus == ETlsCodecStatus::Renegotiate ||
                                                        eStatus == ETlsCodecStatus::Closed));
    if (!bTaken) {
        Fail(!result.m_strDetail.empty() ? result.m_strDetail
             : bDecrypt                  ? "a TLS record did not decrypt"
                                         : "a handshake message after the handshake was refused");
        return false;
    }
    const char* const pBegin = m_vIn.data();
    const char* const pEnd = pBegin + m_nIn;
    size_t nExtra = 0;
    for (int i = 0; i < result.m_nPieces; ++i) {
        const CTlsPiece& piece = result.m_pieces[i];
        if (piece.m_eKind == ETlsPieceKind::Extra) nExtra = piece.m_nLen;
        if (piece.m_eKind != ETlsPieceKind::Data || piece.m_nLen == 0) continue;
        // Decrypted in place: anything else is the library's mistake, never copied.
        if (piece.m_pData < pBegin || piece.m_pData > pEnd ||
            piece.m_nLen > static_cast<size_t>(pEnd - piece.m_pData)) {
            Fail("the decrypted bytes lie outside the record");
            return false;
        }
        if (m_nPlainPos == m_strPlain.size()) {
            m_strPlain.clear();
            m_nPlainPos = 0;
        }
        m_strPlain.append(piece.m_pData, piece.m_nLen);
    }
    const size_t nBefore = m_nIn;
    KeepLast(nExtra);
    const bool bTookBytes = m_nIn < nBefore;
    m_nWanted = 1;
    if (!bDecrypt) {
        m_bAfterHandshake = false;
        // A message and its handshake step that together took nothing
        // would come round again for ever.
        if (!m_bMessageTookBytes && !bTookBytes) {
            Fail("a handshake message after the handshake was not taken in");
            return false;
        }
        return true;
    }
    switch (eStatus) {
        case ETlsCodecStatus::Closed:
            m_bEnd = true;
            return false;
        case ETlsCodecStatus::Renegotiate:
            m_bAfterHandshake = true;
            m_bMessageTookBytes = bTookBytes;
            m_nWanted = 0;  // the handshake step is asked even with nothing left
            return true;
        default:
            if (!bTookBytes) {
                Fail("the decrypt step took no bytes");
                return false;
            }
            return true;
    }
}

CTlsRecordPump::EState CTlsRecordPump::Run(ITlsRecordCodec& codec) {
    // Each turn takes bytes, or ends the run: at most one turn per byte
    // held and one for a handshake message.
    for (size_t nTurns = 2 * m_nIn + 4; nTurns > 0 && !m_bFailed && !m_bEnd; --nTurns) {
        if (m_nIn < m_nWanted || (m_nIn == 0 && !m_bAfterHandshake)) break;
        const CTlsCodecResult result = m_bAfterHandshake ? codec.AfterHandshake(m_vIn.data(), m_nIn)
                                                         : codec.Decrypt(m_vIn.data(), m_nIn);
        if (!TakeResult(result, !m_bAfterHandshake)) break;
    }
    if (HasPlain()) return EState::Data;
    if (m_bFailed) return EState::Failed;
    if (m_bEnd) return EState::End;
    if (m_nIn >= m_nMaxIn) {
        Fail("a TLS record longer than " + std::to_string(m_nMaxIn) + " bytes");
        return EState::Failed;
    }
    return EState::NeedMore;
}

size_t CTlsRecordPump::Take(void* pBuf, size_t nCap) {
    const size_t n = std::min(nCap, m_strPlain.size() - m_nPlainPos);
    if (n > 0) std::memcpy(pBuf, m_strPlain.data() + m_nPlainPos, n);
    m_nPlainPos += n;
    if (m_nPlainPos == m_strPlain.size()) {
        m_strPlain.clear();
        m_nPlainPos = 0;
    }
    return n;
}

}  // namespace platform
