#include "core/UpdateCheck.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Socket.h"
#include "platform/ThreadName.h"
#include "platform/Text.h"

#ifndef FR_UPDATE_HOST
#define FR_UPDATE_HOST ""
#endif

namespace core {

namespace {

constexpr std::string_view kLengthHeader = "Content-Length: ";
// Without the header this much of the status line goes.
constexpr size_t kNoHeaderCut = 15;
constexpr std::string_view kVersionKey = "curVer";
// The receive wait is cut into slices so that a stop is seen quickly.
constexpr int kWaitSliceMs = 200;
// Each address's connect, as long as the IRC side's.
constexpr int kConnectTimeoutMs = 10000;

}  // namespace

std::string BuiltUpdateHost() {
    return FR_UPDATE_HOST;
}

std::string BuildUpdateRequest(std::string_view strHost) {
    std::string str =
        "GET /relayfiles/VerCheck.txt HTTP/1.1\n"
        "Accept: */*\n"
        "Accept-Language: de\n"
        "Accept-Encoding: gzip, deflate\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\n"
        "Host: ";
    // HTTP writes an IPv6 address in brackets, as a URL does.
    platform::CNetAddress literal;
    const bool bBare = platform::CNetAddress::ParseHost(strHost, &literal) &&
                       literal.Family() == platform::EAddressFamily::IPv6 && strHost.front() != '[';
    if (bBare) str += "[";
    str += strHost;
    if (bBare) str += "]";
    str += "\n\n";
    return str;
}

std::string ExtractUpdateBody(std::string_view strResponse) {
    const size_t nHeader = strResponse.find(kLengthHeader);
    std::string_view strRest;
    if (nHeader != std::string_view::npos) {
        strRest = strResponse.substr(nHeader + kLengthHeader.size());
    } else if (strResponse.size() > kNoHeaderCut) {
        strRest = strResponse.substr(kNoHeaderCut);
    }
    const size_t nLf = strRest.find('\n');
    const int32_t nLength =
        nLf == std::string_view::npos ? 0 : platform::ParseLeadingInt(strRest.substr(0, nLf));
    if (nLength <= 0) return {};
    if (static_cast<size_t>(nLength) >= strRest.size()) return std::string(strRest);
    return std::string(strRest.substr(strRest.size() - static_cast<size_t>(nLength)));
}

std::string ReadNewestVersion(std::string_view strBody) {
    const size_t nEq = strBody.find('=');
    if (nEq == std::string_view::npos || strBody.substr(0, nEq) != kVersionKey) return {};
    // "curVer" holds no line feed, so the first one comes after the "=".
    const size_t nLf = strBody.find('\n');
    if (nLf == std::string_view::npos) return {};
    return std::string(strBody.substr(nEq + 1, nLf - nEq - 1));
}

bool IsNewerVersion(std::string_view strNewest, std::string_view strOwn) {
    const size_t nCommon = std::min(strNewest.size(), strOwn.size());
    for (size_t i = 0; i < nCommon; ++i) {
        const auto cNew = static_cast<unsigned char>(strNewest[i]);
        const auto cOwn = static_cast<unsigned char>(strOwn[i]);
        if (cNew != cOwn) return cNew > cOwn;
    }
    return strNewest.size() > strOwn.size();
}

std::string UpdateNoticeText(std::string_view strOwn, std::string_view strNewest) {
    std::string str = "Please update your copy of fragrelay!\nYour Version = ";
    str += strOwn;
    str += "; Current Version = ";
    str += strNewest;
    return str;
}

CUpdateCheck::CUpdateCheck(std::string strHost, uint16_t nPort, std::string strOwnVersion,
                           MessageFn fnNotice, platform::CClock& clock)
    : m_strHost(std::move(strHost)),
      m_nPort(nPort),
      m_strOwnVersion(std::move(strOwnVersion)),
      m_fnNotice(std::move(fnNotice)),
      m_clock(clock) {}

CUpdateCheck::~CUpdateCheck() {
    Stop();
}

bool CUpdateCheck::Start() {
    std::lock_guard<std::mutex> lock(m_mutexThread);
    if (m_bStarted) return false;
    m_bStarted = true;
    m_thread = std::thread([this] { UpdateThread(); });
    return true;
}

void CUpdateCheck::Stop() {
    std::lock_guard<std::mutex> lock(m_mutexThread);
    m_stop.Stop();
    {
        // Wakes a connect or receive in progress.
        std::lock_guard<std::mutex> lockSocket(m_mutexSocket);
        if (m_pSocket) m_pSocket->Shutdown();
    }
    if (m_thread.joinable()) m_thread.join();
}

void CUpdateCheck::UpdateThread() {
    platform::NameThisThread("update");
    if (!m_strHost.empty()) {
        while (!m_stop.IsStopped() && RunCycle() && m_clock.Sleep(kCycleMs, &m_stop)) {
        }
    }
    m_bEnded.store(true);
}

bool CUpdateCheck::RunCycle() {
    m_nAttempts.fetch_add(1);
    // Every address of the host in the resolver's order, each socket
    // published before its connect so that a Stop can wake it; the connect
    // limit and the stop signal bound each attempt too.
    const std::vector<platform::CNetAddress> vAddrs = platform::LookupHost(m_strHost, m_nPort);
    std::shared_ptr<platform::CSocket> pSocket;
    bool bOk = !vAddrs.empty() && !m_stop.IsStopped() &&
               platform::ConnectInTurn(
                   vAddrs, kConnectTimeoutMs, &m_stop,
                   [this](const std::shared_ptr<platform::CSocket>& pAttempt,
                          const platform::CNetAddress&) {
                       std::lock_guard<std::mutex> lock(m_mutexSocket);
                       m_pSocket = pAttempt;
                   },
                   &pSocket) == platform::EConnectResult::Connected;
    // A failed connection ends the check here.
    if (bOk) {
        const std::string strRequest = BuildUpdateRequest(m_strHost);
        size_t nSent = 0;
        while (bOk && nSent < strRequest.size()) {
            const int n = pSocket->Send(strRequest.data() + nSent, strRequest.size() - nSent);
            if (n <= 0)
                bOk = false;
            else
                nSent += static_cast<size_t>(n);
        }
    }
    std::string strResponse;
    bOk = bOk && ReceiveOnce(*pSocket, strResponse);
    {
        std::lock_guard<std::mutex> lock(m_mutexSocket);
        m_pSocket.reset();
    }
    if (pSocket) pSocket->Close();
    if (!bOk) return false;

    const std::string strNewest = ReadNewestVersion(ExtractUpdateBody(strResponse));
    if (IsNewerVersion(strNewest, m_strOwnVersion) && !m_bNoticeShown.load()) {
        if (m_fnNotice)
            m_fnNotice(COperatorMessage{UpdateNoticeText(m_strOwnVersion, strNewest),
                                        kUpdateCaption, EMessageIcon::Information, {}});
        m_bNoticeShown.store(true);
    }
    return true;
}

bool CUpdateCheck::ReceiveOnce(platform::CSocket& socket, std::string& strResponse) {
    for (int nWaited = 0; nWaited < kReceiveTimeoutMs; nWaited += kWaitSliceMs) {
        if (m_stop.IsStopped()) return false;
        const platform::EWaitResult eWait = socket.WaitReadable(kWaitSliceMs);
        if (eWait == platform::EWaitResult::Failed) return false;
        if (eWait == platform::EWaitResult::TimedOut) continue;
        char buf[kMaxResponseBytes];
        const int n = socket.Recv(buf, sizeof buf);
        if (n < 0) return false;
        strResponse.assign(buf, static_cast<size_t>(n));
        return true;
    }
    return false;  // the server stayed silent
}

}  // namespace core
