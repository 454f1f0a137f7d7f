#include "irc/LineFit.h"

namespace irc {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The end of the colour code that starts at nAt (a 0x03).
size_t ColourCodeEnd(std::string_view strText, size_t nAt) {
    size_t nEnd = nAt + 1;
    for (int n = 0; n < 2 && nEnd < strText.size() && IsDigit(strText[nEnd]); ++n) ++nEnd;
    // A background colour only follows a foreground one.
    if (nEnd > nAt + 1 && nEnd + 1 < strText.size() && strText[nEnd] == ',' &&
        IsDigit(strText[nEnd + 1])) {
        nEnd += 2;
        if (nEnd < strText.size() && IsDigit(strText[nEnd])) ++nEnd;
    }
    return nEnd;
}

}  // namespace

size_t ColourSafeLength(std::string_view strText, size_t nMax) {
    if (strText.size() <= nMax) return strText.size();
    // A code is at most six bytes long ("\x03" "04,12"): only one that starts
    // in the last five bytes kept can reach past the cut.
    const size_t nFrom = nMax >= 5 ? nMax - 5 : 0;
    for (size_t nAt = nFrom; nAt < nMax; ++nAt) {
        if (strText[nAt] == '\x03' && ColourCodeEnd(strText, nAt) > nMax) return nAt;
    }
    return nMax;
}

std::string FitLine(std::string strLine) {
    const bool bMessage = strLine.rfind("PRIVMSG ", 0) == 0 || strLine.rfind("NOTICE ", 0) == 0;
    const size_t nMax = bMessage ? kMaxMessageBytes : kMaxLineBytes;
    if (strLine.size() <= nMax) return strLine;
    const size_t nText = bMessage ? strLine.find(" :") : std::string::npos;
    if (nText == std::string::npos || nText + 2 > nMax) {
        strLine.resize(nMax);
        return strLine;
    }
    const size_t nTextStart = nText + 2;
    const std::string_view strText = std::string_view(strLine).substr(nTextStart);
    strLine.resize(nTextStart + ColourSafeLength(strText, nMax - nTextStart));
    return strLine;
}

}  // namespace irc
