#pragma once
// The bot's own flood control. Every line for the IRC server waits here for
// its turn: a short burst at the old 400 ms pace, then about a line a
// second, which networks let a client send without cutting it off for
// "Excess Flood". What a line is decides how it queues (ELineKind). The
// queue is bounded: when the game produces more event lines than the
// channel can carry, the oldest go and one marker line says how many, so
// the channel stays seconds behind, not minutes; a hard cap bounds the rest.
//
// Pure: no threads, no socket; time comes in as a tick count. The owner
// serialises the calls (CSendWriter holds its lock around each).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace irc {

enum class ELineKind {
    Urgent,   // PONG, the bot's PING, registration, QUIT: ahead of all, never held for the pace
    Control,  // JOIN, MODE, NICK, the account message: never dropped; a repeat still queued merges
    Reply,    // greetings, answers, CTCP replies, the operator's chat: kept up to the hard cap
    Event,    // the game side's channel lines: the oldest are dropped when they pile up
    Ticket,   // the ticket line: a newer one replaces one still queued
};

// Where a line goes: the channel's lines are held while the bot is out of it.
enum class ELineTarget {
    Server,   // protocol lines, notices and replies to people
    Channel,  // PRIVMSG to the bot's channel
};

// The pace: nBurstLines at nBurstSpacingMs after a quiet spell, then one
// line every nSpacingMs for as long as lines keep coming.
struct CSendPace {
    uint32_t m_nBurstLines = 5;
    uint32_t m_nBurstSpacingMs = 400;
    uint32_t m_nSpacingMs = 1000;
};

class CSendQueue {
public:
    // Event lines queued at most: at the sustained pace the channel is then
    // about this many seconds behind the game. Also the fewest lines that go
    // out between two markers: while the game keeps producing more than the
    // channel carries, the channel still gets its lines, not only markers.
    static constexpr size_t kMaxEvents = 16;
    // Lines queued at most, whatever their kind (control lines aside, which
    // merge and so stay few).
    static constexpr size_t kMaxLines = 200;
    // After Close, the queued lines have this long to leave; then the final
    // line goes and the rest is dropped.
    static constexpr uint32_t kDrainLimitMs = 15000;

    // One line to write. A marker of dropped event lines has m_nSkipped > 0
    // and no text: the owner words it (it knows the channel).
    struct COut {
        std::string m_strLine;
        ELineKind m_eKind = ELineKind::Reply;
        uint32_t m_nSkipped = 0;
        bool m_bFinal = false;  // the line given to Close
    };
    enum class EPop {
        Line,   // *pOut is due now
        Wait,   // the next line is due in *pnWaitMs
        Empty,  // nothing queued
        Done,   // the final line has left: nothing more goes out
    };

    explicit CSendQueue(CSendPace pace = CSendPace());

    // Queues a line (text without CR LF). False when it was refused: the
    // hard cap is reached, or the queue is closing and the line is not urgent.
    // Event and ticket lines are always the channel's.
    bool Push(std::string strLine, ELineKind eKind, ELineTarget eTarget = ELineTarget::Server);
    // While held, the channel's lines (and the marker of dropped ones) stay
    // queued, in their order and within the bounds, and the other lines go
    // ahead of them. Not held after Clear.
    void HoldChannel(bool bHold) { m_bChannelHeld = bHold; }
    bool IsChannelHeld() const { return m_bChannelHeld; }
    // The connection ends: the lines queued so far still go at their pace
    // (at most kDrainLimitMs), then strFinal; only urgent lines join after.
    void Close(std::string strFinal, uint32_t nNow);
    // When closing: the final line goes next and the lines still waiting are
    // dropped. No effect otherwise. (A closing queue drops held lines as
    // soon as nothing else waits before the final line.)
    void Expedite();
    // The line due at nNow, if any. Urgent lines are due at once; the others
    // in their order, at the pace.
    EPop Pop(uint32_t nNow, COut* pOut, uint32_t* pnWaitMs);
    // Empty again, with a full burst, for a new connection.
    void Clear();

    // Lines waiting (markers and urgent lines included, the final line not).
    size_t Size() const {
        return m_urgent.size() + m_lines.size() + (m_nPendingSkipped > 0 ? 1 : 0);
    }
    bool IsClosing() const { return m_bClosing; }
    uint32_t ClosingSince() const { return m_nClosingSince; }
    bool IsDone() const { return m_bFinalSent; }
    // Event lines dropped to keep up, and lines refused at the cap, in all.
    uint64_t SkippedEvents() const { return m_nSkippedEvents; }
    uint64_t RefusedLines() const { return m_nRefusedLines; }

private:
    struct CEntry {
        std::string m_strLine;
        ELineKind m_eKind;
        bool m_bChannel = false;
        uint32_t m_nSkipped = 0;  // > 0: the marker of that many dropped event lines
    };

    void Advance(uint32_t nNow);
    // The first line that may go now, or m_lines.end().
    std::deque<CEntry>::iterator NextAllowed();
    uint32_t WaitMs() const;
    void Spend();
    void DropOldestEvent();
    bool Refuse();

    CSendPace m_pace;
    int64_t m_nCapacityMs;  // the credit of a full burst
    int64_t m_nCreditMs;    // a line costs m_nSpacingMs of it; it grows back with time
    uint32_t m_nSinceLastMs;
    uint32_t m_nLastTick = 0;
    bool m_bTicked = false;

    std::deque<std::string> m_urgent;
    std::deque<CEntry> m_lines;
    size_t m_nEvents = 0;  // event lines in m_lines (markers not counted)
    // Lines sent since the last marker (kMaxEvents or more: a marker may go),
    // and lines dropped since then that no queued marker counts yet.
    size_t m_nSinceMarker = kMaxEvents;
    uint32_t m_nPendingSkipped = 0;

    bool m_bChannelHeld = false;

    bool m_bClosing = false;
    uint32_t m_nClosingSince = 0;
    std::string m_strFinal;
    bool m_bFinalSent = false;

    uint64_t m_nSkippedEvents = 0;
    uint64_t m_nRefusedLines = 0;
};

}  // namespace irc
