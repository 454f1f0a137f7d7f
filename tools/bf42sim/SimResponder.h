#pragma once
// The stand-in server without its socket: takes one request datagram and
// returns the datagrams to send back, following the current mode (a fixed
// state, a scenario or a live match) and the fault switches. Not
// thread-safe: CSimServer calls it under its lock.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/bf42sim/LiveMatch.h"
#include "tools/bf42sim/ReplyBuilder.h"
#include "tools/bf42sim/Scenario.h"

namespace bf42sim {

enum class ERequestKind { None, Status, Info };

// "\xff\status\" and "\xff\info\", and the bare "\status\" and "\info\"
// that common query clients send; anything else is None.
ERequestKind ClassifyRequest(std::string_view strDatagram);

class CSimResponder {
public:
    CSimResponder();
    ~CSimResponder();

    // Answers one datagram: the reply's datagrams in sending order, or none
    // for a datagram that is not a request or while the server is silent.
    std::vector<std::string> HandleDatagram(std::string_view strDatagram);

    // Modes. Each replaces the previous one.
    // Serves this state for ever.
    void SetState(const CSimState& state);
    // Plays the scenario from its first state.
    void LoadScenario(const CScenario& scenario);
    // A live match; with bStepPerStatus every answered status request first
    // advances it by one step, otherwise only StepLive does.
    void StartLive(uint64_t nSeed, int nPlayers, bool bStepPerStatus);
    // Advances a live match by nSteps (no-op in other modes).
    void StepLive(int nSteps);
    bool IsLive() const { return m_pLive != nullptr; }
    // The state the next reply would be built from.
    CSimState CurrentState() const;
    // The live match's counters (all zero in other modes).
    CLiveCounts LiveCounts() const;

    // Faults.
    // Ignores the next nRequests requests; below 0 for ever, 0 ends a silence.
    void FallSilent(int nRequests);
    // Answers nAnswers more requests, then falls silent for nSilentFor (below 0: for ever).
    void SetSilentAfter(int nAnswers, int nSilentFor);
    // Sends each reply as one datagram of more than 1400 bytes.
    void SetOversized(bool bOn) { m_bOversized = bOn; }
    // Splits each reply into at least two datagrams and sends the last
    // (the one with the closing marker) first.
    void SetOutOfOrder(bool bOn) { m_bOutOfOrder = bOn; }
    void SetKeyStyle(EKeyStyle style) { m_style = style; }

    // Counters of datagrams received.
    int StatusRequests() const { return m_nStatusRequests; }
    int InfoRequests() const { return m_nInfoRequests; }
    int IgnoredDatagrams() const { return m_nIgnored; }
    // Requests that got no answer because of a silence.
    int SilencedRequests() const { return m_nSilenced; }

private:
    bool TakeSilence();
    std::vector<std::string> Packetise(const std::vector<KeyValue>& vPairs);
    std::vector<std::string> PacketiseStatus(const CSimState& state);

    CSimState m_state;  // fixed mode, and the scenario's current state
    CScenario m_scenario;
    size_t m_nScenarioStep = 0;
    int m_nServed = 0;  // status replies of the current scenario step
    std::unique_ptr<CLiveMatch> m_pLive;
    bool m_bStepPerStatus = false;

    bool m_bOversized = false;
    bool m_bOutOfOrder = false;
    EKeyStyle m_style = EKeyStyle::Classic;
    int m_nSilentLeft = 0;      // below 0: silent for ever
    int m_nAnswersLeft = -1;    // answers before a planned silence; below 0: none planned
    int m_nPlannedSilence = 0;  // length of that silence

    long long m_nQueryId = 0;
    int m_nStatusRequests = 0;
    int m_nInfoRequests = 0;
    int m_nIgnored = 0;
    int m_nSilenced = 0;
};

}  // namespace bf42sim
