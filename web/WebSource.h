#pragma once
// What the web server asks the bot. The core implements it.
#include <string>

#include "web/WebModel.h"

namespace web {

// Called on the web server's worker threads, several at once and at any
// time while the server runs: each call returns a value promptly and never
// waits on the game server or on IRC (the database's answers may take the
// few milliseconds a query takes).
class IWebSource {
public:
    virtual ~IWebSource() = default;

    // The live scoreboard as it is now.
    virtual CWebStatus LiveStatus() = 0;
    // strName in Windows-1252, as the player wrote it.
    virtual CWebAnswer<CWebPlayerStats> PlayerStats(const std::string& strName) = 0;
    // At most nRows rows (the page asks for ten).
    virtual CWebAnswer<CWebTopList> TopList(ETopMetric eMetric, ETopPeriod ePeriod,
                                            int nRows) = 0;
    virtual CWebMetrics Metrics() = 0;
};

}  // namespace web
