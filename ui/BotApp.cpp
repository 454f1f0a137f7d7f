#include "ui/BotApp.h"

#include <utility>

#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"

namespace ui {

CBotApp::CBotApp(framework::CDispatcher& dispatcher, platform::CClock& clock,
                 CMainDlg::COptions options)
    : m_dispatcher(dispatcher), m_clock(clock), m_options(std::move(options)) {}

CBotApp::~CBotApp() {
    ExitInstance();
}

bool CBotApp::InitInstance(framework::IMessageSink& sink) {
    if (m_bInitDone) return false;
    m_bInitDone = true;
    m_pMainDlg = std::make_unique<CMainDlg>(m_dispatcher, m_clock, m_options);
    if (m_pMainDlg->Create(sink)) return true;
    m_pMainDlg.reset();
    return false;
}

bool CBotApp::StartAsBroadcast() {
    if (!m_pMainDlg) return false;
    m_pMainDlg->OnBroadcast();
    const CIrcDlg* pIrc = m_pMainDlg->IrcPage();
    const CGameDlg* pGame = m_pMainDlg->GamePage();
    return (pIrc != nullptr && pIrc->IsSessionActive()) ||
           (pGame != nullptr && pGame->IsMonitoring());
}

void CBotApp::Quit() {
    if (m_pMainDlg) m_pMainDlg->OnQuit();
}

void CBotApp::ExitInstance() {
    if (!m_pMainDlg) return;
    m_pMainDlg->DestroyWindow();
    m_pMainDlg.reset();
}

}  // namespace ui
