// settings.ini as the window keeps it: the first start's defaults, values
// that load back whole, and the question before a file that another
// program changed since the window read or wrote it is replaced (Yes
// replaces it, No keeps it and the values stay unsaved); a write that fails
// is told.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "config/SettingsPrint.h"
#include "config/TempFolder.h"
#include "framework/MessageBox.h"
#include "ui/WindowSettings.h"

namespace {

using config::CSettings;
using framework::CMessage;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

class WindowSettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.IsValid()); }
    std::string File() const { return m_folder / "settings.ini"; }
    CMessage Question() const {
        return {ui::ChangedOnDiskText(File()), "fragrelay", framework::EIcon::Question,
                framework::EButtons::YesNo};
    }
    // Distinct values in every field, as a window would hold them.
    static CSettings Typed() {
        CSettings v;
        v.m_irc.m_strServer = "irc.example.net";
        v.m_irc.m_nPort = 40000;  // written -25536, as the file has always held it
        v.m_irc.m_strNick = "relay";
        v.m_irc.m_strAltNick = "relay_";
        v.m_irc.m_strChannel = "#clan";
        v.m_irc.m_bAuth = 1;
        v.m_irc.m_strUsername = "acct";
        v.m_irc.m_strPassword = "pw";
        v.m_irc.m_nNetwork = 1;
        v.m_nTicketSecs = 90;
        v.m_game.m_nLanguage = 3;
        v.m_game.m_strServer = "10.0.0.2";
        v.m_game.m_nQueryPort = 23001;
        v.m_colors.m_strAlliedKillColor = "1";
        v.m_colors.m_strAlliedFlagColor = "2";
        v.m_colors.m_strAxisKillColor = "3";
        v.m_colors.m_strAxisFlagColor = "4";
        v.m_colors.m_strStatusColor = "5";
        v.m_colors.m_strKeyColor = "6";
        v.m_colors.m_strValueColor = "7";
        v.m_colors.m_bShowFlag = 0;
        v.m_colors.m_bShowKill = 1;
        v.m_colors.m_bShowTicket = 0;
        v.m_colors.m_bShowTk = 1;
        return v;
    }

    testsupport::CTempFolder m_folder;
    framework::CRecordingMessageSink m_sink;
    ui::CWindowSettings m_file{File()};
};

TEST_F(WindowSettings, FirstStartGivesTheDefaultsAndTheFirstSaveAsksNothing) {
    EXPECT_EQ(m_file.Load(), config::DefaultSettings());
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{});  // loading writes nothing
    ASSERT_TRUE(m_file.Save(config::DefaultSettings(), &m_sink));
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(config::DefaultSettings()));
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(WindowSettings, SavedValuesLoadBackWhole) {
    m_file.Load();
    const CSettings v = Typed();
    ASSERT_TRUE(m_file.Save(v, &m_sink));
    EXPECT_NE(ReadWholeFile(File()).find("irc_Port=-25536\r\n"), std::string::npos);
    ui::CWindowSettings fresh(File());
    EXPECT_EQ(fresh.Load(), v);
    // Saved again unchanged: the same bytes, and no question.
    const std::string strFirst = ReadWholeFile(File());
    ASSERT_TRUE(m_file.Save(v, &m_sink));
    EXPECT_EQ(ReadWholeFile(File()), strFirst);
    EXPECT_EQ(m_sink.Count(), 0u);
}

// The operator edits the file while the window runs: the window asks before
// it writes its own values over the edit.
TEST_F(WindowSettings, AFileChangedOnDiskIsReplacedOnlyWhenTheOperatorSaysYes) {
    ASSERT_TRUE(WriteWholeFile(File(), config::FormatSettings(Typed())));
    const CSettings shown = m_file.Load();
    const std::string strEdited = config::FormatSettings(Typed()) + "// edited by hand\r\n";
    ASSERT_TRUE(WriteWholeFile(File(), strEdited));

    EXPECT_FALSE(m_file.Save(shown, &m_sink));  // the answer is No until one is set
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{Question()});
    EXPECT_EQ(ReadWholeFile(File()), strEdited);
    // Still changed: the next save asks again.
    EXPECT_FALSE(m_file.Save(shown, &m_sink));
    EXPECT_EQ(m_sink.Count(), 2u);
    EXPECT_EQ(ReadWholeFile(File()), strEdited);

    m_sink.SetAnswer(framework::IDYES);
    EXPECT_TRUE(m_file.Save(shown, &m_sink));
    EXPECT_EQ(m_sink.Count(), 3u);
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(shown));
    // What the window wrote itself is no change on disk.
    EXPECT_TRUE(m_file.Save(shown, &m_sink));
    EXPECT_EQ(m_sink.Count(), 3u);
}

// A file another program made after a first start (fragrelayd
// --write-settings) is asked about too; one that is gone is written.
TEST_F(WindowSettings, AFileMadeOrRemovedMeanwhile) {
    m_file.Load();
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=theirs\r\n"));
    EXPECT_FALSE(m_file.Save(Typed(), &m_sink));
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{Question()});
    EXPECT_EQ(ReadWholeFile(File()), "irc_Nick=theirs\r\n");

    ASSERT_TRUE(std::remove(File().c_str()) == 0);
    EXPECT_TRUE(m_file.Save(Typed(), &m_sink));  // nothing left to lose
    EXPECT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(Typed()));
}

TEST_F(WindowSettings, WithoutSomeoneToAskAChangedFileIsKept) {
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=mine\r\n"));
    m_file.Load();
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=edited\r\n"));
    EXPECT_FALSE(m_file.Save(Typed(), nullptr));
    EXPECT_EQ(ReadWholeFile(File()), "irc_Nick=edited\r\n");
}

TEST_F(WindowSettings, AWriteThatFailsIsTold) {
    ui::CWindowSettings nowhere(m_folder / "none/settings.ini");
    nowhere.Load();
    EXPECT_FALSE(nowhere.Save(Typed(), &m_sink));
    const CMessage failed{"Couldn't write to file.", "Error", framework::EIcon::Error};
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{failed});
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{});
}

}  // namespace
