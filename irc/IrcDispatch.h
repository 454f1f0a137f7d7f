#pragma once
// What one line from the IRC server makes the bot do, as a pure function:
// the line and the session's state in, an ordered list of actions out. The
// receive loop only reads, splits and applies the actions, so every check is
// testable without a socket. Lines are taken apart as the protocol defines
// them (irc/IrcMessage.h), so a parameter counts the same with or without
// its colon. Any thread; no shared state.
#include <string>
#include <vector>

#include "irc/SendQueue.h"

namespace irc {

// One effect of a line, in the order the checks produce them.
struct CIrcAction {
    enum class EKind {
        Send,            // queue m_strText (no "\r\n") as a line of kind m_eLine
        CtcpReply,       // a reply to m_strNick's CTCP request: sent within the CTCP limits
        Log,             // AppendLog(m_strText)
        Request,         // m_strRequest = m_strText, for the game side
        EnterChannel,    // the server confirmed the bot's join: channel = m_strText
        LeaveChannel,    // the bot was kicked
        SetCurrentNick,  // now trying nickname m_strText
        EndConnection,   // both nicknames in use: end after this block
    };
    EKind m_eKind;
    std::string m_strText;
    ELineKind m_eLine = ELineKind::Control;  // Send only
    std::string m_strNick;                   // CtcpReply only

    bool operator==(const CIrcAction&) const = default;
};

// The session fields the checks read. The checks update m_strChannel and
// m_strCurrentNick in place, so later checks of the same line see the change.
struct CIrcSessionView {
    std::string m_strChannel;
    std::string m_strCurrentNick;
    std::string m_strNick;
    std::string m_strAltNick;
    bool m_bAuth = false;
    int m_nNetwork = -1;
    std::string m_strUsername;
    std::string m_strPassword;
    std::string m_strVersion;
    int m_nGameState = 0;  // 0 idle, 1 running, 2 paused
};

// What the last line of a connection was: its command (in capitals) and
// its last parameter; both empty after a line without a command. The end of
// the connection is judged by them.
struct CIrcLineState {
    std::string m_strCommand;
    std::string m_strText;
};

// Runs every check on one line (no CR/LF), appending the actions to pActions.
void DispatchLine(std::string strLine, CIrcSessionView& view, CIrcLineState& state,
                  std::vector<CIrcAction>* pActions);

// End of the message of the day: authentication, "+x" and the JOIN.
void RegisteredActions(const CIrcSessionView& view, std::vector<CIrcAction>* pActions);

// The server refused the current nickname.
void NickInUseActions(CIrcSessionView& view, std::vector<CIrcAction>* pActions);

// At the end of a connection: 2 when the last line was the server's
// throttling ERROR, 1 after any other ERROR, else 0.
int EndOfConnectionResult(const CIrcLineState& state);

}  // namespace irc
