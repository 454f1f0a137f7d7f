#include "irc/SendQueue.h"

#include <algorithm>
#include <utility>

namespace irc {

namespace {

// Time since the last line stops counting here: long enough for any pace.
constexpr uint32_t kSaturatedMs = 1u << 30;

}  // namespace

CSendQueue::CSendQueue(CSendPace pace) : m_pace(pace) {
    // A full burst: the first line, then each further one at the burst
    // spacing, which earns back only that spacing's worth of credit.
    const int64_t nCost = m_pace.m_nSpacingMs;
    const int64_t nGain = std::min<int64_t>(m_pace.m_nBurstSpacingMs, nCost);
    const int64_t nBurst = std::max<int64_t>(m_pace.m_nBurstLines, 1);
    m_nCapacityMs = nCost + (nBurst - 1) * (nCost - nGain);
    Clear();
}

void CSendQueue::Clear() {
    m_nCreditMs = m_nCapacityMs;
    m_nSinceLastMs = kSaturatedMs;
    m_bTicked = false;
    m_urgent.clear();
    m_lines.clear();
    m_nEvents = 0;
    m_nSinceMarker = kMaxEvents;
    m_nPendingSkipped = 0;
    m_bChannelHeld = false;
    m_bClosing = false;
    m_nClosingSince = 0;
    m_strFinal.clear();
    m_bFinalSent = false;
}

bool CSendQueue::Refuse() {
    ++m_nRefusedLines;
    return false;
}

bool CSendQueue::Push(std::string strLine, ELineKind eKind, ELineTarget eTarget) {
    const bool bChannel =
        eTarget == ELineTarget::Channel || eKind == ELineKind::Event || eKind == ELineKind::Ticket;
    if (m_bFinalSent) return Refuse();
    if (eKind == ELineKind::Urgent) {
        if (Size() >= kMaxLines) return Refuse();
        m_urgent.push_back(std::move(strLine));
        return true;
    }
    if (m_bClosing) return Refuse();
    switch (eKind) {
        case ELineKind::Control:
            // A second JOIN or NICK while the first still waits adds nothing.
            for (const CEntry& entry : m_lines)
                if (entry.m_eKind == ELineKind::Control && entry.m_strLine == strLine) return true;
            break;
        case ELineKind::Ticket:
            for (CEntry& entry : m_lines) {
                if (entry.m_eKind == ELineKind::Ticket) {
                    entry.m_strLine = std::move(strLine);
                    return true;
                }
            }
            if (Size() >= kMaxLines) return Refuse();
            break;
        case ELineKind::Event:
            if (m_nEvents >= kMaxEvents) DropOldestEvent();
            if (Size() >= kMaxLines) return Refuse();
            ++m_nEvents;
            break;
        default:
            if (Size() >= kMaxLines) return Refuse();
            break;
    }
    m_lines.push_back(CEntry{std::move(strLine), eKind, bChannel});
    return true;
}

void CSendQueue::DropOldestEvent() {
    auto itOldest = std::find_if(m_lines.begin(), m_lines.end(), [](const CEntry& e) {
        return e.m_eKind == ELineKind::Event && e.m_nSkipped == 0;
    });
    if (itOldest == m_lines.end()) return;
    ++m_nSkippedEvents;
    --m_nEvents;
    // One marker per backlog, where the first dropped line stood.
    auto itMarker = std::find_if(m_lines.begin(), m_lines.end(),
                                 [](const CEntry& e) { return e.m_nSkipped > 0; });
    if (itMarker != m_lines.end()) {
        ++itMarker->m_nSkipped;
        m_lines.erase(itOldest);
    } else if (m_nSinceMarker >= kMaxEvents) {
        itOldest->m_strLine.clear();
        itOldest->m_nSkipped = 1 + std::exchange(m_nPendingSkipped, 0);
    } else {
        // A marker has just gone out: a new one now would come next, and
        // a game that keeps outrunning the channel would leave it nothing
        // but markers. The lines behind it go first; this one counts later.
        ++m_nPendingSkipped;
        m_lines.erase(itOldest);
    }
}

void CSendQueue::Close(std::string strFinal, uint32_t nNow) {
    if (m_bClosing || m_bFinalSent) return;
    m_bClosing = true;
    m_nClosingSince = nNow;
    m_strFinal = std::move(strFinal);
}

void CSendQueue::Expedite() {
    if (!m_bClosing) return;
    m_lines.clear();
    m_nEvents = 0;
    m_nPendingSkipped = 0;
}

void CSendQueue::Advance(uint32_t nNow) {
    if (!m_bTicked) {
        m_bTicked = true;
        m_nLastTick = nNow;
        return;
    }
    // Unsigned difference: right across the tick count's wrap.
    const uint32_t nElapsed = nNow - m_nLastTick;
    m_nLastTick = nNow;
    m_nCreditMs = std::min<int64_t>(m_nCapacityMs, m_nCreditMs + nElapsed);
    m_nSinceLastMs =
        std::min<uint32_t>(kSaturatedMs, m_nSinceLastMs + std::min(nElapsed, kSaturatedMs));
}

std::deque<CSendQueue::CEntry>::iterator CSendQueue::NextAllowed() {
    if (!m_bChannelHeld) return m_lines.begin();
    return std::find_if(m_lines.begin(), m_lines.end(),
                        [](const CEntry& e) { return !e.m_bChannel; });
}

uint32_t CSendQueue::WaitMs() const {
    int64_t nWait = 0;
    if (m_nCreditMs < m_pace.m_nSpacingMs) nWait = m_pace.m_nSpacingMs - m_nCreditMs;
    if (m_nSinceLastMs < m_pace.m_nBurstSpacingMs)
        nWait = std::max<int64_t>(nWait, m_pace.m_nBurstSpacingMs - m_nSinceLastMs);
    return static_cast<uint32_t>(nWait);
}

void CSendQueue::Spend() {
    // Urgent lines go whatever the credit; the debt holds back later lines.
    m_nCreditMs = std::max<int64_t>(m_nCreditMs - m_pace.m_nSpacingMs, -m_nCapacityMs);
    m_nSinceLastMs = 0;
}

CSendQueue::EPop CSendQueue::Pop(uint32_t nNow, COut* pOut, uint32_t* pnWaitMs) {
    Advance(nNow);
    *pnWaitMs = 0;
    if (m_bFinalSent) return EPop::Done;
    if (!m_urgent.empty()) {
        *pOut = COut{std::move(m_urgent.front()), ELineKind::Urgent, 0, false};
        m_urgent.pop_front();
        Spend();
        return EPop::Line;
    }
    uint32_t nDrainLeft = 0;
    if (m_bClosing) {
        const uint32_t nClosedFor = nNow - m_nClosingSince;
        if (nClosedFor >= kDrainLimitMs) {
            Expedite();
        } else {
            nDrainLeft = kDrainLimitMs - nClosedFor;
        }
    }
    // Held, the channel's lines wait and the marker with them; what is
    // left may go in its order.
    const auto itNext = NextAllowed();
    const bool bMarkerDue = m_nPendingSkipped > 0 && !m_bChannelHeld;
    if (itNext != m_lines.end() || bMarkerDue) {
        const uint32_t nWait = WaitMs();
        if (nWait > 0) {
            *pnWaitMs = m_bClosing ? std::min(nWait, nDrainLeft) : nWait;
            return EPop::Wait;
        }
        // Lines dropped since the last marker are said once enough lines
        // have gone out since, or when nothing else waits.
        if (bMarkerDue && (m_nSinceMarker >= kMaxEvents || m_lines.empty())) {
            *pOut =
                COut{std::string(), ELineKind::Event, std::exchange(m_nPendingSkipped, 0), false};
            m_nSinceMarker = 0;
            Spend();
            return EPop::Line;
        }
        CEntry& entry = *itNext;
        if (entry.m_eKind == ELineKind::Event && entry.m_nSkipped == 0) --m_nEvents;
        m_nSinceMarker = entry.m_nSkipped > 0 ? 0 : std::min(m_nSinceMarker + 1, kMaxEvents);
        *pOut = COut{std::move(entry.m_strLine), entry.m_eKind, entry.m_nSkipped, false};
        m_lines.erase(itNext);
        Spend();
        return EPop::Line;
    }
    if (m_bClosing) {
        // Goodbye at once: nothing waits behind it but the channel's held
        // lines, which no longer reach the channel on this connection.
        Expedite();
        *pOut = COut{std::move(m_strFinal), ELineKind::Urgent, 0, true};
        m_bFinalSent = true;
        Spend();
        return EPop::Line;
    }
    return EPop::Empty;
}

}  // namespace irc
