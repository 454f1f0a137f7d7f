#include "web/WebJson.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "web/WebText.h"

namespace web {

namespace {

using Json = nlohmann::json;

std::string Dump(const Json& json) {
    // Replace, never throw: the text was converted already, but a reader of
    // the API must get JSON whatever happened.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json SideJson(const CWebSide& side) {
    return Json{{"up", side.m_bUp}, {"reason", WebText(side.m_strReason)}};
}

Json TeamJson(const CWebTeam& team) {
    Json players = Json::array();
    for (const CWebPlayer& player : team.m_players) {
        players.push_back(Json{{"name", WebText(player.m_strName)},
                               {"score", player.m_nScore},
                               {"kills", player.m_nKills},
                               {"deaths", player.m_nDeaths},
                               {"ping", player.m_nPing}});
    }
    return Json{{"name", WebText(team.m_strName)},
                {"tickets", team.m_nTickets},
                {"players", std::move(players)}};
}

Json MetricValue(ETopMetric eMetric, double fValue) {
    if (eMetric == ETopMetric::KillsPerDeath) return RoundedKillsPerDeath(fValue);
    return static_cast<int64_t>(std::llround(fValue));
}

}  // namespace

double RoundedKillsPerDeath(double fValue) {
    if (!std::isfinite(fValue)) return 0;
    return std::round(fValue * 100) / 100;
}

std::string StatusJson(const CWebStatus& status) {
    Json events = Json::array();
    size_t nFirst =
        status.m_events.size() > kWebEventLines ? status.m_events.size() - kWebEventLines : 0;
    for (size_t i = nFirst; i < status.m_events.size(); ++i)
        events.push_back(WebTextFromIrc(status.m_events[i]));
    Json json{{"server", WebText(status.m_strServerName)},
              {"map", WebText(status.m_strMap)},
              {"phase", WebText(status.m_strPhase)},
              {"timeLeft", status.m_nTimeLeft >= 0 ? Json(status.m_nTimeLeft) : Json()},
              {"maxPlayers", status.m_nMaxPlayers},
              {"teams", Json::array({TeamJson(status.m_teams[0]), TeamJson(status.m_teams[1])})},
              {"events", std::move(events)},
              {"game", SideJson(status.m_game)},
              {"irc", SideJson(status.m_irc)}};
    return Dump(json);
}

std::string PlayerStatsJson(const CWebPlayerStats& stats) {
    Json names = Json::array();
    for (const std::string& strName : stats.m_otherNames) names.push_back(WebText(strName));
    Json json{{"name", WebText(stats.m_strName)},
              {"kills", stats.m_nKills},
              {"deaths", stats.m_nDeaths},
              {"kd", RoundedKillsPerDeath(stats.m_fKillsPerDeath)},
              {"teamkills", stats.m_nTeamkills},
              {"flags", stats.m_nFlags},
              {"rounds", stats.m_nRounds},
              {"lastSeen", stats.m_nLastSeen > 0 ? Json(stats.m_nLastSeen) : Json()},
              {"lastSeenUtc", UtcText(stats.m_nLastSeen)},
              {"otherNames", std::move(names)}};
    return Dump(json);
}

std::string TopListJson(const CWebTopList& top) {
    Json rows = Json::array();
    int nRank = 0;
    for (const CWebTopRow& row : top.m_rows) {
        rows.push_back(Json{{"rank", ++nRank},
                            {"name", WebText(row.m_strName)},
                            {"value", MetricValue(top.m_eMetric, row.m_fValue)},
                            {"rounds", row.m_nRounds}});
    }
    return Dump(Json{{"metric", std::string(TopMetricWord(top.m_eMetric))},
                     {"period", std::string(TopPeriodWord(top.m_ePeriod))},
                     {"rows", std::move(rows)}});
}

std::string ErrorJson(std::string_view strMessage) {
    return Dump(Json{{"error", std::string(strMessage)}});
}

}  // namespace web
