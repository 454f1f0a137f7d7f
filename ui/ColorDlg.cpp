#include "ui/ColorDlg.h"

#include "framework/DataExchange.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace ui {

namespace {

// Role labels and the strings they show.
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

CColorDlg::CColorDlg() : CPage(res::FindDialogTemplate(res::IDD_COLORS)) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    MapClick(res::IDC_SHOW_KILL, [this] { OnToggleKills(); });
    MapClick(res::IDC_SHOW_TK, [this] { OnToggleTeamkills(); });
    MapClick(res::IDC_SHOW_FLAG, [this] { OnToggleFlags(); });
    MapClick(res::IDC_SHOW_TICKET, [this] { OnToggleTickets(); });
}

monitor::CColorScheme CColorDlg::Scheme() const {
    const auto lock = LockFields();
    return *this;
}

void CColorDlg::SetScheme(const monitor::CColorScheme& scheme) {
    const auto lock = LockFields();
    static_cast<monitor::CColorScheme&>(*this) = scheme;
}

void CColorDlg::DoDataExchange(framework::CDataExchange& dx) {
    dx.Text(res::IDC_COLOR_ALLIED_KILL, m_strAlliedKillColor, kColorMaxChars);
    dx.Text(res::IDC_COLOR_AXIS_KILL, m_strAxisKillColor, kColorMaxChars);
    dx.Text(res::IDC_COLOR_STATUS, m_strStatusColor, kColorMaxChars);
    dx.Text(res::IDC_COLOR_ALLIED_FLAG, m_strAlliedFlagColor, kColorMaxChars);
    dx.Text(res::IDC_COLOR_AXIS_FLAG, m_strAxisFlagColor, kColorMaxChars);
    dx.Text(res::IDC_COLOR_VALUE, m_strValueColor, kColorMaxChars);
    dx.Text(res::IDC_COLOR_KEY, m_strKeyColor, kColorMaxChars);
    dx.Check(res::IDC_SHOW_FLAG, m_bShowFlag);
    dx.Check(res::IDC_SHOW_KILL, m_bShowKill);
    dx.Check(res::IDC_SHOW_TICKET, m_bShowTicket);
    dx.Check(res::IDC_SHOW_TK, m_bShowTk);
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
    ToggleFilter(m_bShowKill);
}

void CColorDlg::OnToggleTeamkills() {
    ToggleFilter(m_bShowTk);
}

void CColorDlg::OnToggleFlags() {
    ToggleFilter(m_bShowFlag);
}

void CColorDlg::OnToggleTickets() {
    ToggleFilter(m_bShowTicket);
}

void CColorDlg::ToggleFilter(bool& bFilter) {
    // The boxes do not tick themselves: the field is the state, and the
    // transfer back shows it. Putting the fields back after a refused
    // transfer would overwrite what was typed after the refused edit.
    if (!UpdateData(true)) return;
    {
        const auto lock = LockFields();
        bFilter = !bFilter;
    }
    UpdateData(false);
}

}  // namespace ui
