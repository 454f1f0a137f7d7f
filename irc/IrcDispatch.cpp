#include "irc/IrcDispatch.h"

#include <string_view>
#include <utility>

#include "irc/IrcText.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

namespace {

using EKind = CIrcAction::EKind;

void Add(std::vector<CIrcAction>* pActions, EKind eKind, std::string strText = {}) {
    pActions->push_back(CIrcAction{eKind, std::move(strText)});
}

// Found by a substring search, but not at the very start.
bool ContainsAfterStart(std::string_view strText, std::string_view strPart) {
    const size_t nPos = strText.find(strPart);
    return nPos != std::string_view::npos && nPos > 0;
}

// The text of a KICK head after its third space (the victim); empty when the
// head has fewer spaces.
std::string_view KickVictimOf(std::string_view strHead) {
    size_t nPos = 0;
    for (int i = 0; i < 3; ++i) {
        nPos = strHead.find(' ', nPos);
        if (nPos == std::string_view::npos) return {};
        ++nPos;
    }
    return strHead.substr(nPos);
}

void ChannelMessage(const std::string& strNick, const std::string& strTrailing,
                    std::vector<CIrcAction>* pActions) {
    constexpr std::string_view kAction =
        "\x01"
        "ACTION";
    if (std::string_view(strTrailing).substr(0, strTrailing.find(' ')) == kAction) {
        // The action text runs from after "\x01ACTION " up to the closing "\x01".
        std::string_view strText;
        if (strTrailing.size() > kAction.size() + 1)
            strText = std::string_view(strTrailing).substr(kAction.size() + 1);
        strText = strText.substr(0, strText.find('\x01'));
        Add(pActions, EKind::Log, ":: " + strNick + " " + std::string(strText));
    } else {
        Add(pActions, EKind::Log, "<" + strNick + "> " + strTrailing);
    }
}

void PrivateMessage(const std::string& strNick, const std::string& strTrailing,
                    const CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    if (CommandOf(strTrailing) == "\x01VERSION\x01") {
        Add(pActions, EKind::Send,
            "NOTICE " + strNick + " :\x01VERSION " + res::LoadResString(res::IDS_APPNAME) + " " +
                view.m_strVersion + " " + Attribution() + "\x01");
    }
    if (strTrailing.compare(0, 6, "\x01PING ") == 0)
        Add(pActions, EKind::Send, "NOTICE " + strNick + " :" + strTrailing);
}

void Join(const std::string& strNick, const std::string& strTrailing, CIrcSessionView& view,
          std::vector<CIrcAction>* pActions) {
    Add(pActions, EKind::Log, ":: " + strNick + " has joined " + strTrailing);
    if (strNick != view.m_strCurrentNick) {
        switch (view.m_nGameState) {
            case 0:
                Add(pActions, EKind::Send, "NOTICE " + strNick + " :" + kNoticeOffline);
                break;
            case 2:
                Add(pActions, EKind::Send, "NOTICE " + strNick + " :" + kNoticePaused);
                break;
            default:
                Add(pActions, EKind::Request, "!join " + strNick);
                break;
        }
    } else {
        // The server's spelling of the channel wins.
        view.m_strChannel = strTrailing;
        Add(pActions, EKind::EnterChannel, strTrailing);
    }
}

void Kick(const std::string& strHead, CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    const std::string strVictim(KickVictimOf(strHead));
    Add(pActions, EKind::Log, ":: " + strVictim + " was kicked by " + NickOf(strHead));
    if (strVictim == view.m_strCurrentNick) {
        Add(pActions, EKind::LeaveChannel);
        Add(pActions, EKind::Send, "JOIN " + view.m_strChannel);
    }
}

bool IsGameInfoCommand(const std::string& strHead, const std::string& strTrailing,
                       const CIrcSessionView& view) {
    if (strTrailing.empty() || (strTrailing[0] != '!' && strTrailing[0] != '.')) return false;
    return LastWordOf(strHead) == view.m_strChannel && strTrailing.find("gameinfo") == 1;
}

}  // namespace

void DispatchLine(std::string strLine, CIrcSessionView& view, CIrcLineState& state,
                  std::vector<CIrcAction>* pActions) {
    std::string& strHead = state.m_strHead;
    std::string& strTrailing = state.m_strTrailing;

    if (!strLine.empty() && strLine[0] == ':') {
        strLine.erase(0, 1);
        strHead.clear();
        strTrailing.clear();
    }
    const size_t nColon = strLine.find(':');
    if (nColon != std::string::npos && nColon > 0) {
        // The blank before the colon belongs to neither part.
        strHead.assign(strLine, 0, nColon - 1);
        strTrailing.assign(strLine, nColon + 1, std::string::npos);
    }

    const std::string strNick = NickOf(strHead);
    const std::string strCommand = CommandOf(strHead);
    const std::string strLineCommand = CommandOf(strLine);

    if (ContainsAfterStart(strHead, "PRIVMSG " + view.m_strChannel))
        ChannelMessage(strNick, strTrailing, pActions);
    if (ContainsAfterStart(strHead, "PRIVMSG " + view.m_strCurrentNick))
        PrivateMessage(strNick, strTrailing, view, pActions);
    if (strHead == "PING") Add(pActions, EKind::Send, "PONG :" + strTrailing);
    if (strLineCommand == "PART")
        Add(pActions, EKind::Log, ":: " + NickOf(strLine) + " has left " + view.m_strChannel);
    if (strLineCommand == "433") NickInUseActions(view, pActions);
    if (strCommand == "JOIN") Join(strNick, strTrailing, view, pActions);
    if (strCommand == "QUIT") Add(pActions, EKind::Log, ":: " + strNick + " has quit IRC");
    if (strCommand == "ERROR") Add(pActions, EKind::Log, ":: " + ShortenErrorText(strTrailing));
    if (strCommand == "KICK") Kick(strHead, view, pActions);
    if (strCommand == "NICK")
        Add(pActions, EKind::Log, ":: " + strNick + " is now known as " + strTrailing);
    if (strCommand == "376" || strCommand == "422") RegisteredActions(view, pActions);
    if (IsGameInfoCommand(strHead, strTrailing, view)) Add(pActions, EKind::Request, "!gameinfo");
}

void RegisteredActions(const CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    if (view.m_bAuth) {
        const std::string_view strService = AuthServiceOf(view.m_nNetwork);
        if (!strService.empty()) {
            Add(pActions, EKind::Send,
                "PRIVMSG " + std::string(strService) + " :auth " + view.m_strUsername + " " +
                    view.m_strPassword);
        }
        Add(pActions, EKind::Send, "MODE " + view.m_strCurrentNick + " +x");
    }
    Add(pActions, EKind::Send, "JOIN " + view.m_strChannel);
}

void NickInUseActions(CIrcSessionView& view, std::vector<CIrcAction>* pActions) {
    Add(pActions, EKind::Log, ":: Nickname (" + view.m_strCurrentNick + ") is already in use.");
    // With both nicknames alike, a second try would only repeat the refused
    // NICK for as long as the server answers: the refusal then ends it.
    if (view.m_strCurrentNick == view.m_strNick && view.m_strAltNick != view.m_strNick) {
        Add(pActions, EKind::Log, ":: Trying alternative Nickname...");
        view.m_strCurrentNick = view.m_strAltNick;
        Add(pActions, EKind::SetCurrentNick, view.m_strCurrentNick);
        Add(pActions, EKind::Send, "NICK " + view.m_strCurrentNick);
    } else if (view.m_strCurrentNick == view.m_strAltNick) {
        Add(pActions, EKind::EndConnection);
    }
}

int EndOfConnectionResult(const CIrcLineState& state) {
    if (CommandOf(state.m_strHead) != "ERROR") return 0;
    return ShortenErrorText(state.m_strTrailing) == kThrottleText ? 2 : 1;
}

}  // namespace irc
