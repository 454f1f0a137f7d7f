#pragma once
// The Settings tab: the colour of each line role and the four action
// filters. The fields are the page's values; the settings file reads and
// writes them directly, and the game tab copies them when monitoring starts,
// so a change here reaches the channel at the next start.
#include <cstdint>
#include <string>

#include "framework/Page.h"

class CColorDlg : public framework::CPage {
public:
    // Most characters of a colour text.
    static constexpr int kColorMaxChars = 2;

    // From the Settings template, every colour empty and every filter on.
    CColorDlg();

    // Fields, in their exchange order. UI thread (the settings file and the
    // game tab use them there too).
    std::string m_strAlliedKillColor;
    std::string m_strAxisKillColor;
    std::string m_strStatusColor;
    std::string m_strAlliedFlagColor;
    std::string m_strAxisFlagColor;
    std::string m_strValueColor;
    std::string m_strKeyColor;
    // Filters: 1 announce, 0 suppress.
    int32_t m_bShowFlag = 1;
    int32_t m_bShowKill = 1;
    int32_t m_bShowTicket = 1;
    int32_t m_bShowTk = 1;

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
    void ToggleFilter(int32_t& nFilter);
};
