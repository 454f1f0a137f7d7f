#pragma once
// One connection to the IRC server, from the host look-up to its end: the
// TCP connect to each address in turn, TLS over it when chosen, the
// registration (with SASL first when chosen), and the receive loop that
// reads, splits and dispatches the server's lines and applies what they
// set off. The loop sleeps until its next deadline (its own PING after a
// quiet spell, the answer to it, the registration's limit, an answer SASL
// waits for, the close limit after Disconnect) or until it is woken: the
// socket has something, the stream was shut down, or the session's wake
// (Disconnect, End) was given. Every wait has a limit: a server that never
// answers, never speaks, stops reading or never completes the registration
// is a lost link.
//
// One object per attempt, made and run by the IRC thread (CIrcSupervisor).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bridge/GameShared.h"
#include "irc/ChannelRequests.h"
#include "irc/CtcpLimiter.h"
#include "irc/IrcDispatch.h"
#include "irc/IrcSender.h"
#include "irc/IrcSessionState.h"
#include "irc/IrcSettings.h"
#include "irc/Sasl.h"
#include "irc/SendQueue.h"
#include "platform/Clock.h"
#include "platform/Heartbeat.h"
#include "platform/Socket.h"

namespace irc {

// The user name of the USER line, and the version text of USER, the CTCP
// VERSION answer and QUIT.
struct CRegistrationTexts {
    std::string m_strIdent;
    std::string m_strVersion;
};

// What a connection works with; all of it outlives the connection.
struct CIrcConnectionContext {
    platform::CClock& m_clock;
    CIrcSender& m_sender;
    CIrcSessionState& m_state;
    CChannelRequests& m_requests;
    const bridge::CGameShared& m_game;
    CCtcpLimiter& m_ctcpLimiter;          // across connections: a flood stays limited
    const platform::CStopSignal& m_cut;   // Disconnect or End: a look-up, connect or handshake ends
    const platform::CStopSignal& m_end;   // End: the receive loop ends at once
    const platform::CSocketWake& m_wake;  // wakes the receive loop's wait
    platform::CHeartbeat* m_pBeat;        // beaten before each wait; may be null
};

// How a connection went, for the supervisor.
struct CConnectionOutcome {
    EConnectionEnd m_eEnd = EConnectionEnd::Closed;
    uint32_t m_nRegisteredMs = 0;  // how long it stayed registered; 0 when it never was
};

class CIrcConnection {
public:
    // A server that never answers must not hold the attempt for the
    // system's two minutes (per address; the handshake counts in).
    static constexpr int kConnectTimeoutMs = 10000;
    // What the resolver is given, as far as the watchdog is told.
    static constexpr uint32_t kLookupPromiseMs = 60000;
    static constexpr size_t kReadSize = 1024;
    // Liveness: the bot's own PING after this long without a line, and the
    // link is lost when nothing comes within kPingWaitMs after it.
    static constexpr uint32_t kQuietMs = 120000;
    static constexpr uint32_t kPingWaitMs = 60000;
    // The end of the message of the day must come within this time.
    static constexpr uint32_t kRegisterTimeoutMs = 60000;
    // After Disconnect, the connection ends by itself at the latest then.
    static constexpr uint32_t kCloseLimitMs = CSendQueue::kDrainLimitMs + 5000;
    // What the system buffers for sending: an IRC client sends little, and
    // a small buffer shows a peer that stopped reading within seconds.
    static constexpr int kSendBufferBytes = 16384;

    CIrcConnection(const CIrcConnectionContext& context, const CIrcSettings& settings,
                   const CRegistrationTexts& texts);
    CIrcConnection(const CIrcConnection&) = delete;
    CIrcConnection& operator=(const CIrcConnection&) = delete;

    // Looks up the server, connects to its addresses in the resolver's
    // order (TLS over the connection when chosen: a failed handshake sends
    // nothing else and never falls back to plain text), queues NICK and
    // USER as one write (with SASL, "CAP LS 302" before them) and starts
    // the writer. False on failure, its reason logged.
    bool Open();
    // After Open: reads and dispatches lines until the connection ends (the
    // server closes, a fault, both nicknames taken, SASL fails, End), then
    // ends it and logs why.
    CConnectionOutcome Run();

private:
    enum class ELinkFault { None, NoPong, NoWelcome };
    enum class ERead { Data, Closed, Failed };

    bool StartTls(std::shared_ptr<platform::CSocket> pSocket, int nTimeoutMs);
    // Carries out one SASL step; true when the line was the negotiation's.
    bool ApplySaslStep(const CSaslStep& step);
    void Dispatch(std::string& strLine);
    void Apply(const std::vector<CIrcAction>& actions);
    void OnRegistered();
    // The wait until the next deadline of the loop, from nNow.
    uint32_t NextWaitMs(uint32_t nNow) const;
    void Beat(uint32_t nNextWithinMs);
    CConnectionOutcome End(ELinkFault eFault);

    const CIrcConnectionContext& m_ctx;
    const CIrcSettings m_settings;  // this attempt's; the secret stays here
    const CRegistrationTexts m_texts;
    CIrcSessionView m_view;  // what the dispatch reads, carried from line to line
    CIrcLineState m_lineState;
    std::optional<CSaslNegotiation> m_sasl;  // this connection's, when SASL is chosen
    bool m_bSaslFailed = false;              // it failed: the connection ends
    bool m_bEnding = false;                  // both nicknames taken: the connection ends
    bool m_bRegistered = false;
    uint32_t m_nConnectTick = 0;
    uint32_t m_nRegisteredTick = 0;
    // Liveness, from the connect on.
    uint32_t m_nLastHeard = 0;
    uint32_t m_nPingTick = 0;
    bool m_bPingSent = false;
};

}  // namespace irc
