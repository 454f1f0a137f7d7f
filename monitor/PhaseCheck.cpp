#include "monitor/PhaseCheck.h"

#include <algorithm>

#include "monitor/Announcements.h"
#include "platform/Text.h"

namespace monitor {

namespace {

// Longest limit whose end still lies ahead as a signed 32-bit tick difference.
constexpr int64_t kMaxLimitMinutes = INT32_MAX / 60000;

EPhaseStep StepFor(const CServerStatus& previous, const CServerStatus& current, bool bGamePaused) {
    if (previous.m_strGameMode.empty() || previous.m_strGameMode == current.m_strGameMode)
        return EPhaseStep::None;
    const std::string& strPhase = current.m_strGameMode;
    if (strPhase == kPhasePre) return EPhaseStep::StartsIn;
    if (strPhase == kPhasePause) return EPhaseStep::Paused;
    if (strPhase == kPhaseEnd) return EPhaseStep::Ends;
    // Every other text counts as playing.
    if (IsPlayingPhase(previous.m_strGameMode)) return EPhaseStep::None;
    return bGamePaused ? EPhaseStep::Resumed : EPhaseStep::Starts;
}

}  // namespace

bool IsPlayingPhase(std::string_view strPhase) {
    return strPhase == kPhaseOpenPlaying || strPhase == kPhaseClosedPlaying;
}

CPhaseDecision DecidePhaseAndMap(const CServerStatus& previous, const CServerStatus& current,
                                 bool bGamePaused) {
    CPhaseDecision d;
    d.m_bMapChanged =
        !previous.m_strMapName.empty() && previous.m_strMapName != current.m_strMapName;
    d.m_ePhase = StepFor(previous, current, bGamePaused);
    d.m_bPauseOver =
        bGamePaused && (d.m_ePhase == EPhaseStep::Ends || d.m_ePhase == EPhaseStep::StartsIn);
    return d;
}

uint32_t EndTickFor(std::string_view strTimeLimit, uint32_t nNow) {
    if (strTimeLimit == kTimeUnlimited) return 0;
    const int64_t nMinutes = std::clamp<int64_t>(platform::ParseLeadingInt(strTimeLimit),
                                                 -kMaxLimitMinutes, kMaxLimitMinutes);
    // Unsigned arithmetic wraps exactly as the tick count does.
    const uint32_t nEnd = nNow + static_cast<uint32_t>(nMinutes * 60000);
    return nEnd == 0 ? 1 : nEnd;
}

uint32_t MsLeft(uint32_t nEndTick, uint32_t nClock) {
    const auto nLeft = static_cast<int32_t>(nEndTick - nClock);
    return nLeft > 0 ? static_cast<uint32_t>(nLeft) : 0;
}

}  // namespace monitor
