#include "tools/bf42sim/SimResponder.h"

#include <algorithm>

#include "platform/Text.h"

namespace bf42sim {

ERequestKind ClassifyRequest(std::string_view strDatagram) {
    if (!strDatagram.empty() && strDatagram.front() == '\xff') strDatagram.remove_prefix(1);
    if (strDatagram == "\\status\\") return ERequestKind::Status;
    if (strDatagram == "\\info\\") return ERequestKind::Info;
    return ERequestKind::None;
}

CSimResponder::CSimResponder() : m_state(DefaultSimState()) {}
CSimResponder::~CSimResponder() = default;

void CSimResponder::SetState(const CSimState& state) {
    m_pLive.reset();
    m_scenario = {};
    m_state = state;
}

void CSimResponder::LoadScenario(const CScenario& scenario) {
    m_pLive.reset();
    m_scenario = scenario;
    m_nScenarioStep = 0;
    m_nServed = 0;
    if (!m_scenario.m_vSteps.empty()) m_state = m_scenario.m_vSteps.front().m_state;
}

void CSimResponder::StartLive(uint64_t nSeed, int nPlayers, bool bStepPerStatus) {
    m_scenario = {};
    m_pLive = std::make_unique<CLiveMatch>(nSeed, nPlayers);
    m_bStepPerStatus = bStepPerStatus;
}

void CSimResponder::StepLive(int nSteps) {
    if (!m_pLive) return;
    for (int n = 0; n < nSteps; ++n) m_pLive->Step();
}

CSimState CSimResponder::CurrentState() const {
    return m_pLive ? m_pLive->State() : m_state;
}

CLiveCounts CSimResponder::LiveCounts() const {
    return m_pLive ? m_pLive->Counts() : CLiveCounts{};
}

void CSimResponder::FallSilent(int nRequests) {
    m_nSilentLeft = nRequests;
    m_nAnswersLeft = -1;
}

void CSimResponder::SetSilentAfter(int nAnswers, int nSilentFor) {
    m_nSilentLeft = 0;
    m_nAnswersLeft = std::max(0, nAnswers);
    m_nPlannedSilence = nSilentFor;
}

// True when this request goes unanswered.
bool CSimResponder::TakeSilence() {
    if (m_nSilentLeft == 0 && m_nAnswersLeft == 0) {
        m_nAnswersLeft = -1;
        m_nSilentLeft = m_nPlannedSilence;
    }
    if (m_nSilentLeft != 0) {
        if (m_nSilentLeft > 0) --m_nSilentLeft;
        ++m_nSilenced;
        return true;
    }
    if (m_nAnswersLeft > 0) --m_nAnswersLeft;
    return false;
}

std::vector<std::string> CSimResponder::HandleDatagram(std::string_view strDatagram) {
    const ERequestKind kind = ClassifyRequest(strDatagram);
    if (kind == ERequestKind::None) {
        ++m_nIgnored;
        return {};
    }
    ++(kind == ERequestKind::Status ? m_nStatusRequests : m_nInfoRequests);
    if (TakeSilence()) return {};

    if (kind == ERequestKind::Info) return Packetise(BuildInfoPairs(CurrentState(), m_style));

    if (m_pLive) {
        if (m_bStepPerStatus) m_pLive->Step();
        return PacketiseStatus(m_pLive->State());
    }
    std::vector<std::string> vReply = PacketiseStatus(m_state);
    // A scenario step is used up by the replies actually sent; the last step stays.
    const auto& vSteps = m_scenario.m_vSteps;
    if (m_nScenarioStep + 1 < vSteps.size() && ++m_nServed >= vSteps[m_nScenarioStep].m_nHold) {
        ++m_nScenarioStep;
        m_nServed = 0;
        m_state = vSteps[m_nScenarioStep].m_state;
    }
    return vReply;
}

std::vector<std::string> CSimResponder::PacketiseStatus(const CSimState& state) {
    if (m_style == EKeyStyle::Classic || m_bOversized)
        return Packetise(BuildStatusPairs(state, m_style));
    // Split as a v1.61 server splits; the closing datagram may still overtake.
    const std::string strId = platform::IntToText(++m_nQueryId);
    std::vector<std::string> vDatagrams = SplitStatusReply(state, m_style, strId);
    if (m_bOutOfOrder && vDatagrams.size() < 2)
        vDatagrams = SplitReply(BuildStatusPairs(state, m_style), strId, kMaxDatagram, 2);
    if (m_bOutOfOrder) std::rotate(vDatagrams.begin(), vDatagrams.end() - 1, vDatagrams.end());
    return vDatagrams;
}

std::vector<std::string> CSimResponder::Packetise(const std::vector<KeyValue>& vPairs) {
    const std::string strId = platform::IntToText(++m_nQueryId);
    if (m_bOversized) return {BuildOversizedReply(vPairs, strId)};
    std::vector<std::string> vDatagrams =
        SplitReply(vPairs, strId, kMaxDatagram, m_bOutOfOrder ? 2 : 1);
    // The closing datagram overtakes the others.
    if (m_bOutOfOrder) std::rotate(vDatagrams.begin(), vDatagrams.end() - 1, vDatagrams.end());
    return vDatagrams;
}

}  // namespace bf42sim
