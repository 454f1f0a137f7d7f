#include "irc/IrcSession.h"

#include <utility>

#include "irc/IrcText.h"
#include "irc/LineFit.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

CIrcSession::CIrcSession(platform::CClock& clock, bridge::CGameShared& game, IIrcEvents& events,
                         platform::CHeartbeat* pBeat)
    : m_texts{kIdent, res::LoadResString(res::IDS_VERSION)},
      m_state(events),
      m_requests(events),
      m_sender(clock, *this, m_state),
      m_supervisor(clock, m_sender, m_state, m_requests, game, pBeat) {}

CIrcSession::~CIrcSession() {
    End();
}

void CIrcSession::SetRegistrationTexts(std::string strIdent, std::string strVersion) {
    std::lock_guard<std::mutex> lock(m_mutexSettings);
    m_texts.m_strIdent = std::move(strIdent);
    m_texts.m_strVersion = std::move(strVersion);
}

CIrcSettings CIrcSession::Settings() const {
    std::lock_guard<std::mutex> lock(m_mutexSettings);
    return m_settings;
}

void CIrcSession::Open(const CIrcSettings& settings) {
    std::lock_guard<std::mutex> guard(m_mutexOpen);
    // The previous session's thread may still wait for the server to close
    // after QUIT; a second thread on the same state is not allowed.
    m_supervisor.End();
    CRegistrationTexts texts;
    {
        std::lock_guard<std::mutex> lock(m_mutexSettings);
        m_settings = settings;
        texts = m_texts;
    }
    // Nothing asked of an earlier session is answered in this one.
    m_requests.Clear();
    m_state.BeginSession(settings.m_strChannel, settings.m_strNick);
    m_supervisor.Start(settings, texts);
}

void CIrcSession::QueueQuit() {
    std::string strVersion;
    {
        std::lock_guard<std::mutex> lock(m_mutexSettings);
        strVersion = m_texts.m_strVersion;
    }
    m_sender.Close(FitLine(WithoutLineBreaks(QuitLine(strVersion))));
}

void CIrcSession::Disconnect() {
    m_state.EndSession(m_supervisor.IsRunning());
    // QUIT behind the lines already queued; an attempt or a wait for the
    // next one ends now.
    QueueQuit();
    m_supervisor.CutShort();
}

void CIrcSession::End() {
    std::lock_guard<std::mutex> guard(m_mutexOpen);
    m_supervisor.End();
}

CIrcFigures CIrcSession::Figures() const {
    CIrcFigures figures;
    figures.m_nLinesSent = m_sender.LinesSent();
    figures.m_nLinesSkipped = m_sender.LinesSkipped();
    figures.m_nQueued = m_sender.Queued();
    figures.m_nReconnects = m_supervisor.Reconnects();
    return figures;
}

void CIrcSession::SendToChannelPaced(const std::string& strText) {
    m_sender.SendToChannel(strText, ELineKind::Event);
}

void CIrcSession::SendToChannel(const std::string& strText) {
    m_sender.SendToChannel(strText, ELineKind::Reply);
}

void CIrcSession::SendTicketLine(const std::string& strText) {
    m_sender.SendToChannel(strText, ELineKind::Ticket);
}

void CIrcSession::SendLine(const std::string& strText) {
    m_sender.Send(strText, ELineKind::Reply);
}

void CIrcSession::QueueLine(std::string strLine, ELineKind eKind, ELineTarget eTarget) {
    m_sender.Enqueue(std::move(strLine), eKind, eTarget);
}

bool CIrcSession::WriteToSocket(const std::string& strBytes) {
    return m_sender.Write(strBytes);
}

void CIrcSession::MarkInChannel(bool bIn, const std::string& strChannel) {
    if (bIn) {
        m_state.EnterChannel(strChannel.empty() ? m_state.Channel() : strChannel);
    } else {
        m_state.LeaveChannel();
    }
    m_sender.HoldChannel(!bIn);
}

}  // namespace irc
