#pragma once
// Expected IRC lines in tests are written with "^" for the colour byte 0x03.
#include <string>
#include <string_view>

namespace testsupport {

// The text with every "^" turned into the colour byte 0x03.
inline std::string C(std::string_view strText) {
    std::string str(strText);
    for (char& c : str) {
        if (c == '^') c = '\x03';
    }
    return str;
}

}  // namespace testsupport
