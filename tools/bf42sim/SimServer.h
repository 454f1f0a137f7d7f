#pragma once
// The stand-in game server as an in-process fixture: a UDP socket on
// 127.0.0.1 (or ::1) served by a thread of its own. Start and Stop belong to the
// owning thread; every other member may be called from any thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "platform/Socket.h"
#include "tools/bf42sim/SimResponder.h"

namespace bf42sim {

class CSimServer {
public:
    // The clock paces a live match (real time by default).
    explicit CSimServer(platform::CClock& clock = platform::SystemClock());
    // Stops and joins the thread.
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    // Binds 127.0.0.1:nPort (0 picks a free port) and starts serving. False,
    // with *pError set, when the port cannot be bound or it already runs.
    bool Start(uint16_t nPort = 0, std::string* pError = nullptr);
    // The same on a loopback address of either family and its port (::1
    // for IPv6 tests); any other address is refused.
    bool StartOn(const platform::CNetAddress& addr, std::string* pError = nullptr);
    // Stops serving and joins the thread; safe to call twice.
    void Stop();
    // The bound port; 0 before Start.
    uint16_t Port() const { return m_nPort.load(); }

    // Modes (see CSimResponder); each replaces the previous one.
    void SetState(const CSimState& state);
    // Parses and plays a scenario text; false with "line N: ..." on error,
    // and the current mode stays.
    bool LoadScenario(const std::string& strText, std::string* pError = nullptr);
    void LoadScenario(const CScenario& scenario);
    // A live match. nTickMs > 0: one step per nTickMs of the clock; 0: one
    // step per answered status request; below 0: only StepLive steps it.
    void StartLive(uint64_t nSeed, int nPlayers, int nTickMs = 1000);
    void StepLive(int nSteps);
    CSimState CurrentState() const;
    CLiveCounts LiveCounts() const;

    // Faults (see CSimResponder).
    void FallSilent(int nRequests);
    void SetSilentAfter(int nAnswers, int nSilentFor);
    void SetOversized(bool bOn);
    void SetOutOfOrder(bool bOn);
    void SetKeyStyle(EKeyStyle style);

    // Counters of datagrams received.
    int StatusRequests() const;
    int InfoRequests() const;
    int IgnoredDatagrams() const;
    int SilencedRequests() const;

private:
    void ServeThread();
    void TickLive();

    platform::CClock& m_clock;
    mutable std::mutex m_mutex;  // guards m_responder and the live pacing
    CSimResponder m_responder;
    int m_nTickMs = -1;
    uint32_t m_nLastTick = 0;

    platform::CSocket m_socket;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<uint16_t> m_nPort{0};
};

}  // namespace bf42sim
