#pragma once
// Where the IRC side stands, as its owner shows it (captions, a status
// line, the page's enabled fields) and counts it (metrics). Pure; any thread.
#include <cstdint>
#include <string>

namespace irc {

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

struct CIrcFigures {              // since the session object was made
    uint64_t m_nLinesSent = 0;     // lines written to the server
    uint64_t m_nLinesSkipped = 0;  // event lines dropped to keep the pace
    uint64_t m_nQueued = 0;        // lines waiting now
    uint64_t m_nReconnects = 0;    // attempts after the first of a session
};

}  // namespace irc
