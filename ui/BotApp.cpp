#include "ui/BotApp.h"

#include <utility>

#include "platform/PathText.h"

namespace ui {

CBotApp::CBotApp(framework::CDispatcher& dispatcher, platform::CClock& clock, CAppOptions options)
    : m_dispatcher(dispatcher),
      m_clock(clock),
      m_options(std::move(options)),
      m_file(m_options.m_strSettingsPath) {}

CBotApp::~CBotApp() {
    ExitInstance();
}

bool CBotApp::InitInstance(framework::IMessageSink& sink) {
    if (m_bInitDone) return false;
    m_bInitDone = true;
    core::CBot::COptions botOptions;
    botOptions.m_strUpdateHost = m_options.m_strUpdateHost;
    botOptions.m_nUpdatePort = m_options.m_nUpdatePort;
    botOptions.m_bTrafficMeter = true;
    botOptions.m_strSettingsFolder = platform::FolderOf(m_options.m_strSettingsPath);
    m_pBot = std::make_unique<core::CBot>(m_file.Load(), botOptions, m_clock);
    m_pMainDlg = std::make_unique<CMainDlg>(m_dispatcher, *m_pBot, m_file);
    if (!m_pMainDlg->Create(sink)) {
        m_pMainDlg.reset();
        m_pBot.reset();
        return false;
    }
    m_pBot->AddObserver(*m_pMainDlg);
    m_pBot->Start();
    return true;
}

void CBotApp::StartAsBroadcast() {
    if (m_pMainDlg) m_pMainDlg->OnBroadcast();
}

void CBotApp::Quit() {
    if (m_pMainDlg) m_pMainDlg->OnQuit();
}

void CBotApp::ExitInstance() {
    // No thread of the bot may tell the window anything once it is gone.
    if (m_pBot) m_pBot->Shutdown();
    if (m_pMainDlg) {
        m_pMainDlg->DestroyWindow();
        m_pMainDlg.reset();
    }
    m_pBot.reset();
}

}  // namespace ui
