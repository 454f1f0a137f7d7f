#pragma once
// How much one client may cost the web server. Every request is bounded in
// bytes and in time, every connection in requests, the server in threads,
// waiting connections and event streams. Tests shrink the times.
#include <cstddef>

namespace web {

struct CWebLimits {
    int m_nWorkers = 8;              // threads serving connections
    int m_nQueue = 16;               // accepted connections waiting for a worker; more get 503
    int m_nEventClients = 4;         // /events streams at once; more get 503
    size_t m_nHeadBytes = 8192;      // request line, headers and blank line
    size_t m_nTargetBytes = 2048;    // path and query
    int m_nHeadMs = 5000;            // a request head, once begun, must be complete within this
    int m_nIdleMs = 5000;            // a connection may wait this long for its next request
    int m_nRequestsPerConnection = 100;
    int m_nWriteMs = 5000;           // one write may wait this long for a slow reader
    int m_nSendBufferBytes = 65536;  // what the system holds for a reader that stops reading
    int m_nHeartbeatMs = 15000;      // an event stream says something at least this often
    int m_nStopSliceMs = 100;        // how often a waiting worker looks whether to stop
};

}  // namespace web
