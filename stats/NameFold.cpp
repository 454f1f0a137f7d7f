#include "stats/NameFold.h"

namespace stats {

std::string FoldName(std::string_view strName) {
    std::string strOut(strName);
    for (char& c : strOut) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) {
            c = static_cast<char>(b + 0x20);
        } else if (b == 0x8A || b == 0x8C || b == 0x8E) {  // S, OE, Z with their marks
            c = static_cast<char>(b + 0x10);
        } else if (b == 0x9F) {  // Y with diaeresis
            c = static_cast<char>(0xFF);
        }
    }
    return strOut;
}

}  // namespace stats
