#pragma once
// Fixed texts of the IRC client and the small text functions its line checks
// use. All pure; any thread.
#include <cstdint>
#include <string>
#include <string_view>

#include "irc/IrcSecurity.h"
#include "platform/Text.h"

namespace irc {

// The program's name and version and the connection texts come from the
// string table (res::IDS_APPNAME, IDS_VERSION, IDS_NO_SOCKET, ...).
inline constexpr char kIdent[] = "bf1942";

// Account services, nick@host, of the networks that log in by a message.
inline constexpr char kQuakenetService[] = "Q@CServe.quakenet.org";
inline constexpr char kGamesnetService[] = "AuthServ@Services.GamesNET.net";

inline constexpr char kTextWaiting[] = "Waiting 30 seconds";
inline constexpr char kTextReconnecting[] = "Trying to reconnect ...";
inline constexpr char kThrottleText[] = "(re)connect too fast -- throttled";

// Why the bot gave up on a connection that the server did not end.
inline constexpr char kTextSendStalled[] =
    "The server takes nothing the bot sends: connection lost.";
inline constexpr char kTextNoPong[] = "No answer to the bot's PING: connection lost.";
inline constexpr char kTextNoWelcome[] = "No registration reply from the server: connection lost.";
inline constexpr char kTextQueueFull[] = "Too much to send: lines dropped until the queue drains.";
// The bot's own PING, when the server has been quiet for a while:
// "PING :" and the program's name from the string table.
std::string LivenessPing();

// "Next attempt in 12 seconds" (rounded up to whole seconds).
std::string NextAttemptText(uint32_t nDelayMs);
// The channel's note for event lines dropped to keep up: "(12 lines skipped
// to keep the channel current)".
std::string SkippedLinesText(uint32_t nSkipped);

// Greetings for a user who joins while the game side is idle or paused:
// the program's name from the string table in colour 10, then "[OFFLINE]"
// or "[PAUSED]".
std::string NoticeOffline();
std::string NoticePaused();

// The text before the first "!"; empty when there is none.
std::string NickOf(std::string_view strText);
// The second space-separated word (the text itself when it has no space).
std::string CommandOf(std::string_view strText);
// The text after the last space (the whole text when it has none).
std::string LastWordOf(std::string_view strText);

// The IRC log's colour rule: every 0x03 goes, with at most two digits after
// it; a background colour after a comma stays.
std::string StripLogColours(std::string_view strText);

// Shortens the text of an ERROR line for the log: drops the part from the
// first ":" up to the blank before the first "(" ("Closing Link: x (y)"
// becomes "Closing Link (y)"); without a colon, everything before the "(".
std::string ShortenErrorText(std::string_view strText);

// The account service of a network; empty for one without (SASL, none).
std::string_view AuthServiceOf(EAuthNetwork eNetwork);

// The attribution that closes the CTCP VERSION reply and the QUIT line: the
// string table's text, the one place it is written.
std::string Attribution();

// "QUIT :" + version + " /// " + attribution, without "\r\n".
std::string QuitLine(std::string_view strVersion);

// The line-break stripper every sender uses (platform/Text.h).
using platform::WithoutLineBreaks;

}  // namespace irc
