#include "platform/Text.h"

#include <array>
#include <climits>

namespace platform {

int32_t ParseLeadingInt(std::string_view str) {
    size_t i = 0;
    while (i < str.size() && (str[i] == ' ' || (str[i] >= '\t' && str[i] <= '\r'))) ++i;
    bool bNeg = false;
    if (i < str.size() && (str[i] == '+' || str[i] == '-')) {
        bNeg = str[i] == '-';
        ++i;
    }
    int64_t n = 0;
    for (; i < str.size() && str[i] >= '0' && str[i] <= '9'; ++i) {
        n = n * 10 + (str[i] - '0');
        if (n > int64_t{INT32_MAX} + 1) n = int64_t{INT32_MAX} + 1;  // saturate, keep scanning
    }
    if (bNeg) n = -n;
    if (n > INT32_MAX) n = INT32_MAX;
    if (n < INT32_MIN) n = INT32_MIN;
    return static_cast<int32_t>(n);
}

std::string IntToText(long long n) {
    return std::to_string(n);
}

std::string ToLowerAscii(std::string_view str) {
    std::string out(str);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

namespace {

// Code points of 0x80..0x9F in Windows-1252; undefined bytes map to themselves.
constexpr std::array<uint16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view str) {
    std::string out;
    out.reserve(str.size() + str.size() / 4);
    for (unsigned char c : str) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0xA0)
            AppendUtf8(out, kHigh[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view str) {
    std::string out;
    out.reserve(str.size());
    size_t i = 0;
    while (i < str.size()) {
        unsigned char c = static_cast<unsigned char>(str[i]);
        uint32_t cp;
        size_t nLen;
        if (c < 0x80) {
            cp = c;
            nLen = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            nLen = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            nLen = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            nLen = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        if (i + nLen > str.size()) {
            out += '?';
            break;
        }
        bool bOk = true;
        for (size_t k = 1; k < nLen; ++k) {
            unsigned char cc = static_cast<unsigned char>(str[i + k]);
            if ((cc & 0xC0) != 0x80) {
                bOk = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!bOk) {
            out += '?';
            ++i;
            continue;
        }
        i += nLen;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp >= 0xA0 && cp <= 0xFF) {
            out += static_cast<char>(cp);
        } else {
            char mapped = '?';
            for (size_t k = 0; k < kHigh.size(); ++k)
                if (kHigh[k] == cp) {
                    mapped = static_cast<char>(0x80 + k);
                    break;
                }
            out += mapped;
        }
    }
    return out;
}

std::string WithoutLineBreaks(std::string_view strText) {
    std::string strOut;
    strOut.reserve(strText.size());
    for (char c : strText)
        if (c != '\r' && c != '\n' && c != '\0') strOut += c;
    return strOut;
}

}  // namespace platform
