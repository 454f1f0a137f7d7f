#pragma once
// One query run against a game server's UDP query port: send a request
// datagram, gather the reply datagrams until the closing marker has come.
// The monitor (status request) and the quick-info check (info request) use it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Socket.h"
#include "query/QueryResult.h"

namespace query {

// Request datagrams, sent without a terminating NUL.
inline constexpr std::string_view kStatusRequest{"\xff\\status\\", 9};
inline constexpr std::string_view kInfoRequest{"\xff\\info\\", 7};
// Failed receives since the last complete reply that end an exchange: the
// monitor is patient, the one-off quick-info check is not. Re-sends after a failed receive are
// paced, so the monitor's limit lasts about four minutes against a refusing port.
inline constexpr int kStatusRecvFailLimit = 500;
inline constexpr int kInfoRecvFailLimit = 10;
// Empty waits since the last complete reply, once the server was heard,
// that end the one-off check (about 5 s). The monitor has no such limit: it asks a server that
// fell silent again and again until it answers.
inline constexpr int kInfoSilenceLimit = 10;
// The reply is complete once this follows some text (position greater than 0).
inline constexpr std::string_view kReplyEndMarker{"\\final\\\\queryid\\"};

class CServerQuery {
public:
    static constexpr size_t kRecvCapacity = 1400;  // a longer datagram is a failed receive
    static constexpr int kWaitMs = 500;            // every readiness wait
    static constexpr int kMaxTimeouts = 5;         // empty waits before the server was heard
    static constexpr int kSendTries = 3;           // tries of one sending of the request
    static constexpr uint32_t kSendRetryPauseMs = 100;
    // A reply that grows past this (a full 64-player reply is under 10 KB),
    // or that has not completed this long after its request while datagrams
    // keep coming, counts as a failed receive: it is dropped and asked again.
    static constexpr size_t kMaxReplyBytes = 64 * 1024;
    static constexpr uint32_t kReplyTimeLimitMs = 4000;
    // Most datagrams left over from an earlier request that are dropped
    // before a request goes out.
    static constexpr int kMaxStaleDatagrams = 64;

    // The clock paces repeated sends and times a reply; the readiness waits
    // are real.
    CServerQuery(std::string_view request, int nRecvFailLimit,
                 platform::CClock& clock = platform::SystemClock());
    virtual ~CServerQuery() = default;
    CServerQuery(const CServerQuery&) = delete;
    CServerQuery& operator=(const CServerQuery&) = delete;

    // Optional, owner thread, before Open: a counter that gets every received datagram's
    // length added (one atomic add each).
    void SetTrafficCounter(std::atomic<int32_t>* pCounter) { m_pTrafficCounter = pCounter; }
    // Optional, owner thread: with it, Exchange returns QUERY_AGAIN after a
    // round that ended in neither a reply nor a result (an empty wait or a
    // failed receive, its pacing done), so that the owner can do its own work
    // between rounds; the next call sends again with the run's counters as
    // they are. Without it (the default) Exchange sends again itself.
    void SetOneRoundPerCall(bool bOneRound) { m_bOneRoundPerCall = bOneRound; }
    // Optional, owner thread: empty waits after the server was heard (since
    // the last complete reply) that end an exchange with QUERY_TIMED_OUT; 0
    // (the default) asks again without end.
    void SetSilenceLimit(int nEmptyWaits) { m_nSilenceLimit = nEmptyWaits; }

    // Resolves strServer (a name, or an IPv4 or IPv6 address), makes a
    // socket of the family of its first address that one can be made and
    // connected for, and connects it on the low 16 bits of nPort; starts a
    // new run (not heard, counters 0). Returns QUERY_OK, QUERY_NO_HOST (the
    // look-up found nothing) or QUERY_NO_SOCKET (no socket for any address).
    // Called once per run by the thread that owns the query.
    EQueryResult Open(const std::string& strServer, int nPort);

    // Sends the request and gathers one complete reply into strReply (the
    // datagrams' texts in arrival order, each up to its first NUL). Returns
    // QUERY_OK, QUERY_NOT_FOUND, QUERY_TIMED_OUT, QUERY_AGAIN (see
    // SetOneRoundPerCall); QUERY_STOPPED within one
    // readiness wait once pStop is stopped (strReply then holds no complete
    // reply); QUERY_NO_SOCKET when not open. Datagrams already waiting when
    // the request goes out are dropped: they answer an earlier request.
    // strReply never holds more than kMaxReplyBytes. After a failed receive
    // the request goes out again no sooner than kWaitMs after the last one.
    // A failed send is tried again kSendTries times in all,
    // kSendRetryPauseMs apart; if none goes out, the round waits as if it
    // had, so the usual limits apply. Owner thread only.
    EQueryResult Exchange(std::string& strReply, platform::CStopSignal* pStop = nullptr);

    // Releases the socket. Owner thread; safe to call more than once.
    void Close() { m_socket.Close(); }

    // Run state, for the owner and for tests.
    bool IsHeard() const { return m_bHeard; }
    int Timeouts() const { return m_nTimeouts; }
    int RecvFails() const { return m_nRecvFails; }
    int SilentWaits() const { return m_nSilentWaits; }

protected:
    // Sends one datagram; returns the bytes sent or -1. Tests override it to
    // make sends fail.
    virtual int SendDatagram(const char* pData, size_t nLen);

private:
    enum class ESendOutcome { Sent, Failed, Stopped };
    enum class EGatherOutcome { Done, SendAgain, FailedReceive };

    void DropStaleDatagrams();
    // Waits out the rest of kWaitMs since the last send; false when stopped.
    bool PaceResend(platform::CStopSignal* pStop);
    ESendOutcome SendRequest(platform::CStopSignal* pStop);
    EGatherOutcome GatherReply(std::string& strReply, platform::CStopSignal* pStop,
                              EQueryResult& nResult);
    EGatherOutcome CountFailedReceive(EQueryResult& nResult);
    EGatherOutcome CountEmptyWait(EQueryResult& nResult);

    platform::CSocket m_socket;
    platform::CClock& m_clock;
    const std::string m_strRequest;
    const int m_nRecvFailLimit;
    std::atomic<int32_t>* m_pTrafficCounter = nullptr;
    int m_nSilenceLimit = 0;
    bool m_bOneRoundPerCall = false;

    bool m_bHeard = false;  // something (data or a receive error) came in this run
    int m_nTimeouts = 0;    // empty waits while not yet heard
    // Since the last complete reply: a server that keeps sending datagrams
    // without ever completing a reply must still reach the limits.
    int m_nRecvFails = 0;      // failed receives
    int m_nSilentWaits = 0;    // empty waits after the server was heard
    uint32_t m_nSentTick = 0;  // when the request last went out (or was tried)
};

}  // namespace query
