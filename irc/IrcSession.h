#pragma once
// The IRC side of the bot: one session with one server and one channel, as
// its owner (the core, a test) drives it. A small front over
// the parts that do the work:
//   CIrcSessionState  where the session stands, and the IRC log
//   CChannelRequests  the channel's requests for the game side
//   CIrcSender        every line to the server: built, queued, written
//   CIrcSupervisor    the IRC thread: one CIrcConnection after another
// It tells its owner what happens through IIrcEvents and hands the game
// side the narrow bridge::IIrcLink.
//
// Threads: the caller's (never waiting for the network: Open and Disconnect
// return at once), the IRC thread (look-up, connect, TLS, registration,
// receive loop, reconnections; named "irc") and the writer thread of the
// current connection ("irc-send"). No lock is held across a wait for the
// network.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "bridge/ChannelRequest.h"
#include "bridge/GameShared.h"
#include "bridge/IrcLink.h"
#include "irc/ChannelRequests.h"
#include "irc/IrcConnection.h"
#include "irc/IrcEvents.h"
#include "irc/IrcSender.h"
#include "irc/IrcSessionState.h"
#include "irc/IrcSettings.h"
#include "irc/IrcSupervisor.h"
#include "platform/Clock.h"
#include "platform/Heartbeat.h"

namespace irc {

class CIrcSession : public bridge::IIrcLink, private IIrcOutlet {
public:
    // How long End lets a QUIT that Disconnect queued try to leave.
    static constexpr uint32_t kQuitGraceMs = CIrcSupervisor::kQuitGraceMs;

    // game: what the game side shares with this one; events: the owner's
    // ear; pBeat (may be null): beaten by the IRC loop before each wait. All
    // outlive the session.
    CIrcSession(platform::CClock& clock, bridge::CGameShared& game, IIrcEvents& events,
                platform::CHeartbeat* pBeat = nullptr);
    ~CIrcSession() override;  // End()
    CIrcSession(const CIrcSession&) = delete;
    CIrcSession& operator=(const CIrcSession&) = delete;

    // The user name of the USER line, and the version text of USER, the
    // CTCP VERSION answer and QUIT; taken by the next Open. Any thread.
    void SetRegistrationTexts(std::string strIdent, std::string strVersion);
    // As the last Open took them. Any thread.
    CIrcSettings Settings() const;

    // Returns at once (any thread): ends a previous session's thread first
    // (bounded), then the IRC thread looks up, connects (TLS), registers
    // (SASL), joins. Without keep-alive a failed connect ends the session
    // (its log line written, state Idle); with keep-alive it goes on as any
    // lost link does. The session is active before Open returns, and the
    // channel's pending requests are gone.
    void Open(const CIrcSettings& settings);
    // Returns at once: the session inactive, out of the channel; QUIT behind
    // the lines already queued (they leave at their pace, at most
    // CSendQueue::kDrainLimitMs); a look-up, connect or handshake in
    // progress is cut short; a wait for the next attempt ends. The thread
    // ends when the server closes, at the latest kCloseLimitMs later.
    void Disconnect();
    // Ends the thread without waiting for the server: a QUIT that Disconnect
    // queued gets kQuitGraceMs, then the socket is shut down and the threads
    // joined. Bounded whatever the network does (a look-up too). Idempotent;
    // not on the IRC thread.
    void End();
    // See CIrcSupervisor::SetKeepAlive. Any thread.
    void SetKeepAlive(bool bKeepAlive) { m_supervisor.SetKeepAlive(bKeepAlive); }
    bool IsKeepAlive() const { return m_supervisor.IsKeepAlive(); }

    CIrcStatus Status() const { return m_state.Status(); }
    CIrcFigures Figures() const;

    // ---- bridge::IIrcLink; any thread, never waiting. Each line is cut to
    // the protocol's length, and CR, LF and NUL are dropped from its parts.
    bool IsSessionActive() const override { return m_state.IsSessionActive(); }
    bool IsInChannel() const override { return m_state.IsInChannel(); }
    void SendToChannelPaced(const std::string& strText) override;
    void SendToChannel(const std::string& strText) override;
    void SendTicketLine(const std::string& strText) override;
    void SendLine(const std::string& strText) override;
    std::optional<bridge::CChannelRequest> TakeRequest() override { return m_requests.Take(); }
    void DropRequests() override { m_requests.Clear(); }

protected:
    // ---- Seams for tests.
    // The one place lines enter the send queue: a whole line without its
    // final CR LF. Any thread.
    void QueueLine(std::string strLine, ELineKind eKind, ELineTarget eTarget) override;
    // The one place bytes leave: writes to the current connection (plain or
    // TLS) within CIrcSender::kSendStallMs of no progress; false when the
    // connection is lost (it is then shut down). Writer thread.
    bool WriteToSocket(const std::string& strBytes) override;
    // As the server's confirmation of the bot's join of strChannel would,
    // or a kick: for tests that drive the session without a server.
    void MarkInChannel(bool bIn, const std::string& strChannel = {});
    // As Open marks the session started, without a thread.
    void MarkSessionActive(bool bActive) { m_state.SetSessionActive(bActive); }
    // A derived class whose seams the threads call ends them in its own
    // destructor: End().

private:
    void QueueQuit();

    std::mutex m_mutexOpen;  // serialises Open and End
    mutable std::mutex m_mutexSettings;
    CIrcSettings m_settings;
    CRegistrationTexts m_texts;
    CIrcSessionState m_state;
    CChannelRequests m_requests;
    CIrcSender m_sender;
    // Last: its thread uses the members above and ends first.
    CIrcSupervisor m_supervisor;
};

}  // namespace irc
