#pragma once
// The BF42 tab: server, port, language, the quick-info panel, the log and
// the Connect, Pause and Check buttons. A view over the bot's game side:
// its inputs are bound to the window's settings, a click becomes a command,
// and its captions and enabled controls follow the bot's state as the main
// window hands it over; nothing is read back from a caption. Every
// operation runs on the UI thread.
#include <string>

#include "config/Settings.h"
#include "core/Bot.h"
#include "framework/ControlHandles.h"
#include "framework/Page.h"
#include "query/QuickInfo.h"

namespace ui {

class CColorDlg;

class CGameDlg : public framework::CPage {
public:
    // From the BF42 template. The bot and the settings (the window's values
    // as typed) outlive the page.
    CGameDlg(core::CBot& bot, config::CSettings& settings);

    framework::CLogCtrl m_log;  // control 1012

    // The Settings page, whose colours a start takes along and whose inputs
    // lock while a run lasts; set once by the main window.
    void SetColorDlg(CColorDlg* pColorDlg) { m_pColorDlg = pColorDlg; }

    // ---- Buttons.
    // Connect/Disconnect: starting sends this page's and the Settings
    // page's values to the bot and starts the game side (a refusal comes
    // back as a message); stopping ends the run.
    void OnConnect();
    // Pause/Unpause.
    void OnPause();
    // Check: blanks the quick-info fields and starts the check (refused with
    // "Fill out all Inputfields!" when server or port are missing).
    void OnCheck();

    // ---- From the bot.
    void ShowState(const core::CBotState& state);
    // The check's result into the panel (only the panel's controls, so that
    // a language chosen meanwhile stays), the status cleared first as every
    // panel text is; then the look of the state last told, so that inputs a
    // press locked come back once no check runs.
    void ShowQuickInfo(const query::CQuickInfoResult& result);
    void AppendLog(const std::string& strLine);
    // The quick-info panel's fields as last shown.
    query::CQuickInfoResult QuickInfoShown() const;

protected:
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Puts the fields into the controls, makes the log read-only and sets
    // the button captions.
    bool OnInitDialog() override;
    // Enter and Escape do nothing on this page.
    void OnOK() override {}
    void OnCancel() override {}

private:
    // Takes this page's and the Settings page's values and hands them to the bot.
    void SendSettings();
    // Puts the panel's seven fields into their controls.
    void RefreshQuickInfoPanel();

    core::CBot& m_bot;
    config::CSettings& m_settings;
    CColorDlg* m_pColorDlg = nullptr;
    core::CBotState m_state;  // as the bot last said

    // The quick-info panel.
    std::string m_strQiGamePort;
    std::string m_strQiHostname;
    std::string m_strQiMap;
    std::string m_strQiMod;
    std::string m_strQiPlayers;
    std::string m_strQiVersion;
    std::string m_strQiStatus;
};

}  // namespace ui
