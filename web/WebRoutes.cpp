#include "web/WebRoutes.h"

#include <memory>
#include <optional>

#include "web/MetricsText.h"
#include "web/ScoreboardPage.h"
#include "web/StatusFeed.h"
#include "web/WebJson.h"
#include "web/WebPages.h"
#include "web/WebSource.h"
#include "web/WebText.h"

namespace web {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json";
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr int kTopRows = 10;

void SetHtml(httplib::Response& res, const std::string& strBody, int nStatus = 200) {
    res.status = nStatus;
    res.set_header("Content-Security-Policy", kPagePolicy);
    res.set_content(strBody, kHtml);
}

void SetJson(httplib::Response& res, const std::string& strBody, int nStatus = 200) {
    res.status = nStatus;
    res.set_content(strBody, kJson);
}

std::string Param(const httplib::Request& req, const char* pszName, const char* pszDefault) {
    return req.has_param(pszName) ? req.get_param_value(pszName) : std::string(pszDefault);
}

// The metric and period of /top and /api/top; nullopt when a word is unknown.
std::optional<std::pair<ETopMetric, ETopPeriod>> TopQuery(const httplib::Request& req) {
    auto eMetric = ParseTopMetric(Param(req, "metric", "kills"));
    auto ePeriod = ParseTopPeriod(Param(req, "period", "all"));
    if (!eMetric || !ePeriod) return std::nullopt;
    return std::make_pair(*eMetric, *ePeriod);
}

constexpr const char* kTopWords =
    "metric is one of kills, kd, flags, tk; period one of today, week, all";

std::string SseMessage(const std::string& strJson) {
    return "event: status\ndata: " + strJson + "\n\n";
}

}  // namespace

CWebRoutes::CWebRoutes(IWebSource& source, CStatusFeed& feed, const CWebLimits& limits)
    : m_source(source), m_feed(feed), m_limits(limits), m_strScoreboard(ScoreboardPage()) {}

void CWebRoutes::Install(httplib::Server& server) {
    auto bind = [this](void (CWebRoutes::*pHandler)(const httplib::Request&, httplib::Response&)) {
        return [this, pHandler](const httplib::Request& req, httplib::Response& res) {
            (this->*pHandler)(req, res);
        };
    };
    server.Get("/", bind(&CWebRoutes::Scoreboard));
    server.Get("/events", bind(&CWebRoutes::Events));
    server.Get("/api/status", bind(&CWebRoutes::ApiStatus));
    server.Get("/api/players/(.+)", bind(&CWebRoutes::ApiPlayer));
    server.Get("/api/top", bind(&CWebRoutes::ApiTop));
    server.Get("/players/(.+)", bind(&CWebRoutes::PlayerHtml));
    server.Get("/top", bind(&CWebRoutes::TopHtml));
    server.Get("/metrics", bind(&CWebRoutes::Metrics));
    server.Get("/healthz", bind(&CWebRoutes::Health));

    server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                {"X-Frame-Options", "DENY"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Cache-Control", "no-store"},
                                {"Accept-Ranges", "none"}});
    // An answer without a body of its own (the library's 404, 400...) says
    // in a line what went wrong.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            res.set_content(res.status == 404 ? "Nothing here.\n" : "That did not work.\n",
                            kText);
            return httplib::Server::HandlerResponse::Handled;
        }));
    // Whatever a handler threw, the client learns no more than this.
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content("The server could not answer that.\n", kText);
        });
}

void CWebRoutes::Scoreboard(const httplib::Request&, httplib::Response& res) {
    SetHtml(res, m_strScoreboard);
}

void CWebRoutes::Events(const httplib::Request&, httplib::Response& res) {
    if (!m_feed.TryAddStream(m_limits.m_nEventClients)) {
        res.status = 503;
        res.set_header("Retry-After", "10");
        res.set_content("Too many live pages are open; try again soon.\n", kText);
        return;
    }
    struct CStream {
        uint64_t m_nSeen = 0;
        bool m_bBegun = false;
    };
    auto pStream = std::make_shared<CStream>();
    res.set_header("X-Accel-Buffering", "no");
    // Exactly this type: the library compresses any other text/ type.
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, pStream](size_t, httplib::DataSink& sink) {
            std::string strMessage;
            if (!pStream->m_bBegun) {
                // The status as it is now; anything published after it follows.
                pStream->m_bBegun = true;
                pStream->m_nSeen = m_feed.Seq();
                strMessage = "retry: 3000\n\n" + SseMessage(StatusJson(m_source.LiveStatus()));
            } else {
                CStatusFeed::CNext next = m_feed.WaitNewer(pStream->m_nSeen, m_limits.m_nHeartbeatMs);
                if (next.m_bClosed) {
                    sink.done();
                    return true;
                }
                if (next.m_pJson) {
                    pStream->m_nSeen = next.m_nSeq;
                    strMessage = SseMessage(*next.m_pJson);
                } else {
                    strMessage = ": still here\n\n";  // finds readers that went away
                }
            }
            return sink.write(strMessage.data(), strMessage.size());
        },
        [this](bool) { m_feed.RemoveStream(); });
}

void CWebRoutes::ApiStatus(const httplib::Request&, httplib::Response& res) {
    SetJson(res, StatusJson(m_source.LiveStatus()));
}

void CWebRoutes::ApiPlayer(const httplib::Request& req, httplib::Response& res) {
    auto answer = m_source.PlayerStats(NameFromWeb(req.matches[1].str()));
    switch (answer.m_eLookup) {
        case EWebLookup::Found: SetJson(res, PlayerStatsJson(answer.m_value)); break;
        case EWebLookup::NotFound: SetJson(res, ErrorJson("no player of that name"), 404); break;
        case EWebLookup::StatsOff: SetJson(res, ErrorJson("statistics are off"), 503); break;
    }
}

void CWebRoutes::ApiTop(const httplib::Request& req, httplib::Response& res) {
    auto query = TopQuery(req);
    if (!query) return SetJson(res, ErrorJson(kTopWords), 400);
    auto answer = m_source.TopList(query->first, query->second, kTopRows);
    if (answer.m_eLookup == EWebLookup::StatsOff)
        return SetJson(res, ErrorJson("statistics are off"), 503);
    answer.m_value.m_eMetric = query->first;
    answer.m_value.m_ePeriod = query->second;
    SetJson(res, TopListJson(answer.m_value));
}

void CWebRoutes::PlayerHtml(const httplib::Request& req, httplib::Response& res) {
    auto answer = m_source.PlayerStats(NameFromWeb(req.matches[1].str()));
    switch (answer.m_eLookup) {
        case EWebLookup::Found: SetHtml(res, PlayerPage(answer.m_value)); break;
        case EWebLookup::NotFound:
            SetHtml(res,
                    MessagePage("Unknown player", "No player of that name has been seen here."),
                    404);
            break;
        case EWebLookup::StatsOff:
            SetHtml(res,
                    MessagePage("Statistics are off", "This bot keeps no statistics."), 503);
            break;
    }
}

void CWebRoutes::TopHtml(const httplib::Request& req, httplib::Response& res) {
    auto query = TopQuery(req);
    if (!query) return SetHtml(res, MessagePage("Top players", kTopWords), 400);
    auto answer = m_source.TopList(query->first, query->second, kTopRows);
    if (answer.m_eLookup == EWebLookup::StatsOff)
        return SetHtml(res, MessagePage("Statistics are off", "This bot keeps no statistics."),
                       503);
    answer.m_value.m_eMetric = query->first;
    answer.m_value.m_ePeriod = query->second;
    SetHtml(res, TopPage(answer.m_value));
}

void CWebRoutes::Metrics(const httplib::Request&, httplib::Response& res) {
    res.set_content(MetricsText(m_source.Metrics()), "text/plain; version=0.0.4; charset=utf-8");
}

void CWebRoutes::Health(const httplib::Request&, httplib::Response& res) {
    CWebStatus status = m_source.LiveStatus();
    std::string strBody;
    if (!status.m_game.m_bUp)
        strBody += "game: " + WebText(status.m_game.m_strReason.empty() ? "down"
                                                                         : status.m_game.m_strReason) + "\n";
    if (!status.m_irc.m_bUp)
        strBody += "irc: " + WebText(status.m_irc.m_strReason.empty() ? "down"
                                                                      : status.m_irc.m_strReason) + "\n";
    res.status = strBody.empty() ? 200 : 503;
    res.set_content(strBody.empty() ? "ok\n" : strBody, kText);
}

}  // namespace web
