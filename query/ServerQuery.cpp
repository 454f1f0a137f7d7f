#include "query/ServerQuery.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace query {

namespace {

bool IsStopped(const platform::CStopSignal* pStop) {
    return pStop != nullptr && pStop->IsStopped();
}

// The length of a datagram's text: the bytes up to its first NUL.
size_t DatagramTextLength(const char* pData, size_t nLen) {
    const void* pNul = std::memchr(pData, '\0', nLen);
    return pNul != nullptr ? static_cast<size_t>(static_cast<const char*>(pNul) - pData) : nLen;
}

// Looks for the marker at a position greater than 0, only where the newest
// datagram can have completed it.
bool IsReplyComplete(const std::string& strReply, size_t nOldSize) {
    size_t nFrom = nOldSize >= kReplyEndMarker.size() ? nOldSize - kReplyEndMarker.size() + 1 : 0;
    nFrom = std::max<size_t>(nFrom, 1);
    return strReply.find(kReplyEndMarker, nFrom) != std::string::npos;
}

}  // namespace

CServerQuery::CServerQuery(std::string_view request, int nRecvFailLimit, platform::CClock& clock)
    : m_clock(clock), m_strRequest(request), m_nRecvFailLimit(nRecvFailLimit) {}

EQueryResult CServerQuery::Open(const std::string& strServer, int nPort) {
    Close();
    m_bHeard = false;
    m_nTimeouts = 0;
    m_nRecvFails = 0;
    m_nSilentWaits = 0;
    const std::vector<platform::CNetAddress> vAddrs =
        platform::LookupHost(strServer, static_cast<uint16_t>(nPort));
    if (vAddrs.empty()) return QUERY_NO_HOST;
    // The first address that a socket of its family can be made and
    // connected for. A datagram connect asks nobody: it fails only where
    // the system has no way to the address (IPv6 off, no route), and then
    // the next address is taken.
    platform::CSocket unconnected;
    for (const platform::CNetAddress& addr : vAddrs) {
        platform::CSocket socket = platform::CSocket::CreateUdp(addr.Family());
        if (!socket.IsValid()) continue;
        if (socket.Connect(addr)) {
            m_socket = std::move(socket);
            break;
        }
        if (!unconnected.IsValid()) unconnected = std::move(socket);
    }
    // None connected: the first socket made stays, unconnected. Its sends
    // fail, which the exchange counts by its rules, as for any failed connect.
    if (!m_socket.IsValid()) m_socket = std::move(unconnected);
    if (!m_socket.IsValid()) return QUERY_NO_SOCKET;
    m_socket.SetRecvTimeout(kWaitMs);
    return QUERY_OK;
}

int CServerQuery::SendDatagram(const char* pData, size_t nLen) {
    return m_socket.Send(pData, nLen);
}

EQueryResult CServerQuery::Exchange(std::string& strReply, platform::CStopSignal* pStop) {
    if (!m_socket.IsValid()) return QUERY_NO_SOCKET;
    // One round per sending of the request; a round ends in a result or in
    // sending again (after an empty wait or a failed receive).
    for (;;) {
        if (IsStopped(pStop)) return QUERY_STOPPED;
        DropStaleDatagrams();
        const ESendOutcome nSend = SendRequest(pStop);
        if (nSend == ESendOutcome::Stopped) return QUERY_STOPPED;
        // A partial reply of an earlier round is dropped: the server starts over.
        strReply.clear();
        EQueryResult nResult = QUERY_OK;
        const EGatherOutcome nGather = GatherReply(strReply, pStop, nResult);
        if (nGather == EGatherOutcome::Done) return nResult;
        // A refusal comes back at once: without a pause the fail limit would
        // be used up in a fraction of a second.
        if (nGather == EGatherOutcome::FailedReceive && !PaceResend(pStop)) return QUERY_STOPPED;
        if (m_bOneRoundPerCall) return QUERY_AGAIN;
    }
}

// What is waiting before the request goes out answers an earlier one (the
// late part of a reply that completed without it): it must not start this
// reply. Bounded, so that a flood cannot hold the exchange here.
void CServerQuery::DropStaleDatagrams() {
    char buf[kRecvCapacity];
    for (int n = 0; n < kMaxStaleDatagrams; ++n) {
        if (m_socket.WaitReadable(0) != platform::EWaitResult::Readable) return;
        const int nGot = m_socket.Recv(buf, sizeof buf);
        if (nGot > 0 && m_pTrafficCounter != nullptr)
            m_pTrafficCounter->fetch_add(nGot, std::memory_order_relaxed);
    }
}

bool CServerQuery::PaceResend(platform::CStopSignal* pStop) {
    const uint32_t nSince = m_clock.GetTickCount() - m_nSentTick;
    if (nSince >= static_cast<uint32_t>(kWaitMs)) return true;
    return m_clock.Sleep(static_cast<uint32_t>(kWaitMs) - nSince, pStop);
}

// A failed send is tried again after a short pause, a few times. If it keeps
// failing, the round goes on to its wait as if the request had gone out, so
// the usual limits end a hopeless exchange instead of a tight send loop.
CServerQuery::ESendOutcome CServerQuery::SendRequest(platform::CStopSignal* pStop) {
    const int nLen = static_cast<int>(m_strRequest.size());
    for (int nTry = 0; nTry < kSendTries; ++nTry) {
        if (nTry > 0 && !m_clock.Sleep(kSendRetryPauseMs, pStop)) return ESendOutcome::Stopped;
        // Taken before the send: the answer may come before the send returns.
        m_nSentTick = m_clock.GetTickCount();
        if (SendDatagram(m_strRequest.data(), m_strRequest.size()) == nLen)
            return ESendOutcome::Sent;
    }
    return ESendOutcome::Failed;
}

CServerQuery::EGatherOutcome CServerQuery::GatherReply(std::string& strReply,
                                                      platform::CStopSignal* pStop,
                                                      EQueryResult& nResult) {
    char buf[kRecvCapacity];
    for (;;) {
        const platform::EWaitResult nWait = m_socket.WaitReadable(kWaitMs);
        if (IsStopped(pStop)) {
            nResult = QUERY_STOPPED;
            return EGatherOutcome::Done;
        }
        if (nWait == platform::EWaitResult::TimedOut) return CountEmptyWait(nResult);
        // A failed wait is no receive attempt, but it must not loop freely.
        if (nWait == platform::EWaitResult::Failed) return CountFailedReceive(nResult);

        bool bTruncated = false;
        const int n = m_socket.Recv(buf, sizeof buf, &bTruncated);
        m_bHeard = true;  // a refusal counts as heard, too
        // A datagram longer than the capacity was cut by the kernel: never use it.
        if (n < 0 || bTruncated) return CountFailedReceive(nResult);

        if (m_pTrafficCounter != nullptr)
            m_pTrafficCounter->fetch_add(n, std::memory_order_relaxed);
        const size_t nText = DatagramTextLength(buf, static_cast<size_t>(n));
        // Whatever the server sends, the reply stays bounded.
        if (strReply.size() + nText > kMaxReplyBytes) return CountFailedReceive(nResult);
        const size_t nOldSize = strReply.size();
        strReply.append(buf, nText);
        if (IsReplyComplete(strReply, nOldSize)) {
            m_nRecvFails = 0;
            m_nSilentWaits = 0;
            nResult = QUERY_OK;
            return EGatherOutcome::Done;
        }
        // Datagrams that keep coming without the marker must not hold the
        // exchange for ever.
        if (m_clock.GetTickCount() - m_nSentTick >= kReplyTimeLimitMs)
            return CountFailedReceive(nResult);
        // Not complete: wait for the next datagram without sending again.
    }
}

CServerQuery::EGatherOutcome CServerQuery::CountEmptyWait(EQueryResult& nResult) {
    if (m_bHeard) {
        ++m_nSilentWaits;
        if (m_nSilenceLimit > 0 && m_nSilentWaits >= m_nSilenceLimit) {
            nResult = QUERY_TIMED_OUT;
            return EGatherOutcome::Done;
        }
        return EGatherOutcome::SendAgain;
    }
    if (++m_nTimeouts >= kMaxTimeouts) {
        nResult = QUERY_NOT_FOUND;
        return EGatherOutcome::Done;
    }
    return EGatherOutcome::SendAgain;
}

CServerQuery::EGatherOutcome CServerQuery::CountFailedReceive(EQueryResult& nResult) {
    if (++m_nRecvFails >= m_nRecvFailLimit) {
        nResult = QUERY_TIMED_OUT;
        return EGatherOutcome::Done;
    }
    return EGatherOutcome::FailedReceive;
}

}  // namespace query
