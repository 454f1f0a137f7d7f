// The dialog templates: the controls the pages rely on, sound geometry, and
// labels wide enough for their texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/DialogTemplate.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"

using framework::CControlTemplate;
using framework::CDialogTemplate;
using framework::EControlKind;
namespace style = framework::style;
using namespace res;
using dialogs::DialogTemplateIds;
using dialogs::FindDialogTemplate;

namespace {

const CDialogTemplate& Dialog(int nId) {
    static const CDialogTemplate kNone;
    const CDialogTemplate* pDlg = FindDialogTemplate(nId);
    EXPECT_NE(pDlg, nullptr) << "dialog " << nId;
    return pDlg != nullptr ? *pDlg : kNone;
}

// Width of a text in dialog units of an 8-point sans. Advance widths of a
// Helvetica-like face in thousandths of an em; a dialog unit is a quarter of
// the average width of A-Z and a-z.
double TextWidth(const std::string& str) {
    static const int kWidths[95] = {
        278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  // ' '../
        556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0..?
        1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @..O
        667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,  // P.._
        333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,  // `..o
        556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};      // p..~
    const auto width = [&](unsigned char ch) {
        return (ch >= 32 && ch < 127) ? kWidths[ch - 32] : 556;
    };
    double nAlpha = 0;
    for (char ch = 'A'; ch <= 'Z'; ++ch) nAlpha += width(static_cast<unsigned char>(ch));
    for (char ch = 'a'; ch <= 'z'; ++ch) nAlpha += width(static_cast<unsigned char>(ch));
    const double nUnit = nAlpha / 52.0 / 4.0;
    double nTotal = 0;
    for (const char ch : str) nTotal += width(static_cast<unsigned char>(ch));
    return nTotal / nUnit;
}

// Room a control leaves for its text: a check box's box, a button's edges,
// a group box's corner; a word-wrapped static has as many lines as fit.
double TextRoom(const CControlTemplate& ctrl) {
    switch (ctrl.m_eKind) {
        case EControlKind::CheckBox:
            return ctrl.m_cx - 12;
        case EControlKind::PushButton:
        case EControlKind::DefPushButton:
            return ctrl.m_cx - 4;
        case EControlKind::GroupBox:
            return ctrl.m_cx - 10;
        default:
            break;
    }
    const int nLines = (ctrl.m_nStyle & style::WordWrap) != 0 ? std::max(1, ctrl.m_cy / 8) : 1;
    return static_cast<double>(ctrl.m_cx) * nLines;
}

bool Overlaps(const CControlTemplate& a, const CControlTemplate& b) {
    return a.m_x < b.m_x + b.m_cx && b.m_x < a.m_x + a.m_cx &&
           a.m_y < b.m_y + framework::ClosedHeight(b) && b.m_y < a.m_y + framework::ClosedHeight(a);
}

bool Contains(const CControlTemplate& outer, const CControlTemplate& inner) {
    return outer.m_x <= inner.m_x && inner.m_x + inner.m_cx <= outer.m_x + outer.m_cx &&
           outer.m_y <= inner.m_y &&
           inner.m_y + framework::ClosedHeight(inner) <= outer.m_y + outer.m_cy;
}

std::string Describe(const CControlTemplate& ctrl) {
    return std::to_string(ctrl.m_nId) + " \"" + ctrl.m_strText + "\"";
}

TEST(DialogTemplates, TheFiveDialogsExist) {
    EXPECT_EQ(DialogTemplateIds(), (std::vector<int>{102, 130, 131, 132, 133}));
    EXPECT_EQ(FindDialogTemplate(101), nullptr);
    EXPECT_EQ(FindDialogTemplate(-1), nullptr);
    for (const int nId : DialogTemplateIds()) {
        const CDialogTemplate& dlg = Dialog(nId);
        EXPECT_EQ(dlg.m_nPointSize, 8);
        EXPECT_EQ(dlg.m_strFont, "MS Sans Serif");
    }
    EXPECT_EQ(Dialog(IDD_MAIN).m_cx, 429);
    EXPECT_EQ(Dialog(IDD_MAIN).m_cy, 199);
    EXPECT_EQ(Dialog(IDD_MAIN).m_nStyle & (style::SysMenu | style::MinimizeBox | style::Child),
              style::SysMenu | style::MinimizeBox);
    for (const int nId : {IDD_IRC, IDD_GAME, IDD_ABOUT, IDD_COLORS}) {
        EXPECT_EQ(Dialog(nId).m_cx, 400) << nId;
        EXPECT_EQ(Dialog(nId).m_cy, 142) << nId;
        EXPECT_NE(Dialog(nId).m_nStyle & style::Child, 0u) << nId;
    }
}

TEST(DialogTemplates, GeometryIsSound) {
    for (const int nDialog : DialogTemplateIds()) {
        const CDialogTemplate& dlg = Dialog(nDialog);
        SCOPED_TRACE("dialog " + std::to_string(nDialog));
        for (size_t i = 0; i < dlg.m_controls.size(); ++i) {
            const CControlTemplate& a = dlg.m_controls[i];
            EXPECT_GT(a.m_cx, 0) << Describe(a);
            EXPECT_GT(a.m_cy, 0) << Describe(a);
            EXPECT_TRUE(a.m_x >= 0 && a.m_y >= 0 && a.m_x + a.m_cx <= dlg.m_cx &&
                        a.m_y + framework::ClosedHeight(a) <= dlg.m_cy)
                << Describe(a) << " leaves the dialog";
            for (size_t j = i + 1; j < dlg.m_controls.size(); ++j) {
                const CControlTemplate& b = dlg.m_controls[j];
                if (a.m_nId != framework::IDC_STATIC) {
                    EXPECT_NE(a.m_nId, b.m_nId) << "two controls share id " << a.m_nId;
                }
                if (!Overlaps(a, b)) continue;
                const bool bFramed = (a.m_eKind == EControlKind::GroupBox && Contains(a, b)) ||
                                     (b.m_eKind == EControlKind::GroupBox && Contains(b, a));
                EXPECT_TRUE(bFramed) << Describe(a) << " overlaps " << Describe(b);
            }
        }
    }
}

TEST(DialogTemplates, TemplateTextsFitTheirControls) {
    for (const int nDialog : DialogTemplateIds()) {
        SCOPED_TRACE("dialog " + std::to_string(nDialog));
        for (const CControlTemplate& ctrl : Dialog(nDialog).m_controls) {
            // Placeholders replaced at start are checked with their real texts below.
            if (ctrl.m_strText.rfind("IDS_", 0) == 0 || ctrl.m_strText == "Static") continue;
            EXPECT_LE(TextWidth(ctrl.m_strText), TextRoom(ctrl)) << Describe(ctrl);
        }
    }
}

TEST(DialogTemplates, RunTimeCaptionsFitTheirControls) {
    struct {
        int m_nDialog;
        int m_nControl;
        std::string m_strText;
    } const rows[] = {
        {IDD_MAIN, IDC_MAIN_BROADCAST, LoadResString(IDS_START_BROADCAST)},
        {IDD_MAIN, IDC_MAIN_BROADCAST, LoadResString(IDS_STOP_BROADCAST)},
        {IDD_MAIN, IDC_MAIN_APPLY, LoadResString(IDS_APPLY)},
        {IDD_MAIN, IDC_MAIN_QUIT, LoadResString(IDS_QUIT)},
        {IDD_MAIN, IDC_MAIN_TRAFFIC, "Traffic: 999 kb/s"},
        {IDD_IRC, IDC_IRC_CONNECT, LoadResString(IDS_DISCONNECT)},
        {IDD_GAME, IDC_GAME_CONNECT, LoadResString(IDS_DISCONNECT)},
        {IDD_GAME, IDC_GAME_PAUSE, LoadResString(IDS_UNPAUSE)},
        {IDD_GAME, IDC_GAME_CHECK, LoadResString(IDS_CHECK)},
        {IDD_GAME, IDC_QI_STATUS, LoadResString(IDS_NOT_FOUND)},
        {IDD_COLORS, IDC_LABEL_ALLIED_KILL, LoadResString(IDS_LABEL_ALLIED_KILL)},
        {IDD_COLORS, IDC_LABEL_AXIS_KILL, LoadResString(IDS_LABEL_AXIS_KILL)},
        {IDD_COLORS, IDC_LABEL_ALLIED_FLAG, LoadResString(IDS_LABEL_ALLIED_FLAG)},
        {IDD_COLORS, IDC_LABEL_AXIS_FLAG, LoadResString(IDS_LABEL_AXIS_FLAG)},
        {IDD_COLORS, IDC_LABEL_STATUS, LoadResString(IDS_LABEL_STATUS)},
        {IDD_COLORS, IDC_LABEL_KEY, LoadResString(IDS_LABEL_KEY)},
        {IDD_COLORS, IDC_LABEL_VALUE, LoadResString(IDS_LABEL_VALUE)},
    };
    for (const auto& row : rows) {
        const CControlTemplate* pCtrl = Dialog(row.m_nDialog).Find(row.m_nControl);
        ASSERT_NE(pCtrl, nullptr) << row.m_nDialog << "/" << row.m_nControl;
        EXPECT_LE(TextWidth(row.m_strText), TextRoom(*pCtrl)) << row.m_strText;
    }
    for (int n = 0; n < 16; ++n) {
        const CControlTemplate* pCtrl = Dialog(IDD_COLORS).Find(kLegendLabelIds[n]);
        ASSERT_NE(pCtrl, nullptr) << kLegendLabelIds[n];
        const std::string strText = LoadResString(IDS_COLOR_FIRST + n);
        EXPECT_LE(TextWidth(strText), TextRoom(*pCtrl)) << strText;
    }
}

struct CControlRow {
    int m_nId;
    EControlKind m_eKind;
    uint32_t m_nStyle;  // style bits that must be set
};

void ExpectControls(int nDialog, const std::vector<CControlRow>& rows) {
    for (const CControlRow& row : rows) {
        const CControlTemplate* pCtrl = Dialog(nDialog).Find(row.m_nId);
        ASSERT_NE(pCtrl, nullptr) << "dialog " << nDialog << " lacks control " << row.m_nId;
        EXPECT_EQ(pCtrl->m_eKind, row.m_eKind) << nDialog << "/" << row.m_nId;
        EXPECT_EQ(pCtrl->m_nStyle & row.m_nStyle, row.m_nStyle) << nDialog << "/" << row.m_nId;
    }
}

TEST(DialogTemplates, MainWindowHasEveryControlItUses) {
    ExpectControls(IDD_MAIN,
                   {{IDC_MAIN_TAB, EControlKind::TabControl, 0},
                    {IDC_MAIN_BROADCAST, EControlKind::PushButton, 0},
                    {IDC_MAIN_APPLY, EControlKind::PushButton, 0},
                    {IDC_MAIN_TRAFFIC, EControlKind::Static, style::Sunken | style::Center},
                    {IDC_MAIN_QUIT, EControlKind::PushButton, 0}});
    // The buttons stand in one row below the tabs, left to right.
    const CDialogTemplate& dlg = Dialog(IDD_MAIN);
    const CControlTemplate* pTab = dlg.Find(IDC_MAIN_TAB);
    int nLastRight = 0;
    for (const int nId : {IDC_MAIN_BROADCAST, IDC_MAIN_APPLY, IDC_MAIN_TRAFFIC, IDC_MAIN_QUIT}) {
        const CControlTemplate* pCtrl = dlg.Find(nId);
        EXPECT_GE(pCtrl->m_y, pTab->m_y + pTab->m_cy) << nId;
        EXPECT_GE(pCtrl->m_x, nLastRight) << nId;
        nLastRight = pCtrl->m_x + pCtrl->m_cx;
    }
}

TEST(DialogTemplates, IrcPageHasEveryControlItUses) {
    ExpectControls(IDD_IRC,
                   {
                       {IDC_IRC_LOG, EControlKind::RichEditLog, style::MultiLine | style::VScroll},
                       {IDC_IRC_INPUT, EControlKind::Edit, 0},
                       {IDC_IRC_NICK, EControlKind::Edit, 0},
                       {IDC_IRC_ALTNICK, EControlKind::Edit, 0},
                       {IDC_IRC_CHANNEL, EControlKind::Edit, 0},
                       {IDC_IRC_SERVER, EControlKind::Edit, 0},
                       {IDC_IRC_PORT, EControlKind::Edit, style::Number},
                       {IDC_IRC_TICKETSECS, EControlKind::Edit, style::Number},
                       {IDC_IRC_CONNECT, EControlKind::PushButton, 0},
                       {IDC_IRC_AUTH, EControlKind::CheckBox, 0},
                       {IDC_IRC_NETWORK, EControlKind::DropList, 0},
                       {IDC_IRC_USERNAME, EControlKind::Edit, 0},
                       {IDC_IRC_PASSWORD, EControlKind::Edit, style::Password},
                       {IDC_IRC_TLS, EControlKind::CheckBox, style::AutoCheck},
                       {IDC_IRC_FINGERPRINT, EControlKind::Edit, style::AutoHScroll},
                       {IDC_IRC_CLIENTCERT, EControlKind::Edit, style::AutoHScroll},
                   });
    // SASL is the third network: its index is irc_Network's value.
    EXPECT_EQ(Dialog(IDD_IRC).Find(IDC_IRC_NETWORK)->m_items,
              (std::vector<std::string>{"Quakenet", "Gamesnet", "SASL"}));
    // The input line lies under the log.
    const CControlTemplate* pLog = Dialog(IDD_IRC).Find(IDC_IRC_LOG);
    const CControlTemplate* pInput = Dialog(IDD_IRC).Find(IDC_IRC_INPUT);
    EXPECT_GE(pInput->m_y, pLog->m_y + pLog->m_cy);
}

TEST(DialogTemplates, GamePageHasEveryControlItUses) {
    ExpectControls(IDD_GAME,
                   {
                       {IDC_GAME_LOG, EControlKind::RichEditLog, style::MultiLine | style::VScroll},
                       {IDC_GAME_LANGUAGE, EControlKind::DropList, 0},
                       {IDC_GAME_SERVER, EControlKind::Edit, 0},
                       {IDC_GAME_PORT, EControlKind::Edit, style::Number},
                       {IDC_GAME_PAUSE, EControlKind::PushButton, style::Disabled},
                       {IDC_GAME_CONNECT, EControlKind::PushButton, 0},
                       {IDC_GAME_CHECK, EControlKind::PushButton, 0},
                       {IDC_QI_HOSTNAME, EControlKind::Static, style::WordWrap},
                       {IDC_QI_GAMEPORT, EControlKind::Static, 0},
                       {IDC_QI_MOD, EControlKind::Static, 0},
                       {IDC_QI_MAP, EControlKind::Static, 0},
                       {IDC_QI_PLAYERS, EControlKind::Static, 0},
                       {IDC_QI_VERSION, EControlKind::Static, 0},
                       {IDC_QI_STATUS, EControlKind::Static, style::WordWrap},
                   });
    // The first transfer replaces these template texts; a page test relies on them.
    EXPECT_EQ(Dialog(IDD_GAME).Find(IDC_QI_MAP)->m_strText, "null");
    EXPECT_EQ(Dialog(IDD_GAME).Find(IDC_QI_STATUS)->m_strText, "idle");
    EXPECT_EQ(Dialog(IDD_GAME).Find(IDC_GAME_LANGUAGE)->m_items,
              (std::vector<std::string>{"English", "German", "French", "Spanish", "Swedish",
                                        "Icelandic", "Dutch", "Finnish"}));
}

TEST(DialogTemplates, SettingsPageHasEveryControlItUses) {
    std::vector<CControlRow> rows;
    for (const int nId : kLegendLabelIds) rows.push_back({nId, EControlKind::Static, 0});
    for (int nId = IDC_LABEL_ALLIED_KILL; nId <= IDC_LABEL_VALUE; ++nId) {
        rows.push_back({nId, EControlKind::Static, 0});
    }
    for (const int nId : {IDC_COLOR_ALLIED_KILL, IDC_COLOR_AXIS_KILL, IDC_COLOR_ALLIED_FLAG,
                          IDC_COLOR_AXIS_FLAG, IDC_COLOR_STATUS, IDC_COLOR_KEY, IDC_COLOR_VALUE}) {
        rows.push_back({nId, EControlKind::Edit, style::Number});
    }
    for (const int nId : {IDC_SHOW_KILL, IDC_SHOW_TK, IDC_SHOW_FLAG, IDC_SHOW_TICKET}) {
        rows.push_back({nId, EControlKind::CheckBox, 0});
        // Plain boxes: only their click handler changes them.
        EXPECT_EQ(Dialog(IDD_COLORS).Find(nId)->m_nStyle & style::AutoCheck, 0u) << nId;
    }
    ExpectControls(IDD_COLORS, rows);
    // The legend's second column starts with 8 below 0's column.
    const CControlTemplate* pZero = Dialog(IDD_COLORS).Find(kLegendLabelIds[0]);
    const CControlTemplate* pEight = Dialog(IDD_COLORS).Find(kLegendLabelIds[8]);
    EXPECT_GT(pEight->m_x, pZero->m_x);
    EXPECT_EQ(pEight->m_y, pZero->m_y);
    // Each role label has its colour edit to its right on the same row.
    const int kPairs[7][2] = {{IDC_LABEL_ALLIED_KILL, IDC_COLOR_ALLIED_KILL},
                              {IDC_LABEL_AXIS_KILL, IDC_COLOR_AXIS_KILL},
                              {IDC_LABEL_ALLIED_FLAG, IDC_COLOR_ALLIED_FLAG},
                              {IDC_LABEL_AXIS_FLAG, IDC_COLOR_AXIS_FLAG},
                              {IDC_LABEL_STATUS, IDC_COLOR_STATUS},
                              {IDC_LABEL_KEY, IDC_COLOR_KEY},
                              {IDC_LABEL_VALUE, IDC_COLOR_VALUE}};
    for (const auto& pair : kPairs) {
        const CControlTemplate* pLabel = Dialog(IDD_COLORS).Find(pair[0]);
        const CControlTemplate* pEdit = Dialog(IDD_COLORS).Find(pair[1]);
        EXPECT_GE(pEdit->m_x, pLabel->m_x + pLabel->m_cx) << pair[1];
        EXPECT_LT(std::abs(pEdit->m_y - pLabel->m_y), 4) << pair[1];
    }
}

TEST(DialogTemplates, AboutPageShowsIconNameAndThanks) {
    const CDialogTemplate& dlg = Dialog(IDD_ABOUT);
    bool bIcon = false, bVersion = false, bFrame = false;
    for (const CControlTemplate& ctrl : dlg.m_controls) {
        EXPECT_TRUE(ctrl.m_eKind == EControlKind::Static ||
                    ctrl.m_eKind == EControlKind::GroupBox || ctrl.m_eKind == EControlKind::Icon)
            << "no input controls: " << Describe(ctrl);
        bIcon = bIcon || (ctrl.m_eKind == EControlKind::Icon && ctrl.m_nIconId == IDR_MAINFRAME);
        bVersion = bVersion || (ctrl.m_strText.find("fragrelay") != std::string::npos &&
                                ctrl.m_strText.find("1.3 BETA") != std::string::npos);
        bFrame = bFrame ||
                 (ctrl.m_eKind == EControlKind::GroupBox && ctrl.m_strText == "About fragrelay");
    }
    EXPECT_TRUE(bIcon);
    EXPECT_TRUE(bVersion);
    EXPECT_TRUE(bFrame);
}

}  // namespace
