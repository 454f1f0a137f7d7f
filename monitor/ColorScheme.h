#pragma once
// The colour settings: the colour of each line role and the four
// action filters, held and copied as one. Pure; any thread.
#include <string>

namespace monitor {

struct CColorScheme {
    // mIRC colour codes as typed (one or two digits).
    std::string m_strAlliedKillColor;
    std::string m_strAlliedFlagColor;
    std::string m_strAxisKillColor;
    std::string m_strAxisFlagColor;
    std::string m_strStatusColor;
    std::string m_strKeyColor;    // frames and the labels of key/value texts
    std::string m_strValueColor;  // the values of key/value texts
    // Filters: true announces, false suppresses.
    bool m_bShowFlag = true;
    bool m_bShowKill = true;
    bool m_bShowTicket = true;
    bool m_bShowTk = true;

    bool operator==(const CColorScheme&) const = default;
};

}  // namespace monitor
