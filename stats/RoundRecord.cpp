#include "stats/RoundRecord.h"

namespace stats {

int32_t CRoundRecord::PlayerCount() const {
    int32_t nCount = 0;
    for (const CRoundPlayer& player : m_vPlayers) nCount += player.m_nSeconds > 0 ? 1 : 0;
    return nCount;
}

bool CRoundRecord::IsRanked() const {
    return m_nSeconds >= kRankedMinSeconds && PlayerCount() >= kRankedMinPlayers;
}

}  // namespace stats
