#pragma once
// Every line the game side posts, byte for byte, and the ways they leave:
// the channel (through the IRC session) and the game side's log. The line
// builders are pure functions of plain values; the ways out strip CR, LF
// and NUL, so that no text from the game server can end an IRC line and
// start a command of its own.
//
// A colour is the two-digit text that follows the byte 0x03; a bare 0x03
// ends it.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/IrcLink.h"
#include "monitor/ColorScheme.h"
#include "monitor/EventInference.h"
#include "monitor/PlayerRecord.h"
#include "monitor/ServerStatus.h"

namespace monitor {

// What a run's lines are built with, as the game side copied it at Connect.
struct CAnnounceSettings : CColorScheme {
    int32_t m_nLangBase = 0;      // phrase base of the language (index * 100)
    std::string m_strServer;      // the server as the operator typed it
    int32_t m_nQueryPort = 0;
    // Polls left unanswered in a row before the channel hears of an outage;
    // 0: never.
    int32_t m_nDownAfter = 10;
};

// Texts inside the frames.
inline constexpr char kTextBroadcastOpened[] = "Broadcast opened";
inline constexpr char kTextBroadcastClosed[] = "Broadcast closed";
inline constexpr char kTextGamePaused[] = "game paused";
inline constexpr char kTextGameResumed[] = "game resumed";
inline constexpr char kTextGameEnds[] = "game ends";
inline constexpr char kTimeUnlimited[] = "unlimited";
// Servers from this version on report the tickets; compared byte by byte.
inline constexpr char kTicketVersion[] = "v1.4";

// ---- Pieces (pure; any thread)
// "score/frags/deaths" in decimal.
std::string PlayerTotals(const CPlayerRecord& player);
// Team 2 is the Allied side; every other team value the Axis side.
const std::string& KillColorOf(const CAnnounceSettings& s, const CPlayerRecord& player);
const std::string& FlagColorOf(const CAnnounceSettings& s, const CPlayerRecord& player);
// True when the version text sorts at or after "v1.4" byte by byte.
bool HasTicketStatus(std::string_view strVersion);
// Six stars either side; the closing part ends with a blank.
std::string ShortFrame(const CAnnounceSettings& s, std::string_view strText);
// Ten stars either side; the closing part ends with the last star.
std::string LongFrame(const CAnnounceSettings& s, std::string_view strText);
// key [value]: the key in the key colour, the value in the value colour.
std::string KeyValue(const CAnnounceSettings& s, std::string_view strKey,
                     std::string_view strValue);

// ---- Lines (pure; any thread)
// The line of an event from InferEvents: suicide, flag, teamkill, kill and
// death in the language of s.m_nLangBase; the short "Broadcast opened"
// frame; an empty text for the opening banner (see OpeningBannerLines).
std::string EventLine(const CAnnounceSettings& s, const CGameEvent& event);
std::string MapChangedLine(const CAnnounceSettings& s, std::string_view strFrom,
                           std::string_view strTo);
// The game server's outage: "game server stopped answering" or "game server
// answers again" in the run's language (English when it has none), framed
// as the game's phases are.
std::string OutageLine(const CAnnounceSettings& s, bool bDown);
std::string GameStartsInLine(const CAnnounceSettings& s, std::string_view strDelay);
// With the limit in minutes, or "unlimited".
std::string GameStartsLine(const CAnnounceSettings& s, std::string_view strTimeLimit);
// Places 1 to 3 among the first m_nMaxPlayers slots (clamped to the table):
// higher score, then more frags, then fewer deaths; a player whose totals
// do not beat 0/0/0 is never placed, and an empty place shows " - ".
std::array<std::string, 3> RankingLines(const CAnnounceSettings& s, const PlayerTable& players,
                                        const CServerStatus& status);
// Allied tickets in the Allied flag colour, then the Axis tickets.
std::string TicketStatusPiece(const CAnnounceSettings& s, const CServerStatus& status);
std::string EndScoreLine(const CAnnounceSettings& s, const CServerStatus& status);
// "game ends", the three places, and the end score when the version has it.
std::vector<std::string> GameEndLines(const CAnnounceSettings& s, const PlayerTable& players,
                                      const CServerStatus& status);
// The eight lines posted once per run when broadcasting starts.
std::array<std::string, 8> OpeningBannerLines(const CAnnounceSettings& s,
                                              const CServerStatus& status);
// Address, map and players, and the ticket status when the version has it.
std::string InfoText(const CAnnounceSettings& s, const CServerStatus& status);

// ---- Ways out
// The game side as the announcer sees it; the core's game side implements it.
class IGameOutput {
public:
    virtual ~IGameOutput() = default;
    // Broadcasting to the channel is on. Any thread.
    virtual bool IsBroadcasting() const = 0;
    // The IRC side; nullptr when there is none. Any thread.
    virtual bridge::IIrcLink* IrcLink() const = 0;
    // One line for the game side's log (colour codes stripped there). Any thread.
    virtual void AppendLog(std::string strText) = 0;
};

// Queues the line for the channel as an event line (the IRC side paces it
// and drops the oldest when they pile up) while broadcasting, and logs it
// in any case; an empty line goes nowhere. Never waits. Monitor thread.
void Announce(IGameOutput& out, std::string_view strLine);
// As Announce, for a line that says where the game stands (the banner, a
// phase, a map change, "Broadcast closed"): queued as a reply, which a busy
// channel never drops, since no later line tells it again. Monitor thread.
void AnnounceStatus(IGameOutput& out, std::string_view strLine);
// Posts one of InferEvents' events: "Broadcast opened" to the log only,
// any other event through Announce. The opening banner is its caller's:
// OpeningBannerLines, each through AnnounceStatus behind the operator's
// Pause. Monitor thread.
void AnnounceEvent(IGameOutput& out, const CAnnounceSettings& s, const CGameEvent& event);
// Takes the IRC side's pending requests, oldest first (at most
// kMaxRequestsPerAnswer), and answers each from the snapshot of the last
// completed poll (see AnswerRequestText). Monitor thread.
inline constexpr size_t kMaxRequestsPerAnswer = 16;
void AnswerRequest(IGameOutput& out, const CAnnounceSettings& s, const CServerStatus& status);
// Answers one taken request: GameInfo with the info text to the channel
// (a reply, never dropped to keep pace; only while broadcasting); Join with
// a NOTICE to the nick queued in any state; the other kinds are left to the
// statistics. Neither answer is logged.
void AnswerRequestText(IGameOutput& out, const CAnnounceSettings& s, const CServerStatus& status,
                       const bridge::CChannelRequest& request);

}  // namespace monitor
