// The Settings tab driven as the operator drives it: typing into the colour
// edits, clicking the filter boxes, Enter and Escape, what it shows, and
// its lock while a game run lasts. The page needs no bot: it is bound to
// the window's settings value alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "config/SettingsFormat.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "ui/ColorDlg.h"

namespace {

using framework::BST_CHECKED;
using framework::BST_UNCHECKED;

struct CColorRow {
    const char* m_pszName;
    int m_nEditId;
    std::string monitor::CColorScheme::*m_pField;
};

// Field order; each row's edit as the template numbers it.
const CColorRow kColors[] = {
    {"AlliedKill", 1020, &monitor::CColorScheme::m_strAlliedKillColor},
    {"AxisKill", 1006, &monitor::CColorScheme::m_strAxisKillColor},
    {"Status", 1021, &monitor::CColorScheme::m_strStatusColor},
    {"AlliedFlag", 1007, &monitor::CColorScheme::m_strAlliedFlagColor},
    {"AxisFlag", 1008, &monitor::CColorScheme::m_strAxisFlagColor},
    {"Value", 1011, &monitor::CColorScheme::m_strValueColor},
    {"Key", 1010, &monitor::CColorScheme::m_strKeyColor},
};

struct CFilterRow {
    const char* m_pszName;
    int m_nBoxId;
    bool monitor::CColorScheme::*m_pField;
};

const CFilterRow kFilters[] = {
    {"Kills", 1059, &monitor::CColorScheme::m_bShowKill},
    {"Teamkills", 1060, &monitor::CColorScheme::m_bShowTk},
    {"Flags", 1061, &monitor::CColorScheme::m_bShowFlag},
    {"Tickets", 1062, &monitor::CColorScheme::m_bShowTicket},
};

// Rows print as their names in test output.
void PrintTo(const CFilterRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

class ColorDlgTest : public testing::Test {
protected:
    void Create() { ASSERT_TRUE(m_dlg.Create(m_sink)); }
    void TearDown() override { EXPECT_EQ(m_dlg.UnknownIdUses(), 0u); }
    // The window's values, as the page keeps them.
    const monitor::CColorScheme& Scheme() const { return m_settings.m_colors; }

    framework::CRecordingMessageSink m_sink;
    config::CSettings m_settings;
    ui::CColorDlg m_dlg{m_settings};
};

TEST_F(ColorDlgTest, StartsWithEmptyColoursAndEveryFilterOn) {
    for (const CColorRow& row : kColors) EXPECT_EQ(Scheme().*row.m_pField, "") << row.m_pszName;
    for (const CFilterRow& row : kFilters) EXPECT_EQ(Scheme().*row.m_pField, 1) << row.m_pszName;

    Create();
    for (const CColorRow& row : kColors) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(m_dlg.GetItemText(row.m_nEditId), "");
        EXPECT_EQ(m_dlg.GetLimitText(row.m_nEditId), 2);
        EXPECT_TRUE(m_dlg.IsDigitsOnly(row.m_nEditId));
    }
    for (const CFilterRow& row : kFilters) {
        EXPECT_EQ(m_dlg.GetCheck(row.m_nBoxId), BST_CHECKED) << row.m_pszName;
    }
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(ColorDlgTest, LoadedValuesShowInTheirOwnControls) {
    // Distinct values, set before the window exists as the settings file
    // does: a swapped binding shows up as a wrong text.
    const char* const kValues[] = {"02", "05", "14", "12", "04", "11", "10"};
    monitor::CColorScheme scheme;
    for (size_t n = 0; n < std::size(kColors); ++n) scheme.*kColors[n].m_pField = kValues[n];
    scheme.m_bShowKill = 0;
    scheme.m_bShowTk = 1;
    scheme.m_bShowFlag = 0;
    scheme.m_bShowTicket = 1;
    m_settings.m_colors = scheme;

    Create();
    for (size_t n = 0; n < std::size(kColors); ++n) {
        EXPECT_EQ(m_dlg.GetItemText(kColors[n].m_nEditId), kValues[n]) << kColors[n].m_pszName;
    }
    EXPECT_EQ(m_dlg.GetCheck(1059), BST_UNCHECKED);
    EXPECT_EQ(m_dlg.GetCheck(1060), BST_CHECKED);
    EXPECT_EQ(m_dlg.GetCheck(1061), BST_UNCHECKED);
    EXPECT_EQ(m_dlg.GetCheck(1062), BST_CHECKED);
}

class ColorDlgToggleTest : public ColorDlgTest, public testing::WithParamInterface<CFilterRow> {};

TEST_P(ColorDlgToggleTest, ClickInvertsOnlyItsFilterAndTakesTheTypedColour) {
    const CFilterRow& row = GetParam();
    Create();
    // Typed just before the click, never transferred otherwise.
    m_dlg.TypeText(1021, "7");

    ASSERT_TRUE(m_dlg.Click(row.m_nBoxId));
    EXPECT_EQ(Scheme().*row.m_pField, 0);
    EXPECT_EQ(m_dlg.GetCheck(row.m_nBoxId), BST_UNCHECKED);
    EXPECT_EQ(Scheme().m_strStatusColor, "7");
    EXPECT_EQ(m_dlg.GetItemText(1021), "7");
    for (const CFilterRow& other : kFilters) {
        if (other.m_nBoxId == row.m_nBoxId) continue;
        EXPECT_EQ(Scheme().*other.m_pField, 1) << other.m_pszName;
        EXPECT_EQ(m_dlg.GetCheck(other.m_nBoxId), BST_CHECKED) << other.m_pszName;
    }

    m_dlg.TypeText(1010, "13");
    ASSERT_TRUE(m_dlg.Click(row.m_nBoxId));
    EXPECT_EQ(Scheme().*row.m_pField, 1);
    EXPECT_EQ(m_dlg.GetCheck(row.m_nBoxId), BST_CHECKED);
    EXPECT_EQ(Scheme().m_strKeyColor, "13");
    EXPECT_EQ(m_sink.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EachFilter, ColorDlgToggleTest, testing::ValuesIn(kFilters),
                         [](const testing::TestParamInfo<CFilterRow>& info) {
                             return std::string(info.param.m_pszName);
                         });

TEST_F(ColorDlgTest, TypingStopsAtTwoDigits) {
    Create();
    EXPECT_EQ(m_dlg.TypeText(1020, "123"), "12");
    EXPECT_EQ(m_dlg.TypeText(1006, "a5"), "5");
}

TEST_F(ColorDlgTest, OverlongColourStopsTheTransferAndKeepsWhatWasTyped) {
    // Only a hand-edited settings file can put three characters there.
    monitor::CColorScheme scheme;
    scheme.m_strStatusColor = "123";
    scheme.m_strKeyColor = "10";
    m_settings.m_colors = scheme;
    Create();
    EXPECT_EQ(m_dlg.GetItemText(1021), "123");
    m_dlg.TypeText(1020, "7");  // before the refused edit
    m_dlg.TypeText(1010, "9");  // after it

    ASSERT_TRUE(m_dlg.Click(1059));
    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Last().m_strText, framework::LimitMessage(2));
    EXPECT_NE(m_sink.Last().m_strText.find('2'), std::string::npos);
    EXPECT_EQ(m_dlg.GetFocusItem(), 1021);
    EXPECT_EQ(Scheme().m_strAlliedKillColor, "7");
    EXPECT_EQ(Scheme().m_strStatusColor, "123");
    EXPECT_EQ(Scheme().m_strKeyColor, "10");
    // The click changed nothing else: the filter, its box and the typed
    // key colour are as they were.
    EXPECT_EQ(Scheme().m_bShowKill, 1);
    EXPECT_EQ(m_dlg.GetCheck(1059), BST_CHECKED);
    EXPECT_EQ(m_dlg.GetItemText(1010), "9");

    // Corrected, the same click goes through.
    m_dlg.TypeText(1021, "12");
    ASSERT_TRUE(m_dlg.Click(1059));
    EXPECT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(Scheme().m_strStatusColor, "12");
    EXPECT_EQ(Scheme().m_strKeyColor, "9");
    EXPECT_EQ(Scheme().m_bShowKill, 0);
    EXPECT_EQ(m_dlg.GetCheck(1059), BST_UNCHECKED);
}

TEST_F(ColorDlgTest, EnterAndEscapeDoNothing) {
    // An overlong colour makes a taken transfer show a message: none may.
    monitor::CColorScheme scheme;
    scheme.m_strAxisKillColor = "123";
    m_settings.m_colors = scheme;
    Create();
    m_dlg.TypeText(1020, "3");
    m_dlg.PressEnter();
    m_dlg.PressEscape();
    EXPECT_FALSE(m_dlg.IsEnded());
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(Scheme().m_strAlliedKillColor, "");
    EXPECT_EQ(m_dlg.GetItemText(1020), "3");
}

TEST_F(ColorDlgTest, LockedWhileARunLastsAndOpenAgainAfterIt) {
    Create();
    m_dlg.SetLocked(true);
    for (const CColorRow& row : kColors) {
        EXPECT_TRUE(m_dlg.IsReadOnly(row.m_nEditId)) << row.m_pszName;
        EXPECT_EQ(m_dlg.TypeText(row.m_nEditId, "9"), "") << row.m_pszName;
    }
    for (const CFilterRow& row : kFilters) {
        EXPECT_FALSE(m_dlg.IsItemEnabled(row.m_nBoxId)) << row.m_pszName;
        EXPECT_FALSE(m_dlg.Click(row.m_nBoxId)) << row.m_pszName;
        EXPECT_EQ(Scheme().*row.m_pField, 1) << row.m_pszName;
    }
    m_dlg.SetLocked(false);
    for (const CColorRow& row : kColors) EXPECT_FALSE(m_dlg.IsReadOnly(row.m_nEditId));
    for (const CFilterRow& row : kFilters) EXPECT_TRUE(m_dlg.IsItemEnabled(row.m_nBoxId));
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(ColorDlgTest, LegendAndRoleLabelsComeFromTheStringTable) {
    const struct {
        int m_nId;
        const char* m_pszText;
    } kLabels[] = {
        {1024, "0 - white"},
        {1025, "1 - black"},
        {1026, "2 - blue"},
        {1027, "3 - green"},
        {1028, "4 - lightred"},
        {1029, "5 - brown"},
        {1030, "6 - purple"},
        {1031, "7 - orange"},
        {1032, "8 - yellow"},
        {1033, "9 - lightgreen"},
        {1046, "10 - cyan"},
        {1034, "11 - lightcyan"},
        {1035, "12 - lightblue"},
        {1036, "13 - pink"},
        {1037, "14 - grey"},
        {1038, "15 - lightgrey"},
        {1039, "KILL- allied color:"},
        {1041, "FLAG - allied color:"},
        {1040, "KILL - axis color:"},
        {1042, "FLAG - axis color:"},
        {1043, "STATUS - color:"},
        {1044, "SETTINGS - key color:"},
        {1045, "SETTINGS - value color:"},
    };
    Create();
    for (const auto& label : kLabels) {
        EXPECT_EQ(m_dlg.GetItemText(label.m_nId), label.m_pszText) << "label " << label.m_nId;
    }
}

}  // namespace
