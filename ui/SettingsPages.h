#pragma once
// Moves the settings between "settings.ini" and the fields of the three
// pages that hold them: the IRC side, the BF42 tab and the Settings tab.
// The fields only: the caller exchanges them with the controls (windows
// not yet created when loading; each page's UpdateData before saving).
#include <string>

#include "config/Settings.h"

namespace framework {
class IMessageSink;
}
namespace irc {
class CIrcSession;
}

namespace ui {

class CGameDlg;
class CColorDlg;

// Sets every settings field of the three pages, each page under its field
// lock. UI thread.
void ApplySettings(const config::CSettings& values, irc::CIrcSession& irc, CGameDlg& game,
                   CColorDlg& colors);
// The same, one page at a time (a side restarted on its own).
void ApplyIrcSettings(const config::CSettings& values, irc::CIrcSession& irc);
void ApplyGameSettings(const config::CSettings& values, CGameDlg& game);
void ApplyColorSettings(const config::CSettings& values, CColorDlg& colors);
// The settings fields of the three pages, read under their field locks, so
// a running IRC or monitor thread never sees a half-replaced text. UI thread.
config::CSettings CollectSettings(irc::CIrcSession& irc, CGameDlg& game, CColorDlg& colors);
// The same, one page at a time: only that page's settings in values change
// (for the checks of a page's own Connect).
void CollectIrcSettings(irc::CIrcSession& irc, config::CSettings& values);
void CollectGameSettings(CGameDlg& game, config::CSettings& values);
void CollectColorSettings(CColorDlg& colors, config::CSettings& values);

// Start-up: the file's values (the defaults when it is absent) into the
// pages. No message on any failure. UI thread, before any worker runs.
void LoadSettings(const std::string& strPath, irc::CIrcSession& irc, CGameDlg& game,
                  CColorDlg& colors);
// Apply and Quit, after the pages took their control values: writes the
// pages' fields; on failure the message box of SaveSettingsFile. UI thread.
// config::WriteSettingsFile, and on failure "Couldn't write to file."
// (caption "Error", stop icon) through pSink when given.
bool SaveSettingsFile(const std::string& strPath, const config::CSettings& values,
                      framework::IMessageSink* pSink);
bool SaveSettings(const std::string& strPath, irc::CIrcSession& irc, CGameDlg& game,
                  CColorDlg& colors, framework::IMessageSink* pSink);

}  // namespace ui
