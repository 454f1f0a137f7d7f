#include "ui/SettingsPages.h"

#include "config/SettingsFile.h"
#include "framework/MessageBox.h"
#include "irc/IrcSession.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"

namespace ui {

void ApplySettings(const config::CSettingsValues& values, irc::CIrcSession& irc, CGameDlg& game,
                   CColorDlg& colors) {
    ApplyIrcSettings(values, irc);
    ApplyGameSettings(values, game);
    ApplyColorSettings(values, colors);
}

void ApplyIrcSettings(const config::CSettingsValues& values, irc::CIrcSession& irc) {
    {
        const auto lock = irc.LockFields();
        irc.m_strServer = values.m_strIrcServer;
        irc.m_nPort = static_cast<uint16_t>(values.m_nIrcPort);
        irc.m_strNick = values.m_strNick;
        irc.m_strAltNick = values.m_strAltNick;
        irc.m_strChannel = values.m_strChannel;
        irc.m_bAuth = values.m_bAuth != 0;
        irc.m_strUsername = values.m_strUsername;
        irc.m_strPassword = values.m_strPassword;
        irc.m_nNetwork = values.m_nNetwork;
        irc.m_security.m_bTls = values.m_bTls != 0;
        irc.m_security.m_strTlsFingerprint = values.m_strTlsFingerprint;
        irc.m_security.m_strClientCert = values.m_strClientCert;
    }
    irc.GameShared().SetTicketSecs(values.m_nTicketSecs);
}

void ApplyGameSettings(const config::CSettingsValues& values, CGameDlg& game) {
    const auto lock = game.LockFields();
    game.m_nLanguage = values.m_nLanguage;
    game.m_strServer = values.m_strGameServer;
    game.m_nQueryPort = values.m_nQueryPort;
}

void ApplyColorSettings(const config::CSettingsValues& values, CColorDlg& colors) {
    const auto lock = colors.LockFields();
    colors.m_strAlliedKillColor = values.m_strAlliedKillColor;
    colors.m_strAlliedFlagColor = values.m_strAlliedFlagColor;
    colors.m_strAxisKillColor = values.m_strAxisKillColor;
    colors.m_strAxisFlagColor = values.m_strAxisFlagColor;
    colors.m_strStatusColor = values.m_strStatusColor;
    colors.m_strKeyColor = values.m_strKeyColor;
    colors.m_strValueColor = values.m_strValueColor;
    colors.m_bShowFlag = values.m_bShowFlag;
    colors.m_bShowKill = values.m_bShowKill;
    colors.m_bShowTicket = values.m_bShowTicket;
    colors.m_bShowTk = values.m_bShowTk;
}

config::CSettingsValues CollectSettings(irc::CIrcSession& irc, CGameDlg& game, CColorDlg& colors) {
    config::CSettingsValues values;
    CollectIrcSettings(irc, values);
    CollectGameSettings(game, values);
    CollectColorSettings(colors, values);
    return values;
}

void CollectIrcSettings(irc::CIrcSession& irc, config::CSettingsValues& values) {
    {
        const auto lock = irc.LockFields();
        values.m_strIrcServer = irc.m_strServer;
        values.m_nIrcPort = static_cast<int16_t>(irc.m_nPort);
        values.m_strNick = irc.m_strNick;
        values.m_strAltNick = irc.m_strAltNick;
        values.m_strChannel = irc.m_strChannel;
        values.m_bAuth = irc.m_bAuth ? 1 : 0;
        values.m_strUsername = irc.m_strUsername;
        values.m_strPassword = irc.m_strPassword;
        values.m_nNetwork = irc.m_nNetwork;
        values.m_bTls = irc.m_security.m_bTls ? 1 : 0;
        values.m_strTlsFingerprint = irc.m_security.m_strTlsFingerprint;
        values.m_strClientCert = irc.m_security.m_strClientCert;
    }
    values.m_nTicketSecs = irc.GameShared().TicketSecs();
}

void CollectGameSettings(CGameDlg& game, config::CSettingsValues& values) {
    const auto lock = game.LockFields();
    values.m_nLanguage = game.m_nLanguage;
    values.m_strGameServer = game.m_strServer;
    values.m_nQueryPort = game.m_nQueryPort;
}

void CollectColorSettings(CColorDlg& colors, config::CSettingsValues& values) {
    const auto lock = colors.LockFields();
    values.m_strAlliedKillColor = colors.m_strAlliedKillColor;
    values.m_strAlliedFlagColor = colors.m_strAlliedFlagColor;
    values.m_strAxisKillColor = colors.m_strAxisKillColor;
    values.m_strAxisFlagColor = colors.m_strAxisFlagColor;
    values.m_strStatusColor = colors.m_strStatusColor;
    values.m_strKeyColor = colors.m_strKeyColor;
    values.m_strValueColor = colors.m_strValueColor;
    values.m_bShowFlag = colors.m_bShowFlag;
    values.m_bShowKill = colors.m_bShowKill;
    values.m_bShowTicket = colors.m_bShowTicket;
    values.m_bShowTk = colors.m_bShowTk;
}

void LoadSettings(const std::string& strPath, irc::CIrcSession& irc, CGameDlg& game,
                  CColorDlg& colors) {
    config::CSettingsValues values;
    config::LoadSettingsFile(strPath, values);
    ApplySettings(values, irc, game, colors);
}

bool SaveSettingsFile(const std::string& strPath, const config::CSettingsValues& values,
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
