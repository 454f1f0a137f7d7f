#include "stats/StatsService.h"

#include <chrono>

#include "platform/ThreadName.h"
#include "stats/StatsQueries.h"
#include "stats/StatsWorker.h"

namespace stats {

struct CStatsService::CJob {
    enum class EKind { Poll, Stopped, Request };
    EKind m_eKind = EKind::Poll;
    monitor::CPollReport m_report;
    bridge::CChannelRequest m_request;
    monitor::CAnnounceSettings m_settings;
    SendFn m_fnSend;
};

int64_t SystemUnixTime() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

CStatsService::CStatsService(std::string strPath, LogFn fnLog, NowFn fnNow, COpenOptions options)
    : m_strPath(std::move(strPath)),
      m_fnLog(std::move(fnLog)),
      m_fnNow(std::move(fnNow)),
      m_options(options) {}

CStatsService::~CStatsService() {
    Stop();
}

void CStatsService::Start() {
    std::lock_guard lock(m_mutex);
    if (m_bStarted) return;
    m_bStarted = true;
    if (m_strPath.empty()) {
        // The operator turned the statistics off: nothing to tell.
        m_figures.m_eState = EStatsState::Off;
        m_figures.m_strWhyOff = "no statistics file is set";
        return;
    }
    m_figures.m_eState = EStatsState::Opening;
    m_thread = std::thread([this] { Run(); });
}

void CStatsService::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    {
        std::lock_guard readLock(m_readMutex);
        m_readDb.Close();
    }
    std::lock_guard lock(m_mutex);
    if (m_figures.m_eState == EStatsState::On || m_figures.m_eState == EStatsState::ReadOnly ||
        m_figures.m_eState == EStatsState::Opening)
        m_figures.m_eState = EStatsState::Idle;
}

bool CStatsService::Push(std::unique_ptr<CJob> pJob) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_bStarted || m_bStopping || !m_thread.joinable()) return false;
        if (pJob->m_eKind == CJob::EKind::Request) {
            // The same question twice before the first is answered: one answer.
            for (const std::unique_ptr<CJob>& pQueued : m_jobs) {
                if (pQueued->m_eKind == CJob::EKind::Request &&
                    bridge::SameAnswer(pQueued->m_request, pJob->m_request))
                    return true;
            }
            if (m_nQueuedRequests >= kMaxQueuedRequests) {
                ++m_figures.m_nRequestsDropped;
                return true;
            }
            ++m_nQueuedRequests;
        } else if (pJob->m_eKind == CJob::EKind::Poll) {
            if (m_nQueuedPolls >= kMaxQueuedPolls) {
                for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
                    if ((*it)->m_eKind != CJob::EKind::Poll) continue;
                    m_jobs.erase(it);
                    --m_nQueuedPolls;
                    ++m_figures.m_nPollsDropped;
                    break;
                }
            }
            ++m_nQueuedPolls;
        }
        m_jobs.push_back(std::move(pJob));
    }
    m_wake.notify_one();
    return true;
}

void CStatsService::OnPoll(const monitor::CPollReport& report) {
    // The copy is made before the lock, so the thread is never held up by it.
    auto pJob = std::make_unique<CJob>();
    pJob->m_report = report;
    Push(std::move(pJob));
}

void CStatsService::OnMonitoringStopped() {
    auto pJob = std::make_unique<CJob>();
    pJob->m_eKind = CJob::EKind::Stopped;
    Push(std::move(pJob));
}

bool CStatsService::Answer(const bridge::CChannelRequest& request,
                           const monitor::CAnnounceSettings& settings, SendFn fnSend) {
    using bridge::EChannelRequest;
    if (request.m_eKind != EChannelRequest::Stats && request.m_eKind != EChannelRequest::Top &&
        request.m_eKind != EChannelRequest::LastRound && request.m_eKind != EChannelRequest::Seen)
        return false;
    auto pJob = std::make_unique<CJob>();
    pJob->m_eKind = CJob::EKind::Request;
    pJob->m_request = request;
    pJob->m_settings = settings;
    pJob->m_fnSend = std::move(fnSend);
    return Push(std::move(pJob));
}

void CStatsService::SetState(EStatsState eState, const std::string& strWhy) {
    bool bTell = false;
    {
        std::lock_guard lock(m_mutex);
        m_figures.m_eState = eState;
        m_figures.m_strWhyOff = strWhy;
        bTell = !strWhy.empty();
    }
    // Said once: a service leaves On at most once and never comes back.
    if (bTell && m_fnLog) m_fnLog(strWhy);
}

void CStatsService::Run() {
    platform::NameThisThread("stats");
    CStatsWorker worker(m_strPath, m_options);
    std::string strWhy;
    const EOpenResult eOpen = worker.Open(&strWhy);
    if (eOpen == EOpenResult::Ok) {
        m_bReadable = true;
        SetState(EStatsState::On, std::string());
    } else {
        SetState(EStatsState::Off, "Statistics off: " + std::string(OpenResultText(eOpen)) + " (" +
                                       m_strPath + ": " + strWhy + ")");
    }
    auto note = [&](const CWriteResult& result) {
        if (result.m_nWritten > 0) {
            std::lock_guard lock(m_mutex);
            m_figures.m_nRoundsWritten += result.m_nWritten;
        }
        if (result.m_eFailure != EOpenResult::Ok) {
            SetState(EStatsState::ReadOnly,
                     "Statistics stopped: " + std::string(OpenResultText(result.m_eFailure)) +
                         " (" + m_strPath + ": " + result.m_strWhy +
                         "); the rounds written before are kept");
        }
    };
    for (;;) {
        std::unique_ptr<CJob> pJob;
        bool bStopping = false;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_bStopping || !m_jobs.empty(); });
            if (m_jobs.empty()) break;
            pJob = std::move(m_jobs.front());
            m_jobs.pop_front();
            if (pJob->m_eKind == CJob::EKind::Poll) --m_nQueuedPolls;
            if (pJob->m_eKind == CJob::EKind::Request) --m_nQueuedRequests;
            bStopping = m_bStopping;
        }
        switch (pJob->m_eKind) {
            case CJob::EKind::Poll:
                if (worker.IsOpen()) note(worker.OnPoll(pJob->m_report));
                break;
            case CJob::EKind::Stopped:
                if (worker.IsOpen()) note(worker.OnStopped());
                break;
            case CJob::EKind::Request: {
                if (bStopping) break;  // nobody waits for it any more
                const std::string strLine =
                    worker.AnswerLine(pJob->m_request, pJob->m_settings, m_fnNow());
                if (!strLine.empty() && pJob->m_fnSend) pJob->m_fnSend(strLine);
                std::lock_guard lock(m_mutex);
                ++m_figures.m_nAnswers;
                break;
            }
        }
    }
    if (worker.IsOpen()) note(worker.OnStopped());
    m_bReadable = false;
}

bool CStatsService::OpenReadLocked() {
    if (!m_bReadable) return false;
    if (m_readDb.IsOpen()) return true;
    std::string strWhy;
    return OpenForReading(m_readDb, m_strPath, m_options.m_nBusyMs, &strWhy) == EOpenResult::Ok;
}

std::optional<CPlayerStats> CStatsService::PlayerStats(const std::string& strName) {
    std::lock_guard lock(m_readMutex);
    if (!OpenReadLocked()) return std::nullopt;
    return CStatsQueries(m_readDb).PlayerStats(strName);
}

std::vector<CTopEntry> CStatsService::Top(ETopKind eKind, ETopPeriod ePeriod) {
    std::lock_guard lock(m_readMutex);
    if (!OpenReadLocked()) return {};
    return CStatsQueries(m_readDb).Top(eKind, ePeriod, m_fnNow());
}

std::optional<CRoundSummary> CStatsService::LastRound() {
    std::lock_guard lock(m_readMutex);
    if (!OpenReadLocked()) return std::nullopt;
    return CStatsQueries(m_readDb).LastRound();
}

std::optional<CSeen> CStatsService::Seen(const std::string& strName) {
    std::lock_guard lock(m_readMutex);
    if (!OpenReadLocked()) return std::nullopt;
    return CStatsQueries(m_readDb).Seen(strName);
}

CStatsFigures CStatsService::Figures() const {
    std::lock_guard lock(m_mutex);
    CStatsFigures figures = m_figures;
    figures.m_nQueued = m_jobs.size();
    return figures;
}

}  // namespace stats
