// What one page client costs the bot: the web server serves a 64-player
// match with an event a second to one live-page stream (curl on /events)
// and a poll of /api/status every five seconds (curl again), both in child
// processes; this process's CPU time (getrusage) is what the bot would
// spend. Prints the figures; asserts nothing.
//   web_page_cost [SECONDS]     (default 60)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "FakeWebSource.h"
#include "web/WebServer.h"

extern char** environ;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

pid_t Spawn(const std::string& strScript) {
    const char* argv[] = {"/bin/sh", "-c", strScript.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return pid;
}

size_t CountLines(const std::string& strPath, const std::string& strPrefix) {
    std::ifstream in(strPath);
    size_t n = 0;
    for (std::string strLine; std::getline(in, strLine);)
        if (strLine.rfind(strPrefix, 0) == 0) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const int nSeconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 60;
    testsupport::CFakeWebSource source;
    web::CWebStatus status = testsupport::BusyStatus(32, 20);
    source.SetStatus(status);
    web::CWebServer server(source);
    std::string strError;
    if (!server.StartOnFreePort(&strError)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 1;
    }
    const std::string strUrl = "http://127.0.0.1:" + std::to_string(server.Port());
    const std::string strStream = "web_page_cost.events";
    const int nPolls = nSeconds / 5 + 2;
    std::ostringstream script;
    script << "curl -sN --noproxy '*' --max-time " << nSeconds + 4 << " " << strUrl
           << "/events >" << strStream << " & i=0; while [ $i -lt " << nPolls
           << " ]; do curl -s --noproxy '*' " << strUrl
           << "/api/status >/dev/null; i=$((i+1)); sleep 5; done; wait";
    pid_t client = Spawn(script.str());
    if (client < 0) {
        std::fprintf(stderr, "cannot start the clients (sh, curl)\n");
        return 1;
    }

    // A second to settle, then the measured time: an event a second, some
    // scores moving, as a busy match would.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double fStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= nSeconds; ++i) {
        status.m_events.push_back("Axis " + std::to_string(i % 32) + " killed Allies " +
                                  std::to_string((i * 7) % 32));
        if (status.m_events.size() > web::kWebEventLines) status.m_events.erase(status.m_events.begin());
        status.m_teams[i % 2].m_players[static_cast<size_t>(i % 32)].m_nKills += 1;
        status.m_teams[i % 2].m_players[static_cast<size_t>(i % 32)].m_nScore += 2;
        status.m_nTimeLeft = 3600 - i;
        source.SetStatus(status);
        server.Publish(status);
        std::this_thread::sleep_until(start + std::chrono::seconds(i));
    }
    const double fCpu = CpuSeconds() - fStart;
    const double fWall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    server.Stop();
    int nStatus = 0;
    waitpid(client, &nStatus, 0);
    const size_t nMessages = CountLines(strStream, "event: status");
    std::remove(strStream.c_str());

    std::printf("web page client: 64 players, %d events in %.1f s, one stream (%zu messages "
                "received) and a poll of /api/status every 5 s\n",
                nSeconds, fWall, nMessages);
    std::printf("CPU of the serving process: %.3f s in all, %.3f s per minute, %.3f %% of a core\n",
                fCpu, fCpu * 60.0 / fWall, fCpu * 100.0 / fWall);
    return 0;
}
