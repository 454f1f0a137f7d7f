#pragma once
// Takes the lines of one send queue at their time and writes them on a
// thread of its own, so that no sender (monitor, ticket reporter, UI thread,
// IRC thread) ever waits for the network or the pace, and a PONG never
// waits behind the channel's lines. The thread runs for one connection at a
// time: started once the connection stands, stopped when it ends. It names
// itself "irc-send".
//
// Push, Close and the queries: any thread, never blocking on the network.
// Clear, Start, Stop and FlushFinal: one thread at a time (the one that
// connects or ends the connection).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "irc/SendQueue.h"
#include "platform/Clock.h"

namespace irc {

class CSendWriter {
public:
    // Writes one whole line, CR LF included, within its time limit; false
    // when the connection is lost. Runs on the writer thread; it watches
    // Stopping() so that Stop never waits for a peer that stopped reading.
    using WriteFn = std::function<bool(const std::string& strBytes)>;
    // The line (without CR LF) that tells the channel how many event lines
    // were dropped to keep up. Runs on the writer thread.
    using SkippedFn = std::function<std::string(uint32_t nSkipped)>;

    CSendWriter(platform::CClock& clock, CSendPace pace, WriteFn fnWrite, SkippedFn fnSkipped);
    ~CSendWriter();
    CSendWriter(const CSendWriter&) = delete;
    CSendWriter& operator=(const CSendWriter&) = delete;

    // Queues a line (see CSendQueue::Push); false when it was refused.
    bool Push(std::string strLine, ELineKind eKind, ELineTarget eTarget = ELineTarget::Server);
    // Holds the channel's lines, or lets them go (see CSendQueue::HoldChannel).
    void HoldChannel(bool bHold);
    // The lines queued so far still leave at their pace, then strFinal.
    void Close(std::string strFinal);
    // Closing since *pnSince (a tick of the clock).
    bool IsClosing(uint32_t* pnSince) const;
    // The final line has been written.
    bool IsFinalWritten() const;
    // A write failed: nothing more is written on this connection.
    bool HasFailed() const;
    // Lines waiting; event lines dropped and lines refused so far.
    size_t Queued() const;
    uint64_t SkippedEvents() const;
    uint64_t RefusedLines() const;

    // Empties the queue for a new connection (the thread must not run).
    void Clear();
    void Start();
    // Ends the thread and joins it; a write in progress gives up. The
    // queued lines stay until Clear.
    void Stop();
    bool IsRunning() const;
    // If a final line waits, it goes next and the lines before it are
    // dropped; waits up to nMs (real time) until it has been written.
    void FlushFinal(uint32_t nMs);
    // Set while Stop ends the thread.
    const platform::CStopSignal& Stopping() const { return m_stop; }

private:
    void Run();
    void Wake();

    platform::CClock& m_clock;
    const WriteFn m_fnWrite;
    const SkippedFn m_fnSkipped;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;  // a line queued, a line written, or the stop
    CSendQueue m_queue;
    bool m_bFailed = false;
    bool m_bFinalWritten = false;
    bool m_bRunning = false;
    platform::CStopSignal m_wake;  // cuts a wait for the pace short
    platform::CStopSignal m_stop;
    std::thread m_thread;
};

}  // namespace irc
