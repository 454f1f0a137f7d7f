#pragma once
// The fixture of fragrelayd's settings tests (DaemonSettings*Test.cpp): a
// folder of the test's own, the console's two streams as files, and the
// expected texts with "{dir}" for the folder, as the system shows it.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "config/TempFolder.h"
#include "fragrelayd/ConsoleOutput.h"
#include "support/FolderText.h"

namespace daemontest {

// Both sides can start: the writer's 24 lines, complete.
inline const std::string kComplete =
    "irc_Server=127.0.0.1\r\nirc_Port=6667\r\nirc_Nick=bot\r\nirc_altNick=bot2\r\n"
    "irc_Channel=#relay\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
    "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\nbf_Port=23000\r\n"
    "allied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
    "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
    "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=yes\r\n";

class DaemonSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_streams.IsValid());
        ASSERT_NE(m_pOut, nullptr);
        ASSERT_NE(m_pErr, nullptr);
    }
    ~DaemonSettingsTest() override {
        if (m_pOut) std::fclose(m_pOut);
        if (m_pErr) std::fclose(m_pErr);
    }
    static std::string Contents(std::FILE* pFile) {
        std::string str;
        std::rewind(pFile);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, pFile)) > 0;) str.append(buf, n);
        std::fseek(pFile, 0, SEEK_END);
        return str;
    }
    std::string Out() const { return Contents(m_pOut); }
    std::string Err() const { return Contents(m_pErr); }
    // The folder as the program shows it: with backslashes on Windows.
    std::string Expected(const std::string& str) const {
#ifdef _WIN32
        std::string strDir = m_folder.Path();
        for (char& c : strDir)
            if (c == '/') c = '\\';
        return testsupport::FolderText(str, strDir, true);
#else
        return testsupport::FolderText(str, m_folder.Path(), false);
#endif
    }
    std::string Path() const {
        return m_folder / "settings.ini";
    }

    testsupport::CTempFolder m_folder;
    // The streams live apart from the folder whose names the tests compare.
    testsupport::CTempFolder m_streams;
    std::FILE* m_pOut = std::fopen((m_streams / "out").c_str(), "w+b");
    std::FILE* m_pErr = std::fopen((m_streams / "err").c_str(), "w+b");
    fragrelayd::CConsoleOutput m_console{m_pOut, m_pErr};
};

// A file that cannot be used: the same words for the start and --check.
struct CUnusableRow {
    const char* m_pszName;
    std::function<std::string(const testsupport::CTempFolder&)> m_make;  // the path to use
    const char* m_pszErr;
};

class DaemonUnusableFile : public DaemonSettingsTest,
                           public testing::WithParamInterface<CUnusableRow> {};

// --write-settings refused: nothing changes in the folder.
struct CWriteRow {
    const char* m_pszName;
    std::function<std::string(const testsupport::CTempFolder&)> m_make;  // the path to write
    const char* m_pszErr;
};

class DaemonWriteRefused : public DaemonSettingsTest,
                           public testing::WithParamInterface<CWriteRow> {};

}  // namespace daemontest
