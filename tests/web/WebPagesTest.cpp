// The pages made on the server: every name shown as text, never as markup,
// links that lead back to the same player, and the live page's own script
// that puts names into the document as text only.
#include <gtest/gtest.h>

#include <string>

#include "web/ScoreboardPage.h"
#include "web/WebPages.h"

namespace {

size_t Count(const std::string& strText, const std::string& strPart) {
    size_t n = 0;
    for (size_t i = strText.find(strPart); i != std::string::npos;
         i = strText.find(strPart, i + 1))
        ++n;
    return n;
}

TEST(WebPagesTest, PlayerPageShowsNamesAsText) {
    web::CWebPlayerStats stats;
    stats.m_strName = "<script>alert('x')</script>";
    stats.m_nKills = 42;
    stats.m_nDeaths = 10;
    stats.m_fKillsPerDeath = 4.2;
    stats.m_nRounds = 3;
    stats.m_nLastSeen = 1735689600;
    stats.m_otherNames = {"Ren\xE9 & \"Co\"", "a/b"};
    std::string strPage = web::PlayerPage(stats);
    EXPECT_EQ(Count(strPage, "<script"), 0u);
    EXPECT_NE(strPage.find("<h1>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;</h1>"),
              std::string::npos);
    EXPECT_NE(strPage.find(">42<"), std::string::npos);
    EXPECT_NE(strPage.find(">4.20<"), std::string::npos);
    EXPECT_NE(strPage.find("2025-01-01 00:00:00Z"), std::string::npos);
    // Other names link to their own page, the link encoded, the text escaped.
    EXPECT_NE(strPage.find("<a href=\"/players/Ren%C3%A9%20%26%20%22Co%22\">"
                           "Ren\xC3\xA9 &amp; &quot;Co&quot;</a>"),
              std::string::npos);
    EXPECT_NE(strPage.find("href=\"/players/a%2Fb\""), std::string::npos);
}

TEST(WebPagesTest, PlayerNeverSeenSaysSo) {
    web::CWebPlayerStats stats;
    stats.m_strName = "x";
    EXPECT_NE(web::PlayerPage(stats).find(">never<"), std::string::npos);
}

TEST(WebPagesTest, TopPageListsRowsAndLinksEveryChoice) {
    web::CWebTopList top;
    top.m_eMetric = web::ETopMetric::Flags;
    top.m_ePeriod = web::ETopPeriod::Today;
    top.m_rows = {{"<img src=x onerror=alert(1)>", 9, 2}, {"B", 4, 1}};
    std::string strPage = web::TopPage(top);
    EXPECT_EQ(Count(strPage, "<img"), 0u);
    EXPECT_NE(strPage.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    EXPECT_LT(strPage.find("&lt;img"), strPage.find(">B</a>"));  // best first
    for (const char* pszLink :
         {"/top?metric=kills&amp;period=today", "/top?metric=kd&amp;period=today",
          "/top?metric=tk&amp;period=today", "/top?metric=flags&amp;period=week",
          "/top?metric=flags&amp;period=all"})
        EXPECT_NE(strPage.find(pszLink), std::string::npos) << pszLink;
    EXPECT_NE(strPage.find("class=\"on\">Flags<"), std::string::npos);
    EXPECT_NE(strPage.find("class=\"on\">today<"), std::string::npos);

    top.m_rows.clear();
    EXPECT_NE(web::TopPage(top).find("No rounds in this period yet."), std::string::npos);
}

TEST(WebPagesTest, MessagePageEscapes) {
    std::string strPage = web::MessagePage("<b>", "a & b");
    EXPECT_NE(strPage.find("<h1>&lt;b&gt;</h1><p>a &amp; b</p>"), std::string::npos);
}

TEST(WebPagesTest, LivePageUsesNoMarkupForData) {
    std::string strPage = web::ScoreboardPage();
    EXPECT_EQ(Count(strPage, "<script>"), 1u);
    EXPECT_NE(strPage.find("new EventSource('/events')"), std::string::npos);
    // Names and lines reach the document through textContent alone.
    EXPECT_EQ(strPage.find("innerHTML"), std::string::npos);
    EXPECT_EQ(strPage.find("insertAdjacentHTML"), std::string::npos);
    EXPECT_EQ(strPage.find("document.write"), std::string::npos);
    // Nothing from elsewhere.
    EXPECT_EQ(strPage.find("http://"), std::string::npos);
    EXPECT_EQ(strPage.find("https://"), std::string::npos);
}

}  // namespace
