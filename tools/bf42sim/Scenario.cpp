// Scenario text format (also printed by "bf42sim --help"):
//
//   One command per line; blank lines and lines starting with '#' are
//   ignored; blanks around words are ignored.
//
//   state N              begin a state served for N status replies (N >= 1);
//                        it starts as a copy of the state before it (the
//                        first as a fresh server with no players). The last
//                        state is held for ever.
//   set KEY = VALUE      set a server key of the status reply (appended when
//                        new; KEY may hold blanks, VALUE may be empty).
//                        "set numplayers = auto" (the default) sends the
//                        number of players; any other value is sent as is.
//   unset KEY            leave a server key out of the reply.
//   player SLOT TEAM SCORE FRAGS DEATHS PING NAME
//                        set the player in SLOT (0-63); SLOT may be at most
//                        the number of players, so slots stay without gaps.
//                        NAME is the rest of the line and may be empty.
//   remove SLOT          the player leaves; later players move down a slot,
//                        as they do on a real server.
//   clear players        every player leaves.
//   info KEY = VALUE     add a pair sent only in the info reply.
//
//   Keys and values cannot hold a backslash. Every error names its line.
#include "tools/bf42sim/Scenario.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "platform/Text.h"

namespace bf42sim {

namespace {

// Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on "'" + string.
std::string Quoted(std::string_view str) {
    std::string strOut = "'";
    strOut += str;
    strOut += '\'';
    return strOut;
}

constexpr const char* kBlanks = " \t";

std::string_view Trim(std::string_view str) {
    const size_t nStart = str.find_first_not_of(kBlanks);
    if (nStart == std::string_view::npos) return {};
    const size_t nEnd = str.find_last_not_of(kBlanks);
    return str.substr(nStart, nEnd - nStart + 1);
}

// Takes the next blank-separated word off the front of str.
std::string_view NextWord(std::string_view* pStr) {
    std::string_view str = *pStr;
    const size_t nStart = str.find_first_not_of(kBlanks);
    if (nStart == std::string_view::npos) {
        *pStr = {};
        return {};
    }
    str.remove_prefix(nStart);
    const size_t nEnd = std::min(str.find_first_of(kBlanks), str.size());
    *pStr = str.substr(nEnd);
    return str.substr(0, nEnd);
}

bool ParseInt(std::string_view str, int* pValue) {
    if (str.empty()) return false;
    const char* pBegin = str.data();
    const char* pEnd = str.data() + str.size();
    auto [ptr, ec] = std::from_chars(pBegin, pEnd, *pValue);
    return ec == std::errc() && ptr == pEnd;
}

class CParser {
public:
    CParser(CScenario* pOut, std::string* pError) : m_pOut(pOut), m_pError(pError) {}

    bool Line(int nLine, std::string_view strLine) {
        m_nLine = nLine;
        std::string_view strRest = Trim(strLine);
        if (strRest.empty() || strRest.front() == '#') return true;
        if (strRest.find('\\') != std::string_view::npos)
            return Fail("a backslash cannot be sent inside a key or value");
        const std::string_view strCommand = NextWord(&strRest);
        strRest = Trim(strRest);
        if (strCommand == "state") return State(strRest);
        if (m_pOut->m_vSteps.empty())
            return Fail(Quoted(strCommand) + " before the first 'state' line");
        CSimState& state = m_pOut->m_vSteps.back().m_state;
        if (strCommand == "set") return Set(strRest, &state);
        if (strCommand == "unset") return Unset(strRest, &state);
        if (strCommand == "player") return Player(strRest, &state);
        if (strCommand == "remove") return Remove(strRest, &state);
        if (strCommand == "clear") return Clear(strRest, &state);
        if (strCommand == "info") return Info(strRest, &state);
        return Fail("unknown command '" + std::string(strCommand) + "'");
    }

    bool Finish(int nLastLine) {
        m_nLine = nLastLine;
        if (m_pOut->m_vSteps.empty()) return Fail("the scenario has no 'state' line");
        return true;
    }

private:
    bool Fail(const std::string& strMessage) {
        *m_pError = "line " + platform::IntToText(m_nLine) + ": " + strMessage;
        return false;
    }

    bool State(std::string_view strArgs) {
        int nHold = 0;
        if (!ParseInt(strArgs, &nHold) || nHold < 1)
            return Fail("'state' needs a number of status replies of at least 1");
        CScenarioStep step;
        step.m_state =
            m_pOut->m_vSteps.empty() ? DefaultSimState() : m_pOut->m_vSteps.back().m_state;
        step.m_nHold = nHold;
        step.m_nLine = m_nLine;
        m_pOut->m_vSteps.push_back(std::move(step));
        return true;
    }

    // "KEY = VALUE" with a non-empty key.
    bool SplitAssignment(std::string_view strArgs, const char* pszCommand, std::string* pKey,
                         std::string* pValue) {
        const size_t nEq = strArgs.find('=');
        if (nEq == std::string_view::npos || Trim(strArgs.substr(0, nEq)).empty())
            return Fail(std::string("'") + pszCommand + "' needs KEY = VALUE");
        *pKey = std::string(Trim(strArgs.substr(0, nEq)));
        *pValue = std::string(Trim(strArgs.substr(nEq + 1)));
        return true;
    }

    bool Set(std::string_view strArgs, CSimState* pState) {
        std::string strKey, strValue;
        if (!SplitAssignment(strArgs, "set", &strKey, &strValue)) return false;
        if (strKey == "numplayers") {
            pState->m_bAutoNumPlayers = strValue == "auto";
            if (pState->m_bAutoNumPlayers) strValue = "0";
        }
        pState->SetKey(strKey, strValue);
        return true;
    }

    bool Unset(std::string_view strArgs, CSimState* pState) {
        if (strArgs.empty()) return Fail("'unset' needs a key");
        if (!pState->RemoveKey(std::string(strArgs)))
            return Fail("no key '" + std::string(strArgs) + "' to unset");
        return true;
    }

    bool Slot(std::string_view strWord, size_t nLimit, int* pSlot) {
        if (!ParseInt(strWord, pSlot) || *pSlot < 0 || static_cast<size_t>(*pSlot) > nLimit)
            return Fail("player slot '" + std::string(strWord) + "' must be a number from 0 to " +
                        platform::IntToText(static_cast<long long>(nLimit)));
        return true;
    }

    bool Player(std::string_view strArgs, CSimState* pState) {
        std::string_view vWords[6];
        for (auto& strWord : vWords) strWord = NextWord(&strArgs);
        if (vWords[5].empty()) return Fail("'player' needs SLOT TEAM SCORE FRAGS DEATHS PING NAME");
        const size_t nLimit = std::min<size_t>(pState->m_vPlayers.size(), kMaxPlayers - 1);
        int nSlot = 0;
        if (!Slot(vWords[0], nLimit, &nSlot)) return false;
        int vNumbers[5] = {};
        for (int n = 0; n < 5; ++n)
            if (!ParseInt(vWords[n + 1], &vNumbers[n]))
                return Fail(Quoted(vWords[n + 1]) + " is not a whole number");
        CSimPlayer player;
        player.m_nTeam = vNumbers[0];
        player.m_nScore = vNumbers[1];
        player.m_nFrags = vNumbers[2];
        player.m_nDeaths = vNumbers[3];
        player.m_nPing = vNumbers[4];
        player.m_strName = std::string(Trim(strArgs));
        if (static_cast<size_t>(nSlot) == pState->m_vPlayers.size())
            pState->m_vPlayers.push_back(std::move(player));
        else
            pState->m_vPlayers[nSlot] = std::move(player);
        return true;
    }

    bool Remove(std::string_view strArgs, CSimState* pState) {
        if (pState->m_vPlayers.empty()) return Fail("'remove' with no players");
        int nSlot = 0;
        if (!Slot(strArgs, pState->m_vPlayers.size() - 1, &nSlot)) return false;
        pState->m_vPlayers.erase(pState->m_vPlayers.begin() + nSlot);
        return true;
    }

    bool Clear(std::string_view strArgs, CSimState* pState) {
        if (strArgs != "players") return Fail("did you mean 'clear players'?");
        pState->m_vPlayers.clear();
        return true;
    }

    bool Info(std::string_view strArgs, CSimState* pState) {
        std::string strKey, strValue;
        if (!SplitAssignment(strArgs, "info", &strKey, &strValue)) return false;
        pState->m_vInfoExtra.emplace_back(std::move(strKey), std::move(strValue));
        return true;
    }

    CScenario* m_pOut;
    std::string* m_pError;
    int m_nLine = 0;
};

}  // namespace

const char* ScenarioFormatHelp() {
    return "Scenario file: one command per line; blank lines and lines starting with '#'\n"
           "are ignored.\n"
           "  state N              begin a state served for N status replies (N >= 1); it\n"
           "                       starts as a copy of the previous state (the first as a\n"
           "                       fresh server without players); the last is held for ever\n"
           "  set KEY = VALUE      set a server key (KEY may hold blanks, VALUE may be empty;\n"
           "                       'set numplayers = auto' sends the player count, the default)\n"
           "  unset KEY            leave a server key out\n"
           "  player SLOT TEAM SCORE FRAGS DEATHS PING NAME\n"
           "                       set the player in SLOT (0-63, at most the player count);\n"
           "                       NAME is the rest of the line\n"
           "  remove SLOT          the player leaves; later players move down a slot\n"
           "  clear players        every player leaves\n"
           "  info KEY = VALUE     add a pair sent only in the info reply\n"
           "Keys and values cannot hold a backslash.\n";
}

bool ParseScenario(const std::string& strText, CScenario* pScenario, std::string* pError) {
    CScenario scenario;
    std::string strIgnored;
    CParser parser(&scenario, pError ? pError : &strIgnored);
    int nLine = 0;
    size_t nAt = 0;
    while (nAt <= strText.size()) {
        size_t nEnd = strText.find('\n', nAt);
        if (nEnd == std::string::npos) nEnd = strText.size();
        std::string_view strLine(strText.data() + nAt, nEnd - nAt);
        if (!strLine.empty() && strLine.back() == '\r') strLine.remove_suffix(1);
        ++nLine;
        if (!parser.Line(nLine, strLine)) return false;
        nAt = nEnd + 1;
    }
    if (!parser.Finish(nLine)) return false;
    *pScenario = std::move(scenario);
    return true;
}

}  // namespace bf42sim
