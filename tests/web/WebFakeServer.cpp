// A web server on 127.0.0.1 with a scripted match, for the real clients
// (the headless browser, promtool, curl): prints "URL http://127.0.0.1:PORT/"
// once it listens, then takes commands on stdin, one a line:
//   event TEXT        a new event line, published at once
//   irc down REASON   the IRC side goes down (and "irc up")
//   game down REASON  the game side goes down (and "game up")
//   quit              stops (so does the end of stdin)
// Its players include "<script>" and a Windows-1252 name.
#include <iostream>
#include <string>

#include "FakeWebSource.h"
#include "web/WebServer.h"

namespace {

void SetSide(web::CWebSide& side, const std::string& strRest) {
    side.m_bUp = strRest.rfind("up", 0) == 0;
    side.m_strReason = side.m_bUp || strRest.size() < 5 ? std::string() : strRest.substr(5);
}

}  // namespace

int main() {
    testsupport::CFakeWebSource source;
    source.SetStatus(testsupport::BusyStatus(8, 3));
    web::CWebPlayerStats stats;
    stats.m_strName = "<script>";
    stats.m_nKills = 12;
    stats.m_nDeaths = 3;
    stats.m_fKillsPerDeath = 4;
    stats.m_nRounds = 2;
    stats.m_nLastSeen = 1735689600;
    stats.m_otherNames = {"Ren\xE9 \"Fox\" & 'Co'"};
    source.AddPlayer(stats);
    source.SetTop({{"<script>", 12, 2}, {"Ren\xE9 \"Fox\" & 'Co'", 9, 3}, {"Axis 2", 7, 1},
                   {"Allies 3", 5, 2}, {"Axis 4", 2, 1}});

    web::CWebServer server(source);
    std::string strError;
    if (!server.StartOnFreePort(&strError)) {
        std::cerr << strError << "\n";
        return 1;
    }
    std::cout << "URL http://127.0.0.1:" << server.Port() << "/" << std::endl;

    for (std::string strLine; std::getline(std::cin, strLine);) {
        if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
        web::CWebStatus status = source.Status();
        if (strLine.rfind("event ", 0) == 0) {
            status.m_events.push_back(strLine.substr(6));
            if (status.m_events.size() > web::kWebEventLines)
                status.m_events.erase(status.m_events.begin());
        } else if (strLine.rfind("irc ", 0) == 0) {
            SetSide(status.m_irc, strLine.substr(4));
        } else if (strLine.rfind("game ", 0) == 0) {
            SetSide(status.m_game, strLine.substr(5));
        } else if (strLine == "quit") {
            break;
        } else {
            continue;
        }
        source.SetStatus(status);
        server.Publish(status);
        std::cout << "OK" << std::endl;
    }
    server.Stop();
    return 0;
}
