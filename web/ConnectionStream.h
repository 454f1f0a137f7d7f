#pragma once
// One client connection as the HTTP library reads and writes it, with the
// limits the library lacks: a request head is read here first, whole and
// within its byte and time limits (RequestGate), and the library then
// parses it from memory and never reads past it; every write gives up after
// a time; every wait looks at the stop flag often enough for a prompt stop.
// Used by one worker thread at a time.
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "web/HttpLib.h"
#include "web/RequestGate.h"
#include "web/WebLimits.h"

namespace web {

enum class ENextRequest {
    Ready,    // a whole head is buffered: let the library serve it
    Refused,  // the head broke a rule: answer with HeadVerdictStatus(Verdict()) and close
    Slow,     // the head began but did not end in time: answer 408 and close
    Gone,     // nothing came (closed, idle too long, stopping, or taken back): just close
};

class CConnectionStream : public httplib::Stream {
public:
    CConnectionStream(socket_t sock, const CWebLimits& limits, const std::atomic<bool>& bStopping);

    // Waits up to nIdleMs for the next request's first byte (ending early
    // when takeBack says so while nothing has come), then up to the head
    // time for the rest of its head.
    ENextRequest ReadHead(int nIdleMs, const std::function<bool()>& takeBack);
    EHeadVerdict Verdict() const { return m_check.m_eVerdict; }
    // Forgets the head just served; bytes of a next request stay.
    void EndRequest();
    // Writes a whole answer of our own (an error); false when it could not.
    bool WriteAll(std::string_view strData);

    // httplib::Stream
    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_sock; }

private:
    // 1 when the socket can be read (or written), 0 when nMs passed or a
    // stop was asked for, -1 on an error.
    int Wait(bool bWrite, int nMs) const;

    socket_t m_sock;
    const CWebLimits& m_limits;
    const std::atomic<bool>& m_bStopping;
    std::string m_strBuffer;  // never more than the head limit
    size_t m_nReadPos = 0;
    CHeadCheck m_check;
};

}  // namespace web
