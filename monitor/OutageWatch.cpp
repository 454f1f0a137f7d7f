#include "monitor/OutageWatch.h"

namespace monitor {

COutageWatch::EChange COutageWatch::OnUnanswered(int32_t nDownAfter, bool bBroadcasting) {
    if (!bBroadcasting || nDownAfter <= 0 || m_bDown) return EChange::None;
    if (++m_nInARow < nDownAfter) return EChange::None;
    m_bDown = true;
    return EChange::Down;
}

COutageWatch::EChange COutageWatch::OnAnswered() {
    m_nInARow = 0;
    if (!m_bDown) return EChange::None;
    m_bDown = false;
    return EChange::Back;
}

}  // namespace monitor
