#include "ui/MainDlg.h"

#include <utility>

#include "core/TrafficMeter.h"
#include "framework/DataExchange.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/AboutDlg.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"

namespace ui {

namespace {

const char* const kTabCaptions[CMainDlg::kTabCount] = {"IRC", "BF42", "Settings", "Information"};

framework::EIcon FrameworkIcon(core::EMessageIcon eIcon) {
    switch (eIcon) {
        case core::EMessageIcon::Error:
            return framework::EIcon::Error;
        case core::EMessageIcon::Warning:
            return framework::EIcon::Warning;
        case core::EMessageIcon::Information:
            break;
    }
    return framework::EIcon::Information;
}

}  // namespace

CMainDlg::CMainDlg(framework::CDispatcher& dispatcher, core::CBot& bot, CWindowSettings& file)
    : CPage(dialogs::FindDialogTemplate(res::IDD_MAIN)),
      m_dispatcher(dispatcher),
      m_bot(bot),
      m_file(file),
      m_settings(bot.Settings()),
      m_pLife(std::make_shared<CLifeGuard>()) {
    m_pLife->m_pMain = this;
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    MapClick(res::IDC_MAIN_BROADCAST, [this] { OnBroadcast(); });
    MapClick(res::IDC_MAIN_APPLY, [this] { OnApply(); });
    MapClick(res::IDC_MAIN_QUIT, [this] { OnQuit(); });
    MapNotify(res::IDC_MAIN_TAB, framework::ENotify::SelChanging, [this] { OnTabSelChanging(); });
    MapNotify(res::IDC_MAIN_TAB, framework::ENotify::SelChange, [this] { OnTabSelChange(); });
}

CMainDlg::~CMainDlg() {
    {
        std::lock_guard<std::recursive_mutex> lock(m_pLife->m_mutex);
        m_pLife->m_pMain = nullptr;
    }
    // Pages must not outlive the window object.
    if (m_bPagesAlive) DestroyWindow();
}

void CMainDlg::DoDataExchange(framework::CDataExchange& dx) {
    dx.Control(res::IDC_MAIN_TAB, m_tabCtrl);
}

bool CMainDlg::OnInitDialog() {
    CPage::OnInitDialog();
    SetItemText(res::IDC_MAIN_TRAFFIC, core::TrafficText(0));
    SetItemText(res::IDC_MAIN_BROADCAST, res::LoadResString(res::IDS_START_BROADCAST));
    SetItemText(res::IDC_MAIN_APPLY, res::LoadResString(res::IDS_APPLY));
    SetItemText(res::IDC_MAIN_QUIT, res::LoadResString(res::IDS_QUIT));
    SetWindowText(res::LoadResString(res::IDS_TITLE));

    m_pIrcDlg = std::make_unique<CIrcDlg>(m_bot, m_settings);
    m_pGameDlg = std::make_unique<CGameDlg>(m_bot, m_settings);
    m_pColorDlg = std::make_unique<CColorDlg>(m_settings);
    m_pAboutDlg = std::make_unique<CAboutDlg>();
    m_pGameDlg->SetColorDlg(m_pColorDlg.get());
    framework::CPage* const pages[kTabCount] = {m_pIrcDlg.get(), m_pGameDlg.get(),
                                                m_pColorDlg.get(), m_pAboutDlg.get()};
    for (int n = 0; n < kTabCount; ++n) m_tabCtrl.InsertItem(n, kTabCaptions[n], pages[n]);
    m_bPagesAlive = true;

    framework::IMessageSink& sink = *MessageSink();
    for (int n = 0; n < kTabCount; ++n) {
        framework::CPage& page = *pages[n];
        page.Create(sink, this, res::IDC_MAIN_TAB);
        page.MoveWindow(kPageX, kPageY);
        page.ShowWindow(n == kTabIrc);
    }
    ShowState(m_bot.State());
    return true;
}

framework::CPage* CMainDlg::TabPage(int nIndex) const {
    if (!m_bPagesAlive) return nullptr;
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
    if (!m_bPagesAlive) return;
    m_pIrcDlg->UpdateData(true);
    m_pGameDlg->UpdateData(true);
    if (m_state.m_bBroadcast) {
        m_bot.StopBroadcast();
        return;
    }
    // A port beyond 16 bits keeps the IRC side from starting, as its Connect does.
    if (m_pIrcDlg->RefusePortOutOfRange()) return;
    m_pColorDlg->UpdateData(true);
    m_bot.SetSettings(m_settings);
    // Each side that refuses says so with its own message.
    m_bot.StartBroadcast();
}

bool CMainDlg::OnApply() {
    if (!m_bPagesAlive) return false;
    // A transfer that refuses a value has said so; the fields it did not
    // reach keep their last values and are written as they are.
    m_pIrcDlg->UpdateData(true);
    m_pGameDlg->UpdateData(true);
    m_pColorDlg->UpdateData(true);
    // A port no number of 16 bits holds is refused as Connect refuses it;
    // the file keeps the port it has.
    if (m_pIrcDlg->RefusePortOutOfRange()) return false;
    m_bot.SetSettings(m_settings);
    return m_file.Save(m_settings, MessageSink());
}

void CMainDlg::OnQuit() {
    // QUIT goes first, whether connected or not; the session ends with it,
    // so that the IRC side does not connect again while the program ends.
    m_bot.Quit();
    OnApply();
    EndDialog(framework::IDCANCEL);
}

void CMainDlg::OnDestroy() {
    if (!m_bPagesAlive) return;
    m_bPagesAlive = false;
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

// ---- The bot's events, handed to the UI thread.

void CMainDlg::OnUiThread(std::function<void(CMainDlg&)> fn) {
    m_dispatcher.Post([pLife = m_pLife, fn = std::move(fn)] {
        std::lock_guard<std::recursive_mutex> lock(pLife->m_mutex);
        CMainDlg* pMain = pLife->m_pMain;
        if (pMain != nullptr && pMain->m_bPagesAlive) fn(*pMain);
    });
}

void CMainDlg::OnLog(core::ESide eSide, const std::string& strLine) {
    OnUiThread([eSide, strLine](CMainDlg& main) {
        if (eSide == core::ESide::Irc)
            main.m_pIrcDlg->AppendLog(strLine);
        else
            main.m_pGameDlg->AppendLog(strLine);
    });
}

void CMainDlg::OnStateChanged(const core::CBotState& state) {
    OnUiThread([state](CMainDlg& main) { main.ShowState(state); });
}

void CMainDlg::OnQuickInfo(const query::CQuickInfoResult& result) {
    OnUiThread([result](CMainDlg& main) { main.m_pGameDlg->ShowQuickInfo(result); });
}

void CMainDlg::OnTraffic(int32_t nBytes) {
    OnUiThread([nBytes](CMainDlg& main) {
        main.SetItemText(res::IDC_MAIN_TRAFFIC, core::TrafficText(nBytes));
    });
}

void CMainDlg::OnMessage(const core::COperatorMessage& message) {
    OnUiThread([message](CMainDlg& main) { main.ShowMessage(message); });
}

void CMainDlg::ShowState(const core::CBotState& state) {
    m_state = state;
    m_pIrcDlg->ShowState(state);
    m_pGameDlg->ShowState(state);
    SetItemText(res::IDC_MAIN_BROADCAST, res::LoadResString(state.m_bBroadcast
                                                                ? res::IDS_STOP_BROADCAST
                                                                : res::IDS_START_BROADCAST));
}

void CMainDlg::ShowMessage(const core::COperatorMessage& message) {
    MessageBox(message.m_strText, message.m_strCaption, FrameworkIcon(message.m_eIcon));
    // The field to mend gets the focus once the box is closed.
    if (!message.m_strKey.empty()) m_pIrcDlg->FocusKey(message.m_strKey);
}

}  // namespace ui
