#pragma once
// Reads the stand-in server's replies back as pairs, independently of the
// bot's own reader.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace simtest {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Splits "\k\v\k\v..." at every single backslash; an empty value stays empty.
inline Pairs ReadPairs(std::string_view str) {
    std::vector<std::string> vFields;
    for (size_t nAt = str.find('\\'); nAt != std::string_view::npos;) {
        const size_t nNext = str.find('\\', nAt + 1);
        vFields.emplace_back(str.substr(nAt + 1, nNext == str.npos ? str.npos : nNext - nAt - 1));
        nAt = nNext;
    }
    Pairs vPairs;
    for (size_t n = 0; n + 1 < vFields.size(); n += 2)
        vPairs.emplace_back(vFields[n], vFields[n + 1]);
    return vPairs;
}

inline std::string Joined(const std::vector<std::string>& vDatagrams) {
    std::string strAll;
    for (const auto& str : vDatagrams) strAll += str;
    return strAll;
}

// The last value of a key, if present.
inline std::optional<std::string> Find(const Pairs& vPairs, std::string_view strKey) {
    std::optional<std::string> value;
    for (const auto& kv : vPairs)
        if (kv.first == strKey) value = kv.second;
    return value;
}

inline std::optional<std::string> Find(const std::vector<std::string>& vReply,
                                       std::string_view strKey) {
    return Find(ReadPairs(Joined(vReply)), strKey);
}

}  // namespace simtest
