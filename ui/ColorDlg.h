#pragma once
// The Settings tab: the colour of each line role and the four action
// filters. The page's values are a monitor::CColorScheme; the settings file
// and the game tab take and give it whole (Scheme, SetScheme), and the game
// tab copies it when monitoring starts, so a change here reaches the channel
// at the next start.
#include <cstdint>
#include <string>

#include "framework/Page.h"
#include "monitor/ColorScheme.h"

namespace ui {

class CColorDlg : public framework::CPage, protected monitor::CColorScheme {
public:
    // Most characters of a colour text.
    static constexpr int kColorMaxChars = 2;

    // From the Settings template, every colour empty and every filter on.
    CColorDlg();

    // The scheme as one value, under the fields lock. Any thread.
    monitor::CColorScheme Scheme() const;
    void SetScheme(const monitor::CColorScheme& scheme);

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
};

}  // namespace ui
