#pragma once
// What the bot tells its faces (the window, fragrelayd): each side's log
// lines, where both sides stand, the quick-info result, the traffic figure,
// the messages the operator must see, and the end after Quit. Pure
// declarations; see core/Bot.h for who calls them when.
#include <cstdint>
#include <string>

#include "core/GameSide.h"
#include "core/OperatorMessage.h"
#include "irc/IrcEvents.h"
#include "query/QuickInfo.h"

namespace core {

enum class ESide { Irc, Game };

// Where the bot stands; a face sets its captions and enabled flags from
// it and never reads them back.
struct CBotState {
    irc::CIrcStatus m_irc;
    CGameStatus m_game;
    bool m_bBroadcast = false;         // relaying into the channel is on
    bool m_bQuickInfoRunning = false;  // a quick-info check is under way

    bool operator==(const CBotState&) const = default;
};

// Called on the bot's threads (or on the thread that gave a command);
// each must return at once and must not call the bot's blocking
// operations (Shutdown). A window hands them to its UI thread.
class IBotObserver {
public:
    virtual ~IBotObserver() = default;
    // One line for a side's log, in that log's form: the IRC log without
    // colour codes, the game log by its own rule (GameLogText). Never empty.
    virtual void OnLog(ESide eSide, const std::string& strLine) = 0;
    // The state differs from the last one told.
    virtual void OnStateChanged(const CBotState& state) = 0;
    // A quick-info check has ended with this result.
    virtual void OnQuickInfo(const query::CQuickInfoResult& result) = 0;
    // Bytes received from the game server in the last second (only when
    // the bot was made with the traffic meter).
    virtual void OnTraffic(int32_t nBytes) = 0;
    // A message the operator must see (a side that refuses to start, the
    // update notice).
    virtual void OnMessage(const COperatorMessage& message) = 0;
    // Quit is done: every thread of the bot has ended.
    virtual void OnEnded() = 0;
};

}  // namespace core
