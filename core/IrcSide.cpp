#include "core/IrcSide.h"

#include "core/Bot.h"

namespace core {

CIrcSide::CIrcSide(CBot& bot, platform::CClock& clock, bridge::CGameShared& game)
    : CIrcSession(clock, game), m_bot(bot) {}

CIrcSide::~CIrcSide() {
    EndIrcThread();
}

irc::CIrcStatus CIrcSide::Status() {
    irc::CIrcStatus status;
    status.m_bSessionActive = IsSessionActive();
    status.m_strChannel = GetChannel();
    status.m_strNick = GetCurrentNick();
    if (status.m_strNick.empty()) status.m_strNick = Connection().m_strNick;
    switch (State()) {
        case EState::Idle:
            status.m_eState = irc::EIrcState::Idle;
            break;
        case EState::Connecting:
            status.m_eState = irc::EIrcState::Connecting;
            break;
        case EState::Connected:
            status.m_eState =
                IsInChannel() ? irc::EIrcState::InChannel : irc::EIrcState::Registering;
            break;
        case EState::Waiting:
            status.m_eState = irc::EIrcState::Waiting;
            break;
        case EState::Closing:
            status.m_eState = irc::EIrcState::Closing;
            break;
    }
    return status;
}

void CIrcSide::WriteLog(const std::string& strText) {
    m_bot.Log(ESide::Irc, strText);
    // Every change of the session's state comes with a log line.
    m_bot.PublishState();
}

void CIrcSide::OnSessionEnded() {
    m_bot.PublishState();
}

}  // namespace core
