#include "config/ColorRule.h"

namespace config {

std::string TwoDigitColor(std::string_view strColor) {
    if (strColor.size() == 1) return "0" + std::string(strColor);
    return std::string(strColor);
}

}  // namespace config
