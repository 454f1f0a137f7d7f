#include "FakeWebSource.h"

namespace testsupport {

CFakeWebSource::CFakeWebSource() {
    m_status = BusyStatus(3, 2);
    m_metrics.m_bGameUp = true;
    m_metrics.m_nGamePlayers = 6;
    m_metrics.m_gamePolls = {{"ok", 120}, {"timeout", 3}};
    m_metrics.m_fProcessStartTime = 1735689600;
}

void CFakeWebSource::SetStatus(web::CWebStatus status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = std::move(status);
}

web::CWebStatus CFakeWebSource::Status() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

void CFakeWebSource::SetStatsOn(bool bOn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStatsOn = bOn;
}

void CFakeWebSource::AddPlayer(web::CWebPlayerStats stats) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_players.push_back(std::move(stats));
}

void CFakeWebSource::SetTop(std::vector<web::CWebTopRow> rows) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_top = std::move(rows);
}

void CFakeWebSource::SetMetrics(web::CWebMetrics metrics) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_metrics = std::move(metrics);
}

std::string CFakeWebSource::LastPlayerAsked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastPlayer;
}

web::ETopMetric CFakeWebSource::LastMetric() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eLastMetric;
}

web::ETopPeriod CFakeWebSource::LastPeriod() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eLastPeriod;
}

web::CWebStatus CFakeWebSource::LiveStatus() {
    return Status();
}

web::CWebAnswer<web::CWebPlayerStats> CFakeWebSource::PlayerStats(const std::string& strName) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strLastPlayer = strName;
    web::CWebAnswer<web::CWebPlayerStats> answer;
    if (!m_bStatsOn) return answer;
    answer.m_eLookup = web::EWebLookup::NotFound;
    for (const web::CWebPlayerStats& stats : m_players) {
        if (stats.m_strName == strName) {
            answer.m_eLookup = web::EWebLookup::Found;
            answer.m_value = stats;
        }
    }
    return answer;
}

web::CWebAnswer<web::CWebTopList> CFakeWebSource::TopList(web::ETopMetric eMetric,
                                                           web::ETopPeriod ePeriod, int nRows) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_eLastMetric = eMetric;
    m_eLastPeriod = ePeriod;
    web::CWebAnswer<web::CWebTopList> answer;
    if (!m_bStatsOn) return answer;
    answer.m_eLookup = web::EWebLookup::Found;
    answer.m_value.m_eMetric = eMetric;
    answer.m_value.m_ePeriod = ePeriod;
    for (size_t i = 0; i < m_top.size() && static_cast<int>(i) < nRows; ++i)
        answer.m_value.m_rows.push_back(m_top[i]);
    return answer;
}

web::CWebMetrics CFakeWebSource::Metrics() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_metrics;
}

web::CWebStatus BusyStatus(int nPerTeam, int nEvents) {
    web::CWebStatus status;
    status.m_strServerName = "[FR] Test Server \x80";
    status.m_strMap = "Battle of Britain";
    status.m_strPhase = "playing";
    status.m_nTimeLeft = 1200;
    status.m_nMaxPlayers = 64;
    const char* kTeams[2] = {"Axis", "Allies"};
    for (int t = 0; t < 2; ++t) {
        status.m_teams[t].m_strName = kTeams[t];
        status.m_teams[t].m_nTickets = 250 - 10 * t;
        for (int i = 1; i <= nPerTeam; ++i) {
            std::string strName = std::string(kTeams[t]) + " " + std::to_string(i);
            if (t == 0 && i == 1) strName = "<script>";
            if (t == 1 && i == 1) strName = "Ren\xE9 \"Fox\" & 'Co'";
            if (t == 1 && i == 2) strName = "[LONGCLANTAG]NoSpacesInThisName";
            status.m_teams[t].m_players.push_back({strName, 40 - i, i * 2 % 17, i % 5, 30 + i});
        }
    }
    for (int i = 1; i <= nEvents; ++i)
        status.m_events.push_back("\x03" "4Axis " + std::to_string(i) + "\x0F killed Allies " +
                                  std::to_string(i));
    status.m_game = {true, ""};
    status.m_irc = {true, ""};
    return status;
}

}  // namespace testsupport
