#include "irc/SendWriter.h"

#include <chrono>
#include <utility>

#include "platform/ThreadName.h"

namespace irc {

CSendWriter::CSendWriter(platform::CClock& clock, CSendPace pace, WriteFn fnWrite,
                         SkippedFn fnSkipped)
    : m_clock(clock),
      m_fnWrite(std::move(fnWrite)),
      m_fnSkipped(std::move(fnSkipped)),
      m_queue(pace) {}

CSendWriter::~CSendWriter() {
    Stop();
}

void CSendWriter::Wake() {
    m_cv.notify_all();
    m_wake.Stop();
}

bool CSendWriter::Push(std::string strLine, ELineKind eKind, ELineTarget eTarget) {
    bool bQueued;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bQueued = m_queue.Push(std::move(strLine), eKind, eTarget);
    }
    if (bQueued) Wake();
    return bQueued;
}

void CSendWriter::HoldChannel(bool bHold) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.HoldChannel(bHold);
    }
    // Lines let go may be due now.
    Wake();
}

void CSendWriter::Close(std::string strFinal) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.Close(std::move(strFinal), m_clock.GetTickCount());
    }
    Wake();
}

bool CSendWriter::IsClosing(uint32_t* pnSince) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    *pnSince = m_queue.ClosingSince();
    return m_queue.IsClosing();
}

bool CSendWriter::IsFinalWritten() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bFinalWritten;
}

bool CSendWriter::HasFailed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bFailed;
}

size_t CSendWriter::Queued() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.Size();
}

uint64_t CSendWriter::SkippedEvents() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.SkippedEvents();
}

uint64_t CSendWriter::RefusedLines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.RefusedLines();
}

bool CSendWriter::IsRunning() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bRunning;
}

void CSendWriter::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.Clear();
    m_bFailed = false;
    m_bFinalWritten = false;
}

void CSendWriter::Start() {
    if (m_thread.joinable()) return;
    m_stop.Reset();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bRunning = true;
    }
    m_thread = std::thread([this] { Run(); });
}

void CSendWriter::Stop() {
    if (!m_thread.joinable()) return;
    {
        // Under the lock, so that the thread cannot miss it between its
        // check and its wait.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop.Stop();
    }
    Wake();
    m_thread.join();
}

void CSendWriter::FlushFinal(uint32_t nMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_queue.IsClosing() || m_bFinalWritten) return;
    m_queue.Expedite();
    m_cv.notify_all();
    m_wake.Stop();
    m_cv.wait_for(lock, std::chrono::milliseconds(nMs),
                  [this] { return m_bFinalWritten || m_bFailed || !m_bRunning; });
}

void CSendWriter::Run() {
    platform::NameThisThread("irc-send");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop.IsStopped() && !m_bFailed) {
        // Reset before looking, under the lock: a line queued after the
        // look sets it again, so the wait below cannot sleep through it.
        m_wake.Reset();
        CSendQueue::COut out;
        uint32_t nWaitMs = 0;
        switch (m_queue.Pop(m_clock.GetTickCount(), &out, &nWaitMs)) {
            case CSendQueue::EPop::Wait:
                lock.unlock();
                m_clock.Sleep(nWaitMs, &m_wake);
                lock.lock();
                continue;
            case CSendQueue::EPop::Empty:
            case CSendQueue::EPop::Done:
                m_cv.wait(lock);
                continue;
            case CSendQueue::EPop::Line:
                break;
        }
        lock.unlock();
        std::string strBytes = out.m_nSkipped > 0 ? m_fnSkipped(out.m_nSkipped) : out.m_strLine;
        strBytes += "\r\n";
        const bool bWritten = m_fnWrite(strBytes);
        lock.lock();
        if (!bWritten) m_bFailed = true;
        if (bWritten && out.m_bFinal) m_bFinalWritten = true;
        m_cv.notify_all();
    }
    m_bRunning = false;
    m_cv.notify_all();
}

}  // namespace irc
