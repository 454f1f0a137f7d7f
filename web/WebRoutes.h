#pragma once
// What each address of the web server answers. Every route is read-only:
// it asks the source and shows the answer. Handlers run on the server's
// worker threads, several at once.
#include <string>

#include "web/HttpLib.h"
#include "web/WebLimits.h"

namespace web {

class CStatusFeed;
class IWebSource;

class CWebRoutes {
public:
    CWebRoutes(IWebSource& source, CStatusFeed& feed, const CWebLimits& limits);

    // Adds the routes, the error and exception answers and the headers
    // every answer carries to a server that has not started.
    void Install(httplib::Server& server);

private:
    void Scoreboard(const httplib::Request& req, httplib::Response& res);
    void Events(const httplib::Request& req, httplib::Response& res);
    void ApiStatus(const httplib::Request& req, httplib::Response& res);
    void ApiPlayer(const httplib::Request& req, httplib::Response& res);
    void ApiTop(const httplib::Request& req, httplib::Response& res);
    void PlayerHtml(const httplib::Request& req, httplib::Response& res);
    void TopHtml(const httplib::Request& req, httplib::Response& res);
    void Metrics(const httplib::Request& req, httplib::Response& res);
    void Health(const httplib::Request& req, httplib::Response& res);

    IWebSource& m_source;
    CStatusFeed& m_feed;
    const CWebLimits m_limits;
    const std::string m_strScoreboard;  // made once: it never changes
};

}  // namespace web
