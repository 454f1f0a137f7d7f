#pragma once
// The lines of a log, bounded by a line count and a byte count. Appending
// is constant work whatever the length: the oldest lines are dropped once a
// bound is passed. Not thread-safe on its own (the page's lock guards it).
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace framework {

class CLogBuffer {
public:
    CLogBuffer(size_t nMaxLines, size_t nMaxBytes);

    // Appends strText as one line, or several when it holds "\n". A line
    // longer than the byte bound keeps its first nMaxBytes bytes. Returns
    // the number of old lines dropped.
    size_t Append(std::string_view strText);
    // Replaces everything (split at "\n"; an empty text is an empty log).
    // Returns the lines dropped to meet the bounds.
    size_t Assign(std::string_view strText);
    void Clear();
    // New bounds (each at least 1); returns the lines dropped.
    size_t SetLimits(size_t nMaxLines, size_t nMaxBytes);

    // The lines joined by "\n" (costs the whole text).
    std::string Text() const;
    size_t LineCount() const { return m_lines.size(); }
    // Bytes of all lines, without separators.
    size_t ByteCount() const { return m_nBytes; }
    bool Empty() const { return m_lines.empty(); }
    const std::string& Line(size_t n) const { return m_lines[n]; }

private:
    size_t Trim();

    size_t m_nMaxLines;
    size_t m_nMaxBytes;
    size_t m_nBytes = 0;
    std::deque<std::string> m_lines;
};

}  // namespace framework
