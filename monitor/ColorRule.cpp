#include "monitor/ColorRule.h"

namespace monitor {

std::string TwoDigitColor(std::string_view strColor) {
    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on "0" + string.
    std::string strOut;
    if (strColor.size() == 1) strOut = '0';
    strOut += strColor;
    return strOut;
}

}  // namespace monitor
