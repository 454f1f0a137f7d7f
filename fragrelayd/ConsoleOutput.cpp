#include "fragrelayd/ConsoleOutput.h"

#include "platform/Text.h"

namespace fragrelayd {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// How many bytes at nAt match: up to nMost of a kind.
template <typename Pred>
size_t CountUpTo(std::string_view str, size_t nAt, size_t nMost, Pred pred) {
    size_t n = 0;
    while (n < nMost && nAt + n < str.size() && pred(str[nAt + n])) ++n;
    return n;
}

// The length of the mIRC code that starts at nAt, or 0 when none does.
size_t FormatCodeLength(std::string_view str, size_t nAt) {
    switch (str[nAt]) {
        case '\x02':
        case '\x0F':
        case '\x11':
        case '\x16':
        case '\x1D':
        case '\x1E':
        case '\x1F':
            return 1;
        case '\x03': {
            // 0x03, up to two digits; with a foreground, "," and up to two digits.
            const size_t nFore = CountUpTo(str, nAt + 1, 2, IsDigit);
            size_t n = 1 + nFore;
            if (nFore > 0 && nAt + n < str.size() && str[nAt + n] == ',') {
                const size_t nBack = CountUpTo(str, nAt + n + 1, 2, IsDigit);
                if (nBack > 0) n += 1 + nBack;
            }
            return n;
        }
        case '\x04': {
            // 0x04 and a colour of six hex digits; with one, "," and another.
            size_t n = 1;
            if (CountUpTo(str, nAt + 1, 6, IsHexDigit) == 6) {
                n += 6;
                if (nAt + n < str.size() && str[nAt + n] == ',' &&
                    CountUpTo(str, nAt + n + 1, 6, IsHexDigit) == 6)
                    n += 7;
            }
            return n;
        }
        default:
            return 0;
    }
}

bool IsShownEscaped(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

}  // namespace

std::string ConsoleText(std::string_view strText) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strSafe;
    strSafe.reserve(strText.size());
    for (size_t nAt = 0; nAt < strText.size();) {
        const size_t nCode = FormatCodeLength(strText, nAt);
        if (nCode > 0) {
            nAt += nCode;
            continue;
        }
        const auto c = static_cast<unsigned char>(strText[nAt++]);
        if (IsShownEscaped(c)) {
            strSafe += "\\x";
            strSafe += kHex[c >> 4];
            strSafe += kHex[c & 0x0F];
        } else {
            strSafe += static_cast<char>(c);
        }
    }
    return platform::Cp1252ToUtf8(strSafe);
}

std::string ConsoleUtf8Text(std::string_view strText) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strSafe;
    strSafe.reserve(strText.size());
    const auto escape = [&](unsigned char c) {
        strSafe += "\\x";
        strSafe += kHex[c >> 4];
        strSafe += kHex[c & 0x0F];
    };
    for (size_t nAt = 0; nAt < strText.size();) {
        const auto c = static_cast<unsigned char>(strText[nAt]);
        const size_t nLen = c < 0x80             ? 1
                            : (c & 0xE0) == 0xC0 ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 0;
        bool bWhole = nLen > 0 && nAt + nLen <= strText.size();
        for (size_t n = 1; bWhole && n < nLen; ++n)
            bWhole = (static_cast<unsigned char>(strText[nAt + n]) & 0xC0) == 0x80;
        // C1 controls are U+0080 to U+009F: 0xC2 0x80 to 0xC2 0x9F.
        const bool bControl = nLen == 1 ? (c < 0x20 || c == 0x7F)
                                        : bWhole && nLen == 2 && c == 0xC2 &&
                                              static_cast<unsigned char>(strText[nAt + 1]) < 0xA0;
        if (!bWhole) {
            escape(c);
            ++nAt;
        } else if (bControl) {
            for (size_t n = 0; n < nLen; ++n) escape(static_cast<unsigned char>(strText[nAt + n]));
            nAt += nLen;
        } else {
            strSafe.append(strText.substr(nAt, nLen));
            nAt += nLen;
        }
    }
    return strSafe;
}

std::string ConsoleLogText(std::string_view strPrefix, std::string_view strLine) {
    std::string strOut;
    size_t nAt = 0;
    for (;;) {
        const size_t nBreak = strLine.find_first_of("\r\n", nAt);
        const std::string_view strPart =
            strLine.substr(nAt, nBreak == std::string_view::npos ? nBreak : nBreak - nAt);
        // "\r\n" is one break, not an empty line between two.
        const bool bSkipEmpty = strPart.empty() && nAt > 0 && strLine[nAt - 1] == '\r';
        if (!bSkipEmpty) {
            strOut += strPrefix;
            strOut += ConsoleText(strPart);
            strOut += '\n';
        }
        if (nBreak == std::string_view::npos || nBreak + 1 == strLine.size()) break;
        nAt = nBreak + 1;
    }
    return strOut;
}

void CConsoleOutput::PrintLog(std::string_view strPrefix, std::string_view strLine) {
    Print(m_pOut, ConsoleLogText(strPrefix, strLine));
}

void CConsoleOutput::PrintOut(std::string_view strLine) {
    Print(m_pOut, std::string(strLine) + "\n");
}

void CConsoleOutput::PrintErr(std::string_view strLine) {
    Print(m_pErr, std::string(strLine) + "\n");
}

void CConsoleOutput::Print(std::FILE* pStream, std::string_view strText) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fwrite(strText.data(), 1, strText.size(), pStream);
    std::fflush(pStream);
}

void CConsoleOutput::PrintMessage(const core::COperatorMessage& message) {
    Print(m_pErr, ConsoleLogText(ConsoleText(message.m_strCaption) + ": ", message.m_strText));
}

}  // namespace fragrelayd
