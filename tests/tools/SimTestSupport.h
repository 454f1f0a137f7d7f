#pragma once
// Helpers for the stand-in server's tests: read replies back as pairs,
// independently of the bot's own reader.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace simtest {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Splits "\k\v\k\v..." at every single backslash; an empty value stays empty.
inline Pairs ReadPairs(std::string_view strText) {
    Pairs vPairs;
    std::vector<std::string> vFields;
    size_t nAt = strText.find('\\');
    while (nAt != std::string_view::npos) {
        const size_t nNext = strText.find('\\', nAt + 1);
        vFields.emplace_back(strText.substr(
            nAt + 1, nNext == std::string_view::npos ? std::string_view::npos : nNext - nAt - 1));
        nAt = nNext;
    }
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

// Index of the first pair with this key, or -1.
inline int IndexOf(const Pairs& vPairs, std::string_view strKey) {
    for (size_t n = 0; n < vPairs.size(); ++n)
        if (vPairs[n].first == strKey) return static_cast<int>(n);
    return -1;
}

}  // namespace simtest
