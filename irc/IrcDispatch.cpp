#include "irc/IrcDispatch.h"

#include <string_view>
#include <utility>

#include "irc/IrcMessage.h"
#include "irc/IrcText.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

namespace {

using EKind = CIrcAction::EKind;

void Add(std::vector<CIrcAction>* pActions, EKind eKind, std::string strText = {}) {
    pActions->push_back(CIrcAction{eKind, std::move(strText), ELineKind::Control, {}});
}

void Send(std::vector<CIrcAction>* pActions, ELineKind eLine, std::string strText) {
    pActions->push_back(CIrcAction{EKind::Send, std::move(strText), eLine, {}});
}

void CtcpReply(std::vector<CIrcAction>* pActions, const std::string& strNick,
               std::string strText) {
    pActions->push_back(
        CIrcAction{EKind::CtcpReply, std::move(strText), ELineKind::Reply, strNick});
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
        switch (view.m_nGameState) {
            case 0:
                Send(pActions, ELineKind::Reply, "NOTICE " + strNick + " :" + NoticeOffline());
                break;
            case 2:
                Send(pActions, ELineKind::Reply, "NOTICE " + strNick + " :" + NoticePaused());
                break;
            default:
                Add(pActions, EKind::Request, "!join " + strNick);
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
    if (strCommand == "376" || strCommand == "422") RegisteredActions(view, pActions);
    if (IsGameInfoCommand(msg, view)) Add(pActions, EKind::Request, "!gameinfo");
}

void RegisteredActions(const CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    if (view.m_bAuth) {
        const std::string_view strService = AuthServiceOf(view.m_nNetwork);
        if (!strService.empty()) {
            Send(pActions, ELineKind::Control,
                 "PRIVMSG " + std::string(strService) + " :auth " + view.m_strUsername + " " +
                     view.m_strPassword);
        }
        Send(pActions, ELineKind::Control, "MODE " + view.m_strCurrentNick + " +x");
    }
    Send(pActions, ELineKind::Control, "JOIN " + view.m_strChannel);
}

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

int EndOfConnectionResult(const CIrcLineState& state) {
    if (state.m_strCommand != "ERROR") return 0;
    return ShortenErrorText(state.m_strText) == kThrottleText ? 2 : 1;
}

}  // namespace irc
