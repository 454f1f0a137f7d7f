// /metrics in the Prometheus text format: every family announced once with
// HELP and TYPE before its samples, the values, and label values escaped.
// (promtool checks the whole text against a server in test_web_promtool.)
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "web/MetricsText.h"

namespace {

web::CWebMetrics Sample() {
    web::CWebMetrics m;
    m.m_bGameUp = true;
    m.m_nGamePlayers = 17;
    m.m_gamePolls = {{"ok", 1000}, {"timeout", 12}, {"malformed", 1}};
    m.m_bIrcConnected = false;
    m.m_nIrcLinesSent = 345;
    m.m_nIrcLinesSkipped = 2;
    m.m_nIrcQueueLines = 4;
    m.m_nIrcReconnects = 3;
    m.m_nGameReconnects = 1;
    m.m_nRounds = 9;
    m.m_fProcessStartTime = 1735689600.25;
    return m;
}

std::vector<std::string> Lines(const std::string& strText) {
    std::vector<std::string> lines;
    std::istringstream in(strText);
    for (std::string strLine; std::getline(in, strLine);) lines.push_back(strLine);
    return lines;
}

TEST(MetricsTextTest, EveryFamilyHasHelpAndTypeBeforeItsSamples) {
    std::string strText = web::MetricsText(Sample());
    ASSERT_FALSE(strText.empty());
    EXPECT_EQ(strText.back(), '\n');
    const std::regex help(R"(# HELP ([a-z_]+) \S.*)");
    const std::regex type(R"(# TYPE ([a-z_]+) (gauge|counter))");
    const std::regex sample(R"(([a-z_]+)(\{[a-z]+="(?:[^"\\]|\\.)*"\})? -?[0-9]+(\.[0-9]+)?)");
    std::map<std::string, std::string> types;
    std::string strFamily;
    for (const std::string& strLine : Lines(strText)) {
        SCOPED_TRACE(strLine);
        std::smatch m;
        if (std::regex_match(strLine, m, help)) {
            EXPECT_EQ(types.count(m[1]), 0u) << "announced twice";
            strFamily = m[1];
        } else if (std::regex_match(strLine, m, type)) {
            EXPECT_EQ(m[1], strFamily);
            types[m[1]] = m[2];
        } else {
            ASSERT_TRUE(std::regex_match(strLine, m, sample));
            EXPECT_EQ(m[1], strFamily);
            EXPECT_EQ(types.count(m[1]), 1u);
        }
    }
    const std::map<std::string, std::string> expected = {
        {"fragrelay_game_up", "gauge"},
        {"fragrelay_game_players", "gauge"},
        {"fragrelay_game_polls_total", "counter"},
        {"fragrelay_irc_connected", "gauge"},
        {"fragrelay_irc_lines_sent_total", "counter"},
        {"fragrelay_irc_lines_skipped_total", "counter"},
        {"fragrelay_irc_queue_lines", "gauge"},
        {"fragrelay_reconnects_total", "counter"},
        {"fragrelay_rounds_total", "counter"},
        {"process_start_time_seconds", "gauge"},
    };
    EXPECT_EQ(types, expected);
}

TEST(MetricsTextTest, SamplesCarryTheFigures) {
    std::string strText = web::MetricsText(Sample());
    for (const char* pszLine : {
             "fragrelay_game_up 1\n",
             "fragrelay_game_players 17\n",
             "fragrelay_game_polls_total{result=\"ok\"} 1000\n",
             "fragrelay_game_polls_total{result=\"timeout\"} 12\n",
             "fragrelay_irc_connected 0\n",
             "fragrelay_irc_lines_sent_total 345\n",
             "fragrelay_irc_lines_skipped_total 2\n",
             "fragrelay_irc_queue_lines 4\n",
             "fragrelay_reconnects_total{side=\"irc\"} 3\n",
             "fragrelay_reconnects_total{side=\"game\"} 1\n",
             "fragrelay_rounds_total 9\n",
             "process_start_time_seconds 1735689600.250\n",
         }) {
        EXPECT_NE(strText.find(pszLine), std::string::npos) << pszLine;
    }
}

TEST(MetricsTextTest, NoPollsYetStillAnnouncesTheFamily) {
    std::string strText = web::MetricsText(web::CWebMetrics{});
    EXPECT_NE(strText.find("# TYPE fragrelay_game_polls_total counter\n"), std::string::npos);
    EXPECT_EQ(strText.find("fragrelay_game_polls_total{"), std::string::npos);
}

TEST(MetricsTextTest, EscapesLabelValues) {
    struct CRow {
        const char* m_pszName;
        std::string m_strIn;
        std::string m_strOut;
    };
    const std::vector<CRow> rows = {
        {"Plain", "ok", "ok"},
        {"Quote", "say \"hi\"", "say \\\"hi\\\""},
        {"Backslash", "a\\b", "a\\\\b"},
        {"LineFeedIsAControlByte", "a\nb", "a\xEF\xBF\xBD" "b"},
        {"Windows1252", "caf\xE9", "caf\xC3\xA9"},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(web::EscapeLabelValue(row.m_strIn), row.m_strOut);
    }
    web::CWebMetrics m;
    m.m_gamePolls = {{"bad \"reply\"", 1}};
    EXPECT_NE(web::MetricsText(m).find("{result=\"bad \\\"reply\\\"\"} 1\n"), std::string::npos);
}

}  // namespace
