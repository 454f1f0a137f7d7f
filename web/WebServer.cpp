#include "web/WebServer.h"

#include "web/HttpServer.h"
#include "web/WebRoutes.h"
#include "web/WorkerPool.h"

namespace web {

CWebServer::CWebServer(IWebSource& source, const CWebLimits& limits)
    : m_limits(limits),
      m_pRoutes(std::make_unique<CWebRoutes>(source, m_feed, limits)) {}

CWebServer::~CWebServer() {
    Stop();
}

bool CWebServer::Start(const CWebAddress& address, std::string* pstrError) {
    if (address.IsOff()) {
        if (pstrError) *pstrError = "no address to serve the page on";
        Stop();
        return false;
    }
    return Listen(address.m_strHost, address.m_nPort, pstrError);
}

bool CWebServer::StartOnFreePort(std::string* pstrError) {
    return Listen("127.0.0.1", 0, pstrError);
}

bool CWebServer::Listen(const std::string& strHost, int nPort, std::string* pstrError) {
    Stop();
    auto pHttp = std::make_unique<CHttpServer>(m_limits);
    m_pRoutes->Install(*pHttp);
    int nBound = pHttp->Bind(strHost, nPort);
    if (nBound == 0) {
        if (pstrError) {
            std::string strWhere = strHost.find(':') != std::string::npos
                                       ? "[" + strHost + "]:" + std::to_string(nPort)
                                       : strHost + ":" + std::to_string(nPort);
            *pstrError = "cannot listen on " + strWhere +
                         ": the port is taken, or the address is not this machine's";
        }
        return false;
    }
    m_feed.Open();
    m_nPort = static_cast<uint16_t>(nBound);
    m_pHttp = std::move(pHttp);
    CHttpServer* pServer = m_pHttp.get();
    m_listenThread = std::thread([pServer] {
        NameWebThread();
        pServer->Listen();
    });
    return true;
}

void CWebServer::Stop() {
    if (!m_pHttp) return;
    m_feed.Close();  // event streams end their wait at once
    m_pHttp->BeginStop();
    if (m_listenThread.joinable()) m_listenThread.join();
    m_pHttp.reset();
    m_nPort = 0;
}

void CWebServer::Publish(CWebStatus status) {
    m_feed.Publish(std::move(status));
}

}  // namespace web
