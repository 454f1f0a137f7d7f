#pragma once
// The IRC tab: the connection settings, Connect/Disconnect, the channel's
// log and the chat input. A view over the bot: its controls are bound to
// the window's settings, a click becomes a command, and its captions and
// enabled fields follow the bot's state as the main window hands it over.
// Every operation runs on the UI thread.
#include <atomic>
#include <string>
#include <string_view>

#include "config/Settings.h"
#include "core/Bot.h"
#include "framework/ControlHandles.h"
#include "framework/Page.h"

namespace ui {

class CIrcDlg : public framework::CPage {
public:
    // From the IRC template. The bot and the settings (the window's values
    // as typed) outlive the page.
    CIrcDlg(core::CBot& bot, config::CSettings& settings);

    framework::CLogCtrl m_log;  // control 1004
    std::string m_strInput;     // the chat input line
    std::atomic<bool> m_bInputFocus{false};

    // ---- Handlers.
    // Connect when no session is active (the controls' values go to the
    // bot first), else Disconnect. The bot's state decides, never the caption.
    void OnConnect();
    // After a transfer: when the typed port lies outside 0 to 65535 (the
    // port field then kept its value), shows Connect's "Fill out all
    // Inputfields!", focuses the port and returns true.
    bool RefusePortOutOfRange();
    // The check box was clicked: the setting follows it, and the network
    // list and the credentials open or close with it.
    void OnAuthCheck();
    // The TLS box was clicked: the setting follows it, and so does the word
    // beside it that the password would go readable.
    void OnTlsCheck();
    void OnInputSetFocus() { m_bInputFocus = true; }
    void OnInputKillFocus() { m_bInputFocus = false; }

    // ---- From the bot, on the UI thread.
    // Caption and locked fields: a session that is active locks the
    // connection settings and makes Connect a Disconnect.
    void ShowState(const core::CBotState& state);
    void AppendLog(const std::string& strLine);
    // Focuses the control of a settings key; false when the page has none.
    bool FocusKey(std::string_view strKey);

    static constexpr int kMaxInput = 1000;  // characters of one chat line

protected:
    // Log, channel, nickname, server, input, port, alternative nickname,
    // authentication, user name, network, password, ticket interval, TLS,
    // pinned fingerprint, client certificate.
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Fields into the controls, log read-only, caption "Connect",
    // authentication look.
    bool OnInitDialog() override;
    // Enter: with the focus in the input line, its text goes to the channel
    // (only while in it; the log shows "<nick> text" either way) and the
    // input line is emptied.
    void OnOK() override;
    // Escape does nothing.
    void OnCancel() override {}

private:
    void ApplyLook();

    core::CBot& m_bot;
    config::CSettings& m_settings;
    bool m_bSessionActive = false;   // as the bot last said
    bool m_bPortOutOfRange = false;  // the last transfer found a port beyond 16 bits
};

}  // namespace ui
