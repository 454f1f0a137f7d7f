#include "core/Bot.h"

#include <utility>

#include "core/GameLog.h"
#include "config/SettingsCheck.h"
#include "core/SideSettings.h"
#include "irc/IrcText.h"
#include "monitor/Announcements.h"
#include "platform/PathText.h"
#include "platform/Text.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace core {

namespace {

// The longest a stop waits for the IRC thread once QUIT is queued, and for
// the monitor to end: the threads have their own bounds below these.
constexpr uint32_t kCommandsDrainMs = 3000;

}  // namespace

CBot::CBot(const config::CSettings& settings, COptions options, platform::CClock& clock)
    : m_clock(clock),
      m_options(std::move(options)),
      m_settings(settings),
      m_game(m_shared, static_cast<IGameSideEvents&>(*this), clock),
      m_pIrc(std::make_unique<irc::CIrcSession>(clock, m_shared,
                                                static_cast<irc::IIrcEvents&>(*this), &m_ircBeat)),
      m_pGameLink(std::make_unique<CGameLink>(*m_pIrc)),
      m_quickInfo(clock),
      m_traffic(
          m_game.TrafficBytes(),
          [this](int32_t nBytes) {
              for (IBotObserver* pObserver : m_observers) pObserver->OnTraffic(nBytes);
          },
          clock),
      m_update(
          m_options.m_strUpdateHost, m_options.m_nUpdatePort, res::LoadResString(res::IDS_VERSION),
          [this](const COperatorMessage& message) { Message(message); }, clock) {
    m_shared.SetTicketSecs(settings.m_nTicketSecs);
    m_pIrc->SetRegistrationTexts(irc::kIdent, res::LoadResString(res::IDS_VERSION));
    m_game.SetIrcLink(m_pGameLink.get());
    m_game.SetBroadcastFlag(&m_bBroadcast);
    m_pFeed = std::make_unique<CWebFeed>(
        clock, [this] { return m_shared.GameEndTick(); }, [] { return irc::CIrcFigures{}; },
        [this]() -> uint64_t {
#ifdef FR_HAVE_STATS
            if (const auto pStats = Stats()) return pStats->Figures().m_nRoundsWritten;
#endif
            return 0;
        });
    m_pWeb = std::make_unique<web::CWebServer>(*m_pFeed);
}

CBot::~CBot() {
    Shutdown();
}

void CBot::AddObserver(IBotObserver& observer) {
    m_observers.push_back(&observer);
}

void CBot::Start() {
    if (m_bStarted) return;
    m_bStarted = true;
    m_commands.Start();
    if (m_options.m_bTrafficMeter) m_traffic.Start();
    m_update.Start();
    // The statistics start with the first side that does (a bot whose sides
    // both refuse leaves no file behind).
    StartWeb();
    PublishState();
}

std::string CBot::StatsPath() const {
    const std::string strFile = Settings().m_stats.m_strFile;
    if (strFile.empty() || platform::IsAbsolutePath(strFile)) return strFile;
    return platform::JoinPath(m_options.m_strSettingsFolder, strFile);
}

uint16_t CBot::WebPort() const {
    return m_pWeb ? m_pWeb->Port() : 0;
}

#ifdef FR_HAVE_STATS
std::shared_ptr<stats::CStatsService> CBot::Stats() const {
    std::lock_guard<std::mutex> lock(m_mutexStats);
    return m_pStats;
}
#endif

void CBot::StartStats() {
#ifdef FR_HAVE_STATS
    if (Stats()) return;
    const std::string strPath = StatsPath();
    if (strPath.empty()) return;
    // Said once, in the game log: the statistics are about the match.
    auto pStats = std::make_shared<stats::CStatsService>(
        strPath, [this](const std::string& strLine) { OnGameLog(strLine); });
    pStats->Start();
    m_pFeed->SetStats(pStats);
    std::lock_guard<std::mutex> lock(m_mutexStats);
    m_pStats = std::move(pStats);
#endif
}

void CBot::StopStats() {
#ifdef FR_HAVE_STATS
    std::shared_ptr<stats::CStatsService> pStats;
    {
        std::lock_guard<std::mutex> lock(m_mutexStats);
        pStats = std::move(m_pStats);
    }
    if (!pStats) return;
    m_pFeed->SetStats(nullptr);
    // Users that took it before keep it until they are done.
    pStats->Stop();
#endif
}

void CBot::StartWeb() {
    const std::string strAddress = Settings().m_strWebAddress;
    if (strAddress.empty()) return;
    const web::CWebAddressParse parsed = web::ParseWebAddress(strAddress);
    std::string strError;
    if (!parsed.m_bOk) {
        strError = parsed.m_strError;
    } else if (!m_pWeb->Start(parsed.m_address, &strError)) {
        // A refusal is the operator's to mend; the bot relays as before.
    } else {
        OnGameLog("Web page on http://" + parsed.m_address.Text() + "/");
        PublishToWeb();
        return;
    }
    OnGameLog("No web page: web_Address " + strAddress + ": " + strError);
}

void CBot::StopWeb() {
    if (m_pWeb) m_pWeb->Stop();
}

void CBot::PublishToWeb() {
    if (m_pWeb && m_pWeb->IsRunning()) m_pWeb->Publish(m_pFeed->LiveStatus());
}

config::CSettings CBot::Settings() const {
    std::lock_guard<std::mutex> lock(m_mutexSettings);
    return m_settings;
}

void CBot::SetSettings(const config::CSettings& settings) {
    {
        std::lock_guard<std::mutex> lock(m_mutexSettings);
        m_settings = settings;
    }
    // The reporter reads it before each wait.
    m_shared.SetTicketSecs(settings.m_nTicketSecs);
}

// ---- Commands: checked on the caller's thread, carried out on the bot's.

bool CBot::IrcMayStart(const config::CSettings& settings) {
    const std::vector<config::CSettingsProblem> problems = config::IrcSideProblems(settings);
    if (problems.empty()) return true;
    Message(IrcRefusal(problems.front(), settings));
    return false;
}

bool CBot::GameMayStart(const config::CSettings& settings) {
    if (config::GameSideProblems(settings).empty()) return true;
    Message(GameRefusal());
    return false;
}

bool CBot::StartBroadcast() {
    if (m_bQuitting.load()) return false;
    const config::CSettings settings = Settings();
    const bool bIrc = IrcMayStart(settings);
    const bool bGame = GameMayStart(settings);
    m_commands.Post([this, bIrc, bGame] {
        // Broadcast means "keep relaying": both sides come back by
        // themselves. Each side decides from its own state.
        if (bIrc) {
            if (!m_pIrc->IsSessionActive()) OpenIrc(true);
            m_pIrc->SetKeepAlive(true);
        }
        if (bGame) StartGameRun(true);
        UpdateBroadcast();
    });
    return bIrc || bGame;
}

void CBot::StopBroadcast() {
    m_commands.Post([this] {
        m_pIrc->SetKeepAlive(false);
        // Off before the stop, so that whoever sees the side idle also
        // sees that nothing will bring it back.
        m_game.SetKeepAlive(false);
        // The monitor's closing line goes to the channel before QUIT.
        StopGameAndWait();
        if (m_pIrc->IsSessionActive()) m_pIrc->Disconnect();
        m_bBroadcast = false;
        PublishState();
    });
}

bool CBot::ConnectIrc() {
    if (m_bQuitting.load() || !IrcMayStart(Settings())) return false;
    m_commands.Post([this] {
        if (!m_pIrc->IsSessionActive()) OpenIrc(m_pIrc->IsKeepAlive());
    });
    return true;
}

void CBot::DisconnectIrc() {
    m_commands.Post([this] {
        m_pIrc->Disconnect();
        PublishState();
    });
}

bool CBot::StartGame() {
    if (m_bQuitting.load() || !GameMayStart(Settings())) return false;
    m_commands.Post([this] { StartGameRun(m_game.IsKeepAlive()); });
    return true;
}

void CBot::StopGame() {
    m_commands.Post([this] { m_game.Stop(); });
}

void CBot::TogglePause() {
    m_commands.Post([this] {
        const bridge::EGameState eState = m_game.RunState();
        if (eState == bridge::EGameState::Idle) return;
        const bool bPause = eState == bridge::EGameState::Running;
        const std::string strLine = monitor::ShortFrame(
            m_game.AnnounceSettings(), bPause ? "Broadcast paused" : "Broadcast resumed");
        m_game.Pause(bPause);
        // Sent whether broadcasting or not; the channel send needs the channel.
        m_pIrc->SendToChannel(platform::WithoutLineBreaks(strLine));
        OnGameLog(strLine);
    });
}

bool CBot::CheckQuickInfo() {
    if (m_bQuitting.load()) return false;
    const config::CSettings settings = Settings();
    if (!config::GameServerProblems(settings).empty()) {
        Message(GameRefusal());
        return false;
    }
    if (m_quickInfo.IsRunning()) return false;
    m_commands.Post([this, settings] {
        m_quickInfo.Start(settings.m_game.m_strServer, settings.m_game.m_nQueryPort,
                          {[this](const query::CQuickInfoResult& result) {
                               for (IBotObserver* pObserver : m_observers)
                                   pObserver->OnQuickInfo(result);
                           },
                           [this] { PublishState(); }});
        PublishState();
    });
    return true;
}

void CBot::SendChat(const std::string& strText) {
    // One line: a line break in the text would start a command of its own.
    const std::string strLine = irc::WithoutLineBreaks(strText);
    if (strLine.empty()) return;
    m_commands.Post([this, strLine] {
        m_pIrc->SendToChannel(strLine);
        std::string strNick = m_pIrc->Status().m_strNick;
        // Never connected yet: the nickname that the bot would use.
        if (strNick.empty()) strNick = Settings().m_irc.m_strNick;
        // Straight into the log: no colour rule.
        Log(ESide::Irc, "<" + strNick + "> " + strLine);
    });
}

CReloadResult CBot::Reload(const config::CSettings& settings) {
    CReloadResult result;
    const config::CSettings running = Settings();
    result.m_vChangedKeys = config::ChangedSettingsKeys(running, settings);
    const config::CSidesOfChange sides = config::SidesOfChange(running, settings);
    result.m_bIrcChanged = sides.m_bIrc;
    result.m_bGameChanged = sides.m_bGame;
    result.m_bTicketChanged = sides.m_bTicket;
    result.m_bStatsChanged = sides.m_bStats;
    result.m_bWebChanged = sides.m_bWeb;
    if (result.m_vChangedKeys.empty() || m_bQuitting.load()) return result;
    const bool bIrc = result.m_bIrcChanged;
    const bool bGame = result.m_bGameChanged;
    config::CSettings next = settings;
    if (result.m_bTicketChanged && !bIrc) {
        // An interval that is no number of seconds above 0 stays as it was.
        result.m_bTicketApplied = settings.m_nTicketSecs > 0;
        if (!result.m_bTicketApplied) next.m_nTicketSecs = running.m_nTicketSecs;
    }
    SetSettings(next);
    result.m_bIrcStarts = bIrc && IrcMayStart(next);
    result.m_bGameStarts = bGame && GameMayStart(next);
    if (sides.m_bStats || sides.m_bWeb) {
        const bool bStats = sides.m_bStats;
        const bool bWeb = sides.m_bWeb;
        m_commands.Post([this, bStats, bWeb] {
            // Started again only when they ran: they start with a side.
            if (bStats && HasStats()) {
                StopStats();
                StartStats();
            }
            if (bWeb) {
                StopWeb();
                StartWeb();
            }
        });
    }
    if (!bIrc && !bGame) return result;
    const bool bIrcStarts = result.m_bIrcStarts;
    const bool bGameStarts = result.m_bGameStarts;
    m_commands.Post([this, bIrc, bGame, bIrcStarts, bGameStarts] {
        // Stop what starts again: the game side first, so that its closing
        // line reaches the channel before the IRC side goes, as Broadcast
        // off does.
        if (bGame) StopGameAndWait();
        if (bIrc && m_pIrc->IsSessionActive()) m_pIrc->Disconnect();
        // A side that starts keeps relaying on its own afterwards, as
        // Broadcast's start makes it.
        if (bIrcStarts) {
            OpenIrc(true);
            m_pIrc->SetKeepAlive(true);
        }
        if (bGameStarts) StartGameRun(true);
        UpdateBroadcast();
    });
    return result;
}

void CBot::Quit() {
    if (m_bQuitting.exchange(true)) return;
    m_commands.Post([this] { DoQuit(); });
}

void CBot::DoQuit() {
    // The QUIT line, sent whether connected or not (without a connection it
    // goes nowhere). The session ends with it: when the server then closes
    // the link, the IRC thread must not connect again.
    m_pIrc->Disconnect();
    m_clock.Sleep(kQuitPauseMs);
    // Nothing more goes to the channel: the threads below end without a line.
    m_bBroadcast = false;
    m_traffic.Stop();
    m_update.Stop();
    m_quickInfo.Stop();
    m_game.Shutdown();
    m_pIrc->End();
    StopWeb();
    StopStats();
    m_bEnded = true;
    PublishState();
    for (IBotObserver* pObserver : m_observers) pObserver->OnEnded();
}

void CBot::Shutdown() {
    m_bQuitting = true;
    // A Quit under way finishes first; its own waits are bounded.
    m_commands.WaitIdle(kCommandsDrainMs);
    m_commands.Stop();
    m_bBroadcast = false;
    m_traffic.Stop();
    m_update.Stop();
    m_quickInfo.Stop();
    m_game.Shutdown();
    m_pIrc->End();
    StopWeb();
    StopStats();
}

bool CBot::IsHealthy(uint32_t nGraceMs) const {
    const uint32_t nNow = m_clock.GetTickCount();
    const uint32_t nRealNow = platform::SystemClock().GetTickCount();
    return m_ircBeat.IsHealthy(nNow, nGraceMs) && m_game.HeartbeatView().IsHealthy(nNow, nGraceMs) &&
           m_commands.Heartbeat().IsHealthy(nRealNow, nGraceMs);
}

bool CBot::WaitForCommands(uint32_t nMs) {
    return m_commands.WaitIdle(nMs);
}

// ---- On the bot's thread.

bool CBot::HasStats() const {
#ifdef FR_HAVE_STATS
    return Stats() != nullptr;
#else
    return false;
#endif
}

void CBot::OpenIrc(bool bKeepAlive) {
    StartStats();
    const irc::CIrcSettings connection = Settings().m_irc;
    // Said, not refused: a login that works today keeps working.
    if (config::SendsPasswordInPlainText(connection))
        Log(ESide::Irc, config::kTextPasswordInPlainText);
    m_pIrc->SetKeepAlive(bKeepAlive);
    m_pIrc->Open(connection);
    PublishState();
}

void CBot::StartGameRun(bool bKeepAlive) {
    if (m_game.RunState() != bridge::EGameState::Idle) return;
    // Never two monitors: a previous one still ending (an announcement in
    // progress) gets a few seconds; past that, no start.
    if (!m_game.WaitForPrevious(kMonitorEndWaitMs)) {
        OnGameLog("The previous run is still ending; press Connect again.");
        return;
    }
    StartStats();
    m_game.SetKeepAlive(bKeepAlive);
    m_game.Start(GameRunSettingsOf(Settings()));
}

void CBot::StopGameAndWait() {
    if (!m_game.Stop()) return;
    // Its closing line is queued before the monitor ends.
    m_game.WaitForPrevious(kClosingLineWaitMs);
}

void CBot::UpdateBroadcast() {
    // Relaying is on once both sides run.
    if (m_game.RunState() != bridge::EGameState::Idle && m_pIrc->IsSessionActive())
        m_bBroadcast = true;
    PublishState();
}

// ---- Events.

void CBot::Log(ESide eSide, const std::string& strLine) {
    if (strLine.empty()) return;
    for (IBotObserver* pObserver : m_observers) pObserver->OnLog(eSide, strLine);
}

void CBot::OnGameLog(const std::string& strLine) {
    if (strLine.empty()) return;
    Log(ESide::Game, GameLogText(strLine));
    m_pFeed->OnEvent(strLine);
    PublishToWeb();
}

void CBot::OnIrcRequest() {
    // Taken here, all of them: the game side gets its own, the statistics
    // theirs, whether the game side runs or not.
    while (std::optional<bridge::CChannelRequest> request = m_pIrc->TakeRequest()) {
        switch (request->m_eKind) {
            case bridge::EChannelRequest::GameInfo:
            case bridge::EChannelRequest::Join:
                m_pGameLink->Push(std::move(*request));
                // The monitor answers at its next safe point, not after its pause.
                m_game.WakeForRequest();
                break;
            case bridge::EChannelRequest::Stats:
            case bridge::EChannelRequest::Top:
            case bridge::EChannelRequest::LastRound:
            case bridge::EChannelRequest::Seen:
                AnswerStatsRequest(*request);
                break;
        }
    }
}

void CBot::AnswerStatsRequest(const bridge::CChannelRequest& request) {
#ifdef FR_HAVE_STATS
    const config::CSettings settings = Settings();
    const auto pStats = Stats();
    if (!settings.m_stats.m_bCommands || !pStats) return;
    // Worded as the announcements are: the settings' colours and language.
    pStats->Answer(request, GameRunSettingsOf(settings).m_announce,
                     [this](const std::string& strLine) { m_pIrc->SendToChannel(strLine); });
#else
    (void)request;
#endif
}

void CBot::OnGameStatusChanged() {
    const monitor::EMonitorState eNow = m_game.Status().m_eMonitor;
    monitor::EMonitorState eBefore;
    {
        std::lock_guard<std::mutex> lock(m_mutexRuns);
        eBefore = std::exchange(m_eLastMonitor, eNow);
    }
    if (eBefore != eNow) {
        // A run that ended (stopped, or failed) leaves its round as it is.
        if (eBefore == monitor::EMonitorState::Running) {
#ifdef FR_HAVE_STATS
            if (const auto pStats = Stats()) pStats->OnMonitoringStopped();
#endif
        }
        if (eNow == monitor::EMonitorState::Starting)
            m_pFeed->OnRunStarted(eBefore == monitor::EMonitorState::Waiting);
    }
    PublishState();
}

void CBot::OnGamePoll(const monitor::CPollReport& report) {
#ifdef FR_HAVE_STATS
    if (const auto pStats = Stats()) pStats->OnPoll(report);
#endif
    m_pFeed->OnPoll(report);
    PublishToWeb();
}

void CBot::OnGamePollUnanswered() {
    m_pFeed->OnPollUnanswered();
}

void CBot::Message(const COperatorMessage& message) {
    for (IBotObserver* pObserver : m_observers) pObserver->OnMessage(message);
}

CBotState CBot::State() const {
    CBotState state;
    state.m_irc = m_pIrc->Status();
    // Before the first connect: the nickname and channel the bot would use.
    if (state.m_irc.m_strNick.empty() || state.m_irc.m_strChannel.empty()) {
        const irc::CIrcSettings settings = Settings().m_irc;
        if (state.m_irc.m_strNick.empty()) state.m_irc.m_strNick = settings.m_strNick;
        if (state.m_irc.m_strChannel.empty()) state.m_irc.m_strChannel = settings.m_strChannel;
    }
    state.m_game = m_game.Status();
    state.m_bBroadcast = m_bBroadcast.load();
    state.m_bQuickInfoRunning = m_quickInfo.IsRunning();
    return state;
}

void CBot::PublishState() {
    // Read and told under one lock, so that observers never get an older
    // state after a newer one.
    std::lock_guard<std::mutex> lock(m_mutexState);
    const CBotState state = State();
    if (m_bStateTold && state == m_lastState) return;
    m_lastState = state;
    m_bStateTold = true;
    for (IBotObserver* pObserver : m_observers) pObserver->OnStateChanged(state);
    m_pFeed->OnState(state);
    PublishToWeb();
}

}  // namespace core
