#include "tools/bf42sim/SimServer.h"

#include <vector>

namespace bf42sim {

namespace {

// How often the thread looks at the stop flag and the live clock.
constexpr int kPollMs = 20;
// Larger than any datagram, so an oversized request is read whole and ignored.
constexpr size_t kRecvCap = 65536;
// A stalled clock catches up by at most this many steps at once.
constexpr int kMaxCatchUp = 10;

}  // namespace

CSimServer::CSimServer(platform::CClock& clock) : m_clock(clock) {}

CSimServer::~CSimServer() {
    Stop();
}

bool CSimServer::Start(uint16_t nPort, std::string* pError) {
    return StartOn(platform::LoopbackAddress(nPort), pError);
}

bool CSimServer::StartOn(const platform::CNetAddress& addr, std::string* pError) {
    if (m_thread.joinable()) {  // the running thread owns the socket: leave it alone
        if (pError) *pError = "the server already runs";
        return false;
    }
    auto fail = [&](const std::string& strMessage) {
        if (pError) *pError = strMessage;
        m_socket.Close();
        return false;
    };
    // A stand-in for tests and demos: it never serves beyond this machine.
    if (!addr.IsLoopback()) return fail("not a loopback address: " + addr.Text());
    m_socket = platform::CSocket::CreateUdp(addr.Family());
    if (!m_socket.IsValid()) return fail("cannot create a UDP socket");
    if (!m_socket.Bind(addr)) return fail("cannot bind " + addr.TextWithPort());
    m_nPort = m_socket.LocalPort();
    m_bStop = false;
    {
        std::lock_guard lock(m_mutex);
        m_nLastTick = m_clock.GetTickCount();
    }
    m_thread = std::thread(&CSimServer::ServeThread, this);
    return true;
}

void CSimServer::Stop() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
    m_socket.Close();
}

void CSimServer::ServeThread() {
    std::vector<char> vBuffer(kRecvCap);
    while (!m_bStop.load()) {
        TickLive();
        const platform::EWaitResult wait = m_socket.WaitReadable(kPollMs);
        if (wait != platform::EWaitResult::Readable) continue;
        platform::CNetAddress from;
        const int n = m_socket.RecvFrom(vBuffer.data(), vBuffer.size(), &from);
        if (n < 0) continue;  // e.g. a refusal reported for an earlier reply
        std::vector<std::string> vReply;
        {
            std::lock_guard lock(m_mutex);
            vReply = m_responder.HandleDatagram(
                std::string_view(vBuffer.data(), static_cast<size_t>(n)));
        }
        for (const std::string& strDatagram : vReply)
            m_socket.SendTo(strDatagram.data(), strDatagram.size(), from);
    }
}

void CSimServer::TickLive() {
    std::lock_guard lock(m_mutex);
    if (!m_responder.IsLive() || m_nTickMs <= 0) return;
    const uint32_t nNow = m_clock.GetTickCount();
    int nSteps = 0;
    while (nNow - m_nLastTick >= static_cast<uint32_t>(m_nTickMs) && nSteps < kMaxCatchUp) {
        m_nLastTick += static_cast<uint32_t>(m_nTickMs);
        ++nSteps;
    }
    // After a long stall, forget the time that was not caught up.
    if (nSteps == kMaxCatchUp) m_nLastTick = nNow;
    m_responder.StepLive(nSteps);
}

void CSimServer::SetState(const CSimState& state) {
    std::lock_guard lock(m_mutex);
    m_responder.SetState(state);
}

bool CSimServer::LoadScenario(const std::string& strText, std::string* pError) {
    CScenario scenario;
    if (!ParseScenario(strText, &scenario, pError)) return false;
    LoadScenario(scenario);
    return true;
}

void CSimServer::LoadScenario(const CScenario& scenario) {
    std::lock_guard lock(m_mutex);
    m_responder.LoadScenario(scenario);
}

void CSimServer::StartLive(uint64_t nSeed, int nPlayers, int nTickMs) {
    std::lock_guard lock(m_mutex);
    m_responder.StartLive(nSeed, nPlayers, nTickMs == 0);
    m_nTickMs = nTickMs;
    m_nLastTick = m_clock.GetTickCount();
}

void CSimServer::StepLive(int nSteps) {
    std::lock_guard lock(m_mutex);
    m_responder.StepLive(nSteps);
}

CSimState CSimServer::CurrentState() const {
    std::lock_guard lock(m_mutex);
    return m_responder.CurrentState();
}

CLiveCounts CSimServer::LiveCounts() const {
    std::lock_guard lock(m_mutex);
    return m_responder.LiveCounts();
}

void CSimServer::FallSilent(int nRequests) {
    std::lock_guard lock(m_mutex);
    m_responder.FallSilent(nRequests);
}

void CSimServer::SetSilentAfter(int nAnswers, int nSilentFor) {
    std::lock_guard lock(m_mutex);
    m_responder.SetSilentAfter(nAnswers, nSilentFor);
}

void CSimServer::SetOversized(bool bOn) {
    std::lock_guard lock(m_mutex);
    m_responder.SetOversized(bOn);
}

void CSimServer::SetOutOfOrder(bool bOn) {
    std::lock_guard lock(m_mutex);
    m_responder.SetOutOfOrder(bOn);
}

void CSimServer::SetKeyStyle(EKeyStyle style) {
    std::lock_guard lock(m_mutex);
    m_responder.SetKeyStyle(style);
}

int CSimServer::StatusRequests() const {
    std::lock_guard lock(m_mutex);
    return m_responder.StatusRequests();
}

int CSimServer::InfoRequests() const {
    std::lock_guard lock(m_mutex);
    return m_responder.InfoRequests();
}

int CSimServer::IgnoredDatagrams() const {
    std::lock_guard lock(m_mutex);
    return m_responder.IgnoredDatagrams();
}

int CSimServer::SilencedRequests() const {
    std::lock_guard lock(m_mutex);
    return m_responder.SilencedRequests();
}

}  // namespace bf42sim
