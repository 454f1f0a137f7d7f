#pragma once
// Reads a game query reply ("\key\value\key\value...") as key/value pairs.
// The text is split at every single backslash, so an empty value (two
// backslashes in a row) is read as an empty value and never shifts the pairs
// that follow it. Shared by the status decoder and the quick-info reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace query {

class CReplyReader {
public:
    // Reads the pairs that start at the first backslash; text before it is
    // not part of any pair. The reader views the text: keep it alive.
    explicit CReplyReader(std::string_view reply);

    // Gives the next pair as views into the reply and returns true, or returns
    // false when no pair is left. A last key without a backslash after it has
    // no value and is dropped; "\key\" at the end is a key with an empty
    // value. Keys and values never hold a backslash. Any thread.
    bool NextPair(std::string_view& key, std::string_view& value);

private:
    std::string_view m_reply;
    size_t m_nPos;  // start of the next key; npos when done
};

// Calls fn(key, value) for every pair of the reply, in order.
template <typename Fn>
void ForEachReplyPair(std::string_view reply, Fn&& fn) {
    CReplyReader reader(reply);
    std::string_view key;
    std::string_view value;
    while (reader.NextPair(key, value)) fn(key, value);
}

// A count as the replies' 16-bit fields hold it: the low 16 bits of the
// atoi-like value, read as signed. Any thread.
inline int16_t Low16Signed(int32_t n) {
    return static_cast<int16_t>(static_cast<uint16_t>(n));
}

}  // namespace query
