#include "core/GameLog.h"

namespace core {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string GameLogText(std::string_view strText) {
    std::string str;
    str.reserve(strText.size());
    for (size_t i = 0; i < strText.size();) {
        const char c = strText[i];
        if (c == '\x03') {
            i += (i + 1 < strText.size() && IsDigit(strText[i + 1])) ? 3 : 1;
            continue;
        }
        if (c != '\r' && c != '\n' && c != '\0') str += c;
        ++i;
    }
    return str;
}

}  // namespace core
