#pragma once
// Moves the settings between "settings.ini" and the fields of the three
// pages that hold them: the IRC side, the BF42 tab and the Settings tab.
// The fields only: the caller exchanges them with the controls (windows
// not yet created when loading; each page's UpdateData before saving).
#include <string>

#include "config/SettingsFormat.h"

namespace framework {
class IMessageSink;
}

namespace ui {

class CGameDlg;
class CColorDlg;
class CIrcDlg;

// Sets every settings field of the three pages, each page under its field
// lock. The IRC port takes the 16 bits as they are (-1 is port 65535). UI
// thread.
void ApplySettings(const config::CSettingsValues& values, CIrcDlg& irc, CGameDlg& game,
                   CColorDlg& colors);
// The same, one page at a time (a side restarted on its own).
void ApplyIrcSettings(const config::CSettingsValues& values, CIrcDlg& irc);
void ApplyGameSettings(const config::CSettingsValues& values, CGameDlg& game);
void ApplyColorSettings(const config::CSettingsValues& values, CColorDlg& colors);
// The settings fields of the three pages, read under their field locks, so
// a running IRC or monitor thread never sees a half-replaced text. UI thread.
config::CSettingsValues CollectSettings(CIrcDlg& irc, CGameDlg& game, CColorDlg& colors);
// The same, one page at a time: only that page's settings in values change
// (for the checks of a page's own Connect).
void CollectIrcSettings(CIrcDlg& irc, config::CSettingsValues& values);
void CollectGameSettings(CGameDlg& game, config::CSettingsValues& values);
void CollectColorSettings(CColorDlg& colors, config::CSettingsValues& values);

// Start-up: the file's values (the defaults when it is absent) into the
// pages. No message on any failure. UI thread, before any worker runs.
void LoadSettings(const std::string& strPath, CIrcDlg& irc, CGameDlg& game, CColorDlg& colors);
// Apply and Quit, after the pages took their control values: writes the
// pages' fields; on failure the message box of SaveSettingsFile. UI thread.
// config::WriteSettingsFile, and on failure "Couldn't write to file."
// (caption "Error", stop icon) through pSink when given.
bool SaveSettingsFile(const std::string& strPath, const config::CSettingsValues& values,
                      framework::IMessageSink* pSink);
bool SaveSettings(const std::string& strPath, CIrcDlg& irc, CGameDlg& game, CColorDlg& colors,
                  framework::IMessageSink* pSink);

}  // namespace ui
