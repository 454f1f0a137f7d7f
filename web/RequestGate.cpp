#include "web/RequestGate.h"

#include <algorithm>

namespace web {

namespace {

constexpr size_t kMaxMethod = 16;

bool IsTokenByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view Trim(std::string_view str) {
    while (!str.empty() && (str.front() == ' ' || str.front() == '\t')) str.remove_prefix(1);
    while (!str.empty() && (str.back() == ' ' || str.back() == '\t' || str.back() == '\r'))
        str.remove_suffix(1);
    return str;
}

CHeadCheck Verdict(EHeadVerdict eVerdict) {
    return CHeadCheck{eVerdict, 0};
}

// A header that announces a body: a length other than 0, or any transfer coding.
bool AnnouncesBody(std::string_view strHeaders) {
    while (!strHeaders.empty()) {
        size_t nEnd = strHeaders.find('\n');
        std::string_view strLine = strHeaders.substr(0, nEnd);
        strHeaders.remove_prefix(nEnd == std::string_view::npos ? strHeaders.size() : nEnd + 1);
        size_t nColon = strLine.find(':');
        if (nColon == std::string_view::npos) continue;
        std::string_view strName = strLine.substr(0, nColon);
        std::string_view strValue = Trim(strLine.substr(nColon + 1));
        if (EqualsNoCase(strName, "transfer-encoding")) return true;
        if (EqualsNoCase(strName, "content-length") && strValue != "0") return true;
    }
    return false;
}

}  // namespace

CHeadCheck CheckRequestHead(std::string_view strBuffered, const CHeadLimits& limits) {
    // The method, as soon as its bytes are here.
    size_t nSpace = strBuffered.find(' ');
    std::string_view strMethod = strBuffered.substr(0, std::min(nSpace, strBuffered.size()));
    for (char c : strMethod)
        if (!IsTokenByte(c)) return Verdict(EHeadVerdict::Malformed);
    if (nSpace == std::string_view::npos) {
        if (strBuffered.size() > kMaxMethod) return Verdict(EHeadVerdict::Malformed);
        return Verdict(EHeadVerdict::NeedMore);
    }
    if (strMethod.empty()) return Verdict(EHeadVerdict::Malformed);
    if (strMethod != "GET" && strMethod != "HEAD") return Verdict(EHeadVerdict::MethodRefused);

    // The target, as soon as it ends or is too long already.
    std::string_view strAfter = strBuffered.substr(nSpace + 1);
    size_t nTargetEnd = strAfter.find_first_of(" \r\n");
    if (nTargetEnd == std::string_view::npos) {
        if (strAfter.size() > limits.m_nTargetBytes) return Verdict(EHeadVerdict::TargetTooLong);
        return Verdict(EHeadVerdict::NeedMore);
    }
    if (nTargetEnd > limits.m_nTargetBytes) return Verdict(EHeadVerdict::TargetTooLong);
    if (nTargetEnd == 0 || strAfter[nTargetEnd] != ' ') return Verdict(EHeadVerdict::Malformed);

    size_t nEnd = strBuffered.find("\r\n\r\n");
    if (nEnd == std::string_view::npos || nEnd + 4 > limits.m_nHeadBytes) {
        if (strBuffered.size() >= limits.m_nHeadBytes) return Verdict(EHeadVerdict::HeadTooLarge);
        return Verdict(EHeadVerdict::NeedMore);
    }
    size_t nLineEnd = strBuffered.find("\r\n");
    if (AnnouncesBody(strBuffered.substr(nLineEnd + 2, nEnd + 2 - (nLineEnd + 2))))
        return Verdict(EHeadVerdict::BodyRefused);
    return CHeadCheck{EHeadVerdict::Complete, nEnd + 4};
}

size_t DropRangeHeaders(std::string& strBuffer, size_t nHeadBytes) {
    size_t nRemoved = 0;
    size_t nLine = strBuffer.find("\r\n") + 2;  // past the request line
    while (nLine + 2 < nHeadBytes - nRemoved) {
        size_t nEnd = strBuffer.find("\r\n", nLine);
        std::string_view strLine(strBuffer.data() + nLine, nEnd - nLine);
        size_t nColon = strLine.find(':');
        if (nColon != std::string_view::npos && EqualsNoCase(strLine.substr(0, nColon), "range")) {
            strBuffer.erase(nLine, nEnd + 2 - nLine);
            nRemoved += nEnd + 2 - nLine;
        } else {
            nLine = nEnd + 2;
        }
    }
    return nRemoved;
}

int HeadVerdictStatus(EHeadVerdict eVerdict) {
    switch (eVerdict) {
        case EHeadVerdict::Malformed:
        case EHeadVerdict::BodyRefused: return 400;
        case EHeadVerdict::MethodRefused: return 405;
        case EHeadVerdict::TargetTooLong: return 414;
        case EHeadVerdict::HeadTooLarge: return 431;
        case EHeadVerdict::NeedMore:
        case EHeadVerdict::Complete: break;
    }
    return 0;
}

}  // namespace web
