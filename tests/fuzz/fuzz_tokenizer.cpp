// Input: first byte n, then n bytes of delimiter set, then the text.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "query/Tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize == 0) return 0;
    const size_t nDelims = std::min<size_t>(pData[0], nSize - 1);
    const std::string strDelims(reinterpret_cast<const char*>(pData + 1), nDelims);
    const std::string strText(reinterpret_cast<const char*>(pData + 1 + nDelims),
                              nSize - 1 - nDelims);
    std::array<bool, 256> isDelim{};
    for (char c : strDelims) isDelim[static_cast<unsigned char>(c)] = true;

    query::CTokenizer tokenizer(strText, strDelims);
    std::string strToken;
    std::string strJoined;
    size_t nTokens = 0;
    while (tokenizer.NextToken(strToken)) {
        if (strToken.empty() || ++nTokens > strText.size()) abort();
        for (char c : strToken)
            if (isDelim[static_cast<unsigned char>(c)]) abort();
        strJoined += strToken;
    }
    if (!strToken.empty()) abort();
    strToken = "x";
    if (tokenizer.NextToken(strToken) || !strToken.empty()) abort();

    // The tokens are the text without its delimiters, one per run of non-delimiters.
    std::string strExpected;
    size_t nRuns = 0;
    bool bInRun = false;
    for (char c : strText) {
        const bool bDelim = isDelim[static_cast<unsigned char>(c)];
        if (!bDelim) {
            strExpected += c;
            if (!bInRun) ++nRuns;
        }
        bInRun = !bDelim;
    }
    if (strJoined != strExpected || nTokens != nRuns) abort();
    return 0;
}
