// The TLS texts and fingerprint forms: pure, shared by every implementation
// of CTlsStream.
#include <cctype>

#include "platform/TlsStream.h"

namespace platform {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trimmed(std::string_view str) {
    while (!str.empty() && (str.front() == ' ' || str.front() == '\t')) str.remove_prefix(1);
    while (!str.empty() && (str.back() == ' ' || str.back() == '\t')) str.remove_suffix(1);
    return str;
}

std::string ReasonOf(const CTlsHandshakeResult& result) {
    const std::string& strDetail = result.m_strDetail;
    switch (result.m_eFailure) {
        case ETlsFailure::None:
            return "connected";
        case ETlsFailure::BadPin:
            return "the pinned fingerprint is not a SHA-256 in hex (64 hex digits, colons allowed)";
        case ETlsFailure::ClientCertificate:
            return "client certificate: " + strDetail;
        case ETlsFailure::CaFile:
            return "CA file: " + strDetail;
        case ETlsFailure::Stopped:
            return "handshake stopped";
        case ETlsFailure::TimedOut:
            return "handshake timed out";
        case ETlsFailure::PeerClosed:
            return "the server closed the connection during the handshake";
        case ETlsFailure::Expired:
            return "certificate expired";
        case ETlsFailure::NotYetValid:
            return "certificate not yet valid";
        case ETlsFailure::WrongName:
            return strDetail.empty()
                       ? "certificate has the wrong name"
                       : "certificate has the wrong name (not valid for " + strDetail + ")";
        case ETlsFailure::UnknownIssuer:
            return "certificate from an unknown issuer";
        case ETlsFailure::SelfSigned:
            return "self-signed certificate";
        case ETlsFailure::FingerprintMismatch:
            return "fingerprint mismatch (pinned " + strDetail + ")";
        case ETlsFailure::Untrusted:
            return "certificate not trusted: " + strDetail;
        case ETlsFailure::Protocol:
            return strDetail.empty() ? "handshake failed" : "handshake failed: " + strDetail;
    }
    return "handshake failed";
}

}  // namespace

std::string TlsFailureText(const CTlsHandshakeResult& result) {
    std::string strText = "TLS: " + ReasonOf(result);
    if (!result.Ok() && !result.m_strFingerprint.empty())
        strText += " (fingerprint seen: " + result.m_strFingerprint + ")";
    return strText;
}

std::string FingerprintText(const unsigned char* pDigest, size_t nLen) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string str;
    str.reserve(nLen * 3);
    for (size_t i = 0; i < nLen; ++i) {
        if (i > 0) str += ':';
        str += kHex[pDigest[i] >> 4];
        str += kHex[pDigest[i] & 0x0F];
    }
    return str;
}

bool ParseFingerprint(std::string_view strText, std::string* pNormal) {
    constexpr size_t kBytes = 32;
    unsigned char digest[kBytes];
    size_t nDigits = 0;
    for (char c : Trimmed(strText)) {
        if (c == ':') continue;
        const int n = HexValue(c);
        if (n < 0 || nDigits >= kBytes * 2) return false;
        if (nDigits % 2 == 0)
            digest[nDigits / 2] = static_cast<unsigned char>(n << 4);
        else
            digest[nDigits / 2] |= static_cast<unsigned char>(n);
        ++nDigits;
    }
    if (nDigits != kBytes * 2) return false;
    if (pNormal != nullptr) *pNormal = FingerprintText(digest, kBytes);
    return true;
}

}  // namespace platform
