#include "platform/Clock.h"
#include "platform/Socket.h"

namespace platform {

EConnectResult ConnectInTurn(
    const std::vector<CNetAddress>& vAddrs, int nTimeoutMs, const CStopSignal* pStop,
    const std::function<void(const std::shared_ptr<CSocket>&, const CNetAddress&)>& fnBeforeConnect,
    std::shared_ptr<CSocket>* ppSocket) {
    ppSocket->reset();
    bool bAnySocket = false;
    for (const CNetAddress& addr : vAddrs) {
        if (pStop != nullptr && pStop->IsStopped()) return EConnectResult::Failed;
        // A family this system cannot open (IPv6 switched off) is skipped;
        // the next address may be of the other one.
        auto pSocket = std::make_shared<CSocket>(CSocket::CreateTcp(addr.Family()));
        if (!pSocket->IsValid()) continue;
        bAnySocket = true;
        if (fnBeforeConnect) fnBeforeConnect(pSocket, addr);
        if (pSocket->Connect(addr, nTimeoutMs, pStop)) {
            *ppSocket = std::move(pSocket);
            return EConnectResult::Connected;
        }
    }
    return bAnySocket ? EConnectResult::Failed : EConnectResult::NoSocket;
}

}  // namespace platform
