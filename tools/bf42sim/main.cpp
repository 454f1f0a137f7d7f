// bf42sim: the stand-in game server as a program. See SimUsage() for the
// command line.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Console.h"
#include "res/Version.h"
#include "tools/bf42sim/SimCommandLine.h"
#include "tools/bf42sim/SimServer.h"

namespace {

bool ReadFile(const std::string& strPath, std::string* pText) {
    std::ifstream file(strPath, std::ios::binary);
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    *pText = text.str();
    return !file.bad();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace bf42sim;
    const std::vector<std::string> vArgs(argv + (argc > 0 ? 1 : 0), argv + argc);
    CSimOptions options;
    std::string strError;
    switch (ParseSimCommandLine(vArgs, &options, &strError)) {
        case ECommandLineResult::Help:
            std::fputs(SimUsage().c_str(), stdout);
            return 0;
        case ECommandLineResult::Version:
            std::fputs(res::VersionText("bf42sim").c_str(), stdout);
            return 0;
        case ECommandLineResult::Error:
            std::fprintf(stderr, "bf42sim: %s (see --help)\n", strError.c_str());
            return 2;
        case ECommandLineResult::Run:
            break;
    }

    // Stop requests are taken by the wait below, before any thread starts.
    // A shell starts background jobs with the interrupt ignored; take it
    // back, since the demo stops this program that way.
    platform::CatchStopRequests(true);

    CSimServer server;
    if (!options.m_strScenarioFile.empty()) {
        std::string strText;
        if (!ReadFile(options.m_strScenarioFile, &strText)) {
            std::fprintf(stderr, "bf42sim: cannot read %s\n", options.m_strScenarioFile.c_str());
            return 2;
        }
        if (!server.LoadScenario(strText, &strError)) {
            std::fprintf(stderr, "bf42sim: %s: %s\n", options.m_strScenarioFile.c_str(),
                         strError.c_str());
            return 2;
        }
    } else {
        server.StartLive(options.m_nSeed, options.m_nPlayers, options.m_nTickMs);
    }
    server.SetKeyStyle(options.m_style);
    server.SetOversized(options.m_bOversized);
    server.SetOutOfOrder(options.m_bOutOfOrder);
    if (options.m_nSilentAfter >= 0)
        server.SetSilentAfter(options.m_nSilentAfter, options.m_nSilentFor);

    if (!server.StartOn(options.m_bind.WithPort(static_cast<uint16_t>(options.m_nPort)),
                        &strError)) {
        std::fprintf(stderr, "bf42sim: %s\n", strError.c_str());
        return 1;
    }
    const std::string strWhere = options.m_bind.WithPort(server.Port()).TextWithPort();
    if (options.m_strScenarioFile.empty())
        std::printf("bf42sim: live match (seed %llu, %d players) on %s\n",
                    static_cast<unsigned long long>(options.m_nSeed), options.m_nPlayers,
                    strWhere.c_str());
    else
        std::printf("bf42sim: scenario %s on %s\n", options.m_strScenarioFile.c_str(),
                    strWhere.c_str());
    std::fflush(stdout);

    while (platform::WaitForConsoleRequest(60000) != platform::EConsoleRequest::Stop) {
    }
    server.Stop();
    std::printf("bf42sim: stopped after %d status and %d info requests\n", server.StatusRequests(),
                server.InfoRequests());
    return 0;
}
