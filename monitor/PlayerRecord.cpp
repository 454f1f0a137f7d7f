#include "monitor/PlayerRecord.h"

namespace monitor {

std::string CPlayerRecord::ChangeCode(const CPlayerRecord& newer) const {
    // 64-bit differences: totals near the 32-bit limits must not overflow.
    const int64_t nScoreDiff = int64_t{newer.m_nScore} - m_nScore;
    const int64_t nFragDiff = int64_t{newer.m_nFrags} - m_nFrags;

    std::string strCode(3, '0');
    if (nScoreDiff == 0)
        strCode[0] = '0';
    else if (nScoreDiff == nFragDiff)
        strCode[0] = '1';
    else if (nScoreDiff == 2)
        strCode[0] = '2';
    else if (nScoreDiff == -2)
        strCode[0] = '3';

    if (nFragDiff < 0) {
        strCode[1] = '-';
    } else {
        int64_t nLead = nFragDiff;
        while (nLead >= 10) nLead /= 10;
        strCode[1] = static_cast<char>('0' + nLead);
    }

    strCode[2] = newer.m_nDeaths > m_nDeaths ? '1' : '0';
    return strCode;
}

}  // namespace monitor
