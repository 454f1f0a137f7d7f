#include "ui/SettingsPages.h"

#include "config/SettingsFile.h"
#include "framework/MessageBox.h"
#include "irc/IrcSession.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"

namespace ui {

void ApplySettings(const config::CSettings& values, irc::CIrcSession& irc, CGameDlg& game,
                   CColorDlg& colors) {
    ApplyIrcSettings(values, irc);
    ApplyGameSettings(values, game);
    ApplyColorSettings(values, colors);
}

void ApplyIrcSettings(const config::CSettings& values, irc::CIrcSession& irc) {
    irc.SetConnection(values.m_irc);
    irc.GameShared().SetTicketSecs(values.m_nTicketSecs);
}

void ApplyGameSettings(const config::CSettings& values, CGameDlg& game) {
    game.SetServerChoice(
        {values.m_game.m_strServer, values.m_game.m_nQueryPort, values.m_game.m_nLanguage});
}

void ApplyColorSettings(const config::CSettings& values, CColorDlg& colors) {
    colors.SetScheme(values.m_colors);
}

config::CSettings CollectSettings(irc::CIrcSession& irc, CGameDlg& game, CColorDlg& colors) {
    config::CSettings values;
    CollectIrcSettings(irc, values);
    CollectGameSettings(game, values);
    CollectColorSettings(colors, values);
    return values;
}

void CollectIrcSettings(irc::CIrcSession& irc, config::CSettings& values) {
    values.m_irc = irc.Connection();
    values.m_nTicketSecs = irc.GameShared().TicketSecs();
}

void CollectGameSettings(CGameDlg& game, config::CSettings& values) {
    const CGameDlg::CServerChoice choice = game.ServerChoice();
    values.m_game.m_nLanguage = choice.m_nLanguage;
    values.m_game.m_strServer = choice.m_strServer;
    values.m_game.m_nQueryPort = choice.m_nQueryPort;
}

void CollectColorSettings(CColorDlg& colors, config::CSettings& values) {
    values.m_colors = colors.Scheme();
}

void LoadSettings(const std::string& strPath, irc::CIrcSession& irc, CGameDlg& game,
                  CColorDlg& colors) {
    config::CSettings values;
    config::LoadSettingsFile(strPath, values);
    ApplySettings(values, irc, game, colors);
}

bool SaveSettingsFile(const std::string& strPath, const config::CSettings& values,
                      framework::IMessageSink* pSink) {
    const bool bOk = config::WriteSettingsFile(strPath, values);
    if (!bOk && pSink != nullptr) {
        pSink->ShowMessage(framework::CMessage{res::LoadResString(res::IDS_WRITE_FAILED),
                                               res::LoadResString(res::IDS_ERROR),
                                               framework::EIcon::Error});
    }
    return bOk;
}

bool SaveSettings(const std::string& strPath, irc::CIrcSession& irc, CGameDlg& game,
                  CColorDlg& colors, framework::IMessageSink* pSink) {
    return SaveSettingsFile(strPath, CollectSettings(irc, game, colors), pSink);
}

}  // namespace ui
