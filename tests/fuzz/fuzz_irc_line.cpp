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
    view.m_eGameState = static_cast<bridge::EGameState>(pData[0] % 3);
    // The login only the registration's end sees: 0, 1 or SASL.
    irc::CIrcAuth auth;
    auth.m_bAuth = (pData[0] & 0x40) != 0;
    auth.m_eNetwork = irc::AuthNetworkOf((pData[0] >> 7) + ((pData[0] & 0x20) != 0 ? 1 : 0));
    auth.m_strUsername = "user";
    auth.m_strPassword = "pass-secret";
    irc::CIrcSecurity security;
    if ((pData[0] & 0x10) != 0) security.m_strClientCert = "client.pem";

    std::optional<irc::CSaslNegotiation> sasl;
    if (const auto config = irc::SaslConfigFor(auth.m_bAuth, auth.m_eNetwork, auth.m_strUsername,
                                               auth.m_strPassword, security))
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
        // The registration's end brings the login, as the connection applies it.
        std::vector<irc::CIrcAction> registered;
        for (const irc::CIrcAction& a : actions)
            if (a.m_eKind == irc::CIrcAction::EKind::Registered)
                irc::RegisteredActions(view, auth, &registered);
        actions.insert(actions.end(), registered.begin(), registered.end());
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
            // The secret reaches no log line unless the server sent it.
            if (a.m_eKind == irc::CIrcAction::EKind::Log)
                Check(bServerSaysSecret || a.m_strText.find("pass-secret") == std::string::npos);
            if (a.m_eKind == irc::CIrcAction::EKind::Request)
                Check(a.m_request.m_strArgs.size() <= irc::kMaxRequestArgs);
        }
    };
    for (size_t nPos = 1; nPos < nSize; nPos += nRead) {
        const size_t nLen = nSize - nPos < nRead ? nSize - nPos : nRead;
        splitter.Feed(reinterpret_cast<const char*>(pData + nPos), nLen);
        while (splitter.Next(strLine)) dispatch();
        Check(splitter.Pending() <= irc::CIrcLineSplitter::kMaxPendingLine + nRead);
    }
    if (splitter.TakeRest(strLine)) dispatch();
    const irc::EConnectionEnd eEnd = irc::EndOfConnection(state);
    Check(eEnd == irc::EConnectionEnd::Closed || eEnd == irc::EConnectionEnd::ServerError ||
          eEnd == irc::EConnectionEnd::Throttled);
    return 0;
}
