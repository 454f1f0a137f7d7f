#include "irc/IrcConnection.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "irc/IrcLineSplitter.h"
#include "irc/IrcText.h"
#include "irc/LineFit.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

CIrcConnection::CIrcConnection(const CIrcConnectionContext& context, const CIrcSettings& settings,
                               const CRegistrationTexts& texts)
    : m_ctx(context), m_settings(settings), m_texts(texts) {
    m_view.m_strChannel = settings.m_strChannel;
    m_view.m_strCurrentNick = settings.m_strNick;
    m_view.m_strNick = settings.m_strNick;
    m_view.m_strAltNick = settings.m_strAltNick;
    m_view.m_strVersion = texts.m_strVersion;
}

void CIrcConnection::Beat(uint32_t nNextWithinMs) {
    if (m_ctx.m_pBeat != nullptr) m_ctx.m_pBeat->Beat(m_ctx.m_clock.GetTickCount(), nNextWithinMs);
}

bool CIrcConnection::Open() {
    CIrcSender& sender = m_ctx.m_sender;
    sender.BeginConnection();
    const std::string& strServer = m_settings.m_strServer;
    Beat(kLookupPromiseMs);
    const std::vector<platform::CNetAddress> vAddrs =
        platform::LookupHost(strServer, m_settings.m_nPort, &m_ctx.m_cut);
    // An attempt the operator cut short failed for no fault of the server's:
    // nothing to say about it.
    if (vAddrs.empty()) {
        if (!m_ctx.m_cut.IsStopped()) m_ctx.m_state.Log(res::LoadResString(res::IDS_NO_HOST));
        return false;
    }
    // The addresses in the resolver's order, each within the connect limit.
    // Each socket is published before its connect, so that End can cut
    // that connect short.
    std::shared_ptr<platform::CSocket> pSocket;
    const auto connectStart = std::chrono::steady_clock::now();
    const platform::EConnectResult eResult = platform::ConnectInTurn(
        vAddrs, kConnectTimeoutMs, &m_ctx.m_cut,
        [&](const std::shared_ptr<platform::CSocket>& pAttempt, const platform::CNetAddress&) {
            Beat(kConnectTimeoutMs);
            pAttempt->SetSendBuffer(kSendBufferBytes);
            sender.SetStream(MakePlainStream(pAttempt));
        },
        &pSocket);
    if (eResult == platform::EConnectResult::NoSocket) {
        m_ctx.m_state.Log(res::LoadResString(res::IDS_NO_SOCKET));
        sender.SetStream(nullptr);
        return false;
    }
    if (eResult != platform::EConnectResult::Connected || m_ctx.m_cut.IsStopped()) {
        if (!m_ctx.m_cut.IsStopped()) m_ctx.m_state.Log(res::LoadResString(res::IDS_NOT_FOUND));
        sender.SetStream(nullptr);
        return false;
    }
    const CIrcSecurity& security = m_settings.m_security;
    if (security.m_bTls) {
        // The handshake counts into the connect limit.
        const auto nSpentMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - connectStart)
                                  .count();
        const int nLeftMs = static_cast<int>(std::max<long long>(kConnectTimeoutMs - nSpentMs, 1));
        Beat(static_cast<uint32_t>(nLeftMs));
        if (!StartTls(pSocket, nLeftMs)) return false;
    }
    m_nConnectTick = m_ctx.m_clock.GetTickCount();
    m_nLastHeard = m_nConnectTick;
    sender.MarkConnected();
    m_ctx.m_state.SetPhase(EIrcState::Registering);
    m_ctx.m_state.Log("Connecting to " + strServer);
    if (security.m_bTls) {
        const std::shared_ptr<IIrcStream> pStream = sender.ConnectedStream();
        const auto* pTls = dynamic_cast<const CTlsIrcStream*>(pStream.get());
        if (pTls != nullptr) m_ctx.m_state.Log(kTextTlsConnected + pTls->Description());
    }
    std::string strRegistration;
    if (std::optional<CSaslConfig> sasl =
            SaslConfigFor(m_settings.m_bAuth, m_settings.Network(), m_settings.m_strUsername,
                          m_settings.m_strPassword, security)) {
        // Capability negotiation opens the registration, before NICK and USER.
        m_sasl.emplace(std::move(*sasl));
        for (const std::string& strLine : m_sasl->Start(m_nConnectTick).m_vSend)
            strRegistration += FitLine(WithoutLineBreaks(strLine)) + "\r\n";
    }
    m_ctx.m_state.SetCurrentNick(m_view.m_strCurrentNick);
    // Two lines in one write, each built from parts without line breaks.
    strRegistration += FitLine("NICK " + WithoutLineBreaks(m_view.m_strCurrentNick)) + "\r\n" +
                       FitLine("USER " + WithoutLineBreaks(m_texts.m_strIdent) +
                               " * * :" + WithoutLineBreaks(m_texts.m_strVersion));
    sender.SendBuilt(std::move(strRegistration), ELineKind::Urgent);
    sender.StartWriter();
    return true;
}

bool CIrcConnection::StartTls(std::shared_ptr<platform::CSocket> pSocket, int nTimeoutMs) {
    // Published before the handshake, so that End's shutdown reaches it; the
    // plain stream of the connect is done with.
    const auto pTls = std::make_shared<CTlsIrcStream>();
    m_ctx.m_sender.SetStream(pTls);
    const std::string strFailure = pTls->Handshake(*pSocket, m_settings.m_strServer,
                                                   m_settings.m_security, nTimeoutMs, &m_ctx.m_cut);
    if (strFailure.empty()) return true;
    m_ctx.m_state.Log(strFailure);
    m_ctx.m_sender.SetStream(nullptr);
    return false;
}

bool CIrcConnection::ApplySaslStep(const CSaslStep& step) {
    // AUTHENTICATE carries the secret: its lines go out, never into the log.
    for (const std::string& strLine : step.m_vSend) m_ctx.m_sender.Send(strLine, ELineKind::Urgent);
    for (const std::string& strLog : step.m_vLog) m_ctx.m_state.Log(strLog);
    if (step.m_bEndConnection) m_bSaslFailed = true;
    return step.m_bConsumed || step.m_bEndConnection;
}

void CIrcConnection::Dispatch(std::string& strLine) {
    // The negotiation's own lines, and nothing after its failure.
    if (m_bSaslFailed) return;
    if (m_sasl && ApplySaslStep(m_sasl->OnLine(strLine, m_ctx.m_clock.GetTickCount()))) return;
    m_view.m_eGameState = m_ctx.m_game.GameState();
    std::vector<CIrcAction> actions;
    DispatchLine(std::move(strLine), m_view, m_lineState, &actions);
    Apply(actions);
}

void CIrcConnection::Apply(const std::vector<CIrcAction>& actions) {
    CIrcSender& sender = m_ctx.m_sender;
    for (const CIrcAction& action : actions) {
        switch (action.m_eKind) {
            case CIrcAction::EKind::Send:
                sender.Send(action.m_strText, action.m_eLine);
                break;
            case CIrcAction::EKind::CtcpReply:
                // Anyone can ask; only a few answers a minute leave.
                if (m_ctx.m_ctcpLimiter.Allow(action.m_strNick, m_ctx.m_clock.GetTickCount()))
                    sender.Send(action.m_strText, ELineKind::Reply);
                break;
            case CIrcAction::EKind::Log:
                m_ctx.m_state.Log(action.m_strText);
                break;
            case CIrcAction::EKind::Request:
                m_ctx.m_requests.Add(action.m_request);
                break;
            case CIrcAction::EKind::EnterChannel:
                m_ctx.m_state.EnterChannel(action.m_strText);
                // Back in: what waited for the channel goes now.
                sender.HoldChannel(false);
                break;
            case CIrcAction::EKind::LeaveChannel:
                // Out: the rejoin goes ahead of the channel's lines, which wait.
                sender.HoldChannel(true);
                m_ctx.m_state.LeaveChannel();
                break;
            case CIrcAction::EKind::SetCurrentNick:
                m_ctx.m_state.SetCurrentNick(action.m_strText);
                break;
            case CIrcAction::EKind::EndConnection:
                m_bEnding = true;
                break;
            case CIrcAction::EKind::Registered:
                OnRegistered();
                break;
        }
    }
}

void CIrcConnection::OnRegistered() {
    m_bRegistered = true;
    m_nRegisteredTick = m_ctx.m_clock.GetTickCount();
    m_ctx.m_state.SetPhase(EIrcState::Registered);
    // The account login needs the secret: only here, never in the view.
    CIrcAuth auth;
    auth.m_bAuth = m_settings.m_bAuth;
    auth.m_eNetwork = m_settings.Network();
    auth.m_strUsername = m_settings.m_strUsername;
    auth.m_strPassword = m_settings.m_strPassword;
    std::vector<CIrcAction> actions;
    RegisteredActions(m_view, auth, &actions);
    Apply(actions);
}

uint32_t CIrcConnection::NextWaitMs(uint32_t nNow) const {
    // Each deadline as the time left until it, from nNow.
    auto left = [nNow](uint32_t nFrom, uint32_t nLimit) {
        const uint32_t nPassed = nNow - nFrom;
        return nPassed >= nLimit ? 0 : nLimit - nPassed;
    };
    uint32_t nWait = m_bPingSent ? left(m_nPingTick, kPingWaitMs) : left(m_nLastHeard, kQuietMs);
    if (!m_bRegistered) nWait = std::min(nWait, left(m_nConnectTick, kRegisterTimeoutMs));
    if (m_sasl && m_sasl->Waiting()) nWait = std::min(nWait, m_sasl->WaitLeftMs(nNow));
    uint32_t nClosingSince = 0;
    if (m_ctx.m_sender.IsClosing(&nClosingSince))
        nWait = std::min(nWait, left(nClosingSince, kCloseLimitMs));
    return nWait;
}

CConnectionOutcome CIrcConnection::Run() {
    const std::shared_ptr<IIrcStream> pStream = m_ctx.m_sender.ConnectedStream();
    if (!pStream) {
        // Never connected: nothing to end, nothing to say.
        m_ctx.m_sender.EndConnection();
        return CConnectionOutcome();
    }
    CIrcLineSplitter splitter;
    std::string strLine;
    char buf[kReadSize];
    ELinkFault eFault = ELinkFault::None;
    platform::CClock& clock = m_ctx.m_clock;
    for (;;) {
        // The deadlines first: a wake may have come for one of them.
        const uint32_t nNow = clock.GetTickCount();
        if (m_sasl && m_sasl->Waiting()) ApplySaslStep(m_sasl->OnTime(nNow));
        if (m_bSaslFailed || m_ctx.m_end.IsStopped()) break;
        uint32_t nClosingSince = 0;
        if (m_ctx.m_sender.IsClosing(&nClosingSince) && nNow - nClosingSince >= kCloseLimitMs)
            break;
        if (!m_bRegistered && nNow - m_nConnectTick >= kRegisterTimeoutMs) {
            eFault = ELinkFault::NoWelcome;
            break;
        }
        if (!m_bPingSent && nNow - m_nLastHeard >= kQuietMs) {
            m_ctx.m_sender.Send(LivenessPing(), ELineKind::Urgent);
            m_bPingSent = true;
            m_nPingTick = nNow;
        } else if (m_bPingSent && nNow - m_nPingTick >= kPingWaitMs) {
            eFault = ELinkFault::NoPong;
            break;
        }
        // Asleep until the next deadline, the server's bytes, a shutdown of
        // the stream, or the session's wake.
        const uint32_t nWaitMs = NextWaitMs(nNow);
        Beat(nWaitMs);
        const platform::EWaitResult eWait = pStream->WaitReadable(
            static_cast<int>(std::min<uint32_t>(clock.RealWaitMs(nWaitMs), INT32_MAX)),
            m_ctx.m_wake);
        if (eWait == platform::EWaitResult::Failed) break;
        if (eWait != platform::EWaitResult::Readable) continue;
        // A TLS record not yet whole reads as nothing: nothing ended either.
        const int n = pStream->Recv(buf, sizeof buf);
        if (n == IIrcStream::kNothingYet) continue;
        const ERead eRead = n > 0 ? ERead::Data : n == 0 ? ERead::Closed : ERead::Failed;
        if (eRead == ERead::Data) {
            // Heard before the lines act, so nothing they set off can come
            // before it.
            m_nLastHeard = clock.GetTickCount();
            m_bPingSent = false;
            splitter.Feed(buf, static_cast<size_t>(n));
            while (splitter.Next(strLine)) Dispatch(strLine);
        } else if (eRead == ERead::Closed && splitter.TakeRest(strLine)) {
            // The server's last words, closed without a line end.
            Dispatch(strLine);
        }
        if (eRead != ERead::Data || m_bEnding) break;  // closed, failed, or both nicknames taken
    }
    return End(eFault);
}

CConnectionOutcome CIrcConnection::End(ELinkFault eFault) {
    m_ctx.m_state.LeaveChannel();
    // The connection is over: a write still waiting is woken, so the writer
    // stops at once.
    m_ctx.m_sender.EndConnection();
    CConnectionOutcome outcome;
    outcome.m_eEnd = EndOfConnection(m_lineState);
    if (m_bRegistered) outcome.m_nRegisteredMs = m_ctx.m_clock.GetTickCount() - m_nRegisteredTick;
    if (m_ctx.m_sender.HasStalled()) {
        m_ctx.m_state.Log(kTextSendStalled);
    } else if (eFault == ELinkFault::NoPong) {
        m_ctx.m_state.Log(kTextNoPong);
    } else if (eFault == ELinkFault::NoWelcome) {
        m_ctx.m_state.Log(kTextNoWelcome);
    }
    m_ctx.m_state.Log(res::LoadResString(res::IDS_CONNECTION_CLOSED));
    return outcome;
}

}  // namespace irc
