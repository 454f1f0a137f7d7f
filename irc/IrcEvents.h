#pragma once
// What the IRC session tells its owner, and the values it hands out: where
// it stands (CIrcStatus) and what it has done so far (CIrcFigures). The
// owner (the core, a test) implements IIrcEvents. Values: any thread.
#include <cstdint>
#include <string>

namespace irc {

// Called on the session's threads (the IRC thread, the writer thread) or
// on the caller's; never waits; must not call Open or End.
class IIrcEvents {
public:
    virtual ~IIrcEvents() = default;
    // A line for the IRC log: colour codes stripped; never empty.
    virtual void OnIrcLog(const std::string& strLine) = 0;
    // Status() differs from what it was before.
    virtual void OnIrcStatusChanged() = 0;
    // A channel request was queued for the game side.
    virtual void OnIrcRequest() = 0;
};

enum class EIrcState {
    Idle,         // no session
    Connecting,   // look-up, TCP connect, TLS handshake
    Registering,  // connected, waiting for the end of the message of the day (and SASL)
    Registered,   // registered, not in the channel (before the join's echo, after a kick)
    InChannel,    // the server confirmed the bot's join
    Waiting,      // the supervisor waits before its next attempt
    Closing,      // Disconnect: the last lines and QUIT leave, the server closes
};

struct CIrcStatus {
    EIrcState m_eState = EIrcState::Idle;
    bool m_bSessionActive = false;  // started by the operator and not ended
    std::string m_strChannel;       // in use: the server's spelling once joined, else the setting
    std::string m_strNick;          // the nickname in use (the setting's before the first connect)
    uint32_t m_nNextAttemptMs = 0;  // while Waiting: the length of the wait that began
    bool operator==(const CIrcStatus&) const = default;
};

// Since the session object was made; any thread.
struct CIrcFigures {
    uint64_t m_nLinesSent = 0;     // lines written to the server
    uint64_t m_nLinesSkipped = 0;  // event lines dropped to keep the pace
    uint64_t m_nQueued = 0;        // lines waiting now
    uint64_t m_nReconnects = 0;    // attempts after the first of a session
    bool operator==(const CIrcFigures&) const = default;
};

}  // namespace irc
