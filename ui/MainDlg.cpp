#include "ui/MainDlg.h"

#include <utility>

#include "framework/DataExchange.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/AboutDlg.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"
#include "ui/SettingsPages.h"
#include "ui/TrafficMeter.h"

namespace ui {

namespace {

const char* const kTabCaptions[CMainDlg::kTabCount] = {"IRC", "BF42", "Settings", "Information"};

}  // namespace

CMainDlg::CMainDlg(framework::CDispatcher& dispatcher, platform::CClock& clock)
    : CMainDlg(dispatcher, clock, COptions()) {}

CMainDlg::CMainDlg(framework::CDispatcher& dispatcher, platform::CClock& clock, COptions options)
    : CPage(res::FindDialogTemplate(res::IDD_MAIN)),
      m_dispatcher(dispatcher),
      m_clock(clock),
      m_options(std::move(options)) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    MapClick(res::IDC_MAIN_BROADCAST, [this] { OnBroadcast(); });
    MapClick(res::IDC_MAIN_APPLY, [this] { OnApply(); });
    MapClick(res::IDC_MAIN_QUIT, [this] { OnQuit(); });
    MapNotify(res::IDC_MAIN_TAB, framework::ENotify::SelChanging, [this] { OnTabSelChanging(); });
    MapNotify(res::IDC_MAIN_TAB, framework::ENotify::SelChange, [this] { OnTabSelChange(); });
}

CMainDlg::~CMainDlg() {
    // Pages and threads must not outlive the window object.
    if (m_bPagesAlive.load()) DestroyWindow();
}

void CMainDlg::DoDataExchange(framework::CDataExchange& dx) {
    dx.Control(res::IDC_MAIN_TAB, m_tabCtrl);
}

bool CMainDlg::OnInitDialog() {
    CPage::OnInitDialog();
    SetItemText(res::IDC_MAIN_TRAFFIC, ui::TrafficText(0));
    SetItemText(res::IDC_MAIN_BROADCAST, res::LoadResString(res::IDS_START_BROADCAST));
    SetItemText(res::IDC_MAIN_APPLY, res::LoadResString(res::IDS_APPLY));
    SetItemText(res::IDC_MAIN_QUIT, res::LoadResString(res::IDS_QUIT));
    SetWindowText(res::LoadResString(res::IDS_TITLE));

    m_pIrcDlg = std::make_unique<CIrcDlg>(m_dispatcher, m_gameShared, m_clock);
    m_pGameDlg = std::make_unique<CGameDlg>(m_gameShared, m_clock);
    m_pColorDlg = std::make_unique<CColorDlg>();
    m_pAboutDlg = std::make_unique<CAboutDlg>();
    framework::CPage* const pages[kTabCount] = {m_pIrcDlg.get(), m_pGameDlg.get(),
                                                m_pColorDlg.get(), m_pAboutDlg.get()};
    for (int n = 0; n < kTabCount; ++n) m_tabCtrl.InsertItem(n, kTabCaptions[n], pages[n]);
    m_bPagesAlive = true;

    // The fields first, so that each page shows them when its window is made.
    ui::LoadSettings(m_options.strSettingsPath, *m_pIrcDlg, *m_pGameDlg, *m_pColorDlg);

    framework::IMessageSink& sink = *MessageSink();
    for (int n = 0; n < kTabCount; ++n) {
        framework::CPage& page = *pages[n];
        page.Create(sink, this, res::IDC_MAIN_TAB);
        page.MoveWindow(kPageX, kPageY);
        page.ShowWindow(n == kTabIrc);
        if (n == kTabGame) m_pGameDlg->SetIrcLink(&m_pIrcDlg->Session());
        if (n == kTabSettings) m_pGameDlg->SetColorDlg(m_pColorDlg.get());
    }

    m_pTrafficMeter = std::make_unique<ui::CTrafficMeter>(
        m_pGameDlg->m_nTrafficBytes,
        [this](const std::string& strText) { SetItemText(res::IDC_MAIN_TRAFFIC, strText); },
        m_clock);
    m_pTrafficMeter->Start();
    m_pUpdateCheck =
        std::make_unique<ui::CUpdateCheck>(m_options.strUpdateHost, m_options.nUpdatePort,
                                           res::LoadResString(res::IDS_VERSION), sink, m_clock);
    m_pUpdateCheck->Start();
    return true;
}

framework::CPage* CMainDlg::TabPage(int nIndex) const {
    if (!m_bPagesAlive.load()) return nullptr;
    return m_tabCtrl.GetItemParam(nIndex);
}

CIrcDlg* CMainDlg::IrcPage() const {
    return static_cast<CIrcDlg*>(TabPage(kTabIrc));
}

CGameDlg* CMainDlg::GamePage() const {
    return static_cast<CGameDlg*>(TabPage(kTabGame));
}

CColorDlg* CMainDlg::SettingsPage() const {
    return static_cast<CColorDlg*>(TabPage(kTabSettings));
}

CAboutDlg* CMainDlg::AboutPage() const {
    return static_cast<CAboutDlg*>(TabPage(kTabAbout));
}

void CMainDlg::OnTabSelChanging() {
    if (framework::CPage* pPage = TabPage(m_tabCtrl.GetCurSel())) pPage->ShowWindow(false);
}

void CMainDlg::OnTabSelChange() {
    if (framework::CPage* pPage = TabPage(m_tabCtrl.GetCurSel())) pPage->ShowWindow(true);
}

void CMainDlg::OnBroadcast() {
    CIrcDlg* pIrc = IrcPage();
    CGameDlg* pGame = GamePage();
    if (pIrc == nullptr || pGame == nullptr) return;
    pIrc->UpdateData(true);
    pGame->UpdateData(true);
    EnableItem(res::IDC_MAIN_BROADCAST, false);
    if (!pGame->m_bBroadcast.load()) {
        StartBroadcast(*pIrc, *pGame);
    } else {
        StopBroadcast(*pIrc, *pGame);
    }
    EnableItem(res::IDC_MAIN_BROADCAST, true);
}

void CMainDlg::StartBroadcast(CIrcDlg& irc, CGameDlg& game) {
    // Each Connect shows its own message when it refuses; a side that did
    // connect stays connected even when the other one did not. Broadcast
    // means "keep relaying": both sides come back by themselves.
    // Each side decides from its own state, never from a caption that may
    // not have caught up with it yet.
    irc.SetKeepAlive(true);
    if (!irc.IsSessionActive()) irc.Connect();
    if (!irc.IsSessionActive()) irc.SetKeepAlive(false);
    game.SetKeepAlive(true);
    game.StartMonitoring();
    if (game.RunState() != bridge::EGameState::Idle && irc.IsSessionActive()) {
        game.m_bBroadcast = true;
        SetItemText(res::IDC_MAIN_BROADCAST, res::LoadResString(res::IDS_STOP_BROADCAST));
    }
}

void CMainDlg::StopBroadcast(CIrcDlg& irc, CGameDlg& game) {
    irc.SetKeepAlive(false);
    // Stops only: a run that failed meanwhile has left the page idle.
    game.StopMonitoring();
    // Only now: a run failing meanwhile waits for its next try (and sees
    // the stop) instead of turning the tab idle under this handler.
    game.SetKeepAlive(false);
    // Time for the monitor's closing line to reach the channel before QUIT.
    m_clock.Sleep(kBroadcastOffPauseMs);
    if (irc.IsSessionActive()) irc.EndSession();
    game.m_bBroadcast = false;
    SetItemText(res::IDC_MAIN_BROADCAST, res::LoadResString(res::IDS_START_BROADCAST));
}

bool CMainDlg::OnApply() {
    CIrcDlg* pIrc = IrcPage();
    CGameDlg* pGame = GamePage();
    CColorDlg* pColors = SettingsPage();
    if (pIrc == nullptr || pGame == nullptr || pColors == nullptr) return false;
    // A transfer that refuses a value has said so; the fields it did not
    // reach keep their last values and are written as they are.
    pIrc->UpdateData(true);
    pGame->UpdateData(true);
    pColors->UpdateData(true);
    // A port no number of 16 bits holds is refused as Connect refuses it;
    // the file keeps the port it has.
    if (pIrc->RefusePortOutOfRange()) return false;
    return ui::SaveSettings(m_options.strSettingsPath, *pIrc, *pGame, *pColors, MessageSink());
}

void CMainDlg::OnQuit() {
    // The QUIT line, sent whether connected or not (without a connection the
    // send fails silently). The session ends with it: when the server then
    // closes the link, the IRC thread must not connect again while the
    // program is ending.
    if (CIrcDlg* pIrc = IrcPage()) pIrc->Disconnect();
    m_clock.Sleep(kQuitPauseMs);
    OnApply();
    EndDialog(framework::IDCANCEL);
}

void CMainDlg::StopThreads() {
    // Nothing more goes to the channel: the threads below end without a
    // line, and none of them waits on a paced send.
    if (m_pGameDlg) m_pGameDlg->m_bBroadcast = false;
    if (m_pTrafficMeter) m_pTrafficMeter->Stop();
    if (m_pUpdateCheck) m_pUpdateCheck->Stop();
    if (m_pGameDlg) m_pGameDlg->StopThreads();
    if (m_pIrcDlg) m_pIrcDlg->EndIrcThread();
}

void CMainDlg::OnDestroy() {
    if (!m_bPagesAlive.load()) return;
    StopThreads();
    m_bPagesAlive = false;
    m_pTrafficMeter.reset();
    m_pUpdateCheck.reset();
    // Windows first (a view lets go of a page whose window is gone), then
    // the objects, in the order Information, Settings, game, IRC.
    for (framework::CPage* pPage : {static_cast<framework::CPage*>(m_pAboutDlg.get()),
                                    static_cast<framework::CPage*>(m_pColorDlg.get()),
                                    static_cast<framework::CPage*>(m_pGameDlg.get()),
                                    static_cast<framework::CPage*>(m_pIrcDlg.get())}) {
        pPage->DestroyWindow();
    }
    m_pAboutDlg.reset();
    m_pColorDlg.reset();
    m_pGameDlg.reset();
    m_pIrcDlg.reset();
}

}  // namespace ui
