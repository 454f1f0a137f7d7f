// The Win32 view of the real main window, under Wine or Windows: every
// control where its template puts it in dialog units, the page and the
// controls in step both ways, message boxes of any thread on the window's
// thread, logs that keep the page's lines, the word beside the TLS box, and
// a screenshot of each tab.
#include <gtest/gtest.h>
#include "win32/Win32Api.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "config/TempFolder.h"
#include "framework/Page.h"
#include "res/Icon.h"
#include "res/Resource.h"
#include "ui/BotApp.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"
#include "win32/Win32Host.h"
#include "win32/Win32MainWindow.h"
#include "win32/Win32Text.h"

namespace {

using namespace win32;
using framework::EControlKind;

std::wstring TextOf(HWND hWnd) {
    wchar_t buf[4096] = {};
    ::GetWindowTextW(hWnd, buf, 4096);
    return buf;
}

TEST(Win32Text, CodePageAndControlBytes) {
    struct Row {
        const char* pszName;
        std::string strIn;
        std::wstring strDisplay;
        std::wstring strEdit;
    } kRows[] = {
        {"plain", "abc", L"abc", L"abc"},
        {"code page", "caf\xE9 \x80", L"caf\u00E9 \u20AC", L"caf\u00E9 \u20AC"},
        {"colour byte",
         "\x03"
         "04x",
         L"\uFFFD04x", L"\u240304x"},
        {"line feed", "a\nb", L"a\uFFFDb", L"a\u240Ab"},
        {"delete", "a\x7F", L"a\uFFFD", L"a\u2421"},
    };
    for (const Row& row : kRows) {
        EXPECT_EQ(ToDisplayText(row.strIn, false), row.strDisplay) << row.pszName;
        EXPECT_EQ(ToEditText(row.strIn), row.strEdit) << row.pszName;
        EXPECT_EQ(FromEditText(row.strEdit), row.strIn) << row.pszName;
    }
    EXPECT_EQ(ToDisplayText("a\nb", true), L"a\r\nb");
    EXPECT_EQ(FromEditText(L"\u4E2D"), "?");  // not in the code page
}

// The icon resource the build wrote (rows from the bottom, blue first)
// shows the same pixels as the icon every view draws.
TEST(Win32Icon, ResourceHoldsTheProgramIconInBothSizes) {
    for (const res::CIconImage& image : res::LoadIconImages(res::IDR_MAINFRAME)) {
        SCOPED_TRACE(image.m_nWidth);
        HICON hIcon = static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(res::IDR_MAINFRAME),
                         IMAGE_ICON, image.m_nWidth, image.m_nHeight, 0));
        ASSERT_NE(hIcon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(hIcon, &info));
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = image.m_nWidth;
        bi.bmiHeader.biHeight = -image.m_nHeight;  // top row first, as the image
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        std::vector<uint32_t> pixels(image.m_pixels.size());
        HDC hdc = ::GetDC(nullptr);
        const int nRows = ::GetDIBits(hdc, info.hbmColor, 0, static_cast<UINT>(image.m_nHeight),
                                      pixels.data(), &bi, DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, hdc);
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(hIcon);
        ASSERT_EQ(nRows, image.m_nHeight);
        // Opaque pixels carry their colour as drawn (0x00RRGGBB in a DIB).
        size_t nOpaque = 0, nSame = 0;
        for (size_t n = 0; n < pixels.size(); ++n) {
            if ((image.m_pixels[n] >> 24) != 0xFF) continue;
            ++nOpaque;
            if ((pixels[n] & 0xFFFFFF) == (image.m_pixels[n] & 0xFFFFFF)) ++nSame;
        }
        ASSERT_GT(nOpaque, pixels.size() / 2);
        EXPECT_EQ(nSame, nOpaque);
    }
}

// The real main window on the Win32 view, with its settings in a folder of
// the test's own and no update check.
class Win32Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_pHost = std::make_unique<CWin32Host>(::GetModuleHandleW(nullptr));
        m_pHost->SetBoxFunction([](HWND, const framework::CMessage& msg) {
            Boxes().push_back({msg, ::GetCurrentThreadId()});
            return framework::IDOK;
        });
        ui::CAppOptions options;
        options.m_strSettingsPath = m_folder / "settings.ini";
        options.m_strUpdateHost.clear();
        m_pApp =
            std::make_unique<ui::CBotApp>(m_pHost->Dispatcher(), platform::SystemClock(), options);
        ASSERT_TRUE(m_pApp->InitInstance(*m_pHost));
        m_pWindow =
            std::make_unique<CWin32MainWindow>(*m_pApp->MainDlg(), m_pHost->Dispatcher(),
                                               ::GetModuleHandleW(nullptr), res::IDR_MAINFRAME);
        // Wine gives no window when its server was started without a display.
        ASSERT_TRUE(m_pWindow->View().IsWhole()) << "the system refused the window or a tab";
        m_pHost->SetOwner(m_pWindow->Window());
        m_pWindow->Show();
        Boxes().clear();
        Pump();
    }
    void TearDown() override {
        if (m_pHost) m_pHost->Shutdown();
        m_pWindow.reset();
        if (m_pApp) m_pApp->ExitInstance();
        m_pApp.reset();
        m_pHost.reset();
    }

    struct CBox {
        framework::CMessage msg;
        DWORD dwThread;
    };
    static std::vector<CBox>& Boxes() {
        static std::vector<CBox> s_boxes;
        return s_boxes;
    }

    // Runs the GUI thread's messages until pred holds or the time is up.
    template <typename Pred>
    bool PumpUntil(Pred pred, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!pred()) {
            if (std::chrono::steady_clock::now() >= end) return pred();
            m_pWindow->PumpMessages();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        return true;
    }
    void Pump() {
        PumpUntil([&] { return m_pHost->Dispatcher().PendingCount() == 0; });
        m_pWindow->PumpMessages();
    }
    CWin32PageView& Tab(int nIndex) {
        CWin32PageView* pView = m_pWindow->TabPageView(res::IDC_MAIN_TAB, nIndex);
        EXPECT_NE(pView, nullptr);
        return *pView;
    }

    testsupport::CTempFolder m_folder;
    std::unique_ptr<CWin32Host> m_pHost;
    std::unique_ptr<ui::CBotApp> m_pApp;
    std::unique_ptr<CWin32MainWindow> m_pWindow;
};

TEST_F(Win32Window, EveryControlSitsWhereItsTemplateSaysInDialogUnits) {
    ui::CMainDlg& main = *m_pApp->MainDlg();
    std::vector<std::pair<framework::CPage*, CWin32PageView*>> pages = {
        {&main, &m_pWindow->View()}};
    for (int n = 0; n < ui::CMainDlg::kTabCount; ++n)
        pages.push_back({main.m_tabCtrl.GetItemParam(n), &Tab(n)});
    for (const auto& [pPage, pView] : pages) {
        HWND hDlg = pView->Window();
        ASSERT_NE(hDlg, nullptr);
        // The dialog's font is the one the units are measured in.
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(hDlg, WM_GETFONT, 0, 0)), sizeof font,
                     &font);
        EXPECT_GT(std::abs(font.lfHeight), 8) << "dialog " << pPage->Template().m_nId;
        for (const framework::CControlTemplate& ctrl : pPage->Template().m_controls) {
            if (ctrl.m_nId == framework::IDC_STATIC) continue;
            HWND hCtrl = pView->ControlWindow(ctrl.m_nId);
            ASSERT_NE(hCtrl, nullptr) << ctrl.m_nId;
            // The system maps the position and the size each on its own.
            RECT pos{ctrl.m_x, ctrl.m_y, 0, 0};
            RECT size{0, 0, ctrl.m_cx, framework::ClosedHeight(ctrl)};
            ::MapDialogRect(hDlg, &pos);
            ::MapDialogRect(hDlg, &size);
            const RECT expected{pos.left, pos.top, pos.left + size.right, pos.top + size.bottom};
            RECT actual{};
            ::GetWindowRect(hCtrl, &actual);
            ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, expected.left) << "control " << ctrl.m_nId;
            EXPECT_EQ(actual.top, expected.top) << "control " << ctrl.m_nId;
            EXPECT_EQ(actual.right, expected.right) << "control " << ctrl.m_nId;
            // The system sizes a closed drop-down list itself.
            if (ctrl.m_eKind != EControlKind::DropList) {
                EXPECT_EQ(actual.bottom, expected.bottom) << "control " << ctrl.m_nId;
            }
        }
        // A page fits inside its tab control.
        if (pPage != &main) {
            RECT page{}, tab{};
            ::GetWindowRect(hDlg, &page);
            ::GetWindowRect(m_pWindow->View().ControlWindow(res::IDC_MAIN_TAB), &tab);
            EXPECT_LE(page.right, tab.right) << pPage->Template().m_nId;
            EXPECT_LE(page.bottom, tab.bottom) << pPage->Template().m_nId;
        }
    }
    EXPECT_EQ(main.UnknownIdUses(), 0u);
}

TEST_F(Win32Window, PageAndControlsStayInStepBothWays) {
    ui::CIrcDlg& irc = *m_pApp->MainDlg()->IrcPage();
    CWin32PageView& view = Tab(ui::CMainDlg::kTabIrc);
    // Page to control, with a byte of the code page.
    irc.SetItemText(res::IDC_IRC_NICK, "J\xE9r\xF4me");
    ASSERT_TRUE(PumpUntil(
        [&] { return TextOf(view.ControlWindow(res::IDC_IRC_NICK)) == L"J\u00E9r\u00F4me"; }));
    // The operator types: the page holds it as Windows-1252.
    ::SetWindowTextW(view.ControlWindow(res::IDC_IRC_CHANNEL), L"#caf\u00E9");
    ASSERT_TRUE(PumpUntil([&] { return irc.GetItemText(res::IDC_IRC_CHANNEL) == "#caf\xE9"; }));
    // A click runs the page's handler: the check box toggles the look.
    const bool bAuthBefore = irc.GetCheck(res::IDC_IRC_AUTH) == framework::BST_CHECKED;
    ::SendMessageW(view.ControlWindow(res::IDC_IRC_AUTH), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] {
        return (irc.GetCheck(res::IDC_IRC_AUTH) == framework::BST_CHECKED) != bAuthBefore;
    }));
    ASSERT_TRUE(PumpUntil([&] {
        return (::SendMessageW(view.ControlWindow(res::IDC_IRC_AUTH), BM_GETCHECK, 0, 0) ==
                framework::BST_CHECKED) != bAuthBefore;
    }));
    EXPECT_EQ(::IsWindowEnabled(view.ControlWindow(res::IDC_IRC_NETWORK)) != FALSE, !bAuthBefore);
    // Tabs: choosing one shows its page alone.
    HWND hTab = m_pWindow->View().ControlWindow(res::IDC_MAIN_TAB);
    TabCtrl_SetCurSel(hTab, ui::CMainDlg::kTabGame);
    NMHDR hdr{hTab, static_cast<UINT_PTR>(res::IDC_MAIN_TAB), static_cast<UINT>(TCN_SELCHANGE)};
    ::SendMessageW(m_pWindow->Window(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
    ASSERT_TRUE(PumpUntil(
        [&] { return ::IsWindowVisible(Tab(ui::CMainDlg::kTabGame).Window()) != FALSE; }));
    EXPECT_FALSE(::IsWindowVisible(view.Window()));
    EXPECT_EQ(m_pApp->MainDlg()->m_tabCtrl.GetCurSel(), ui::CMainDlg::kTabGame);
}

TEST_F(Win32Window, LogKeepsThePageLinesAndFollowsItsEnd) {
    ui::CGameDlg& game = *m_pApp->MainDlg()->GamePage();
    HWND hLog = Tab(ui::CMainDlg::kTabGame).ControlWindow(res::IDC_GAME_LOG);
    game.SetLogLimits(res::IDC_GAME_LOG, 3, framework::CPage::kLogMaxBytes);
    for (int n = 1; n <= 5; ++n) game.AppendLogLine(res::IDC_GAME_LOG, "line " + std::to_string(n));
    ASSERT_TRUE(PumpUntil([&] { return TextOf(hLog) == L"line 3\r\nline 4\r\nline 5"; }))
        << win32::WideToUtf8(TextOf(hLog));
    // Appended from another thread, as the monitor does.
    std::thread worker([&] { game.AppendLogLine(res::IDC_GAME_LOG, "from the monitor"); });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return TextOf(hLog) == L"line 4\r\nline 5\r\nfrom the monitor"; }));
    EXPECT_NE(::GetWindowLongPtrW(hLog, GWL_STYLE) & ES_READONLY, 0);
}

TEST_F(Win32Window, MessageBoxOfAWorkerShowsOnTheWindowThread) {
    std::atomic<bool> bReturned{false};
    std::thread worker([&] {
        m_pApp->MainDlg()->MessageBox("from a worker", "Error", framework::EIcon::Error);
        bReturned = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return bReturned.load(); }));
    worker.join();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].msg.m_strText, "from a worker");
    EXPECT_EQ(Boxes()[0].dwThread, ::GetCurrentThreadId());
}

TEST_F(Win32Window, EnterReachesThePageThatHoldsTheFocus) {
    ui::CIrcDlg& irc = *m_pApp->MainDlg()->IrcPage();
    HWND hInput = Tab(ui::CMainDlg::kTabIrc).ControlWindow(res::IDC_IRC_INPUT);
    ::SetFocus(hInput);
    ::SetWindowTextW(hInput, L"hello channel");
    ASSERT_TRUE(PumpUntil([&] { return irc.GetItemText(res::IDC_IRC_INPUT) == "hello channel"; }));
    // What the dialog manager sends the window for Enter.
    ::SendMessageW(m_pWindow->Window(), WM_COMMAND, MAKEWPARAM(framework::IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(PumpUntil([&] {
        const std::string strLog = irc.GetItemText(res::IDC_IRC_LOG);
        return strLog.find("> hello channel") != std::string::npos;
    })) << irc.GetItemText(res::IDC_IRC_LOG);
    ASSERT_TRUE(PumpUntil([&] { return TextOf(hInput).empty(); }));
    // Enter with the focus on the main window's own controls closes nothing.
    ::SetFocus(m_pWindow->View().ControlWindow(res::IDC_MAIN_TAB));
    ::SendMessageW(m_pWindow->Window(), WM_COMMAND, MAKEWPARAM(framework::IDOK, BN_CLICKED), 0);
    Pump();
    EXPECT_FALSE(m_pApp->MainDlg()->IsEnded());
}

TEST_F(Win32Window, EscapeNeverClosesAndTheCloseBoxEndsTheRun) {
    ::SendMessageW(m_pWindow->Window(), WM_COMMAND, MAKEWPARAM(framework::IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_FALSE(m_pApp->MainDlg()->IsEnded());
    ::SendMessageW(m_pWindow->Window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return m_pWindow->IsEnded(); }));
    EXPECT_TRUE(m_pApp->MainDlg()->IsEnded());
}

// Each tab as the operator sees it, for a person to look at; the shots go
// to build-win/screenshots as BMP files (the script turns them into PNG).
bool SaveWindowBitmap(HWND hWnd, const std::string& strPath) {
    RECT rc{};
    ::GetClientRect(hWnd, &rc);
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* pBits = nullptr;
    HBITMAP hBmp = ::CreateDIBSection(hScreen, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = ::SelectObject(hMem, hBmp);
    // The client area as drawn, with its child windows: their pixels are
    // the top-level window's own (the title bar is the desktop's).
    HDC hWindow = ::GetDC(hWnd);
    ::BitBlt(hMem, 0, 0, cx, cy, hWindow, 0, 0, SRCCOPY);
    ::ReleaseDC(hWnd, hWindow);
    ::GdiFlush();
    // GDI leaves the fourth byte as it pleases; the file is opaque.
    auto* pPixels = static_cast<uint32_t*>(pBits);
    for (size_t n = 0; n < static_cast<size_t>(cx) * static_cast<size_t>(cy); ++n)
        pPixels[n] |= 0xFF000000u;
    bool bOk = false;
    if (std::FILE* pFile = std::fopen(strPath.c_str(), "wb")) {
        const DWORD dwBits = static_cast<DWORD>(cx) * static_cast<DWORD>(cy) * 4;
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + dwBits;
        bOk = std::fwrite(&fh, sizeof fh, 1, pFile) == 1 &&
              std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, pFile) == 1 &&
              std::fwrite(pBits, dwBits, 1, pFile) == 1;
        bOk = std::fclose(pFile) == 0 && bOk;
    }
    ::SelectObject(hMem, hOld);
    ::DeleteObject(hBmp);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return bOk;
}

TEST_F(Win32Window, ScreenshotOfEachTab) {
    std::error_code ec;
    std::filesystem::create_directories(FR_SCREENSHOT_DIR, ec);
    const char* kNames[] = {"irc", "bf42", "settings", "information"};
    ::SetWindowPos(m_pWindow->Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    for (int n = 0; n < ui::CMainDlg::kTabCount; ++n) {
        m_pHost->Dispatcher().Post(
            [this, n] { m_pApp->MainDlg()->ChooseItem(res::IDC_MAIN_TAB, n); });
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(Tab(n).Window()) != FALSE; }));
        ::RedrawWindow(m_pWindow->Window(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
        const std::string strPath = std::string(FR_SCREENSHOT_DIR) + "/win32-tab" +
                                    std::to_string(n) + "-" + kNames[n] + ".bmp";
        EXPECT_TRUE(SaveWindowBitmap(m_pWindow->Window(), strPath)) << strPath;
    }
}

// Beside the TLS box, "in clear!" while the login would send the password
// readable: the hidden label comes and goes with the page's look, its word
// fits its place in the dialog's font, and the tab is shot with it showing.
TEST_F(Win32Window, PlainTextWarningShowsBesideTheTlsBoxAndFits) {
    CWin32PageView& view = Tab(ui::CMainDlg::kTabIrc);
    HWND hLabel = view.ControlWindow(res::IDC_IRC_PLAIN_TEXT);
    ASSERT_NE(hLabel, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hLabel));  // the defaults log in nowhere
    // Authentication on toward a server elsewhere, without TLS.
    ::SendMessageW(view.ControlWindow(res::IDC_IRC_AUTH), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hLabel) != FALSE; }));
    EXPECT_EQ(TextOf(hLabel), L"in clear!");

    HDC hDc = ::GetDC(hLabel);
    HGDIOBJ hOld =
        ::SelectObject(hDc, reinterpret_cast<HFONT>(::SendMessageW(hLabel, WM_GETFONT, 0, 0)));
    SIZE extent{};
    const std::wstring strText = TextOf(hLabel);
    ::GetTextExtentPoint32W(hDc, strText.c_str(), static_cast<int>(strText.size()), &extent);
    ::SelectObject(hDc, hOld);
    ::ReleaseDC(hLabel, hDc);
    RECT label{}, page{}, tls{};
    ::GetClientRect(hLabel, &label);
    EXPECT_LE(extent.cx, label.right) << "the word is cut";
    EXPECT_LE(extent.cy, label.bottom) << "the word is cut";
    ::GetWindowRect(hLabel, &label);
    ::GetWindowRect(view.Window(), &page);
    ::GetWindowRect(view.ControlWindow(res::IDC_IRC_TLS), &tls);
    EXPECT_LE(label.right, page.right);
    EXPECT_GE(label.left, tls.right) << "over the TLS box";

    ::RedrawWindow(m_pWindow->Window(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    std::error_code ec;
    std::filesystem::create_directories(FR_SCREENSHOT_DIR, ec);
    const std::string strPath = std::string(FR_SCREENSHOT_DIR) + "/win32-tab0-irc-in-clear.bmp";
    EXPECT_TRUE(SaveWindowBitmap(m_pWindow->Window(), strPath)) << strPath;

    // TLS on: the password goes encrypted, and the word goes.
    ::SendMessageW(view.ControlWindow(res::IDC_IRC_TLS), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(hLabel) == FALSE; }));
}

}  // namespace
