#pragma once
// Cuts a text at runs of delimiter bytes, so empty tokens never appear: the
// bot's rule for separating words. The IRC receive loop has a splitter of
// its own (CIrcLineSplitter), which joins a line cut by a read; game query
// replies go through CReplyReader: there an empty value must stay a value.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace query {

class CTokenizer {
public:
    // Copies the text; every byte of strDelims becomes a delimiter (order and
    // repetition do not matter, an empty string gives no delimiters).
    CTokenizer(std::string strText, std::string_view strDelims);

    // Empties strToken, then fills it with the next run of non-delimiter bytes
    // and returns true; returns false when none is left (and keeps doing so).
    // Never yields an empty token. Any thread, one scanner per thread.
    bool NextToken(std::string& strToken);

private:
    bool IsDelim(unsigned char b) const { return (m_delims[b >> 5] >> (b & 31)) & 1u; }

    std::string m_strText;
    std::array<uint32_t, 8> m_delims{};  // one bit per byte value
    size_t m_nPos = 0;                   // only grows, never beyond the text's length
};

}  // namespace query
