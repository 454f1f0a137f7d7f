#pragma once
// The update check: every 60 s one plain HTTP request for the version file,
// one receive of its answer, and a notice to the operator, once per run,
// when the version named there sorts after our own. The host is a build
// setting (FR_UPDATE_HOST); without one the check contacts nothing. The
// first failure of the network ends the check for the rest of the run.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/OperatorMessage.h"
#include "platform/Clock.h"

namespace platform {
class CSocket;
}

namespace core {

inline constexpr uint16_t kUpdatePort = 80;
inline constexpr char kUpdateCaption[] = "New Version!";

// The update host the program was built with; empty: no update check.
std::string BuiltUpdateHost();

// ---- The exchange's texts. Pure; any thread.
// The GET request for the version file, lines ending in a single "\n", the
// host header last (an IPv6 address in brackets), then the empty line.
std::string BuildUpdateRequest(std::string_view strHost);
// The body of one received block: everything up to and including
// "Content-Length: " goes (without that header, the first 15 bytes); the
// number before the next line feed is the body length (0 without a line
// feed or digits); the body is that many bytes from the end, all of them
// when there are fewer.
std::string ExtractUpdateBody(std::string_view strResponse);
// The text after "curVer=" up to the body's first line feed (a CR before it
// stays); empty when the body does not start with "curVer=" or has no line
// feed.
std::string ReadNewestVersion(std::string_view strBody);
// True when strNewest sorts strictly after strOwn, byte by byte as unsigned
// bytes, a prefix sorting first. Not a version-number comparison.
bool IsNewerVersion(std::string_view strNewest, std::string_view strOwn);
// The text of the notice.
std::string UpdateNoticeText(std::string_view strOwn, std::string_view strNewest);

class CUpdateCheck {
public:
    static constexpr uint32_t kCycleMs = 60000;
    // How long one receive waits for the answer; a silent server counts as a
    // failed receive and ends the check.
    static constexpr int kReceiveTimeoutMs = 10000;
    static constexpr size_t kMaxResponseBytes = 1023;

    // strHost empty: the thread ends at once. fnNotice is handed the notice
    // on the check's thread and must return at once; the clock must outlive
    // the check.
    CUpdateCheck(std::string strHost, uint16_t nPort, std::string strOwnVersion,
                 MessageFn fnNotice, platform::CClock& clock);
    // Stops and joins the thread.
    ~CUpdateCheck();
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;

    // Starts UpdateThread; false when it was started already (it runs at
    // most once per object, so the notice shows at most once). Owner's thread.
    bool Start();
    // Wakes the thread from its sleep or its network wait and joins it. A
    // host name look-up in progress is not interrupted; the stop waits for
    // it. Owner's thread.
    void Stop();
    bool HasEnded() const { return m_bEnded.load(); }
    // Cycles begun (each one a connection attempt) and whether the notice
    // was shown. Any thread.
    int Attempts() const { return m_nAttempts.load(); }
    bool NoticeShown() const { return m_bNoticeShown.load(); }

private:
    void UpdateThread();
    // One request and one receive; false when the check must end.
    bool RunCycle();
    bool ReceiveOnce(platform::CSocket& socket, std::string& strResponse);

    const std::string m_strHost;
    const uint16_t m_nPort;
    const std::string m_strOwnVersion;
    const MessageFn m_fnNotice;
    platform::CClock& m_clock;
    platform::CStopSignal m_stop;
    std::atomic<int> m_nAttempts{0};
    std::atomic<bool> m_bNoticeShown{false};
    std::atomic<bool> m_bEnded{false};

    std::mutex m_mutexSocket;  // the socket of the running cycle, for Stop
    std::shared_ptr<platform::CSocket> m_pSocket;
    std::mutex m_mutexThread;
    std::thread m_thread;
    bool m_bStarted = false;  // m_mutexThread
};

}  // namespace core
