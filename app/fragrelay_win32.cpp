// fragrelay on Windows: the bot's window. The main window of four tabs is a
// real dialog built from the same templates as every view's; its handlers
// run on the GUI thread through the dispatcher, and message boxes of any
// thread show on the window's thread.
#include "win32/Win32Api.h"
// After the Windows headers, which it needs.
#include <shellapi.h>

#include <string>

#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/BotApp.h"
#include "win32/Win32Host.h"
#include "win32/Win32MainWindow.h"
#include "win32/Win32Text.h"

namespace {

constexpr wchar_t kUsage[] =
    L"fragrelay [--broadcast]\n\n"
    L"The fragrelay bot in its window. Reads settings.ini from the working "
    L"folder; Apply and Quit write it. For a server without a desktop, run "
    L"fragrelayd instead.\n\n"
    L"--broadcast: press Start Broadcast once the window shows.";

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    bool bBroadcast = false;
    int nArgs = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    for (int i = 1; ppArgs != nullptr && i < nArgs; ++i) {
        const std::wstring strArg = ppArgs[i];
        if (strArg == L"--broadcast") bBroadcast = true;
        if (strArg == L"--help" || strArg == L"-h" || strArg == L"/?") {
            ::MessageBoxW(nullptr, kUsage, L"fragrelay", MB_OK | MB_ICONINFORMATION);
            ::LocalFree(ppArgs);
            return 0;
        }
        if (strArg == L"--version") {
            const std::wstring strVersion = win32::ToDisplayText(
                res::LoadResString(res::IDS_APPNAME) + " " + res::LoadResString(res::IDS_VERSION),
                false);
            ::MessageBoxW(nullptr, strVersion.c_str(), L"fragrelay", MB_OK | MB_ICONINFORMATION);
            ::LocalFree(ppArgs);
            return 0;
        }
    }
    if (ppArgs != nullptr) ::LocalFree(ppArgs);

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    // Created on the GUI thread, which becomes the dispatcher's UI thread.
    win32::CWin32Host host(hInstance);
    ui::CBotApp app(host.Dispatcher());
    if (!app.InitInstance(host)) {
        ::MessageBoxW(nullptr, L"The main window could not be created.", L"fragrelay",
                      MB_OK | MB_ICONERROR);
        return 1;
    }
    bool bShown = false;
    {
        win32::CWin32MainWindow window(*app.MainDlg(), host.Dispatcher(), hInstance,
                                       res::IDR_MAINFRAME);
        // The system may refuse the windows (no display under Wine): the
        // loop would then wait for ever on a window that is not there.
        bShown = window.View().IsWhole();
        if (bShown) {
            host.SetOwner(window.Window());
            // Log-off and shut-down end the program as Quit does (the QUIT
            // line, the settings saved), like SIGTERM on Linux; this is the
            // GUI thread, which the dispatcher's work runs on.
            window.View().SetOnEndSession([&app] {
                ui::CMainDlg* pMain = app.MainDlg();
                if (pMain != nullptr && !pMain->IsEnded()) pMain->OnQuit();
            });
            window.Show(nCmdShow);
            if (bBroadcast) host.Dispatcher().Post([&app] { app.MainDlg()->OnBroadcast(); });
            window.RunMessageLoop();
        }
        // A notice still waiting for the GUI returns now; the view lets go
        // of its pages before the threads stop and the pages go.
        host.Shutdown();
        host.SetOwner(nullptr);
    }
    app.ExitInstance();
    if (!bShown) {
        ::MessageBoxW(nullptr, L"The main window could not be created.", L"fragrelay",
                      MB_OK | MB_ICONERROR);
        return 1;
    }
    return 0;
}
