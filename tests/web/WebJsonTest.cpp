// The JSON of the API and of the live page: its shape, names converted and
// escaped so that any name gives valid JSON, events cut to the last twenty
// and freed of IRC formatting.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "web/WebJson.h"

namespace {

using Json = nlohmann::json;

web::CWebStatus SampleStatus() {
    web::CWebStatus status;
    status.m_strServerName = "[X] Clan \x80 Server";
    status.m_strMap = "El Alamein";
    status.m_strPhase = "playing";
    status.m_nTimeLeft = 754;
    status.m_nMaxPlayers = 64;
    status.m_teams[0].m_strName = "Axis";
    status.m_teams[0].m_nTickets = 120;
    status.m_teams[0].m_players = {{"<script>", 12, 5, 2, 48}, {"Ren\xE9 \"The\" \\Fox", 3, 1, 4, 150}};
    status.m_teams[1].m_strName = "Allies";
    status.m_teams[1].m_nTickets = 87;
    status.m_teams[1].m_players = {{std::string("ctl\x01\x7F", 5), 0, 0, 0, 999}};
    status.m_game = {true, ""};
    status.m_irc = {false, "connecting to irc.example.net"};
    return status;
}

TEST(WebJsonTest, StatusHasTheScoreboardsShape) {
    Json json = Json::parse(web::StatusJson(SampleStatus()));
    EXPECT_EQ(json["server"], "[X] Clan \xE2\x82\xAC Server");
    EXPECT_EQ(json["map"], "El Alamein");
    EXPECT_EQ(json["phase"], "playing");
    EXPECT_EQ(json["timeLeft"], 754);
    EXPECT_EQ(json["maxPlayers"], 64);
    ASSERT_EQ(json["teams"].size(), 2u);
    EXPECT_EQ(json["teams"][0]["name"], "Axis");
    EXPECT_EQ(json["teams"][0]["tickets"], 120);
    EXPECT_EQ(json["teams"][1]["tickets"], 87);
    const Json& player = json["teams"][0]["players"][0];
    EXPECT_EQ(player["name"], "<script>");
    EXPECT_EQ(player["score"], 12);
    EXPECT_EQ(player["kills"], 5);
    EXPECT_EQ(player["deaths"], 2);
    EXPECT_EQ(player["ping"], 48);
    EXPECT_EQ(json["teams"][0]["players"][1]["name"], "Ren\xC3\xA9 \"The\" \\Fox");
    EXPECT_EQ(json["teams"][1]["players"][0]["name"], "ctl\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(json["game"]["up"], true);
    EXPECT_EQ(json["irc"]["up"], false);
    EXPECT_EQ(json["irc"]["reason"], "connecting to irc.example.net");
    EXPECT_TRUE(json["events"].is_array());
}

TEST(WebJsonTest, StatusEscapesWhatJsonMust) {
    std::string strText = web::StatusJson(SampleStatus());
    EXPECT_NE(strText.find("\"Ren\xC3\xA9 \\\"The\\\" \\\\Fox\""), std::string::npos) << strText;
    EXPECT_EQ(strText.find('\n'), std::string::npos);  // one line: one event-stream message
    EXPECT_EQ(strText.find('\x01'), std::string::npos);
}

TEST(WebJsonTest, UnknownTimeLeftIsNull) {
    web::CWebStatus status;
    EXPECT_TRUE(Json::parse(web::StatusJson(status))["timeLeft"].is_null());
}

TEST(WebJsonTest, EventsAreTheLastTwentyWithoutIrcFormatting) {
    web::CWebStatus status;
    for (int i = 1; i <= 25; ++i)
        status.m_events.push_back("\x03" "4event\x0F " + std::to_string(i));
    Json events = Json::parse(web::StatusJson(status))["events"];
    ASSERT_EQ(events.size(), 20u);
    EXPECT_EQ(events.front(), "event 6");
    EXPECT_EQ(events.back(), "event 25");
}

TEST(WebJsonTest, PlayerStats) {
    web::CWebPlayerStats stats;
    stats.m_strName = "Ren\xE9";
    stats.m_nKills = 1234;
    stats.m_nDeaths = 456;
    stats.m_fKillsPerDeath = 1234.0 / 456.0;
    stats.m_nTeamkills = 7;
    stats.m_nFlags = 31;
    stats.m_nRounds = 88;
    stats.m_nLastSeen = 1735689600;
    stats.m_otherNames = {"Rene", "<b>R</b>"};
    Json json = Json::parse(web::PlayerStatsJson(stats));
    EXPECT_EQ(json["name"], "Ren\xC3\xA9");
    EXPECT_EQ(json["kills"], 1234);
    EXPECT_EQ(json["deaths"], 456);
    EXPECT_DOUBLE_EQ(json["kd"].get<double>(), 2.71);
    EXPECT_EQ(json["teamkills"], 7);
    EXPECT_EQ(json["flags"], 31);
    EXPECT_EQ(json["rounds"], 88);
    EXPECT_EQ(json["lastSeen"], 1735689600);
    EXPECT_EQ(json["lastSeenUtc"], "2025-01-01T00:00:00Z");
    EXPECT_EQ(json["otherNames"], Json::array({"Rene", "<b>R</b>"}));

    stats.m_nLastSeen = 0;
    EXPECT_TRUE(Json::parse(web::PlayerStatsJson(stats))["lastSeen"].is_null());
}

TEST(WebJsonTest, TopListRanksAndValues) {
    web::CWebTopList top;
    top.m_eMetric = web::ETopMetric::KillsPerDeath;
    top.m_ePeriod = web::ETopPeriod::Week;
    top.m_rows = {{"a", 3.14159, 10}, {"b", 2.005, 4}, {"c", 1, 1}};
    Json json = Json::parse(web::TopListJson(top));
    EXPECT_EQ(json["metric"], "kd");
    EXPECT_EQ(json["period"], "week");
    ASSERT_EQ(json["rows"].size(), 3u);
    EXPECT_EQ(json["rows"][0]["rank"], 1);
    EXPECT_EQ(json["rows"][0]["name"], "a");
    EXPECT_DOUBLE_EQ(json["rows"][0]["value"].get<double>(), 3.14);
    EXPECT_EQ(json["rows"][2]["rank"], 3);
    EXPECT_EQ(json["rows"][2]["rounds"], 1);

    top.m_eMetric = web::ETopMetric::Teamkills;
    json = Json::parse(web::TopListJson(top));
    EXPECT_EQ(json["metric"], "tk");
    EXPECT_TRUE(json["rows"][0]["value"].is_number_integer());
    EXPECT_EQ(json["rows"][0]["value"], 3);
}

TEST(WebJsonTest, WordsOfMetricsAndPeriodsGoBothWays) {
    for (auto e : {web::ETopMetric::Kills, web::ETopMetric::KillsPerDeath, web::ETopMetric::Flags,
                   web::ETopMetric::Teamkills})
        EXPECT_EQ(web::ParseTopMetric(web::TopMetricWord(e)), e);
    for (auto e : {web::ETopPeriod::Today, web::ETopPeriod::Week, web::ETopPeriod::All})
        EXPECT_EQ(web::ParseTopPeriod(web::TopPeriodWord(e)), e);
    EXPECT_FALSE(web::ParseTopMetric("KILLS"));
    EXPECT_FALSE(web::ParseTopMetric(""));
    EXPECT_FALSE(web::ParseTopPeriod("month"));
}

TEST(WebJsonTest, ErrorsAreJsonToo) {
    EXPECT_EQ(Json::parse(web::ErrorJson("no \"such\" player"))["error"], "no \"such\" player");
}

}  // namespace
