#pragma once
// The HTTP library's server with our connection handling: each connection
// is read through a CConnectionStream (bounded heads, timed writes, prompt
// stop), served by a CWorkerPool (fixed threads, bounded line), and kept
// alive for a bounded number of requests.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "web/HttpLib.h"
#include "web/WebLimits.h"

namespace web {

class CConnectionStream;
class CWorkerPool;

class CHttpServer : public httplib::Server {
public:
    explicit CHttpServer(const CWebLimits& limits);

    // bind_to_port() or, with nPort 0, bind_to_any_port(): the port bound,
    // 0 when nothing could listen there.
    int Bind(const std::string& strHost, int nPort);
    // Accepts and serves until BeginStop(), on the calling thread, after
    // Bind(); returns once every worker has ended.
    void Listen();
    // Ends the accepting and every connection soon; Listen() then returns.
    // Any thread, also before Listen() has begun.
    void BeginStop();
    bool IsStopping() const { return m_bStopping.load(); }
    const CWebLimits& Limits() const { return m_limits; }

private:
    // Called by the library on a worker (or, turned away, on the accepting
    // thread) for each accepted connection.
    bool process_and_close_socket(socket_t sock) override;
    void Serve(CConnectionStream& stream);

    const CWebLimits m_limits;
    std::atomic<bool> m_bStopping{false};
    std::atomic<CWorkerPool*> m_pPool{nullptr};
    // The library stops only a server that has begun to listen: BeginStop
    // waits for that (or for the end).
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bListening = false;
    bool m_bEnded = false;
};

// A whole answer of our own, for what the library never sees: the status
// line, a plain-text body, and "Connection: close".
std::string CannedAnswer(int nStatus, std::string_view strText);

}  // namespace web
