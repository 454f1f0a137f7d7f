#include "web/WebPages.h"

#include <cmath>
#include <cstdio>

#include "web/WebJson.h"
#include "web/WebText.h"

namespace web {

namespace {

constexpr std::string_view kStyle = R"CSS(
:root{color-scheme:dark;--bg:#11161b;--card:#1a2128;--line:#2b343d;--fg:#e7eaed;--muted:#9aa6b1;
--accent:#f0b429;--t0:#e5534b;--t1:#539bf5;--ok:#46b95a;--bad:#e5534b}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--fg);font:15px/1.45 system-ui,-apple-system,"Segoe UI",
Roboto,"DejaVu Sans",sans-serif}
a{color:var(--accent);text-decoration:none}a:hover{text-decoration:underline}
.wrap{max-width:1100px;margin:0 auto;padding:12px}
h1{font-size:1.35em;margin:.2em 0;overflow-wrap:anywhere}
h2{font-size:1.05em;margin:0 0 .4em}
.card{background:var(--card);border:1px solid var(--line);border-radius:8px;padding:10px;
margin:10px 0;min-width:0}
table{width:100%;border-collapse:collapse;table-layout:fixed}
th,td{padding:4px 6px;border-bottom:1px solid var(--line);text-align:right;white-space:nowrap}
th{color:var(--muted);font-weight:600;font-size:.85em}
th.name,td.name{text-align:left;white-space:normal;overflow-wrap:anywhere;width:auto}
td.name a{color:var(--fg)}
.num{width:3.6em}.wide{width:5em}.rank{width:2.4em}
nav{display:flex;flex-wrap:wrap;gap:6px 14px;margin:6px 0}
nav .on{color:var(--fg);font-weight:700}
.muted{color:var(--muted)}
footer{color:var(--muted);font-size:.85em;margin:16px 0 8px;display:flex;flex-wrap:wrap;gap:4px 14px}
)CSS";

std::string Head(std::string_view strTitleUtf8) {
    std::string out =
        "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<link rel=\"icon\" href=\"data:,\"><title>";
    out += HtmlEscape(strTitleUtf8);
    out += "</title><style>";
    out += kStyle;
    out += "</style></head><body><div class=\"wrap\">\n";
    return out;
}

std::string Foot() {
    return "<footer><a href=\"/\">Live scoreboard</a><a href=\"/top\">Top players</a>"
           "<a href=\"/metrics\">Metrics</a></footer></div></body></html>\n";
}

std::string Number(double fValue, bool bDecimals) {
    char buf[64];
    if (bDecimals)
        std::snprintf(buf, sizeof buf, "%.2f", RoundedKillsPerDeath(fValue));
    else
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(std::llround(fValue)));
    return buf;
}

std::string PlayerLink(const std::string& strCp1252) {
    std::string strName = WebText(strCp1252);
    return "<a href=\"/players/" + PercentEncodeSegment(strName) + "\">" + HtmlEscape(strName) +
           "</a>";
}

std::string_view MetricTitle(ETopMetric eMetric) {
    switch (eMetric) {
        case ETopMetric::Kills: return "Kills";
        case ETopMetric::KillsPerDeath: return "Kills per death";
        case ETopMetric::Flags: return "Flags";
        case ETopMetric::Teamkills: return "Teamkills";
    }
    return {};
}

std::string_view PeriodTitle(ETopPeriod ePeriod) {
    switch (ePeriod) {
        case ETopPeriod::Today: return "today";
        case ETopPeriod::Week: return "this week";
        case ETopPeriod::All: return "all time";
    }
    return {};
}

std::string TopLink(ETopMetric eMetric, ETopPeriod ePeriod, std::string_view strText, bool bOn) {
    std::string out = "<a href=\"/top?metric=";
    out += TopMetricWord(eMetric);
    out += "&amp;period=";
    out += TopPeriodWord(ePeriod);
    out += bOn ? "\" class=\"on\">" : "\">";
    out += HtmlEscape(strText);
    out += "</a>";
    return out;
}

}  // namespace

std::string_view PageStyle() {
    return kStyle;
}

std::string PlayerPage(const CWebPlayerStats& stats) {
    std::string strName = WebText(stats.m_strName);
    std::string out = Head(strName + " \xE2\x80\x93 player");
    out += "<h1>" + HtmlEscape(strName) + "</h1>\n<div class=\"card\"><table>";
    auto row = [&out](std::string_view strLabel, const std::string& strValue) {
        out += "<tr><th class=\"name\">";
        out += strLabel;
        out += "</th><td>" + strValue + "</td></tr>";
    };
    row("Kills", Number(static_cast<double>(stats.m_nKills), false));
    row("Deaths", Number(static_cast<double>(stats.m_nDeaths), false));
    row("Kills per death", Number(stats.m_fKillsPerDeath, true));
    row("Teamkills", Number(static_cast<double>(stats.m_nTeamkills), false));
    row("Flags", Number(static_cast<double>(stats.m_nFlags), false));
    row("Rounds", Number(static_cast<double>(stats.m_nRounds), false));
    std::string strSeen = UtcText(stats.m_nLastSeen);
    row("Last seen", strSeen.empty() ? "never" : HtmlEscape(strSeen.replace(10, 1, " ")));
    out += "</table></div>\n";
    if (!stats.m_otherNames.empty()) {
        out += "<div class=\"card\"><h2>Also seen as</h2><p>";
        for (size_t i = 0; i < stats.m_otherNames.size(); ++i) {
            if (i > 0) out += ", ";
            out += PlayerLink(stats.m_otherNames[i]);
        }
        out += "</p></div>\n";
    }
    return out + Foot();
}

std::string TopPage(const CWebTopList& top) {
    std::string strTitle = std::string(MetricTitle(top.m_eMetric)) + ", " +
                           std::string(PeriodTitle(top.m_ePeriod));
    std::string out = Head("Top players \xE2\x80\x93 " + strTitle);
    out += "<h1>Top players: " + HtmlEscape(strTitle) + "</h1>\n<nav>";
    for (ETopMetric e : {ETopMetric::Kills, ETopMetric::KillsPerDeath, ETopMetric::Flags,
                         ETopMetric::Teamkills})
        out += TopLink(e, top.m_ePeriod, MetricTitle(e), e == top.m_eMetric);
    out += "</nav><nav>";
    for (ETopPeriod e : {ETopPeriod::Today, ETopPeriod::Week, ETopPeriod::All})
        out += TopLink(top.m_eMetric, e, PeriodTitle(e), e == top.m_ePeriod);
    out += "</nav>\n<div class=\"card\">";
    if (top.m_rows.empty()) {
        out += "<p class=\"muted\">No rounds in this period yet.</p>";
    } else {
        out += "<table><thead><tr><th class=\"rank\">#</th><th class=\"name\">Player</th>"
               "<th class=\"wide\">";
        out += top.m_eMetric == ETopMetric::KillsPerDeath ? "K/D" : MetricTitle(top.m_eMetric);
        out += "</th><th class=\"wide\">Rounds</th></tr></thead><tbody>";
        int nRank = 0;
        for (const CWebTopRow& row : top.m_rows) {
            out += "<tr><td class=\"rank\">" + std::to_string(++nRank) + "</td><td class=\"name\">";
            out += PlayerLink(row.m_strName) + "</td><td>";
            out += Number(row.m_fValue, top.m_eMetric == ETopMetric::KillsPerDeath);
            out += "</td><td>" + std::to_string(row.m_nRounds) + "</td></tr>";
        }
        out += "</tbody></table>";
    }
    out += "</div>\n";
    return out + Foot();
}

std::string MessagePage(std::string_view strTitle, std::string_view strText) {
    std::string out = Head(strTitle);
    out += "<h1>" + HtmlEscape(strTitle) + "</h1><p>" + HtmlEscape(strText) + "</p>\n";
    return out + Foot();
}

}  // namespace web
