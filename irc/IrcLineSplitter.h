#pragma once
// Cuts the byte stream from the IRC server into lines. A line cut in two by
// the end of a read is kept until its rest arrives, so it is dispatched whole.
// One splitter per connection; used by one thread only.
#include <cstddef>
#include <string>

namespace irc {

class CIrcLineSplitter {
public:
    // Longest unterminated line kept while waiting for its end. A longer one
    // is dropped up to its line end, so a hostile server cannot grow memory.
    static constexpr size_t kMaxPendingLine = 8192;

    // Adds bytes as read from the connection.
    void Feed(const char* pData, size_t nLen);
    // Takes the next complete line (without CR/LF) and returns true; false
    // when no complete line is left. Runs of CR and LF never yield an empty
    // line. A line is cut at its first NUL byte; one that is then empty is
    // skipped.
    bool Next(std::string& strLine);
    // At the end of the stream: the unterminated rest as the last line, if any.
    bool TakeRest(std::string& strLine);
    // Bytes held that are not yet taken.
    size_t Pending() const { return m_strBuffer.size() - m_nPos; }

private:
    std::string m_strBuffer;
    size_t m_nPos = 0;           // start of what is not yet taken
    bool m_bDiscarding = false;  // inside an overlong line: drop up to its end
};

}  // namespace irc
