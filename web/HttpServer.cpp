#include "web/HttpServer.h"

#include <chrono>

#include "web/ConnectionStream.h"
#include "web/WorkerPool.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace web {

namespace {

const char* ReasonPhrase(int nStatus) {
    switch (nStatus) {
        case 400: return "Bad Request";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 414: return "URI Too Long";
        case 431: return "Request Header Fields Too Large";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

const char* RefusalText(EHeadVerdict eVerdict) {
    switch (eVerdict) {
        case EHeadVerdict::BodyRefused: return "This server takes no request bodies.\n";
        case EHeadVerdict::MethodRefused: return "Only GET and HEAD are served here.\n";
        case EHeadVerdict::TargetTooLong: return "The address is too long.\n";
        case EHeadVerdict::HeadTooLarge: return "The request's headers are too large.\n";
        default: return "That is not an HTTP request this server understands.\n";
    }
}

void CloseSocket(socket_t sock) {
#ifdef _WIN32
    ::shutdown(sock, SD_BOTH);
    ::closesocket(sock);
#else
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
#endif
}

// Our own listening socket options: the library's default on Linux is
// SO_REUSEPORT, which would let a second bot share the port unnoticed.
void ListenSocketOptions(socket_t sock) {
    int nYes = 1;
#ifdef _WIN32
    setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&nYes),
               sizeof nYes);
#else
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &nYes, sizeof nYes);
#endif
}

}  // namespace

std::string CannedAnswer(int nStatus, std::string_view strText) {
    std::string out = "HTTP/1.1 " + std::to_string(nStatus) + " " + ReasonPhrase(nStatus) + "\r\n";
    out += "Content-Type: text/plain; charset=utf-8\r\n";
    out += "Content-Length: " + std::to_string(strText.size()) + "\r\n";
    if (nStatus == 405) out += "Allow: GET, HEAD\r\n";
    if (nStatus == 503) out += "Retry-After: 5\r\n";
    out += "Connection: close\r\n\r\n";
    out += strText;
    return out;
}

CHttpServer::CHttpServer(const CWebLimits& limits) : m_limits(limits) {
    set_socket_options(ListenSocketOptions);
    set_read_timeout(std::chrono::milliseconds(limits.m_nHeadMs));
    set_write_timeout(std::chrono::milliseconds(limits.m_nWriteMs));
    set_keep_alive_max_count(static_cast<size_t>(limits.m_nRequestsPerConnection));
    set_payload_max_length(0);
    // The library asks for its task queue once it counts as running.
    new_task_queue = [this] {
        auto* pPool = new CWorkerPool(m_limits.m_nWorkers, m_limits.m_nQueue);
        m_pPool.store(pPool);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bListening = true;
        }
        m_cv.notify_all();
        return pPool;
    };
}

int CHttpServer::Bind(const std::string& strHost, int nPort) {
    if (nPort == 0) {
        nPort = bind_to_any_port(strHost);
    } else if (!bind_to_port(strHost, nPort)) {
        nPort = 0;
    }
    // The library listens with a backlog of 5: a page with its few
    // connections at once, times a few viewers, would see the system drop
    // connections and the browsers retry a second later. Listening again
    // widens it (where the system allows; elsewhere it stays).
    if (nPort > 0) ::listen(svr_sock_, 64);
    return nPort > 0 ? nPort : 0;
}

void CHttpServer::Listen() {
    if (!m_bStopping.load()) listen_after_bind();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bEnded = true;
    }
    m_cv.notify_all();
}

void CHttpServer::BeginStop() {
    m_bStopping.store(true);
    std::unique_lock<std::mutex> lock(m_mutex);
    // Bounded: Listen() gets there at once, unless it was never called.
    m_cv.wait_for(lock, std::chrono::seconds(2), [this] { return m_bListening || m_bEnded; });
    if (m_bListening && !m_bEnded) stop();
}

bool CHttpServer::process_and_close_socket(socket_t sock) {
    {
        CConnectionStream stream(sock, m_limits, m_bStopping);
        if (CWorkerPool::IsTurnedAway()) {
            stream.WriteAll(CannedAnswer(503, "Too many connections; try again soon.\n"));
        } else {
            Serve(stream);
        }
    }
    CloseSocket(sock);
    return true;
}

void CHttpServer::Serve(CConnectionStream& stream) {
    CWorkerPool* pPool = m_pPool.load();
    auto takeBack = [pPool] { return pPool && pPool->HasWaiting(); };
    for (int n = 0; n < m_limits.m_nRequestsPerConnection; ++n) {
        // The first request may take its time to begin; a kept-alive
        // connection gives its worker back when others wait.
        ENextRequest eNext = n == 0 ? stream.ReadHead(m_limits.m_nHeadMs, nullptr)
                                    : stream.ReadHead(m_limits.m_nIdleMs, takeBack);
        if (eNext == ENextRequest::Gone) return;
        if (eNext == ENextRequest::Slow) {
            stream.WriteAll(CannedAnswer(408, "The request came too slowly.\n"));
            return;
        }
        if (eNext == ENextRequest::Refused) {
            stream.WriteAll(
                CannedAnswer(HeadVerdictStatus(stream.Verdict()), RefusalText(stream.Verdict())));
            return;
        }
        bool bLast = n + 1 == m_limits.m_nRequestsPerConnection || m_bStopping.load();
        bool bClosed = false;
        if (!process_request(stream, bLast, bClosed, nullptr) || bClosed || bLast) return;
        stream.EndRequest();
    }
}

}  // namespace web
