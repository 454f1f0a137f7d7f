#pragma once
// What one line from the IRC server makes the bot do, as a pure function:
// the line and what the connection knows in, an ordered list of actions
// out. The receive loop only reads, splits and applies the actions, so every
// check is testable without a socket. Lines are taken apart as the protocol
// defines them (irc/IrcMessage.h), so a parameter counts the same with or
// without its colon. Any thread; no shared state.
#include <cstddef>
#include <string>
#include <vector>

#include "bridge/ChannelRequest.h"
#include "bridge/GameShared.h"
#include "irc/IrcSecurity.h"
#include "irc/SendQueue.h"

namespace irc {

// One effect of a line, in the order the checks produce them.
struct CIrcAction {
    enum class EKind {
        Send,            // queue m_strText (no "\r\n") as a line of kind m_eLine
        CtcpReply,       // a reply to m_strNick's CTCP request: sent within the CTCP limits
        Log,             // a line for the IRC log: m_strText
        Request,         // m_request, for the game side
        EnterChannel,    // the server confirmed the bot's join: channel = m_strText
        LeaveChannel,    // the bot was kicked
        SetCurrentNick,  // now trying nickname m_strText
        EndConnection,   // both nicknames in use: end after this block
        Registered,      // the end of the message of the day: the registration is complete
    };
    EKind m_eKind;
    std::string m_strText;
    ELineKind m_eLine = ELineKind::Control;  // Send only
    std::string m_strNick;                   // CtcpReply only
    bridge::CChannelRequest m_request;       // Request only

    bool operator==(const CIrcAction&) const = default;
};

// What the checks read of the connection: no settings beyond these, and no
// secret. The checks update m_strChannel and m_strCurrentNick in place, so
// later checks (and later lines) see the change.
struct CIrcSessionView {
    std::string m_strChannel;      // in use: the server's spelling once joined
    std::string m_strCurrentNick;  // the nickname in use
    std::string m_strNick;         // the first choice
    std::string m_strAltNick;      // the alternative
    std::string m_strVersion;      // the version text of the CTCP VERSION reply
    bridge::EGameState m_eGameState = bridge::EGameState::Idle;
};

// The account login after the registration: only RegisteredActions sees it.
struct CIrcAuth {
    bool m_bAuth = false;
    EAuthNetwork m_eNetwork = EAuthNetwork::None;
    std::string m_strUsername;
    std::string m_strPassword;
};

// What the last line of a connection was: its command (in capitals) and
// its last parameter; both empty after a line without a command. The end of
// the connection is judged by them.
struct CIrcLineState {
    std::string m_strCommand;
    std::string m_strText;
};

// A channel request's arguments are cut to this many bytes.
inline constexpr size_t kMaxRequestArgs = 64;

// Runs every check on one line (no CR/LF), appending the actions to pActions.
void DispatchLine(std::string strLine, CIrcSessionView& view, CIrcLineState& state,
                  std::vector<CIrcAction>* pActions);

// What the registration's end sets off: the account message (networks that
// log in by one), "+x" with authentication on, and the JOIN.
void RegisteredActions(const CIrcSessionView& view, const CIrcAuth& auth,
                       std::vector<CIrcAction>* pActions);

// How a connection ended, as its last line tells.
enum class EConnectionEnd {
    Closed,       // closed, failed, given up, or never connected
    ServerError,  // after the server's ERROR
    Throttled,    // after its "(re)connect too fast -- throttled" ERROR
};
EConnectionEnd EndOfConnection(const CIrcLineState& state);

}  // namespace irc
