#include "irc/IrcSessionState.h"

#include "irc/IrcText.h"

namespace irc {

void CIrcSessionState::Log(const std::string& strText) {
    if (strText.empty()) return;
    const std::string strLine = StripLogColours(strText);
    // A line of colour codes alone says nothing.
    if (!strLine.empty()) m_events.OnIrcLog(strLine);
}

template <typename Change>
void CIrcSessionState::Update(Change fnChange) {
    bool bChanged;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CIrcStatus before = StatusLocked();
        fnChange();
        bChanged = !(StatusLocked() == before);
    }
    if (bChanged) m_events.OnIrcStatusChanged();
}

CIrcStatus CIrcSessionState::StatusLocked() const {
    CIrcStatus status;
    status.m_eState = m_ePhase == EIrcState::Idle ? EIrcState::Idle
                      : m_bClosing                ? EIrcState::Closing
                                                  : m_ePhase;
    status.m_bSessionActive = m_bSessionActive.load();
    status.m_strChannel = m_strJoinedChannel.empty() ? m_strChannel : m_strJoinedChannel;
    status.m_strNick = m_strNick;
    status.m_nNextAttemptMs = status.m_eState == EIrcState::Waiting ? m_nNextAttemptMs : 0;
    return status;
}

CIrcStatus CIrcSessionState::Status() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return StatusLocked();
}

std::string CIrcSessionState::Channel() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strJoinedChannel.empty() ? m_strChannel : m_strJoinedChannel;
}

void CIrcSessionState::BeginSession(const std::string& strChannel, const std::string& strNick) {
    Update([&] {
        m_strChannel = strChannel;
        m_strJoinedChannel.clear();
        m_strNick = strNick;
        m_ePhase = EIrcState::Connecting;
        m_bClosing = false;
        m_bInChannel = false;
        m_bSessionActive = true;
    });
}

void CIrcSessionState::SetPhase(EIrcState ePhase, uint32_t nWaitMs) {
    Update([&] {
        m_ePhase = ePhase;
        m_nNextAttemptMs = nWaitMs;
    });
}

void CIrcSessionState::EnterChannel(const std::string& strChannel) {
    Update([&] {
        m_strJoinedChannel = strChannel;
        if (m_ePhase != EIrcState::Idle) m_ePhase = EIrcState::InChannel;
        m_bInChannel = true;
    });
}

void CIrcSessionState::LeaveChannel() {
    Update([&] {
        if (m_ePhase == EIrcState::InChannel) m_ePhase = EIrcState::Registered;
        m_bInChannel = false;
    });
}

void CIrcSessionState::SetCurrentNick(const std::string& strNick) {
    Update([&] { m_strNick = strNick; });
}

void CIrcSessionState::EndSession(bool bThreadRuns) {
    Update([&] {
        m_bSessionActive = false;
        m_bInChannel = false;
        m_strJoinedChannel.clear();
        if (bThreadRuns && m_ePhase != EIrcState::Idle) m_bClosing = true;
    });
}

void CIrcSessionState::ThreadEnded() {
    Update([&] {
        m_ePhase = EIrcState::Idle;
        m_bClosing = false;
        m_bSessionActive = false;
        m_bInChannel = false;
        m_strJoinedChannel.clear();
    });
}

void CIrcSessionState::SetSessionActive(bool bActive) {
    Update([&] { m_bSessionActive = bActive; });
}

}  // namespace irc
