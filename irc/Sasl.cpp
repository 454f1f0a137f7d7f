#include "irc/Sasl.h"

#include "irc/IrcMessage.h"

namespace irc {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char ca = a[i], cb = b[i];
        if (ca >= 'a' && ca <= 'z') ca = static_cast<char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z') cb = static_cast<char>(cb - 'a' + 'A');
        if (ca != cb) return false;
    }
    return true;
}

bool IsNumeric(const std::string& str, const char* pszCode) {
    return str == pszCode;
}

}  // namespace

std::string Base64Encode(std::string_view strBytes) {
    std::string strOut;
    strOut.reserve((strBytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= strBytes.size(); i += 3) {
        const uint32_t n = (static_cast<uint8_t>(strBytes[i]) << 16) |
                           (static_cast<uint8_t>(strBytes[i + 1]) << 8) |
                           static_cast<uint8_t>(strBytes[i + 2]);
        strOut += kAlphabet[(n >> 18) & 63];
        strOut += kAlphabet[(n >> 12) & 63];
        strOut += kAlphabet[(n >> 6) & 63];
        strOut += kAlphabet[n & 63];
    }
    const size_t nRest = strBytes.size() - i;
    if (nRest > 0) {
        uint32_t n = static_cast<uint8_t>(strBytes[i]) << 16;
        if (nRest == 2) n |= static_cast<uint8_t>(strBytes[i + 1]) << 8;
        strOut += kAlphabet[(n >> 18) & 63];
        strOut += kAlphabet[(n >> 12) & 63];
        strOut += nRest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
        strOut += '=';
    }
    return strOut;
}

bool Base64Decode(std::string_view strText, std::string* pBytes) {
    pBytes->clear();
    if (strText.size() % 4 != 0) return false;
    pBytes->reserve(strText.size() / 4 * 3);
    for (size_t i = 0; i < strText.size(); i += 4) {
        const bool bLast = i + 4 == strText.size();
        int v[4];
        int nPad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = strText[i + k];
            if (c == '=' && bLast && k >= 2) {
                v[k] = 0;
                ++nPad;
                continue;
            }
            if (nPad > 0) return false;  // data after padding
            v[k] = Base64Value(c);
            if (v[k] < 0) return false;
        }
        const uint32_t n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        // The bits under the padding must be zero: one text per byte string.
        if ((nPad == 1 && (n & 0xFF) != 0) || (nPad == 2 && (n & 0xFFFF) != 0)) return false;
        pBytes->push_back(static_cast<char>((n >> 16) & 0xFF));
        if (nPad < 2) pBytes->push_back(static_cast<char>((n >> 8) & 0xFF));
        if (nPad < 1) pBytes->push_back(static_cast<char>(n & 0xFF));
    }
    return true;
}

std::vector<std::string> AuthenticateLines(std::string_view strResponse) {
    const std::string strEncoded = Base64Encode(strResponse);
    std::vector<std::string> vLines;
    for (size_t nPos = 0; nPos < strEncoded.size(); nPos += kAuthenticateChunk)
        vLines.push_back("AUTHENTICATE " + strEncoded.substr(nPos, kAuthenticateChunk));
    // An empty response, or one whose last chunk is full, ends with "+".
    if (strEncoded.size() % kAuthenticateChunk == 0) vLines.push_back("AUTHENTICATE +");
    return vLines;
}

std::string PlainResponse(std::string_view strAccount, std::string_view strPassword) {
    std::string str(strAccount);
    str += '\0';
    str += strAccount;
    str += '\0';
    str += strPassword;
    return str;
}

const char* MechanismName(ESaslMechanism eMechanism) {
    return eMechanism == ESaslMechanism::External ? "EXTERNAL" : "PLAIN";
}

std::string SaslFailureText(ESaslFailure eFailure) {
    switch (eFailure) {
        case ESaslFailure::None:
            return "no failure";
        case ESaslFailure::NoCapSupport:
            return "the server does not know capability negotiation (421 for CAP)";
        case ESaslFailure::NoCapAnswer:
            return "the server registered the bot without answering CAP";
        case ESaslFailure::NotOffered:
            return "the server does not offer SASL";
        case ESaslFailure::MechanismNotOffered:
            return "the server does not offer this SASL mechanism";
        case ESaslFailure::CapRefused:
            return "the server refused the sasl capability (CAP NAK)";
        case ESaslFailure::CapListTooLong:
            return "the server's capability list is too long";
        case ESaslFailure::ChallengeTooLong:
            return "the server's SASL challenge is too long";
        case ESaslFailure::NickLocked:
            return "the account is locked or held (902)";
        case ESaslFailure::Rejected:
            return "the server refused the account or password (904)";
        case ESaslFailure::TooLong:
            return "the SASL message was too long for the server (905)";
        case ESaslFailure::Aborted:
            return "the authentication was aborted (906)";
        case ESaslFailure::AlreadyAuthenticated:
            return "already authenticated (907)";
        case ESaslFailure::TimedOut:
            return "no answer from the server within 30 s";
    }
    return "failed";
}

uint32_t CSaslNegotiation::WaitLeftMs(uint32_t nNowMs) const {
    const uint32_t nWaited = nNowMs - m_nSince;
    return nWaited >= kAnswerTimeoutMs ? 0 : kAnswerTimeoutMs - nWaited;
}

bool CSaslNegotiation::Waiting() const {
    return m_eState == ESaslState::WaitingForCaps || m_eState == ESaslState::WaitingForAck ||
           m_eState == ESaslState::WaitingForChallenge || m_eState == ESaslState::WaitingForResult;
}

void CSaslNegotiation::Enter(ESaslState eState, uint32_t nNowMs) {
    m_eState = eState;
    m_nSince = nNowMs;
}

std::string CSaslNegotiation::Response() const {
    // EXTERNAL asks for the identity the certificate gives: an empty response.
    if (m_config.m_eMechanism == ESaslMechanism::External) return {};
    return PlainResponse(m_config.m_strAccount, m_config.m_strPassword);
}

void CSaslNegotiation::Fail(ESaslFailure eFailure, const std::string& strDetail, CSaslStep* pStep) {
    const ESaslState eWas = m_eState;
    m_eState = ESaslState::Failed;
    m_eFailure = eFailure;
    // An exchange under way is called off, so the server does not wait for it.
    if (eWas == ESaslState::WaitingForChallenge || eWas == ESaslState::WaitingForResult) {
        if (eFailure == ESaslFailure::TimedOut || eFailure == ESaslFailure::ChallengeTooLong)
            pStep->m_vSend.push_back("AUTHENTICATE *");
    }
    std::string strLog = "SASL failed: " + SaslFailureText(eFailure);
    if (!strDetail.empty()) strLog += " (" + strDetail + ")";
    // Without CAP (or already registered) there is no CAP END to send.
    const bool bServerWaitsForCapEnd =
        eFailure != ESaslFailure::NoCapSupport && eFailure != ESaslFailure::NoCapAnswer;
    if (m_config.m_bRegisterWithoutSasl) {
        if (bServerWaitsForCapEnd) pStep->m_vSend.push_back("CAP END");
        strLog += "; registering without SASL";
    } else {
        pStep->m_bEndConnection = true;
        strLog += "; ending the connection";
    }
    pStep->m_vLog.push_back(std::move(strLog));
}

CSaslStep CSaslNegotiation::Start(uint32_t nNowMs) {
    CSaslStep step;
    if (m_eState != ESaslState::Idle) return step;
    m_offer = CCapOffer();
    step.m_vSend.push_back("CAP LS 302");
    Enter(ESaslState::WaitingForCaps, nNowMs);
    return step;
}

CSaslStep CSaslNegotiation::OnTime(uint32_t nNowMs) {
    CSaslStep step;
    // Unsigned difference: correct across the tick count's wrap.
    if (!Waiting() || nNowMs - m_nSince < kAnswerTimeoutMs) return step;
    std::string strWhat;
    switch (m_eState) {
        case ESaslState::WaitingForCaps:
            strWhat = "CAP LS";
            break;
        case ESaslState::WaitingForAck:
            strWhat = "CAP REQ";
            break;
        default:
            strWhat = "AUTHENTICATE";
            break;
    }
    Fail(ESaslFailure::TimedOut, "no answer to " + strWhat, &step);
    return step;
}

void CSaslNegotiation::OnCap(const CCapReply& reply, uint32_t nNowMs, CSaslStep* pStep) {
    const std::string& strSub = reply.m_strSubcommand;
    if (m_eState == ESaslState::WaitingForCaps && strSub == "LS") {
        const CCapOffer::EAdd eAdd = m_offer.Add(reply);
        if (eAdd == CCapOffer::EAdd::More) return;
        if (eAdd == CCapOffer::EAdd::TooLong) {
            Fail(ESaslFailure::CapListTooLong, {}, pStep);
            return;
        }
        if (!m_offer.Offers("sasl")) {
            Fail(ESaslFailure::NotOffered, {}, pStep);
            return;
        }
        // A value lists the mechanisms (CAP 302); without one, try ours.
        const std::string strValue = m_offer.ValueOf("sasl");
        if (!strValue.empty()) {
            bool bFound = false;
            for (const std::string& strName : SplitCapValue(strValue))
                if (strName == MechanismName(m_config.m_eMechanism)) bFound = true;
            if (!bFound) {
                Fail(ESaslFailure::MechanismNotOffered, "offered: " + strValue, pStep);
                return;
            }
        }
        pStep->m_vSend.push_back("CAP REQ :sasl");
        Enter(ESaslState::WaitingForAck, nNowMs);
        return;
    }
    if (m_eState == ESaslState::WaitingForAck && (strSub == "ACK" || strSub == "NAK")) {
        bool bSasl = false;
        for (const CCapability& cap : SplitCapList(reply.m_strList, CCapOffer::kMaxCaps))
            if (cap.m_strName == "sasl") bSasl = true;
        if (!bSasl) return;  // about another capability: not ours
        if (strSub == "NAK") {
            Fail(ESaslFailure::CapRefused, {}, pStep);
            return;
        }
        m_strChallenge.clear();
        pStep->m_vSend.push_back(std::string("AUTHENTICATE ") +
                                 MechanismName(m_config.m_eMechanism));
        Enter(ESaslState::WaitingForChallenge, nNowMs);
    }
    // Anything else (NEW, DEL, LIST, a late line): nothing to do.
}

void CSaslNegotiation::OnAuthenticate(const std::string& strData, uint32_t nNowMs,
                                      CSaslStep* pStep) {
    if (m_eState != ESaslState::WaitingForChallenge) return;
    // The challenge comes as the response does: 400-byte chunks, the last
    // one shorter, "+" for an empty one.
    if (strData != "+") {
        if (m_strChallenge.size() + strData.size() > kMaxChallenge) {
            Fail(ESaslFailure::ChallengeTooLong, {}, pStep);
            return;
        }
        m_strChallenge += strData;
        if (strData.size() == kAuthenticateChunk) return;  // more follows
    }
    // PLAIN and EXTERNAL answer any challenge the same way.
    m_strChallenge.clear();
    for (std::string& strLine : AuthenticateLines(Response()))
        pStep->m_vSend.push_back(std::move(strLine));
    Enter(ESaslState::WaitingForResult, nNowMs);
}

CSaslStep CSaslNegotiation::OnLine(std::string_view strLine, uint32_t nNowMs) {
    CSaslStep step;
    CIrcMessage message;
    if (!ParseIrcMessage(strLine, &message)) return step;
    const std::string& strCommand = message.m_strCommand;

    CCapReply reply;
    if (ParseCapReply(strLine, &reply)) {
        // CAP lines are the negotiation's at any time; the dispatch knows none.
        step.m_bConsumed = true;
        if (Waiting()) OnCap(reply, nNowMs, &step);
        return step;
    }
    if (!Waiting()) return step;

    if (EqualsNoCase(strCommand, "AUTHENTICATE")) {
        step.m_bConsumed = true;
        OnAuthenticate(message.Param(0), nNowMs, &step);
        return step;
    }
    if (IsNumeric(strCommand, "421") && EqualsNoCase(message.Param(1), "CAP")) {
        step.m_bConsumed = true;
        Fail(ESaslFailure::NoCapSupport, {}, &step);
        return step;
    }
    if (IsNumeric(strCommand, "001")) {
        // Registered: the dispatch needs the line too.
        Fail(ESaslFailure::NoCapAnswer, {}, &step);
        return step;
    }
    if (IsNumeric(strCommand, "900")) {
        step.m_bConsumed = true;
        m_strAccount = message.Param(2);
        return step;
    }
    if (IsNumeric(strCommand, "908")) {
        step.m_bConsumed = true;
        m_strMechanisms = message.Param(1);
        return step;
    }
    if (IsNumeric(strCommand, "903")) {
        step.m_bConsumed = true;
        if (m_eState != ESaslState::WaitingForResult && m_eState != ESaslState::WaitingForChallenge)
            return step;
        step.m_vSend.push_back("CAP END");
        step.m_vLog.push_back(m_strAccount.empty() ? "SASL: logged in"
                                                   : "SASL: logged in as " + m_strAccount);
        Enter(ESaslState::LoggedIn, nNowMs);
        return step;
    }
    static constexpr struct {
        const char* m_pszCode;
        ESaslFailure m_eFailure;
    } kFailures[] = {{"902", ESaslFailure::NickLocked},
                     {"904", ESaslFailure::Rejected},
                     {"905", ESaslFailure::TooLong},
                     {"906", ESaslFailure::Aborted},
                     {"907", ESaslFailure::AlreadyAuthenticated}};
    for (const auto& failure : kFailures) {
        if (!IsNumeric(strCommand, failure.m_pszCode)) continue;
        step.m_bConsumed = true;
        std::string strDetail;
        if (failure.m_eFailure == ESaslFailure::Rejected && !m_strMechanisms.empty())
            strDetail = "the server takes " + m_strMechanisms;
        Fail(failure.m_eFailure, strDetail, &step);
        return step;
    }
    return step;
}

}  // namespace irc
