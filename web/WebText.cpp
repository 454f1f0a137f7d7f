#include "web/WebText.h"

#include <cstdio>

#include "platform/Text.h"

namespace web {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsInvisible(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 ||
           c == 0x9D;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Skips up to nMax bytes that pass bTest from str[i]; returns the new index.
template <class Test>
size_t Skip(std::string_view str, size_t i, size_t nMax, Test bTest) {
    for (size_t n = 0; n < nMax && i < str.size() && bTest(str[i]); ++n) ++i;
    return i;
}

// A colour's digits after its code: the foreground, and a background only
// after a foreground (a comma alone is text).
template <class Test>
size_t SkipColour(std::string_view str, size_t i, size_t nDigits, Test bTest) {
    size_t nFg = Skip(str, i, nDigits, bTest);
    if (nFg > i && nFg + 1 < str.size() && str[nFg] == ',' && bTest(str[nFg + 1]))
        return Skip(str, nFg + 1, nDigits, bTest);
    return nFg;
}

// The length of the well-formed UTF-8 sequence at the start of str
// (RFC 3629: no overlong forms, no surrogates, nothing past U+10FFFF);
// 0 when there is none.
size_t ValidUtf8Length(std::string_view str) {
    auto b = [&str](size_t i) { return static_cast<unsigned char>(str[i]); };
    unsigned char c = b(0);
    if (c < 0x80) return 1;
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (str.size() < n || b(1) < lo || b(1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if (b(k) < 0x80 || b(k) > 0xBF) return 0;
    return n;
}

}  // namespace

std::string WebText(std::string_view strCp1252) {
    std::string out;
    out.reserve(strCp1252.size() + strCp1252.size() / 4);
    size_t nRun = 0;  // start of the bytes not yet converted
    for (size_t i = 0; i <= strCp1252.size(); ++i) {
        if (i < strCp1252.size() && !IsInvisible(static_cast<unsigned char>(strCp1252[i])))
            continue;
        out += platform::Cp1252ToUtf8(strCp1252.substr(nRun, i - nRun));
        if (i < strCp1252.size()) out += kReplacement;
        nRun = i + 1;
    }
    return out;
}

std::string WebTextFromIrc(std::string_view strCp1252) {
    std::string plain;
    plain.reserve(strCp1252.size());
    size_t i = 0;
    while (i < strCp1252.size()) {
        char c = strCp1252[i++];
        switch (c) {
            case '\x03':  // colour: up to two digits, then ",bg" with up to two more
                i = SkipColour(strCp1252, i, 2, IsDigit);
                break;
            case '\x04':  // hex colour: six hex digits, then ",bg" with six more
                i = SkipColour(strCp1252, i, 6, IsHexDigit);
                break;
            case '\x02':
            case '\x0F':
            case '\x11':
            case '\x16':
            case '\x1D':
            case '\x1E':
            case '\x1F':
                break;
            default:
                plain += c;
        }
    }
    return WebText(plain);
}

std::string HtmlEscape(std::string_view strUtf8) {
    std::string out;
    out.reserve(strUtf8.size() + 16);
    for (char c : strUtf8) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string PercentEncodeSegment(std::string_view strUtf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(strUtf8.size() * 3);
    for (char c : strUtf8) {
        bool bPlain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) ||
                      c == '-' || c == '.' || c == '_' || c == '~';
        if (bPlain) {
            out += c;
        } else {
            auto b = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

std::string NameFromWeb(std::string_view strUtf8) {
    // Only well-formed UTF-8 goes on: an overlong form ("%C0%AE" for '.')
    // or a lone byte is a '?' of its own, never the character it imitates.
    std::string strValid;
    strValid.reserve(strUtf8.size());
    size_t i = 0;
    while (i < strUtf8.size()) {
        size_t n = ValidUtf8Length(strUtf8.substr(i));
        if (n == 0) {
            strValid += '?';
            ++i;
        } else {
            strValid.append(strUtf8.substr(i, n));
            i += n;
        }
    }
    return platform::Utf8ToCp1252(strValid);
}

std::string UtcText(int64_t nSeconds) {
    if (nSeconds <= 0) return {};
    int64_t nDays = nSeconds / 86400;
    int64_t nRest = nSeconds % 86400;
    // Days since 1970 to the civil date (Howard Hinnant's algorithm).
    int64_t z = nDays + 719468;
    int64_t era = z / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t nDay = doy - (153 * mp + 2) / 5 + 1;
    int64_t nMonth = mp < 10 ? mp + 3 : mp - 9;
    int64_t nYear = yoe + era * 400 + (nMonth <= 2 ? 1 : 0);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                  static_cast<long long>(nYear), static_cast<long long>(nMonth),
                  static_cast<long long>(nDay), static_cast<long long>(nRest / 3600),
                  static_cast<long long>(nRest / 60 % 60), static_cast<long long>(nRest % 60));
    return buf;
}

}  // namespace web
