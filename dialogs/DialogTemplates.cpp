#include "dialogs/DialogTemplates.h"

#include "res/Resource.h"

namespace dialogs {
namespace {

// The templates name their ids as the resource header spells them.
using namespace res;

using framework::CControlTemplate;
using framework::CDialogTemplate;
using framework::EControlKind;
using framework::IDC_STATIC;
namespace style = framework::style;

// Builders for the kinds of control, with the styles each usually has.
CControlTemplate Label(const char* pszText, int x, int y, int cx, int cy, int nId = IDC_STATIC,
                       uint32_t nExtra = 0) {
    return {nId, EControlKind::Static, pszText, x, y, cx, cy, style::Visible | nExtra, {}, 0};
}

CControlTemplate Group(const char* pszText, int x, int y, int cx, int cy) {
    return {IDC_STATIC, EControlKind::GroupBox, pszText, x, y, cx, cy, style::Visible, {}, 0};
}

CControlTemplate EditBox(int nId, int x, int y, int cx, int cy, uint32_t nExtra = 0) {
    return {nId, EControlKind::Edit,
            "",  x,
            y,   cx,
            cy,  style::Visible | style::TabStop | style::AutoHScroll | nExtra,
            {},  0};
}

CControlTemplate Log(int nId, int x, int y, int cx, int cy, uint32_t nExtra = 0) {
    return {nId, EControlKind::RichEditLog,
            "",  x,
            y,   cx,
            cy,  style::Visible | style::TabStop | style::MultiLine | style::VScroll | nExtra,
            {},  0};
}

CControlTemplate Button(int nId, const char* pszText, int x, int y, int cx, int cy,
                        uint32_t nExtra = 0) {
    return {nId,     EControlKind::PushButton,
            pszText, x,
            y,       cx,
            cy,      style::Visible | style::TabStop | nExtra,
            {},      0};
}

CControlTemplate CheckBox(int nId, const char* pszText, int x, int y, int cx, int cy,
                          uint32_t nExtra = 0) {
    return {nId,     EControlKind::CheckBox,
            pszText, x,
            y,       cx,
            cy,      style::Visible | style::TabStop | nExtra,
            {},      0};
}

CControlTemplate DropList(int nId, int x, int y, int cx, int cy, std::vector<std::string> items) {
    return {nId,
            EControlKind::DropList,
            "",
            x,
            y,
            cx,
            cy,
            style::Visible | style::TabStop | style::VScroll,
            std::move(items),
            0};
}

CDialogTemplate MainWindow() {
    CDialogTemplate dlg;
    dlg.m_nId = IDD_MAIN;
    dlg.m_strCaption = "fragrelay";
    dlg.m_cx = 429;
    dlg.m_cy = 199;
    dlg.m_nStyle = style::SysMenu | style::MinimizeBox;
    dlg.m_controls = {
        {IDC_MAIN_TAB,
         EControlKind::TabControl,
         "",
         7,
         7,
         415,
         162,
         style::Visible | style::TabStop,
         {},
         0},
        Button(IDC_MAIN_BROADCAST, "Broadcast", 152, 178, 69, 14),
        Button(IDC_MAIN_APPLY, "Apply", 229, 178, 57, 14),
        Label("Traffic", 295, 179, 61, 12, IDC_MAIN_TRAFFIC, style::Sunken | style::Center),
        Button(IDC_MAIN_QUIT, "Quit", 365, 178, 57, 14),
    };
    return dlg;
}

// The IRC tab: the log with its input line on the left; on the right the
// "Settings" frame with the connection fields, the ticket interval and the
// button, and a second column for the authentication.
CDialogTemplate IrcPage() {
    CDialogTemplate dlg;
    dlg.m_nId = IDD_IRC;
    dlg.m_cx = 400;
    dlg.m_cy = 142;
    dlg.m_controls = {
        Group("", 2, 0, 394, 140),
        Log(IDC_IRC_LOG, 8, 10, 172, 108, style::ReadOnly),
        EditBox(IDC_IRC_INPUT, 8, 122, 172, 12),
        Group("Settings", 186, 6, 204, 129),
        Label("nickname:", 192, 15, 96, 8),
        EditBox(IDC_IRC_NICK, 192, 23, 96, 11),
        Label("alternativ nickname:", 192, 36, 96, 8),
        EditBox(IDC_IRC_ALTNICK, 192, 44, 96, 11),
        Label("channel:", 192, 57, 96, 8),
        EditBox(IDC_IRC_CHANNEL, 192, 65, 96, 11),
        Label("server:", 192, 78, 60, 8),
        Label("port:", 256, 78, 32, 8),
        EditBox(IDC_IRC_SERVER, 192, 86, 60, 11),
        EditBox(IDC_IRC_PORT, 256, 86, 32, 11, style::Number),
        Label("show tickets every", 192, 102, 62, 8),
        EditBox(IDC_IRC_TICKETSECS, 256, 100, 16, 11, style::Number),
        Label("secs", 274, 102, 16, 8),
        Button(IDC_IRC_CONNECT, "IDS_CONNECT", 192, 116, 55, 14),
        CheckBox(IDC_IRC_AUTH, "Enable Authentication", 296, 15, 90, 10, style::AutoCheck),
        Label("network:", 296, 28, 50, 8),
        DropList(IDC_IRC_NETWORK, 296, 36, 90, 40, {"Quakenet", "Gamesnet", "SASL"}),
        Label("username:", 296, 51, 50, 8),
        EditBox(IDC_IRC_USERNAME, 296, 59, 90, 11),
        Label("password:", 296, 73, 50, 8),
        EditBox(IDC_IRC_PASSWORD, 296, 81, 90, 11, style::Password),
        CheckBox(IDC_IRC_TLS, "TLS (verified)", 296, 96, 62, 10, style::AutoCheck),
        // Shown by the page while the login would send the password readable.
        CControlTemplate{
            IDC_IRC_PLAIN_TEXT, EControlKind::Static, "in clear!", 358, 97, 30, 8, 0, {}, 0},
        Label("fingerprint:", 296, 110, 40, 8),
        EditBox(IDC_IRC_FINGERPRINT, 338, 108, 48, 11),
        Label("client cert:", 296, 123, 40, 8),
        EditBox(IDC_IRC_CLIENTCERT, 338, 121, 48, 11),
    };
    return dlg;
}

CDialogTemplate GamePage() {
    CDialogTemplate dlg;
    dlg.m_nId = IDD_GAME;
    dlg.m_cx = 400;
    dlg.m_cy = 142;
    const uint32_t kTwoLines = style::WordWrap;
    dlg.m_controls = {
        Log(IDC_GAME_LOG, 8, 10, 172, 124),
        Group("Settings", 186, 6, 84, 129),
        DropList(
            IDC_GAME_LANGUAGE, 195, 20, 65, 55,
            {"English", "German", "French", "Spanish", "Swedish", "Icelandic", "Dutch", "Finnish"}),
        Label("server:", 195, 37, 22, 8),
        EditBox(IDC_GAME_SERVER, 195, 45, 65, 9),
        Label("queryport:", 195, 62, 36, 8),
        EditBox(IDC_GAME_PORT, 195, 70, 40, 9, style::Number),
        Button(IDC_GAME_PAUSE, "IDS_PAUSE", 195, 94, 55, 14, style::Disabled),
        Button(IDC_GAME_CONNECT, "IDS_CONNECT", 195, 113, 55, 14),
        Group("", 2, 0, 394, 140),
        Group("Quick Info", 275, 6, 115, 129),
        Label("hostname:", 280, 16, 34, 8),
        Label("null", 319, 16, 66, 19, IDC_QI_HOSTNAME, kTwoLines),
        Label("gameport:", 280, 36, 36, 8),
        Label("null", 319, 36, 66, 8, IDC_QI_GAMEPORT),
        Label("mod:", 280, 47, 16, 8),
        Label("null", 319, 47, 66, 8, IDC_QI_MOD),
        Label("map:", 280, 58, 16, 8),
        Label("null", 319, 58, 66, 8, IDC_QI_MAP),
        Label("players:", 280, 69, 25, 8),
        Label("null", 319, 69, 66, 8, IDC_QI_PLAYERS),
        Label("version:", 280, 80, 26, 8),
        Label("null", 319, 80, 66, 8, IDC_QI_VERSION),
        Button(IDC_GAME_CHECK, "IDS_CHECK", 280, 94, 55, 14),
        Label("status:", 280, 113, 22, 8),
        Label("idle", 307, 113, 76, 17, IDC_QI_STATUS, kTwoLines),
    };
    return dlg;
}

CDialogTemplate AboutPage() {
    CDialogTemplate dlg;
    dlg.m_nId = IDD_ABOUT;
    dlg.m_cx = 400;
    dlg.m_cy = 142;
    dlg.m_controls = {
        Group("About fragrelay", 6, 4, 388, 132),
        {IDC_STATIC, EControlKind::Icon, "", 20, 20, 21, 20, style::Visible, {}, IDR_MAINFRAME},
        Label("fragrelay Version 1.3 BETA", 52, 22, 200, 8),
        Label("Thanks to everyone who tested fragrelay and sent in their reports.", 52, 38, 320, 8),
    };
    return dlg;
}

// The Settings tab: the colour legend, the colour of each role, and the
// action filters, each in a frame of its own. The legend and role labels
// get their texts from the string table when the page starts.
CDialogTemplate ColorPage() {
    CDialogTemplate dlg;
    dlg.m_nId = IDD_COLORS;
    dlg.m_cx = 400;
    dlg.m_cy = 142;
    dlg.m_controls.push_back(Group("Status", 6, 4, 118, 132));
    for (int n = 0; n < 16; ++n) {
        const int x = n < 8 ? 12 : 68;
        const int y = 16 + 14 * (n % 8);
        dlg.m_controls.push_back(Label("Static", x, y, 50, 8, kLegendLabelIds[n]));
    }
    dlg.m_controls.push_back(Group("Settings", 130, 4, 140, 132));
    const int kRoles[7][2] = {
        {IDC_LABEL_ALLIED_KILL, IDC_COLOR_ALLIED_KILL},
        {IDC_LABEL_AXIS_KILL, IDC_COLOR_AXIS_KILL},
        {IDC_LABEL_ALLIED_FLAG, IDC_COLOR_ALLIED_FLAG},
        {IDC_LABEL_AXIS_FLAG, IDC_COLOR_AXIS_FLAG},
        {IDC_LABEL_STATUS, IDC_COLOR_STATUS},
        {IDC_LABEL_KEY, IDC_COLOR_KEY},
        {IDC_LABEL_VALUE, IDC_COLOR_VALUE},
    };
    for (int n = 0; n < 7; ++n) {
        const int y = 17 + 16 * n;
        dlg.m_controls.push_back(Label("Static", 136, y, 96, 8, kRoles[n][0]));
        dlg.m_controls.push_back(EditBox(kRoles[n][1], 238, y - 2, 22, 11, style::Number));
    }
    dlg.m_controls.push_back(Group("Show Action", 276, 4, 118, 132));
    const std::pair<int, const char*> kFilters[4] = {
        {IDC_SHOW_KILL, "Kills"},
        {IDC_SHOW_TK, "Teamkills and Selfkills"},
        {IDC_SHOW_FLAG, "Flagcaptures"},
        {IDC_SHOW_TICKET, "Tickets"},
    };
    for (int n = 0; n < 4; ++n) {
        dlg.m_controls.push_back(
            CheckBox(kFilters[n].first, kFilters[n].second, 282, 18 + 16 * n, 106, 10));
    }
    return dlg;
}

const std::vector<CDialogTemplate>& Templates() {
    // Built once, on first use (thread-safe), ascending by id.
    static const std::vector<CDialogTemplate> kTemplates = {MainWindow(), IrcPage(), GamePage(),
                                                            AboutPage(), ColorPage()};
    return kTemplates;
}

}  // namespace

const framework::CDialogTemplate* FindDialogTemplate(int nId) {
    for (const CDialogTemplate& dlg : Templates()) {
        if (dlg.m_nId == nId) return &dlg;
    }
    return nullptr;
}

std::vector<int> DialogTemplateIds() {
    std::vector<int> ids;
    for (const CDialogTemplate& dlg : Templates()) ids.push_back(dlg.m_nId);
    return ids;
}

}  // namespace dialogs
