#include "ui/SettingsPages.h"

#include "config/SettingsFile.h"
#include "framework/MessageBox.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"

namespace ui {

namespace {

// The file keeps the port as 16 bits signed and the flags as integers.
irc::CIrcSettings IrcConnectionOf(const config::CSettingsValues& values) {
    irc::CIrcSettings c;
    c.m_strServer = values.m_strIrcServer;
    c.m_nPort = static_cast<uint16_t>(values.m_nIrcPort);
    c.m_strNick = values.m_strNick;
    c.m_strAltNick = values.m_strAltNick;
    c.m_strChannel = values.m_strChannel;
    c.m_bAuth = values.m_bAuth != 0;
    c.m_strUsername = values.m_strUsername;
    c.m_strPassword = values.m_strPassword;
    c.m_nNetwork = values.m_nNetwork;
    c.m_security.m_bTls = values.m_bTls != 0;
    c.m_security.m_strTlsFingerprint = values.m_strTlsFingerprint;
    c.m_security.m_strClientCert = values.m_strClientCert;
    return c;
}

void SetIrcConnection(const irc::CIrcSettings& c, config::CSettingsValues& values) {
    values.m_strIrcServer = c.m_strServer;
    values.m_nIrcPort = static_cast<int16_t>(c.m_nPort);
    values.m_strNick = c.m_strNick;
    values.m_strAltNick = c.m_strAltNick;
    values.m_strChannel = c.m_strChannel;
    values.m_bAuth = c.m_bAuth ? 1 : 0;
    values.m_strUsername = c.m_strUsername;
    values.m_strPassword = c.m_strPassword;
    values.m_nNetwork = c.m_nNetwork;
    values.m_bTls = c.m_security.m_bTls ? 1 : 0;
    values.m_strTlsFingerprint = c.m_security.m_strTlsFingerprint;
    values.m_strClientCert = c.m_security.m_strClientCert;
}

}  // namespace

void ApplySettings(const config::CSettingsValues& values, CIrcDlg& irc, CGameDlg& game,
                   CColorDlg& colors) {
    ApplyIrcSettings(values, irc);
    ApplyGameSettings(values, game);
    ApplyColorSettings(values, colors);
}

void ApplyIrcSettings(const config::CSettingsValues& values, CIrcDlg& irc) {
    irc.SetConnection(IrcConnectionOf(values));
    irc.GameShared().SetTicketSecs(values.m_nTicketSecs);
}

void ApplyGameSettings(const config::CSettingsValues& values, CGameDlg& game) {
    game.SetServerChoice({values.m_strGameServer, values.m_nQueryPort, values.m_nLanguage});
}

void ApplyColorSettings(const config::CSettingsValues& values, CColorDlg& colors) {
    colors.SetScheme(values.Colors());
}

config::CSettingsValues CollectSettings(CIrcDlg& irc, CGameDlg& game, CColorDlg& colors) {
    config::CSettingsValues values;
    CollectIrcSettings(irc, values);
    CollectGameSettings(game, values);
    CollectColorSettings(colors, values);
    return values;
}

void CollectIrcSettings(CIrcDlg& irc, config::CSettingsValues& values) {
    SetIrcConnection(irc.Connection(), values);
    values.m_nTicketSecs = irc.GameShared().TicketSecs();
}

void CollectGameSettings(CGameDlg& game, config::CSettingsValues& values) {
    const CGameDlg::CServerChoice choice = game.ServerChoice();
    values.m_nLanguage = choice.m_nLanguage;
    values.m_strGameServer = choice.m_strServer;
    values.m_nQueryPort = choice.m_nQueryPort;
}

void CollectColorSettings(CColorDlg& colors, config::CSettingsValues& values) {
    values.SetColors(colors.Scheme());
}

void LoadSettings(const std::string& strPath, CIrcDlg& irc, CGameDlg& game, CColorDlg& colors) {
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

bool SaveSettings(const std::string& strPath, CIrcDlg& irc, CGameDlg& game, CColorDlg& colors,
                  framework::IMessageSink* pSink) {
    return SaveSettingsFile(strPath, CollectSettings(irc, game, colors), pSink);
}

}  // namespace ui
