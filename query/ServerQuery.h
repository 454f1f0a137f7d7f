#pragma once
// One query run against a game server's UDP query port: send a request
// datagram, gather the reply datagrams until the closing marker has come.
// The monitor (status request) and the quick-info check (info request) use it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Clock.h"
#include "platform/Socket.h"
#include "query/QueryResult.h"

// Request datagrams, sent without a terminating NUL.
inline constexpr std::string_view kStatusRequest{"\xff\\status\\", 9};
inline constexpr std::string_view kInfoRequest{"\xff\\info\\", 7};
// Failed receives in a row that end an exchange: the monitor is patient, the
// one-off quick-info check is not.
inline constexpr int kStatusRecvFailLimit = 500;
inline constexpr int kInfoRecvFailLimit = 10;
// The reply is complete once this follows some text (position greater than 0).
inline constexpr std::string_view kReplyEndMarker{"\\final\\\\queryid\\"};

class CServerQuery {
public:
    static constexpr size_t kRecvCapacity = 1400;  // a longer datagram is a failed receive
    static constexpr int kWaitMs = 500;            // every readiness wait
    static constexpr int kMaxTimeouts = 5;         // empty waits before the server was heard
    static constexpr int kSendTries = 3;           // tries of one sending of the request
    static constexpr uint32_t kSendRetryPauseMs = 100;

    // The clock only paces repeated sends; the readiness waits are real.
    CServerQuery(std::string_view request, int nRecvFailLimit,
                 platform::CClock& clock = platform::SystemClock());
    virtual ~CServerQuery() = default;
    CServerQuery(const CServerQuery&) = delete;
    CServerQuery& operator=(const CServerQuery&) = delete;

    // Optional, owner thread, before Open: a counter that gets every received datagram's
    // length added (one atomic add each), and a step run after every
    // successful send of the request, re-sends included, before waiting.
    void SetTrafficCounter(std::atomic<int32_t>* pCounter) { m_pTrafficCounter = pCounter; }
    void SetAfterSend(std::function<void()> fnAfterSend) { m_fnAfterSend = std::move(fnAfterSend); }

    // Creates the socket, resolves strServer (name or dotted address) and
    // connects to it on the low 16 bits of nPort; starts a new run (not heard,
    // counters 0). Returns QUERY_OK, QUERY_NO_SOCKET or QUERY_NO_HOST.
    // Called once per run by the thread that owns the query.
    QueryResult Open(const std::string& strServer, int nPort);

    // Sends the request and gathers one complete reply into strReply (the
    // datagrams' texts in arrival order, each up to its first NUL). Returns
    // QUERY_OK, QUERY_NOT_FOUND, QUERY_TIMED_OUT; QUERY_STOPPED within one
    // readiness wait once pStop is stopped (strReply then holds no complete
    // reply); QUERY_NO_SOCKET when not open. A failed send is tried again
    // kSendTries times in all, kSendRetryPauseMs apart; if none goes out, the
    // round waits as if it had (no after-send step), so the usual limits
    // apply. Owner thread only.
    QueryResult Exchange(std::string& strReply, platform::CStopSignal* pStop = nullptr);

    // Releases the socket. Owner thread; safe to call more than once.
    void Close() { m_socket.Close(); }

    // Run state, for the owner and for tests.
    bool IsHeard() const { return m_bHeard; }
    int Timeouts() const { return m_nTimeouts; }
    int RecvFails() const { return m_nRecvFails; }

protected:
    // Sends one datagram; returns the bytes sent or -1. Tests override it to
    // make sends fail.
    virtual int SendDatagram(const char* pData, size_t nLen);

private:
    enum class SendOutcome { Sent, Failed, Stopped };
    enum class GatherOutcome { Done, SendAgain };

    SendOutcome SendRequest(platform::CStopSignal* pStop);
    GatherOutcome GatherReply(std::string& strReply, platform::CStopSignal* pStop,
                              QueryResult& nResult);
    GatherOutcome CountFailedReceive(QueryResult& nResult);

    platform::CSocket m_socket;
    platform::CClock& m_clock;
    const std::string m_strRequest;
    const int m_nRecvFailLimit;
    std::atomic<int32_t>* m_pTrafficCounter = nullptr;
    std::function<void()> m_fnAfterSend;

    bool m_bHeard = false;  // something (data or a receive error) came in this run
    int m_nTimeouts = 0;    // empty waits while not yet heard
    int m_nRecvFails = 0;   // failed receives in a row
};
