#include "monitor/TicketReporter.h"

#include <algorithm>

#include "monitor/ColorRule.h"
#include "monitor/PhaseCheck.h"
#include "platform/Text.h"

namespace monitor {

namespace {

// Longest interval: well inside what a 32-bit millisecond count holds.
constexpr int kMaxTicketSecs = 2000000;

// A leading zero below ten, as the colour codes get theirs.
std::string TwoDigits(uint32_t n) {
    return monitor::TwoDigitColor(std::to_string(n));
}

}  // namespace

uint32_t TicketIntervalMs(int nSecs) {
    return static_cast<uint32_t>(std::clamp(nSecs, 1, kMaxTicketSecs)) * 1000u;
}

std::string TimeLeftText(uint32_t nEndTick, uint32_t nClock) {
    const uint32_t nSecs = MsLeft(nEndTick, nClock) / 1000;
    return TwoDigits(nSecs / 60) + ":" + TwoDigits(nSecs % 60);
}

std::string TicketLine(const CAnnounceSettings& s, const CServerStatus& status, uint32_t nEndTick,
                       uint32_t nClock) {
    std::string strLine = TicketStatusPiece(s, status);
    if (nEndTick != 0 && nEndTick != nClock) {
        strLine += "  ";
        strLine += KeyValue(s, "timeleft", TimeLeftText(nEndTick, nClock));
    }
    return strLine;
}

CTicketReporter::CTicketReporter(IMonitorHost& host, platform::CClock& clock,
                                 platform::CThreadGate& gate, platform::CStopSignal& stop,
                                 platform::CClock* pGameClock)
    : m_host(host),
      m_clock(clock),
      m_gate(gate),
      m_stop(stop),
      m_gameClock(pGameClock != nullptr ? *pGameClock : clock) {}

bool CTicketReporter::Step() {
    // Held before the sleep while the game is paused: no report then.
    if (!m_gate.Pass(&m_stop)) return false;
    const bridge::CGameShared& game = m_host.GameShared();
    const uint32_t nInterval = TicketIntervalMs(game.TicketSecs());
    if (!m_clock.Sleep(nInterval, &m_stop)) return false;
    if (!m_host.IsMonitoring()) return false;
    if (m_host.IsGamePaused()) return true;
    const CServerStatus status = m_host.GetStatus();
    if (!HasTicketStatus(status.m_strServerVersion)) return true;
    if (!m_host.IsTicketShown()) return true;
    if (!IsPlayingPhase(status.m_strGameMode)) return true;
    bridge::IIrcLink* pIrc = m_host.IrcLink();
    if (pIrc == nullptr) return true;

    const std::string strLine = platform::WithoutLineBreaks(
        TicketLine(m_host.AnnounceSettings(), status, game.GameEndTick(),
                   m_gameClock.GetTickCount()));
    if (pIrc->IsSessionActive()) {
        if (!m_host.IsMonitoring()) return true;  // ended meanwhile: the line is dropped
        // The ticket line replaces one still queued: only the newest counts.
        if (m_host.IsBroadcasting() && game.GameState() == bridge::EGameState::Running)
            pIrc->SendTicketLine(strLine);
    }
    if (m_host.IsMonitoring() && game.GameState() == bridge::EGameState::Running)
        m_host.AppendLog(strLine);
    return true;
}

void CTicketReporter::Run() {
    while (Step()) {
    }
}

}  // namespace monitor
