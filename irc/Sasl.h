#pragma once
// SASL authentication through capability negotiation, as pure functions and
// a small state machine: server lines and the time go in, lines to send, log
// lines and a result come out. No socket and no clock inside, so every step
// is testable on its own. The caller sends Start's line before NICK/USER,
// hands every server line to OnLine (and dispatches those it does not
// consume) and calls OnTime now and then. One owner thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "irc/Capabilities.h"

namespace irc {

// Base64 of RFC 4648 with padding.
std::string Base64Encode(std::string_view strBytes);
// False on a character outside the alphabet or a wrong length or padding.
bool Base64Decode(std::string_view strText, std::string* pBytes);

// AUTHENTICATE carries at most this many bytes of base64 per line.
inline constexpr size_t kAuthenticateChunk = 400;

// The AUTHENTICATE lines (without "\r\n") that carry one response: its
// base64 in 400-byte chunks; "AUTHENTICATE +" for an empty response and
// after a last chunk of exactly 400 bytes.
std::vector<std::string> AuthenticateLines(std::string_view strResponse);

// The PLAIN response: the account as authorisation and authentication
// identity, then the password, separated by NUL bytes.
std::string PlainResponse(std::string_view strAccount, std::string_view strPassword);

enum class ESaslMechanism { Plain, External };
const char* MechanismName(ESaslMechanism eMechanism);

struct CSaslConfig {
    ESaslMechanism m_eMechanism = ESaslMechanism::Plain;
    std::string m_strAccount;   // PLAIN only
    std::string m_strPassword;  // PLAIN only; never in a log line
    // When SASL fails: register without it (CAP END) instead of ending the connection.
    bool m_bRegisterWithoutSasl = false;
};

enum class ESaslState {
    Idle,                 // Start not called yet
    WaitingForCaps,       // CAP LS 302 sent
    WaitingForAck,        // CAP REQ :sasl sent
    WaitingForChallenge,  // AUTHENTICATE <mechanism> sent
    WaitingForResult,     // the response sent
    LoggedIn,             // 903 came; CAP END sent
    Failed,
};

enum class ESaslFailure {
    None,
    NoCapSupport,          // 421 for CAP
    NoCapAnswer,           // the server registered the bot without answering CAP
    NotOffered,            // no "sasl" in the server's capabilities
    MechanismNotOffered,   // "sasl=" lists other mechanisms
    CapRefused,            // CAP NAK :sasl
    CapListTooLong,        // the LS reply passed its bounds
    ChallengeTooLong,      // the server's AUTHENTICATE data passed its bound
    NickLocked,            // 902
    Rejected,              // 904
    TooLong,               // 905
    Aborted,               // 906
    AlreadyAuthenticated,  // 907
    TimedOut,              // no answer within kAnswerTimeoutMs
};

// What one step asks of the caller.
struct CSaslStep {
    bool m_bConsumed = false;          // the line was the negotiation's: do not dispatch it
    std::vector<std::string> m_vSend;  // lines to send in order, without "\r\n"
    std::vector<std::string> m_vLog;   // lines for the operator, never with the secret
    bool m_bEndConnection = false;     // SASL failed and registering without it is not allowed

    bool operator==(const CSaslStep&) const = default;
};

class CSaslNegotiation {
public:
    // Each answer the bot waits for must come within this time.
    static constexpr uint32_t kAnswerTimeoutMs = 30000;
    // Bytes of base64 a server challenge may gather (a PLAIN or EXTERNAL
    // exchange needs none).
    static constexpr size_t kMaxChallenge = 4096;

    explicit CSaslNegotiation(CSaslConfig config) : m_config(std::move(config)) {}

    // Begins: "CAP LS 302", to be sent before NICK and USER.
    CSaslStep Start(uint32_t nNowMs);
    // One line from the server (without "\r\n").
    CSaslStep OnLine(std::string_view strLine, uint32_t nNowMs);
    // Gives up when the awaited answer is overdue.
    CSaslStep OnTime(uint32_t nNowMs);

    ESaslState State() const { return m_eState; }
    ESaslFailure Failure() const { return m_eFailure; }
    // True while an answer is awaited.
    bool Waiting() const;
    // While Waiting: how long until OnTime gives up on the answer (0: now).
    uint32_t WaitLeftMs(uint32_t nNowMs) const;
    // The account the server logged the bot in to (from 900), if it said.
    const std::string& Account() const { return m_strAccount; }
    // What the server offered, as far as it came.
    const CCapOffer& Offer() const { return m_offer; }

private:
    void Enter(ESaslState eState, uint32_t nNowMs);
    void Fail(ESaslFailure eFailure, const std::string& strDetail, CSaslStep* pStep);
    void OnCap(const CCapReply& reply, uint32_t nNowMs, CSaslStep* pStep);
    void OnAuthenticate(const std::string& strData, uint32_t nNowMs, CSaslStep* pStep);
    std::string Response() const;

    CSaslConfig m_config;
    ESaslState m_eState = ESaslState::Idle;
    ESaslFailure m_eFailure = ESaslFailure::None;
    uint32_t m_nSince = 0;  // when the awaited answer was asked for
    CCapOffer m_offer;
    std::string m_strChallenge;
    std::string m_strMechanisms;  // from 908
    std::string m_strAccount;
};

// The operator's words for a failure ("the server refused the account or
// password (904)").
std::string SaslFailureText(ESaslFailure eFailure);

}  // namespace irc
