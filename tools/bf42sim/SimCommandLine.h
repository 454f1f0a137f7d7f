#pragma once
// The bf42sim program's command line, parsed apart from main() so that it
// can be tested. Pure; any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/NetAddress.h"
#include "tools/bf42sim/ReplyBuilder.h"

namespace bf42sim {

struct CSimOptions {
    int m_nPort = 23000;            // 0: a free port, printed at start
    platform::CNetAddress m_bind = platform::CNetAddress::Loopback();  // 127.0.0.1 or ::1
    std::string m_strScenarioFile;  // empty: a live match
    uint64_t m_nSeed = 1;
    int m_nPlayers = 16;
    int m_nTickMs = 1000;     // live pacing; 0: one step per status request
    int m_nSilentAfter = -1;  // answers before falling silent; below 0: never
    int m_nSilentFor = -1;    // requests the silence lasts; below 0: for ever
    bool m_bOversized = false;
    bool m_bOutOfOrder = false;
    EKeyStyle m_style = EKeyStyle::Classic;
};

enum class ECommandLineResult { Run, Help, Version, Error };

// Reads the arguments after the program name. On Error, *pError says why.
ECommandLineResult ParseSimCommandLine(const std::vector<std::string>& vArgs, CSimOptions* pOptions,
                                      std::string* pError);

// The text of --help.
std::string SimUsage();

}  // namespace bf42sim
