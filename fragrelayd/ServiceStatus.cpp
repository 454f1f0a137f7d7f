#include "fragrelayd/ServiceStatus.h"

#include <string>

namespace fragrelayd {

namespace {

// Whole seconds, rounded up, as the logs say them.
std::string Seconds(uint32_t nMs) {
    return std::to_string(nMs / 1000 + (nMs % 1000 != 0 ? 1 : 0)) + " s";
}

std::string IrcPart(const irc::CIrcStatus& irc) {
    switch (irc.m_eState) {
        case irc::EIrcState::Idle:
            return "IRC: off";
        case irc::EIrcState::Connecting:
            return "IRC: connecting";
        case irc::EIrcState::Registering:
            return "IRC: registering";
        case irc::EIrcState::Registered:
            return "IRC: joining " + irc.m_strChannel;
        case irc::EIrcState::InChannel:
            return "IRC: in " + irc.m_strChannel;
        case irc::EIrcState::Waiting:
            return "IRC: next attempt in " + Seconds(irc.m_nNextAttemptMs);
        case irc::EIrcState::Closing:
            return "IRC: closing";
    }
    return "IRC: off";
}

std::string GamePart(const core::CGameStatus& game) {
    if (game.m_eWanted == bridge::EGameState::Idle) return "game: off";
    if (game.m_eWanted == bridge::EGameState::Paused) return "game: paused";
    switch (game.m_eMonitor) {
        case monitor::EMonitorState::Starting:
            return "game: asking";
        case monitor::EMonitorState::Running:
            return game.m_bAnswering ? "game: answering" : "game: asking";
        case monitor::EMonitorState::Waiting:
            return "game: next attempt in " + Seconds(game.m_nNextRunMs);
        case monitor::EMonitorState::Ended:
            break;
    }
    return "game: off";
}

}  // namespace

std::string ServiceStatusLine(const core::CBotState& state) {
    return IrcPart(state.m_irc) + "; " + GamePart(state.m_game);
}

}  // namespace fragrelayd
