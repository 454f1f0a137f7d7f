#pragma once
// The IRC session's send side: every line to the server is built here (no
// CR, LF or NUL from any part of it, cut to the protocol's length), queued
// at its kind's place in the send queue and written by the connection's
// writer thread (CSendWriter) to the connection's stream. No sender waits
// for the network or the pace.
//
// Threads: the senders (any thread), the IRC thread (a connection's
// beginning and end) and the writer thread (writes). The stream is replaced
// under a lock, and the writer holds a copy for the length of one write, so
// a new connection never closes a stream in use.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "irc/IrcSessionState.h"
#include "irc/IrcStream.h"
#include "irc/SendQueue.h"
#include "irc/SendWriter.h"
#include "platform/Clock.h"

namespace irc {

// Where the send side hands a line to the queue, and bytes to the
// connection: the session's two seams, which tests may watch. The defaults
// call CIrcSender::Enqueue and CIrcSender::Write.
class IIrcOutlet {
public:
    virtual ~IIrcOutlet() = default;
    // A whole line without its final CR LF. Any thread.
    virtual void QueueLine(std::string strLine, ELineKind eKind, ELineTarget eTarget) = 0;
    // Bytes to write, CR LF included; false when the connection is lost.
    // Writer thread.
    virtual bool WriteToSocket(const std::string& strBytes) = 0;
};

class CIrcSender {
public:
    // The pace of the send queue.
    static constexpr uint32_t kBurstLines = 5;
    static constexpr uint32_t kPacePauseMs = 400;     // within a burst
    static constexpr uint32_t kLineSpacingMs = 1000;  // sustained: a line a second
    // A line that makes no progress for this long: the server stopped reading.
    static constexpr uint32_t kSendStallMs = 30000;

    CIrcSender(platform::CClock& clock, IIrcOutlet& outlet, CIrcSessionState& state);
    CIrcSender(const CIrcSender&) = delete;
    CIrcSender& operator=(const CIrcSender&) = delete;

    // ---- Sending; any thread, never waiting.
    // A line of any kind, in any state (dropped when no connection takes it).
    void Send(const std::string& strLine, ELineKind eKind,
              ELineTarget eTarget = ELineTarget::Server);
    // PRIVMSG to the channel in use, only while the bot is in it.
    void SendToChannel(const std::string& strText, ELineKind eKind);
    // Several lines already built and fitted, one queue entry (the
    // registration leaves as one write).
    void SendBuilt(std::string strLines, ELineKind eKind);

    // ---- The outlet's defaults.
    // Into the queue; a refusal is logged once per connection.
    void Enqueue(std::string strLine, ELineKind eKind, ELineTarget eTarget);
    // To the current stream within kSendStallMs of no progress; on failure
    // the stream is shut down (so the receive loop ends it at once).
    bool Write(const std::string& strBytes);

    // ---- A connection's life; the IRC thread (or the one ending it).
    // A new connection: the previous one's writer stopped and its unsent
    // lines dropped, no stream yet, the channel's lines held until the join.
    void BeginConnection();
    // Publishes the stream of an attempt (before its connect or handshake,
    // so that ShutdownStream reaches it); the writer sees it once connected.
    void SetStream(std::shared_ptr<IIrcStream> pStream);
    void MarkConnected();
    // The stream of the connection that stands, or null.
    std::shared_ptr<IIrcStream> ConnectedStream();
    // Wakes every thread blocked on the stream. Any thread.
    void ShutdownStream();
    void StartWriter();
    // The connection is over: the stream shut down, the writer stopped, the
    // stream let go.
    void EndConnection();
    // Holds the channel's lines while the bot is out of the channel.
    void HoldChannel(bool bHold) { m_writer.HoldChannel(bHold); }

    // ---- Closing; any thread.
    // The lines queued so far still leave at their pace, then strQuit.
    void Close(std::string strQuit) { m_writer.Close(std::move(strQuit)); }
    bool IsClosing(uint32_t* pnSince) const { return m_writer.IsClosing(pnSince); }
    // A queued final line goes next; waits up to nMs for it.
    void FlushFinal(uint32_t nMs) { m_writer.FlushFinal(nMs); }
    // A write of this connection made no progress for kSendStallMs.
    bool HasStalled() const { return m_bStalled.load(); }

    // ---- Figures; any thread.
    uint64_t LinesSent() const { return m_nLinesSent.load(); }
    uint64_t LinesSkipped() const { return m_writer.SkippedEvents(); }
    uint64_t Queued() const { return m_writer.Queued(); }

private:
    std::string SkippedLine(uint32_t nSkipped);

    platform::CClock& m_clock;
    IIrcOutlet& m_outlet;
    CIrcSessionState& m_state;
    std::atomic<bool> m_bRefusalLogged{false};
    std::atomic<bool> m_bStalled{false};
    std::atomic<uint64_t> m_nLinesSent{0};

    std::mutex m_mutexStream;
    std::shared_ptr<IIrcStream> m_pStream;
    bool m_bConnected = false;  // the writer sees the stream once its connect has returned

    // Last: its thread uses the members above and ends first.
    CSendWriter m_writer;
};

}  // namespace irc
