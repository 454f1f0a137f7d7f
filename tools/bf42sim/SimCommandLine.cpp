#include "tools/bf42sim/SimCommandLine.h"

#include <charconv>

#include "tools/bf42sim/Scenario.h"

namespace bf42sim {

namespace {

template <typename T>
bool ParseNumber(const std::string& str, T nLow, T nHigh, T* pValue) {
    T nValue{};
    auto [ptr, ec] = std::from_chars(str.data(), str.data() + str.size(), nValue);
    if (str.empty() || ec != std::errc() || ptr != str.data() + str.size()) return false;
    if (nValue < nLow || nValue > nHigh) return false;
    *pValue = nValue;
    return true;
}

}  // namespace

ECommandLineResult ParseSimCommandLine(const std::vector<std::string>& vArgs, CSimOptions* pOptions,
                                      std::string* pError) {
    CSimOptions options;
    bool bSeed = false;
    for (size_t n = 0; n < vArgs.size(); ++n) {
        const std::string& strArg = vArgs[n];
        if (strArg == "--help" || strArg == "-h") return ECommandLineResult::Help;
        if (strArg == "--version") return ECommandLineResult::Version;
        if (strArg == "--oversized") {
            options.m_bOversized = true;
            continue;
        }
        if (strArg == "--out-of-order") {
            options.m_bOutOfOrder = true;
            continue;
        }
        // Every other option takes a value.
        if (n + 1 >= vArgs.size()) {
            *pError = strArg.rfind("--", 0) == 0 ? strArg + " needs a value"
                                                 : "unknown argument '" + strArg + "'";
            return ECommandLineResult::Error;
        }
        const std::string& strValue = vArgs[++n];
        bool bOk = true;
        if (strArg == "--port") {
            bOk = ParseNumber(strValue, 0, 65535, &options.m_nPort);
        } else if (strArg == "--bind") {
            // Loopback only: the stand-in never serves beyond this machine.
            platform::CNetAddress addr;
            bOk = platform::CNetAddress::ParseHost(strValue, &addr) && addr.IsLoopback();
            if (bOk) options.m_bind = addr;
        } else if (strArg == "--scenario") {
            options.m_strScenarioFile = strValue;
            bOk = !strValue.empty();
        } else if (strArg == "--seed") {
            bOk = ParseNumber<uint64_t>(strValue, 0, UINT64_MAX, &options.m_nSeed);
            bSeed = true;
        } else if (strArg == "--players") {
            bOk = ParseNumber(strValue, 1, kMaxPlayers, &options.m_nPlayers);
        } else if (strArg == "--tick-ms") {
            bOk = ParseNumber(strValue, 0, 3600000, &options.m_nTickMs);
        } else if (strArg == "--silent-after") {
            bOk = ParseNumber(strValue, 0, 1 << 30, &options.m_nSilentAfter);
        } else if (strArg == "--silent-for") {
            bOk = ParseNumber(strValue, 1, 1 << 30, &options.m_nSilentFor);
        } else if (strArg == "--style" || strArg == "--key-style") {
            bOk = strValue == "classic" || strValue == "v1.61";
            options.m_style = strValue == "v1.61" ? EKeyStyle::V161 : EKeyStyle::Classic;
        } else {
            *pError = "unknown argument '" + strArg + "'";
            return ECommandLineResult::Error;
        }
        if (!bOk) {
            *pError = "bad value '" + strValue + "' for " + strArg;
            return ECommandLineResult::Error;
        }
    }
    if (bSeed && !options.m_strScenarioFile.empty()) {
        *pError = "--scenario and --seed exclude each other";
        return ECommandLineResult::Error;
    }
    if (options.m_nSilentFor >= 0 && options.m_nSilentAfter < 0) {
        *pError = "--silent-for needs --silent-after";
        return ECommandLineResult::Error;
    }
    *pOptions = options;
    return ECommandLineResult::Run;
}

std::string SimUsage() {
    return std::string(
               "Usage: bf42sim [--port N] [--scenario FILE | --seed N] [--players N] [options]\n"
               "A stand-in game server on 127.0.0.1: answers the status and info queries\n"
               "(\"\\xff\\status\\\", \"\\xff\\info\\\" and the bare \"\\status\\\", \"\\info\\\") "
               "with a\n"
               "scripted or a live simulated match. Stops on Ctrl-C (SIGINT) or SIGTERM.\n"
               "\n"
               "  --port N          UDP port on 127.0.0.1 (default 23000; 0 picks a free one)\n"
               "  --bind ADDR       serve on this loopback address instead: ::1 for IPv6\n"
               "  --scenario FILE   play the states of a scenario file (format below)\n"
               "  --seed N          live match from this seed (the default mode, seed 1)\n"
               "  --players N       players in the live match, 1 to 64 (default 16)\n"
               "  --tick-ms N       one live step (about a second of play) every N ms\n"
               "                    (default 1000); 0 steps once per status request\n"
               "  --style S         classic (default) or v1.61: the key spellings, key order\n"
               "                    and datagram split of a v1.61 server (--key-style too)\n"
               "Faults:\n"
               "  --silent-after N  answer N requests, then fall silent\n"
               "  --silent-for M    ... for M requests, then answer again (default: for ever)\n"
               "  --oversized       send every reply as one datagram above 1400 bytes\n"
               "  --out-of-order    split every reply and send its closing datagram first\n"
               "Other:\n"
               "  -h, --help        print this help and exit\n"
               "  --version         print the version and exit\n"
               "\n"
               "Exit status: 0 when stopped by SIGINT or SIGTERM; 1 when the port cannot be\n"
               "bound; 2 for a usage error or a scenario file that cannot be read.\n"
               "\n") +
           ScenarioFormatHelp();
}

}  // namespace bf42sim
