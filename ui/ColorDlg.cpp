#include "ui/ColorDlg.h"

#include "framework/DataExchange.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/SettingBinding.h"

namespace ui {

namespace {

// Role labels and the strings they show.
// The colour edits and filter boxes that a game run locks.
constexpr int kColorEdits[] = {
    res::IDC_COLOR_ALLIED_KILL, res::IDC_COLOR_AXIS_KILL, res::IDC_COLOR_KEY,
    res::IDC_COLOR_VALUE,       res::IDC_COLOR_STATUS,    res::IDC_COLOR_ALLIED_FLAG,
    res::IDC_COLOR_AXIS_FLAG,
};
constexpr int kFilterBoxes[] = {res::IDC_SHOW_KILL, res::IDC_SHOW_TK, res::IDC_SHOW_FLAG,
                                res::IDC_SHOW_TICKET};

// The controls in their exchange order.
constexpr CBinding kBindings[] = {
    {res::IDC_COLOR_ALLIED_KILL, "allied_farbe_kill", CColorDlg::kColorMaxChars},
    {res::IDC_COLOR_AXIS_KILL, "axis_farbe_kill", CColorDlg::kColorMaxChars},
    {res::IDC_COLOR_STATUS, "status_farbe", CColorDlg::kColorMaxChars},
    {res::IDC_COLOR_ALLIED_FLAG, "allied_farbe_flagge", CColorDlg::kColorMaxChars},
    {res::IDC_COLOR_AXIS_FLAG, "axis_farbe_flagge", CColorDlg::kColorMaxChars},
    {res::IDC_COLOR_VALUE, "value_farbe", CColorDlg::kColorMaxChars},
    {res::IDC_COLOR_KEY, "key_farbe", CColorDlg::kColorMaxChars},
    {res::IDC_SHOW_FLAG, "show_flag"},
    {res::IDC_SHOW_KILL, "show_kill"},
    {res::IDC_SHOW_TICKET, "show_ticket"},
    {res::IDC_SHOW_TK, "show_tk"},
};

constexpr int kRoleLabels[][2] = {
    {res::IDC_LABEL_ALLIED_KILL, res::IDS_LABEL_ALLIED_KILL},
    {res::IDC_LABEL_ALLIED_FLAG, res::IDS_LABEL_ALLIED_FLAG},
    {res::IDC_LABEL_AXIS_KILL, res::IDS_LABEL_AXIS_KILL},
    {res::IDC_LABEL_AXIS_FLAG, res::IDS_LABEL_AXIS_FLAG},
    {res::IDC_LABEL_STATUS, res::IDS_LABEL_STATUS},
    {res::IDC_LABEL_KEY, res::IDS_LABEL_KEY},
    {res::IDC_LABEL_VALUE, res::IDS_LABEL_VALUE},
};

}  // namespace

CColorDlg::CColorDlg(config::CSettings& settings)
    : CPage(dialogs::FindDialogTemplate(res::IDD_COLORS)), m_settings(settings) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    MapClick(res::IDC_SHOW_KILL, [this] { OnToggleKills(); });
    MapClick(res::IDC_SHOW_TK, [this] { OnToggleTeamkills(); });
    MapClick(res::IDC_SHOW_FLAG, [this] { OnToggleFlags(); });
    MapClick(res::IDC_SHOW_TICKET, [this] { OnToggleTickets(); });
}

void CColorDlg::SetLocked(bool bLocked) {
    for (int nId : kColorEdits) SetReadOnly(nId, bLocked);
    for (int nId : kFilterBoxes) EnableItem(nId, !bLocked);
}

void CColorDlg::DoDataExchange(framework::CDataExchange& dx) {
    for (const CBinding& binding : kBindings) ExchangeSetting(dx, binding, m_settings);
}

bool CColorDlg::OnInitDialog() {
    CPage::OnInitDialog();
    for (int n = 0; n <= res::IDS_COLOR_LAST - res::IDS_COLOR_FIRST; ++n) {
        SetItemText(res::kLegendLabelIds[n], res::LoadResString(res::IDS_COLOR_FIRST + n));
    }
    for (const auto& label : kRoleLabels) SetItemText(label[0], res::LoadResString(label[1]));
    return true;
}

void CColorDlg::OnToggleKills() {
    ToggleFilter(m_settings.m_colors.m_bShowKill);
}

void CColorDlg::OnToggleTeamkills() {
    ToggleFilter(m_settings.m_colors.m_bShowTk);
}

void CColorDlg::OnToggleFlags() {
    ToggleFilter(m_settings.m_colors.m_bShowFlag);
}

void CColorDlg::OnToggleTickets() {
    ToggleFilter(m_settings.m_colors.m_bShowTicket);
}

void CColorDlg::ToggleFilter(bool& bFilter) {
    // The boxes do not tick themselves: the field is the state, and the
    // transfer back shows it. Putting the fields back after a refused
    // transfer would overwrite what was typed after the refused edit.
    if (!UpdateData(true)) return;
    bFilter = !bFilter;
    UpdateData(false);
}

}  // namespace ui
