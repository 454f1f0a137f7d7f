#include "irc/IrcSession.h"

#include <utility>

#include "irc/IrcLineSplitter.h"
#include "irc/IrcText.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

CIrcSession::CIrcSession(platform::CClock& clock)
    : m_strVersion(res::LoadResString(res::IDS_VERSION)), m_clock(clock) {}

CIrcSession::~CIrcSession() {
    // A backstop only: the derived class has ended the thread already, since
    // the thread calls its hooks.
    EndIrcThread();
}

std::string CIrcSession::GetChannel() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    return m_strChannel;
}

std::string CIrcSession::GetCurrentNick() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    return m_strCurrentNick;
}

std::string CIrcSession::TakeRequest() {
    std::lock_guard<std::mutex> lock(m_mutexRequest);
    return std::exchange(m_strRequest, std::string());
}

void CIrcSession::SetRequest(std::string strRequest) {
    std::lock_guard<std::mutex> lock(m_mutexRequest);
    m_strRequest = std::move(strRequest);
}

std::shared_ptr<platform::CSocket> CIrcSession::CurrentSocket() {
    std::lock_guard<std::mutex> lock(m_mutexSocket);
    return m_bSocketConnected ? m_socket : nullptr;
}

void CIrcSession::MarkSocketConnected() {
    std::lock_guard<std::mutex> lock(m_mutexSocket);
    m_bSocketConnected = m_socket != nullptr;
}

void CIrcSession::ReplaceSocket(std::shared_ptr<platform::CSocket> pSocket) {
    std::shared_ptr<platform::CSocket> pOld;
    {
        std::lock_guard<std::mutex> lock(m_mutexSocket);
        pOld = std::exchange(m_socket, std::move(pSocket));
        m_bSocketConnected = false;
    }
    // The old one closes here, or after the last send that still holds it.
}

void CIrcSession::ShutdownSocket() {
    std::lock_guard<std::mutex> lock(m_mutexSocket);
    if (m_socket) m_socket->Shutdown();
}

bool CIrcSession::WriteToSocket(const std::string& strBytes) {
    const std::shared_ptr<platform::CSocket> pSocket = CurrentSocket();
    if (!pSocket) return false;
    std::lock_guard<std::mutex> lock(m_mutexSend);
    size_t nDone = 0;
    // A blocking send takes the whole line; the loop only covers an
    // interrupted one, so that a line never leaves in pieces between others.
    while (nDone < strBytes.size()) {
        const int n = pSocket->Send(strBytes.data() + nDone, strBytes.size() - nDone);
        if (n <= 0) return false;
        nDone += static_cast<size_t>(n);
    }
    return true;
}

void CIrcSession::SendLine(const std::string& strText) {
    // Every part of a line may come from settings or from other people;
    // none of it may end the line early and start a command of its own.
    WriteToSocket(WithoutLineBreaks(strText) + "\r\n");
}

void CIrcSession::SendToChannel(const std::string& strText) {
    if (!m_bInChannel.load()) return;
    SendLine("PRIVMSG " + GetChannel() + " :" + strText);
}

void CIrcSession::SendPrivmsg(const std::string& strTarget, const std::string& strText) {
    if (!m_bInChannel.load()) return;
    // Ending the session cuts the pause short; the line then has nowhere to go.
    if (!m_clock.Sleep(kPacePauseMs, &m_stop)) return;
    SendLine("PRIVMSG " + strTarget + " :" + strText);
}

void CIrcSession::SendToChannelPaced(const std::string& strText) {
    SendPrivmsg(GetChannel(), strText);
}

void CIrcSession::AppendLog(const std::string& strText) {
    if (strText.empty()) return;
    WriteLog(StripLogColours(strText));
    m_clock.Sleep(kLogPauseMs, &m_stop);
}

int CIrcSession::ConnectToServer() {
    auto pSocket = std::make_shared<platform::CSocket>(platform::CSocket::CreateTcp());
    // Published before connecting, so that EndIrcThread can cut a connect short.
    ReplaceSocket(pSocket);
    // Every failure below leaves -1, so that the receive loop that follows
    // ends at once instead of reading from a socket that never connected.
    m_nLastRecv = -1;
    if (!pSocket->IsValid()) {
        AppendLog(res::LoadResString(res::IDS_NO_SOCKET));
        return 1;
    }
    std::string strServer;
    uint16_t nPort = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        strServer = m_strServer;
        nPort = m_nPort;
    }
    m_addr = 0;
    uint32_t nAddr = 0;
    if (!platform::LookupHostIPv4(strServer, &nAddr)) {
        AppendLog(res::LoadResString(res::IDS_NO_HOST));
        return 1;
    }
    m_addr = nAddr;
    const bool bConnected = !m_stop.IsStopped() &&
                            pSocket->Connect(m_addr, nPort, kConnectTimeoutMs, &m_stop) &&
                            !m_stop.IsStopped();
    if (!bConnected) {
        AppendLog(res::LoadResString(res::IDS_NOT_FOUND));
        return 1;
    }
    m_nLastRecv = 0;
    MarkSocketConnected();
    AppendLog("Connecting to " + strServer);
    std::string strRegistration;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        m_strCurrentNick = m_strNick;
        // Two lines in one write, each built from parts without line breaks.
        strRegistration = "NICK " + WithoutLineBreaks(m_strCurrentNick) + "\r\n" + "USER " +
                          WithoutLineBreaks(m_strIdent) +
                          " * * :" + WithoutLineBreaks(m_strVersion) + "\r\n";
    }
    WriteToSocket(strRegistration);
    return 0;
}

CIrcSessionView CIrcSession::SnapshotView() {
    CIrcSessionView view;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        view.m_strChannel = m_strChannel;
        view.m_strCurrentNick = m_strCurrentNick;
        view.m_strNick = m_strNick;
        view.m_strAltNick = m_strAltNick;
        view.m_bAuth = m_bAuth;
        view.m_nNetwork = m_nNetwork;
        view.m_strUsername = m_strUsername;
        view.m_strPassword = m_strPassword;
        view.m_strVersion = m_strVersion;
    }
    view.m_nGameState = m_nGameState.load();
    return view;
}

void CIrcSession::Apply(const std::vector<CIrcAction>& actions) {
    for (const CIrcAction& action : actions) {
        switch (action.m_eKind) {
            case CIrcAction::EKind::Send:
                SendLine(action.m_strText);
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
                    m_strChannel = action.m_strText;
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
    const std::shared_ptr<platform::CSocket> pSocket = CurrentSocket();
    if (m_nLastRecv.load() == -1) {
        ReplaceSocket(nullptr);
        return 0;
    }
    CIrcLineSplitter splitter;
    CIrcLineState state;
    std::vector<CIrcAction> actions;
    std::string strLine;
    char buf[kReadSize];
    auto dispatch = [&](std::string& strOne) {
        CIrcSessionView view = SnapshotView();
        actions.clear();
        DispatchLine(std::move(strOne), view, state, &actions);
        Apply(actions);
    };
    for (;;) {
        const int n = pSocket ? pSocket->Recv(buf, sizeof buf) : -1;
        m_nLastRecv = n;
        if (n > 0) {
            splitter.Feed(buf, static_cast<size_t>(n));
            while (splitter.Next(strLine)) dispatch(strLine);
        } else if (n == 0 && splitter.TakeRest(strLine)) {
            // The server's last words, closed without a line end.
            dispatch(strLine);
        }
        if (m_nLastRecv.load() <= 0) break;  // closed, failed, or both nicknames taken
    }
    m_bInChannel = false;
    AppendLog(res::LoadResString(res::IDS_CONNECTION_CLOSED));
    ReplaceSocket(nullptr);
    return EndOfConnectionResult(state);
}

}  // namespace irc
