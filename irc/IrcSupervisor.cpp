#include "irc/IrcSupervisor.h"

#include <chrono>

#include "irc/IrcText.h"
#include "irc/LineFit.h"
#include "platform/ThreadName.h"

namespace irc {

CIrcSupervisor::CIrcSupervisor(platform::CClock& clock, CIrcSender& sender, CIrcSessionState& state,
                               CChannelRequests& requests, const bridge::CGameShared& game,
                               platform::CHeartbeat* pBeat)
    : m_clock(clock),
      m_sender(sender),
      m_state(state),
      m_pBeat(pBeat),
      m_context{clock, sender, state, requests, game, m_ctcpLimiter, m_cut, m_end, m_wake, pBeat} {}

CIrcSupervisor::~CIrcSupervisor() {
    End();
}

void CIrcSupervisor::Beat(uint32_t nNextWithinMs) {
    if (m_pBeat != nullptr) m_pBeat->Beat(m_clock.GetTickCount(), nNextWithinMs);
}

void CIrcSupervisor::Start(const CIrcSettings& settings, const CRegistrationTexts& texts) {
    m_cut.Reset();
    m_end.Reset();
    m_reconnect.Reset();
    m_bAlive = true;
    m_thread = std::thread([this, settings, texts] { Run(settings, texts); });
}

void CIrcSupervisor::Run(const CIrcSettings& settings, const CRegistrationTexts& texts) {
    platform::NameThisThread("irc");
    for (bool bFirst = true;; bFirst = false) {
        if (!bFirst) {
            m_state.Log(kTextReconnecting);
            ++m_nReconnects;
        }
        m_state.SetPhase(EIrcState::Connecting);
        CIrcConnection connection(m_context, settings, texts);
        CConnectionOutcome outcome;
        if (connection.Open()) {
            // A Disconnect during the attempt may have found nothing to say
            // QUIT on (a new connection empties the queue).
            if (!m_state.IsSessionActive())
                m_sender.Close(FitLine(WithoutLineBreaks(QuitLine(texts.m_strVersion))));
            outcome = connection.Run();
        }
        // Disconnect pressed meanwhile, or the session is being ended.
        if (!m_state.IsSessionActive() || m_end.IsStopped()) break;
        const uint32_t nWaitMs =
            m_reconnect.NextWaitMs(outcome.m_eEnd, outcome.m_nRegisteredMs, m_bKeepAlive.load());
        if (nWaitMs == 0) break;
        m_state.Log(outcome.m_eEnd == EConnectionEnd::Throttled ? std::string(kTextWaiting)
                                                                : NextAttemptText(nWaitMs));
        m_state.SetPhase(EIrcState::Waiting, nWaitMs);
        Beat(nWaitMs);
        if (!m_clock.Sleep(nWaitMs, &m_cut)) break;
        if (!m_state.IsSessionActive() || m_end.IsStopped()) break;
    }
    if (m_pBeat != nullptr) m_pBeat->SetIdle();
    m_state.ThreadEnded();
    {
        std::lock_guard<std::mutex> lock(m_mutexAlive);
        m_bAlive = false;
    }
    m_cvAlive.notify_all();
}

void CIrcSupervisor::CutShort() {
    m_cut.Stop();
    m_wake.Wake();
}

void CIrcSupervisor::End() {
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id()) return;
    // A QUIT that Disconnect queued goes now, ahead of what still waits.
    m_sender.FlushFinal(kQuitGraceMs);
    if (m_thread.joinable()) {
        m_end.Stop();
        m_cut.Stop();
        m_wake.Wake();
        // Repeated, because an attempt may publish a new stream after the
        // first shutdown; each one wakes a blocked connect or handshake.
        for (;;) {
            m_sender.ShutdownStream();
            std::unique_lock<std::mutex> lock(m_mutexAlive);
            if (m_cvAlive.wait_for(lock, std::chrono::milliseconds(50),
                                   [this] { return !m_bAlive.load(); }))
                break;
        }
        m_thread.join();
    }
    m_sender.EndConnection();
    m_end.Reset();
}

}  // namespace irc
