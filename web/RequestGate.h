#pragma once
// The first look at a request, before the HTTP library parses it: the
// library reads a head of any length into memory, so the head is read here,
// within limits, and only a head that passed goes on. Pure.
#include <cstddef>
#include <string>
#include <string_view>

namespace web {

enum class EHeadVerdict {
    NeedMore,       // no blank line yet, and room for more
    Complete,       // a GET or HEAD request whose head ends at m_nHeadBytes
    Malformed,      // 400: not an HTTP request line
    BodyRefused,    // 400: the request announces a body; nothing here takes one
    MethodRefused,  // 405: anything but GET and HEAD
    TargetTooLong,  // 414
    HeadTooLarge,   // 431
};

struct CHeadLimits {
    size_t m_nHeadBytes = 8192;    // request line, headers and the blank line
    size_t m_nTargetBytes = 2048;  // the request target (path and query)
};

struct CHeadCheck {
    EHeadVerdict m_eVerdict = EHeadVerdict::NeedMore;
    size_t m_nHeadBytes = 0;  // Complete: the head's length with its blank line
};

// strBuffered: the bytes received so far for this request. Decides as early
// as it can: a refused method or an overlong target is known before the
// head is complete.
CHeadCheck CheckRequestHead(std::string_view strBuffered, const CHeadLimits& limits);

// Takes every Range header out of a complete head at the start of
// strBuffer (nHeadBytes long) and returns how many bytes went. The pages
// are small and whole; the library would build any number of ranges of
// them in memory, a few kilobytes of request asking for megabytes.
size_t DropRangeHeaders(std::string& strBuffer, size_t nHeadBytes);

// The HTTP status of a refusing verdict (0 for NeedMore and Complete).
int HeadVerdictStatus(EHeadVerdict eVerdict);

}  // namespace web
