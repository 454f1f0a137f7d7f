#pragma once
// Scripted matches for the stand-in server: a list of states, each served
// for a given number of status replies, the last one held for ever.
#include <string>
#include <vector>

#include "tools/bf42sim/SimState.h"

namespace bf42sim {

struct CScenarioStep {
    CSimState m_state;
    int m_nHold = 1;  // status replies that serve this state
    int m_nLine = 0;  // line of its "state" command, for messages
};

struct CScenario {
    std::vector<CScenarioStep> m_vSteps;
};

// The scenario text format, for --help and for users of the parser.
const char* ScenarioFormatHelp();

// Parses a scenario text. On failure returns false and sets *pError to a
// message that begins with "line N: " naming the offending line; *pScenario
// is then left unchanged. Pure; any thread.
bool ParseScenario(const std::string& strText, CScenario* pScenario, std::string* pError);

}  // namespace bf42sim
