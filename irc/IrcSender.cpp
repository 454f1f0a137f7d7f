#include "irc/IrcSender.h"

#include <algorithm>
#include <utility>

#include "irc/IrcText.h"
#include "irc/LineFit.h"

namespace irc {

CIrcSender::CIrcSender(platform::CClock& clock, IIrcOutlet& outlet, CIrcSessionState& state)
    : m_clock(clock),
      m_outlet(outlet),
      m_state(state),
      m_writer(
          clock, CSendPace{kBurstLines, kPacePauseMs, kLineSpacingMs},
          [this](const std::string& strBytes) { return m_outlet.WriteToSocket(strBytes); },
          [this](uint32_t nSkipped) { return SkippedLine(nSkipped); }) {}

void CIrcSender::Send(const std::string& strLine, ELineKind eKind, ELineTarget eTarget) {
    // Every part of a line may come from settings or from other people;
    // none of it may end the line early and start a command of its own.
    m_outlet.QueueLine(FitLine(WithoutLineBreaks(strLine)), eKind, eTarget);
}

void CIrcSender::SendToChannel(const std::string& strText, ELineKind eKind) {
    if (!m_state.IsInChannel()) return;
    Send("PRIVMSG " + m_state.Channel() + " :" + strText, eKind, ELineTarget::Channel);
}

void CIrcSender::SendBuilt(std::string strLines, ELineKind eKind) {
    m_outlet.QueueLine(std::move(strLines), eKind, ELineTarget::Server);
}

void CIrcSender::Enqueue(std::string strLine, ELineKind eKind, ELineTarget eTarget) {
    if (m_writer.Push(std::move(strLine), eKind, eTarget)) return;
    // After QUIT nothing else is meant to leave; otherwise the hard cap
    // refused it. Said once per connection: a flood of requests must not
    // flood the log too.
    uint32_t nSince = 0;
    if (!m_writer.IsClosing(&nSince) && !m_bRefusalLogged.exchange(true))
        m_state.Log(kTextQueueFull);
}

std::string CIrcSender::SkippedLine(uint32_t nSkipped) {
    const std::string strLine = "PRIVMSG " + m_state.Channel() + " :" + SkippedLinesText(nSkipped);
    return FitLine(WithoutLineBreaks(strLine));
}

bool CIrcSender::Write(const std::string& strBytes) {
    const std::shared_ptr<IIrcStream> pStream = ConnectedStream();
    if (!pStream) return false;
    // A line leaves whole or the connection goes: a peer that takes
    // nothing for kSendStallMs has stopped reading.
    const EWriteResult eResult =
        pStream->Write(strBytes, m_clock, kSendStallMs, m_writer.Stopping());
    if (eResult == EWriteResult::Written) {
        // The registration is one write of several lines.
        m_nLinesSent += static_cast<uint64_t>(std::count(strBytes.begin(), strBytes.end(), '\n'));
        return true;
    }
    if (eResult == EWriteResult::Stalled) m_bStalled = true;
    // The receive loop sees the end at once and ends the connection (the
    // fault noted first, so that it names it).
    pStream->Shutdown();
    return false;
}

void CIrcSender::BeginConnection() {
    // What a previous connection left unsent stays with it. A TLS write
    // that still waits is woken by the shutdown, not by the stop alone.
    ShutdownStream();
    m_writer.Stop();
    m_writer.Clear();
    m_writer.HoldChannel(true);
    m_bRefusalLogged = false;
    m_bStalled = false;
    SetStream(nullptr);
}

void CIrcSender::SetStream(std::shared_ptr<IIrcStream> pStream) {
    std::shared_ptr<IIrcStream> pOld;
    {
        std::lock_guard<std::mutex> lock(m_mutexStream);
        pOld = std::exchange(m_pStream, std::move(pStream));
        m_bConnected = false;
    }
    // The old one closes here, or after the last write that still holds it.
}

void CIrcSender::MarkConnected() {
    std::lock_guard<std::mutex> lock(m_mutexStream);
    m_bConnected = m_pStream != nullptr;
}

std::shared_ptr<IIrcStream> CIrcSender::ConnectedStream() {
    std::lock_guard<std::mutex> lock(m_mutexStream);
    return m_bConnected ? m_pStream : nullptr;
}

void CIrcSender::ShutdownStream() {
    std::lock_guard<std::mutex> lock(m_mutexStream);
    if (m_pStream) m_pStream->Shutdown();
}

void CIrcSender::StartWriter() {
    m_writer.Start();
}

void CIrcSender::EndConnection() {
    // A write still waiting (TLS waits in one call) is woken, so the writer
    // stops at once.
    ShutdownStream();
    m_writer.Stop();
    SetStream(nullptr);
}

}  // namespace irc
