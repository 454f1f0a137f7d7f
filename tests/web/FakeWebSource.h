#pragma once
// A web source the tests script: a live status, players, a top list and
// figures they set, and what the server asked of it. Thread-safe, as the
// server's workers call it at once.
#include <mutex>
#include <string>
#include <vector>

#include "web/WebSource.h"

namespace testsupport {

class CFakeWebSource : public web::IWebSource {
public:
    CFakeWebSource();

    void SetStatus(web::CWebStatus status);
    web::CWebStatus Status() const;
    void SetStatsOn(bool bOn);
    void AddPlayer(web::CWebPlayerStats stats);
    void SetTop(std::vector<web::CWebTopRow> rows);
    void SetMetrics(web::CWebMetrics metrics);

    // What the server asked last.
    std::string LastPlayerAsked() const;
    web::ETopMetric LastMetric() const;
    web::ETopPeriod LastPeriod() const;

    web::CWebStatus LiveStatus() override;
    web::CWebAnswer<web::CWebPlayerStats> PlayerStats(const std::string& strName) override;
    web::CWebAnswer<web::CWebTopList> TopList(web::ETopMetric eMetric, web::ETopPeriod ePeriod,
                                              int nRows) override;
    web::CWebMetrics Metrics() override;

private:
    mutable std::mutex m_mutex;
    web::CWebStatus m_status;
    bool m_bStatsOn = true;
    std::vector<web::CWebPlayerStats> m_players;
    std::vector<web::CWebTopRow> m_top;
    web::CWebMetrics m_metrics;
    std::string m_strLastPlayer;
    web::ETopMetric m_eLastMetric = web::ETopMetric::Kills;
    web::ETopPeriod m_eLastPeriod = web::ETopPeriod::All;
};

// A busy match: nPerTeam players a team (names "Axis 1"..., "Allies 1"...,
// with a few that need escaping among them and a long one) and nEvents
// event lines.
web::CWebStatus BusyStatus(int nPerTeam, int nEvents);

}  // namespace testsupport
