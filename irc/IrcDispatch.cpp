#include "irc/IrcDispatch.h"

#include <optional>
#include <string_view>
#include <utility>

#include "irc/IrcMessage.h"
#include "irc/IrcText.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

namespace {

using EKind = CIrcAction::EKind;

using bridge::EChannelRequest;

void Add(std::vector<CIrcAction>* pActions, EKind eKind, std::string strText = {}) {
    pActions->push_back(CIrcAction{eKind, std::move(strText), ELineKind::Control, {}, {}});
}

void Send(std::vector<CIrcAction>* pActions, ELineKind eLine, std::string strText) {
    pActions->push_back(CIrcAction{EKind::Send, std::move(strText), eLine, {}, {}});
}

void CtcpReply(std::vector<CIrcAction>* pActions, const std::string& strNick, std::string strText) {
    pActions->push_back(
        CIrcAction{EKind::CtcpReply, std::move(strText), ELineKind::Reply, strNick, {}});
}

void Request(std::vector<CIrcAction>* pActions, EChannelRequest eKind, const std::string& strNick,
             std::string strArgs = {}) {
    pActions->push_back(CIrcAction{EKind::Request,
                                   {},
                                   ELineKind::Control,
                                   {},
                                   bridge::CChannelRequest{eKind, strNick, std::move(strArgs)}});
}

// "PONG" with the PING's parameters, the last one after a colon.
std::string PongFor(const CIrcMessage& msg) {
    std::string strPong = "PONG";
    for (size_t n = 0; n + 1 < msg.m_params.size(); ++n) strPong += " " + msg.m_params[n];
    return strPong + " :" + msg.LastParam();
}

void ChannelMessage(const std::string& strNick, const std::string& strText,
                    std::vector<CIrcAction>* pActions) {
    constexpr std::string_view kAction =
        "\x01"
        "ACTION";
    if (std::string_view(strText).substr(0, strText.find(' ')) == kAction) {
        // The action text runs from after "\x01ACTION " up to the closing "\x01".
        std::string_view strAction;
        if (strText.size() > kAction.size() + 1)
            strAction = std::string_view(strText).substr(kAction.size() + 1);
        strAction = strAction.substr(0, strAction.find('\x01'));
        Add(pActions, EKind::Log, ":: " + strNick + " " + std::string(strAction));
    } else {
        Add(pActions, EKind::Log, "<" + strNick + "> " + strText);
    }
}

void PrivateMessage(const std::string& strNick, const std::string& strText,
                    const CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    if (CommandOf(strText) == "\x01VERSION\x01") {
        CtcpReply(pActions, strNick,
                  "NOTICE " + strNick + " :\x01VERSION " + res::LoadResString(res::IDS_APPNAME) +
                      " " + view.m_strVersion + " " + Attribution() + "\x01");
    }
    if (strText.compare(0, 6, "\x01PING ") == 0)
        CtcpReply(pActions, strNick, "NOTICE " + strNick + " :" + strText);
}

void Join(const std::string& strNick, const std::string& strChannel, CIrcSessionView& view,
          std::vector<CIrcAction>* pActions) {
    Add(pActions, EKind::Log, ":: " + strNick + " has joined " + strChannel);
    if (strNick != view.m_strCurrentNick) {
        switch (view.m_eGameState) {
            case bridge::EGameState::Idle:
                Send(pActions, ELineKind::Reply, "NOTICE " + strNick + " :" + NoticeOffline());
                break;
            case bridge::EGameState::Paused:
                Send(pActions, ELineKind::Reply, "NOTICE " + strNick + " :" + NoticePaused());
                break;
            case bridge::EGameState::Running:
                Request(pActions, EChannelRequest::Join, strNick);
                break;
        }
    } else {
        // The server's spelling of the channel wins.
        view.m_strChannel = strChannel;
        Add(pActions, EKind::EnterChannel, strChannel);
    }
}

void Kick(const std::string& strNick, const std::string& strVictim, CIrcSessionView& view,
          std::vector<CIrcAction>* pActions) {
    Add(pActions, EKind::Log, ":: " + strVictim + " was kicked by " + strNick);
    if (strVictim == view.m_strCurrentNick) {
        Add(pActions, EKind::LeaveChannel);
        Send(pActions, ELineKind::Control, "JOIN " + view.m_strChannel);
    }
}

// "!gameinfo" or ".gameinfo" at the start of a message to the channel.
bool IsGameInfoCommand(const CIrcMessage& msg, const CIrcSessionView& view) {
    if (msg.m_strCommand != "PRIVMSG" && msg.m_strCommand != "NOTICE") return false;
    const std::string& strText = msg.LastParam();
    if (msg.m_params.size() < 2 || strText.empty()) return false;
    if (strText[0] != '!' && strText[0] != '.') return false;
    return msg.Param(0) == view.m_strChannel && strText.find("gameinfo") == 1;
}

// The server refused the current nickname: the alternative once, then the end.
void NickInUseActions(CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    Add(pActions, EKind::Log, ":: Nickname (" + view.m_strCurrentNick + ") is already in use.");
    // With both nicknames alike, a second try would only repeat the refused
    // NICK for as long as the server answers: the refusal then ends it.
    if (view.m_strCurrentNick == view.m_strNick && view.m_strAltNick != view.m_strNick) {
        Add(pActions, EKind::Log, ":: Trying alternative Nickname...");
        view.m_strCurrentNick = view.m_strAltNick;
        Add(pActions, EKind::SetCurrentNick, view.m_strCurrentNick);
        Send(pActions, ELineKind::Control, "NICK " + view.m_strCurrentNick);
    } else if (view.m_strCurrentNick == view.m_strAltNick) {
        Add(pActions, EKind::EndConnection);
    }
}

std::string_view Trimmed(std::string_view str) {
    const size_t nStart = str.find_first_not_of(" \t");
    if (nStart == std::string_view::npos) return {};
    return str.substr(nStart, str.find_last_not_of(" \t") - nStart + 1);
}

// The statistics commands, "!" or "." and the word alone, with what
// follows it (bounded: anyone can send any length).
std::optional<bridge::CChannelRequest> StatsCommand(const std::string& strNick,
                                                    std::string_view strText) {
    struct CCommand {
        std::string_view m_strWord;
        EChannelRequest m_eKind;
    };
    static constexpr CCommand kCommands[] = {{"stats", EChannelRequest::Stats},
                                             {"top", EChannelRequest::Top},
                                             {"lastround", EChannelRequest::LastRound},
                                             {"seen", EChannelRequest::Seen}};
    if (strText.empty() || (strText[0] != '!' && strText[0] != '.')) return std::nullopt;
    const size_t nEnd = strText.find_first_of(" \t");
    const std::string_view strWord =
        strText.substr(1, nEnd == std::string_view::npos ? nEnd : nEnd - 1);
    for (const CCommand& command : kCommands) {
        if (strWord != command.m_strWord) continue;
        std::string_view strArgs =
            nEnd == std::string_view::npos ? std::string_view() : Trimmed(strText.substr(nEnd));
        strArgs = Trimmed(strArgs.substr(0, kMaxRequestArgs));
        return bridge::CChannelRequest{command.m_eKind, strNick, std::string(strArgs)};
    }
    return std::nullopt;
}

}  // namespace

void DispatchLine(std::string strLine, CIrcSessionView& view, CIrcLineState& state,
                  std::vector<CIrcAction>* pActions) {
    CIrcMessage msg;
    const bool bParsed = ParseIrcMessage(strLine, &msg);
    state.m_strCommand = msg.m_strCommand;
    state.m_strText = msg.LastParam();
    if (!bParsed) return;

    const std::string& strCommand = msg.m_strCommand;
    const std::string strNick = NickOf(msg.m_strPrefix);
    const std::string& strText = msg.LastParam();

    if (strCommand == "PRIVMSG" && msg.m_params.size() >= 2) {
        if (msg.Param(0) == view.m_strChannel) ChannelMessage(strNick, strText, pActions);
        if (msg.Param(0) == view.m_strCurrentNick) PrivateMessage(strNick, strText, view, pActions);
    }
    if (strCommand == "PING") Send(pActions, ELineKind::Urgent, PongFor(msg));
    if (strCommand == "PART")
        Add(pActions, EKind::Log, ":: " + strNick + " has left " + view.m_strChannel);
    if (strCommand == "433") NickInUseActions(view, pActions);
    if (strCommand == "JOIN" && !msg.m_params.empty()) Join(strNick, msg.Param(0), view, pActions);
    if (strCommand == "QUIT") Add(pActions, EKind::Log, ":: " + strNick + " has quit IRC");
    if (strCommand == "ERROR") Add(pActions, EKind::Log, ":: " + ShortenErrorText(strText));
    if (strCommand == "KICK" && msg.m_params.size() >= 2)
        Kick(strNick, msg.Param(1), view, pActions);
    if (strCommand == "NICK" && !msg.m_params.empty())
        Add(pActions, EKind::Log, ":: " + strNick + " is now known as " + msg.Param(0));
    if (strCommand == "376" || strCommand == "422") Add(pActions, EKind::Registered);
    if (IsGameInfoCommand(msg, view)) Request(pActions, EChannelRequest::GameInfo, strNick);
    if (strCommand == "PRIVMSG" && msg.m_params.size() >= 2 && msg.Param(0) == view.m_strChannel) {
        if (auto request = StatsCommand(strNick, strText)) {
            pActions->push_back(
                CIrcAction{EKind::Request, {}, ELineKind::Control, {}, std::move(*request)});
        }
    }
}

void RegisteredActions(const CIrcSessionView& view, const CIrcAuth& auth,
                       std::vector<CIrcAction>* pActions) {
    if (auth.m_bAuth) {
        const std::string_view strService = AuthServiceOf(auth.m_eNetwork);
        if (!strService.empty()) {
            Send(pActions, ELineKind::Control,
                 "PRIVMSG " + std::string(strService) + " :auth " + auth.m_strUsername + " " +
                     auth.m_strPassword);
        }
        Send(pActions, ELineKind::Control, "MODE " + view.m_strCurrentNick + " +x");
    }
    Send(pActions, ELineKind::Control, "JOIN " + view.m_strChannel);
}

EConnectionEnd EndOfConnection(const CIrcLineState& state) {
    if (state.m_strCommand != "ERROR") return EConnectionEnd::Closed;
    return ShortenErrorText(state.m_strText) == kThrottleText ? EConnectionEnd::Throttled
                                                              : EConnectionEnd::ServerError;
}

}  // namespace irc
