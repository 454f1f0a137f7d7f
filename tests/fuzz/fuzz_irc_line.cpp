// Any bytes from the server, cut into reads of any size, through the line
// splitter, the SASL negotiation (when chosen, as the session has it in front
// of the dispatch), the message parser and the dispatch: no crash, nothing
// sent that could end its line early and start another, and the secret
// never in a log line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "irc/IrcDispatch.h"
#include "irc/IrcLineSplitter.h"
#include "irc/IrcSecurity.h"
#include "irc/LineFit.h"
#include "irc/Sasl.h"

namespace {

void Check(bool bOk) {
    if (!bOk) __builtin_trap();
}

bool HasLineBreak(const std::string& str) {
    return str.find('\r') != std::string::npos || str.find('\n') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize == 0) return 0;
    // The first byte chooses the read size and the game state.
    const size_t nRead = 1 + (pData[0] % 64) * 17;
    irc::CIrcSessionView view;
    view.m_strChannel = "#chan";
    view.m_strCurrentNick = "bot";
    view.m_strNick = "bot";
    view.m_strAltNick = "bot2";
    view.m_strVersion = "v1.3 BETA";
    view.m_bAuth = (pData[0] & 0x40) != 0;
    view.m_nNetwork = (pData[0] >> 7) + ((pData[0] & 0x20) != 0 ? 1 : 0);  // 0, 1 or SASL
    irc::CIrcSecurity security;
    if ((pData[0] & 0x10) != 0) security.m_strClientCert = "client.pem";
    view.m_strUsername = "user";
    view.m_strPassword = "pass";
    view.m_nGameState = pData[0] % 3;

    std::optional<irc::CSaslNegotiation> sasl;
    if (const auto config =
            irc::SaslConfigFor(view.m_bAuth, view.m_nNetwork, "user", "pass-secret", security))
        sasl.emplace(*config);
    uint32_t nNow = 0;
    // A log line may quote what the server sent (the mechanisms it offers),
    // so the secret may be there only when the server's bytes held it.
    const bool bServerSaysSecret =
        std::string_view(reinterpret_cast<const char*>(pData), nSize).find("pass-secret") !=
        std::string_view::npos;
    auto saslStep = [&](const irc::CSaslStep& step) {
        for (const std::string& str : step.m_vSend) {
            Check(!HasLineBreak(str));
            Check(irc::FitLine(str).size() <= irc::kMaxLineBytes);
        }
        for (const std::string& str : step.m_vLog)
            Check(bServerSaysSecret || str.find("pass-secret") == std::string::npos);
        return step.m_bConsumed || step.m_bEndConnection;
    };
    if (sasl) saslStep(sasl->Start(nNow));

    irc::CIrcLineSplitter splitter;
    irc::CIrcLineState state;
    std::vector<irc::CIrcAction> actions;
    std::string strLine;
    auto dispatch = [&] {
        Check(!strLine.empty() && !HasLineBreak(strLine) &&
              strLine.find('\0') == std::string::npos);
        nNow += 1000;
        if (sasl && saslStep(sasl->OnTime(nNow))) return;
        if (sasl && saslStep(sasl->OnLine(strLine, nNow))) return;
        actions.clear();
        irc::DispatchLine(strLine, view, state, &actions);
        for (const irc::CIrcAction& a : actions) {
            // A sent line is its text plus "\r\n": the text must hold neither,
            // and fitted it stays within the protocol's length.
            if (a.m_eKind == irc::CIrcAction::EKind::Send ||
                a.m_eKind == irc::CIrcAction::EKind::CtcpReply) {
                Check(!HasLineBreak(a.m_strText));
                Check(irc::FitLine(a.m_strText).size() <= irc::kMaxLineBytes);
            }
            if (a.m_eKind == irc::CIrcAction::EKind::EnterChannel)
                Check(!HasLineBreak(a.m_strText));
        }
    };
    for (size_t nPos = 1; nPos < nSize; nPos += nRead) {
        const size_t nLen = nSize - nPos < nRead ? nSize - nPos : nRead;
        splitter.Feed(reinterpret_cast<const char*>(pData + nPos), nLen);
        while (splitter.Next(strLine)) dispatch();
        Check(splitter.Pending() <= irc::CIrcLineSplitter::kMaxPendingLine + nRead);
    }
    if (splitter.TakeRest(strLine)) dispatch();
    const int nResult = irc::EndOfConnectionResult(state);
    Check(nResult >= 0 && nResult <= 2);
    return 0;
}
