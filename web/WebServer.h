#pragma once
// The read-only web page, its JSON and the metrics, served on one address
// while the bot runs. It owns its threads (one accepting, a fixed number of
// workers, all named "web"); nothing a client sends changes anything.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "web/StatusFeed.h"
#include "web/WebAddress.h"
#include "web/WebLimits.h"
#include "web/WebModel.h"

namespace web {

class CHttpServer;
class CWebRoutes;
class IWebSource;

class CWebServer {
public:
    // source must outlive the server.
    explicit CWebServer(IWebSource& source, const CWebLimits& limits = {});
    ~CWebServer();  // Stop()

    CWebServer(const CWebServer&) = delete;
    CWebServer& operator=(const CWebServer&) = delete;

    // Listens on the address and serves until Stop(); a server that runs
    // stops first. False, with the reason in *pstrError, when the address is
    // off or nothing can listen there (the port taken, the address not this
    // machine's). Start and Stop are called from one thread (the core's).
    bool Start(const CWebAddress& address, std::string* pstrError = nullptr);
    // The same on 127.0.0.1 and a port the system picks (Port() says which).
    bool StartOnFreePort(std::string* pstrError = nullptr);
    // Closes every connection and joins every thread; returns within about
    // the stop slice of CWebLimits plus what a source call in flight takes.
    void Stop();

    bool IsRunning() const { return m_pHttp != nullptr; }
    // The port listened on; 0 when stopped.
    uint16_t Port() const { return m_nPort; }

    // The live status changed, or an event happened (in status.m_events):
    // the live pages get it at once. Any thread; never waits on a client.
    void Publish(CWebStatus status);

private:
    bool Listen(const std::string& strHost, int nPort, std::string* pstrError);

    const CWebLimits m_limits;
    CStatusFeed m_feed;
    std::unique_ptr<CWebRoutes> m_pRoutes;
    std::unique_ptr<CHttpServer> m_pHttp;
    std::thread m_listenThread;
    uint16_t m_nPort = 0;
};

}  // namespace web
