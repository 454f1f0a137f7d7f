#pragma once
// The Settings tab: the colour of each line role and the four action
// filters, bound to the window's settings. The game side takes them when a
// run starts, so a change here reaches the channel at the next start; while
// a run lasts they are locked. Every operation runs on the UI thread.
#include <cstdint>
#include <string>

#include "config/Settings.h"
#include "framework/Page.h"

namespace ui {

class CColorDlg : public framework::CPage {
public:
    // Most characters of a colour text.
    static constexpr int kColorMaxChars = 2;

    // From the Settings template; the settings (the window's values as
    // typed) outlive the page.
    explicit CColorDlg(config::CSettings& settings);

    // While a game run lasts: the colour edits read-only, the filters disabled.
    void SetLocked(bool bLocked);

    // Click handlers of the four check boxes (UI thread): take every value
    // from the controls, invert their own filter, put every value back.
    // When a value cannot be taken (a colour over two characters) the box
    // and the controls stay as they are, so nothing the operator typed is
    // lost; the message has named the edit and it has the focus.
    void OnToggleKills();
    void OnToggleTeamkills();
    void OnToggleFlags();
    void OnToggleTickets();

protected:
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Puts the fields into the controls, then the legend and role labels
    // from the string table.
    bool OnInitDialog() override;
    // Enter and Escape do nothing on this page.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ToggleFilter(bool& bFilter);

    config::CSettings& m_settings;
};

}  // namespace ui
