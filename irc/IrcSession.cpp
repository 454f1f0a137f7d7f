#include "irc/IrcSession.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "irc/IrcLineSplitter.h"
#include "irc/IrcText.h"
#include "irc/LineFit.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

CIrcSession::CIrcSession(platform::CClock& clock, bridge::CGameShared& game)
    : m_clock(clock),
      m_game(game),
      m_writer(
          clock, CSendPace{kBurstLines, kPacePauseMs, kLineSpacingMs},
          [this](const std::string& strBytes) { return WriteToSocket(strBytes); },
          [this](uint32_t nSkipped) { return SkippedLine(nSkipped); }) {
    m_strVersion = res::LoadResString(res::IDS_VERSION);
}

CIrcSession::~CIrcSession() {
    // A backstop only: the derived class has ended the thread already, since
    // the thread calls its hooks.
    EndIrcThread();
}

CIrcSettings CIrcSession::Connection() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    return *this;
}

void CIrcSession::SetConnection(const CIrcSettings& connection) {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    static_cast<CIrcSettings&>(*this) = connection;
}

void CIrcSession::SetRegistrationTexts(std::string strIdent, std::string strVersion) {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    m_strIdent = std::move(strIdent);
    m_strVersion = std::move(strVersion);
}

std::string CIrcSession::GetChannel() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    return ChannelInUseLocked();
}

std::string CIrcSession::GetCurrentNick() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    return m_strCurrentNick;
}

std::string CIrcSession::TakeRequest() {
    std::lock_guard<std::mutex> lock(m_mutexRequest);
    if (m_requests.empty()) return {};
    std::string strRequest = std::move(m_requests.front());
    m_requests.pop_front();
    return strRequest;
}

void CIrcSession::SetRequest(std::string strRequest) {
    std::lock_guard<std::mutex> lock(m_mutexRequest);
    // A second "!gameinfo" before the first is answered would only repeat
    // the answer; a flood of joins must not grow the queue.
    if (std::find(m_requests.begin(), m_requests.end(), strRequest) != m_requests.end()) return;
    if (m_requests.size() >= kMaxRequests) return;
    m_requests.push_back(std::move(strRequest));
}

std::shared_ptr<IIrcStream> CIrcSession::CurrentSocket() {
    std::lock_guard<std::mutex> lock(m_mutexSocket);
    return m_bSocketConnected ? m_socket : nullptr;
}

void CIrcSession::MarkSocketConnected() {
    std::lock_guard<std::mutex> lock(m_mutexSocket);
    m_bSocketConnected = m_socket != nullptr;
}

void CIrcSession::ReplaceSocket(std::shared_ptr<IIrcStream> pStream) {
    std::shared_ptr<IIrcStream> pOld;
    {
        std::lock_guard<std::mutex> lock(m_mutexSocket);
        pOld = std::exchange(m_socket, std::move(pStream));
        m_bSocketConnected = false;
    }
    // The old one closes here, or after the last write that still holds it.
}

void CIrcSession::ShutdownSocket() {
    std::lock_guard<std::mutex> lock(m_mutexSocket);
    if (m_socket) m_socket->Shutdown();
}

bool CIrcSession::WriteToSocket(const std::string& strBytes) {
    const std::shared_ptr<IIrcStream> pStream = CurrentSocket();
    if (!pStream) return false;
    // A line leaves whole or the connection goes: a peer that takes
    // nothing for kSendStallMs has stopped reading.
    const EWriteResult eResult =
        pStream->Write(strBytes, m_clock, kSendStallMs, m_writer.Stopping());
    if (eResult == EWriteResult::Written) return true;
    if (eResult == EWriteResult::Stalled) m_eLinkFault = ELinkFault::SendStalled;
    // The receive loop sees the end at once and ends the connection (the
    // fault noted first, so that it names it).
    pStream->Shutdown();
    return false;
}

void CIrcSession::QueueLine(std::string strLine, ELineKind eKind) {
    if (m_writer.Push(std::move(strLine), eKind)) return;
    // After QUIT nothing else is meant to leave; otherwise the hard cap
    // refused it. Said once per connection: a flood of requests must not
    // flood the log too.
    uint32_t nSince = 0;
    if (!m_writer.IsClosing(&nSince) && !m_bRefusalLogged.exchange(true)) AppendLog(kTextQueueFull);
}

void CIrcSession::Send(const std::string& strLine, ELineKind eKind) {
    // Every part of a line may come from settings or from other people;
    // none of it may end the line early and start a command of its own.
    QueueLine(FitLine(WithoutLineBreaks(strLine)), eKind);
}

std::string CIrcSession::SkippedLine(uint32_t nSkipped) {
    const std::string strLine = "PRIVMSG " + GetChannel() + " :" + SkippedLinesText(nSkipped);
    return FitLine(WithoutLineBreaks(strLine));
}

void CIrcSession::SendLine(const std::string& strText) {
    Send(strText, ELineKind::Reply);
}

void CIrcSession::SendToChannel(const std::string& strText) {
    if (!m_bInChannel.load()) return;
    Send("PRIVMSG " + GetChannel() + " :" + strText, ELineKind::Reply);
}

void CIrcSession::SendTicketLine(const std::string& strText) {
    if (!m_bInChannel.load()) return;
    Send("PRIVMSG " + GetChannel() + " :" + strText, ELineKind::Ticket);
}

void CIrcSession::SendPrivmsg(const std::string& strTarget, const std::string& strText) {
    if (!m_bInChannel.load()) return;
    Send("PRIVMSG " + strTarget + " :" + strText, ELineKind::Event);
}

void CIrcSession::SendToChannelPaced(const std::string& strText) {
    SendPrivmsg(GetChannel(), strText);
}

void CIrcSession::AppendLog(const std::string& strText) {
    if (strText.empty()) return;
    WriteLog(StripLogColours(strText));
}

int CIrcSession::ConnectToServer() {
    // What a previous connection left unsent stays with it. A TLS write
    // that still waits is woken by the shutdown, not by the stop alone.
    ShutdownSocket();
    m_writer.Stop();
    m_writer.Clear();
    m_bRefusalLogged = false;
    m_eLinkFault = ELinkFault::None;
    // Every failure below leaves -1, so that the receive loop that follows
    // ends at once instead of reading from a socket that never connected.
    m_nLastRecv = -1;
    ReplaceSocket(nullptr);
    m_sasl.reset();
    m_bSaslFailed = false;
    const CIrcSettings connection = Connection();
    const std::string& strServer = connection.m_strServer;
    const uint16_t nPort = connection.m_nPort;
    const CIrcSecurity& security = connection.m_security;
    std::optional<CSaslConfig> sasl =
        SaslConfigFor(connection.m_bAuth, connection.m_nNetwork, connection.m_strUsername,
                      connection.m_strPassword, connection.m_security);
    m_addr = {};
    const std::vector<platform::CNetAddress> vAddrs = platform::LookupHost(strServer, nPort);
    if (vAddrs.empty()) {
        AppendLog(res::LoadResString(res::IDS_NO_HOST));
        return 1;
    }
    // The addresses in the resolver's order, each within the connect limit.
    // Each socket is published before its connect, so that EndIrcThread can
    // cut that connect short.
    std::shared_ptr<platform::CSocket> pSocket;
    const auto connectStart = std::chrono::steady_clock::now();
    const platform::EConnectResult eResult = platform::ConnectInTurn(
        vAddrs, kConnectTimeoutMs, &m_stop,
        [this](const std::shared_ptr<platform::CSocket>& pAttempt,
               const platform::CNetAddress& addr) {
            m_addr = addr;
            pAttempt->SetSendBuffer(kSendBufferBytes);
            ReplaceSocket(MakePlainStream(pAttempt));
        },
        &pSocket);
    if (eResult == platform::EConnectResult::NoSocket) {
        AppendLog(res::LoadResString(res::IDS_NO_SOCKET));
        return 1;
    }
    if (eResult != platform::EConnectResult::Connected || m_stop.IsStopped()) {
        AppendLog(res::LoadResString(res::IDS_NOT_FOUND));
        return 1;
    }
    if (security.m_bTls) {
        // The handshake counts into the connect limit.
        const auto nSpentMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - connectStart)
                                  .count();
        const int nLeftMs = static_cast<int>(std::max<long long>(kConnectTimeoutMs - nSpentMs, 1));
        if (!StartTls(*pSocket, strServer, security, nLeftMs)) return 1;
    }
    m_nLastRecv = 0;
    m_nConnectTick = m_clock.GetTickCount();
    MarkSocketConnected();
    AppendLog("Connecting to " + strServer);
    if (security.m_bTls) {
        const std::shared_ptr<IIrcStream> pStream = CurrentSocket();
        const auto* pTls = dynamic_cast<const CTlsIrcStream*>(pStream.get());
        if (pTls != nullptr) AppendLog(kTextTlsConnected + pTls->Description());
    }
    std::string strRegistration;
    if (sasl) {
        // Capability negotiation opens the registration, before NICK and USER.
        m_sasl.emplace(std::move(*sasl));
        for (const std::string& strLine : m_sasl->Start(m_clock.GetTickCount()).m_vSend)
            strRegistration += FitLine(WithoutLineBreaks(strLine)) + "\r\n";
    }
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        m_strCurrentNick = m_strNick;
        // Two lines in one write, each built from parts without line breaks.
        strRegistration += FitLine("NICK " + WithoutLineBreaks(m_strCurrentNick)) + "\r\n" +
                           FitLine("USER " + WithoutLineBreaks(m_strIdent) +
                                   " * * :" + WithoutLineBreaks(m_strVersion));
    }
    QueueLine(strRegistration, ELineKind::Urgent);
    m_writer.Start();
    return 0;
}

bool CIrcSession::StartTls(platform::CSocket& socket, const std::string& strServer,
                           const CIrcSecurity& security, int nTimeoutMs) {
    // Published before the handshake, so that EndIrcThread's shutdown
    // reaches it; the plain stream of the connect is done with.
    const auto pTls = std::make_shared<CTlsIrcStream>();
    ReplaceSocket(pTls);
    const std::string strFailure =
        pTls->Handshake(socket, strServer, security, nTimeoutMs, &m_stop);
    if (strFailure.empty()) return true;
    AppendLog(strFailure);
    ReplaceSocket(nullptr);
    return false;
}

bool CIrcSession::ApplySaslStep(const CSaslStep& step) {
    // AUTHENTICATE carries the secret: its lines go out, never into the log.
    for (const std::string& strLine : step.m_vSend) Send(strLine, ELineKind::Urgent);
    for (const std::string& strLog : step.m_vLog) AppendLog(strLog);
    if (step.m_bEndConnection) m_bSaslFailed = true;
    return step.m_bConsumed || step.m_bEndConnection;
}

CIrcSessionView CIrcSession::SnapshotView() {
    CIrcSessionView view;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        view.m_strChannel = ChannelInUseLocked();
        view.m_strCurrentNick = m_strCurrentNick;
        view.m_strNick = m_strNick;
        view.m_strAltNick = m_strAltNick;
        view.m_bAuth = m_bAuth;
        view.m_nNetwork = m_nNetwork;
        view.m_strUsername = m_strUsername;
        view.m_strPassword = m_strPassword;
        view.m_strVersion = m_strVersion;
    }
    view.m_nGameState = static_cast<int>(m_game.GameState());
    return view;
}

void CIrcSession::Apply(const std::vector<CIrcAction>& actions) {
    for (const CIrcAction& action : actions) {
        switch (action.m_eKind) {
            case CIrcAction::EKind::Send:
                Send(action.m_strText, action.m_eLine);
                break;
            case CIrcAction::EKind::CtcpReply:
                // Anyone can ask; only a few answers a minute leave.
                if (m_ctcpLimiter.Allow(action.m_strNick, m_clock.GetTickCount()))
                    Send(action.m_strText, ELineKind::Reply);
                break;
            case CIrcAction::EKind::Log:
                AppendLog(action.m_strText);
                break;
            case CIrcAction::EKind::Request:
                SetRequest(action.m_strText);
                break;
            case CIrcAction::EKind::EnterChannel: {
                {
                    std::lock_guard<std::mutex> lock(m_mutexFields);
                    m_strJoinedChannel = action.m_strText;
                }
                m_bInChannel = true;
                break;
            }
            case CIrcAction::EKind::LeaveChannel:
                m_bInChannel = false;
                break;
            case CIrcAction::EKind::SetCurrentNick: {
                std::lock_guard<std::mutex> lock(m_mutexFields);
                m_strCurrentNick = action.m_strText;
                break;
            }
            case CIrcAction::EKind::EndConnection:
                m_nLastRecv = 0;
                break;
        }
    }
}

void CIrcSession::OnRegistered() {
    std::vector<CIrcAction> actions;
    RegisteredActions(SnapshotView(), &actions);
    Apply(actions);
}

void CIrcSession::OnNickInUse() {
    CIrcSessionView view = SnapshotView();
    std::vector<CIrcAction> actions;
    NickInUseActions(view, &actions);
    Apply(actions);
}

int CIrcSession::ReceiveLoop() {
    m_bInChannel = false;
    m_bRegistered = false;
    const std::shared_ptr<IIrcStream> pSocket = CurrentSocket();
    if (m_nLastRecv.load() == -1 || !pSocket) {
        m_writer.Stop();
        ReplaceSocket(nullptr);
        return 0;
    }
    CIrcLineSplitter splitter;
    CIrcLineState state;
    std::vector<CIrcAction> actions;
    std::string strLine;
    char buf[kReadSize];
    auto dispatch = [&](std::string& strOne) {
        // The negotiation's own lines, and nothing after its failure.
        if (m_bSaslFailed) return;
        if (m_sasl && ApplySaslStep(m_sasl->OnLine(strOne, m_clock.GetTickCount()))) return;
        CIrcSessionView view = SnapshotView();
        actions.clear();
        DispatchLine(std::move(strOne), view, state, &actions);
        if (state.m_strCommand == "376" || state.m_strCommand == "422") m_bRegistered = true;
        Apply(actions);
    };
    // The registration's time runs from the connect, not from this loop.
    const uint32_t nConnectTick = m_nConnectTick;
    uint32_t nLastHeard = nConnectTick;
    uint32_t nPingTick = 0;
    bool bPingSent = false;
    for (;;) {
        // Never a read without a time limit: the timers below run between
        // the slices, and a shut-down socket reads as the end at once.
        const platform::WaitResult eWait = pSocket->WaitReadable(kWaitSliceMs);
        if (eWait == platform::WaitResult::Failed) {
            m_nLastRecv = -1;
            break;
        }
        // A TLS record not yet whole reads as nothing: nothing ended either.
        const int n = eWait == platform::WaitResult::Readable ? pSocket->Recv(buf, sizeof buf) : 0;
        if (eWait == platform::WaitResult::Readable && n != IIrcStream::kNothingYet) {
            m_nLastRecv = n;
            if (n > 0) {
                // Heard before the lines act, so nothing they set off can
                // come before it.
                nLastHeard = m_clock.GetTickCount();
                bPingSent = false;
                splitter.Feed(buf, static_cast<size_t>(n));
                while (splitter.Next(strLine)) dispatch(strLine);
            } else if (n == 0 && splitter.TakeRest(strLine)) {
                // The server's last words, closed without a line end.
                dispatch(strLine);
            }
            if (m_nLastRecv.load() <= 0) break;  // closed, failed, or both nicknames taken
        }
        const uint32_t nNow = m_clock.GetTickCount();
        if (m_sasl && m_sasl->Waiting()) ApplySaslStep(m_sasl->OnTime(nNow));
        if (m_bSaslFailed) break;
        uint32_t nClosingSince = 0;
        if (m_writer.IsClosing(&nClosingSince) && nNow - nClosingSince >= kCloseLimitMs) break;
        if (!m_bRegistered && nNow - nConnectTick >= kRegisterTimeoutMs) {
            m_eLinkFault = ELinkFault::NoWelcome;
            break;
        }
        if (!bPingSent && nNow - nLastHeard >= kQuietMs) {
            QueueLine(LivenessPing(), ELineKind::Urgent);
            bPingSent = true;
            nPingTick = nNow;
        } else if (bPingSent && nNow - nPingTick >= kPingWaitMs) {
            m_eLinkFault = ELinkFault::NoPong;
            break;
        }
    }
    return EndConnection(state);
}

int CIrcSession::EndConnection(const CIrcLineState& state) {
    m_bInChannel = false;
    // The connection is over: a write still waiting (TLS waits in one call)
    // is woken, so the writer stops at once.
    ShutdownSocket();
    m_writer.Stop();
    switch (m_eLinkFault.load()) {
        case ELinkFault::SendStalled:
            AppendLog(kTextSendStalled);
            break;
        case ELinkFault::NoPong:
            AppendLog(kTextNoPong);
            break;
        case ELinkFault::NoWelcome:
            AppendLog(kTextNoWelcome);
            break;
        case ELinkFault::None:
            break;
    }
    AppendLog(res::LoadResString(res::IDS_CONNECTION_CLOSED));
    ReplaceSocket(nullptr);
    return EndOfConnectionResult(state);
}

// ---- The IRC thread's life: reconnection after the server drops the bot
// (when and whether, CReconnectPolicy decides), and the one-thread-at-a-time
// rule for starting and ending it.

void CIrcSession::IrcThread() {
    int nResult = ReceiveLoop();
    for (;;) {
        // Disconnect pressed meanwhile, or the program is ending the thread.
        if (!m_bSessionActive.load() || m_stop.IsStopped()) break;
        const uint32_t nWaitMs =
            m_reconnect.NextWaitMs(nResult, m_bRegistered, m_bKeepAlive.load());
        if (nWaitMs == 0) break;
        AppendLog(nResult == 2 ? std::string(kTextWaiting) : NextAttemptText(nWaitMs));
        m_eState = EState::Waiting;
        if (!m_clock.Sleep(nWaitMs, &m_sessionEnd)) break;
        if (!m_bSessionActive.load() || m_stop.IsStopped()) break;
        AppendLog(kTextReconnecting);
        m_eState = EState::Connecting;
        ConnectToServer();
        // A Disconnect during the attempt may have found nothing to say QUIT on.
        if (!m_bSessionActive.load()) QueueQuit();
        m_eState = m_bSessionActive.load() ? EState::Connected : EState::Closing;
        nResult = ReceiveLoop();
    }
    m_bSessionActive = false;
    ForgetJoinedChannel();
    m_eState = EState::Idle;
    if (!m_stop.IsStopped()) OnSessionEnded();
    {
        std::lock_guard<std::mutex> lock(m_mutexAlive);
        m_bThreadAlive = false;
    }
    m_cvAlive.notify_all();
}

int CIrcSession::OpenSession() {
    std::lock_guard<std::mutex> guard(m_mutexThread);
    // The previous connection's thread may still wait for the server to
    // close after QUIT; a second thread on the same state is not allowed.
    EndIrcThreadLocked();
    m_sessionEnd.Reset();
    m_reconnect.Reset();
    ForgetJoinedChannel();
    m_bSessionActive = true;
    m_eState = EState::Connecting;
    const bool bConnected = ConnectToServer() == 0;
    if (!bConnected && !m_bKeepAlive.load()) {
        m_bSessionActive = false;
        m_eState = EState::Idle;
        return 1;
    }
    // With keep-alive, a failed first connect goes on as any lost link does.
    m_eState = bConnected ? EState::Connected : EState::Waiting;
    m_bThreadAlive = true;
    m_thread = std::thread([this] { IrcThread(); });
    return 0;
}

void CIrcSession::QueueQuit() {
    std::string strQuit;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        strQuit = QuitLine(m_strVersion);
    }
    m_writer.Close(FitLine(WithoutLineBreaks(strQuit)));
}

void CIrcSession::Disconnect() {
    m_bSessionActive = false;
    m_bInChannel = false;
    ForgetJoinedChannel();
    // QUIT behind the lines already queued; a supervisor that waits for its
    // next attempt ends now.
    QueueQuit();
    m_sessionEnd.Stop();
    if (m_bThreadAlive.load()) m_eState = EState::Closing;
}

void CIrcSession::ForgetJoinedChannel() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    m_strJoinedChannel.clear();
}

void CIrcSession::EndIrcThread() {
    std::lock_guard<std::mutex> guard(m_mutexThread);
    EndIrcThreadLocked();
}

void CIrcSession::EndIrcThreadLocked() {
    const bool bOwnThread = m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id();
    if (bOwnThread) return;
    // A QUIT that Disconnect queued goes now, ahead of what still waits.
    m_writer.FlushFinal(kQuitGraceMs);
    if (m_thread.joinable()) {
        m_stop.Stop();
        m_sessionEnd.Stop();
        // Repeated, because a reconnection may publish a new socket after the
        // first shutdown; each one wakes a blocked connect.
        for (;;) {
            ShutdownSocket();
            std::unique_lock<std::mutex> lock(m_mutexAlive);
            if (m_cvAlive.wait_for(lock, std::chrono::milliseconds(50),
                                   [this] { return !m_bThreadAlive.load(); }))
                break;
        }
        m_thread.join();
    }
    // A connection opened without the thread (a connect alone) ends here too.
    m_writer.Stop();
    ShutdownSocket();
    ReplaceSocket(nullptr);
    m_stop.Reset();
    m_eState = EState::Idle;
}

}  // namespace irc
