// fragrelayd's command line: which action, which settings file, and the
// usage errors, word for word; and the help that the man page is made from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fragrelayd/DaemonCommandLine.h"

namespace {

using fragrelayd::CDaemonOptions;
using fragrelayd::EDaemonAction;

struct CArgsRow {
    const char* m_pszName;
    std::vector<std::string> m_vArgs;
    EDaemonAction m_eAction;
    std::string m_strSettings;
    std::string m_strWrite;
    std::string m_strError;  // non-empty: a usage error with this text
};

class DaemonArgs : public testing::TestWithParam<CArgsRow> {};

TEST_P(DaemonArgs, GiveTheActionAndFilesOrTheError) {
    const CArgsRow& row = GetParam();
    CDaemonOptions options;
    options.m_strSettingsPath = "untouched";
    std::string strError;
    const bool bOk = fragrelayd::ParseDaemonArgs(row.m_vArgs, &options, &strError);
    EXPECT_EQ(strError, row.m_strError);
    ASSERT_EQ(bOk, row.m_strError.empty());
    if (!bOk) {
        EXPECT_EQ(options.m_strSettingsPath, "untouched");  // nothing taken from a bad line
        return;
    }
    EXPECT_EQ(options.m_eAction, row.m_eAction);
    EXPECT_EQ(options.m_strSettingsPath, row.m_strSettings);
    EXPECT_EQ(options.m_strWritePath, row.m_strWrite);
}

const CArgsRow kArgsRows[] = {
    {"Nothing", {}, EDaemonAction::Run, "settings.ini", "", ""},
    {"ShortSettings", {"-c", "/srv/a.ini"}, EDaemonAction::Run, "/srv/a.ini", "", ""},
    {"LongSettings", {"--settings", "a.ini"}, EDaemonAction::Run, "a.ini", "", ""},
    {"LongSettingsWithEquals", {"--settings=a b.ini"}, EDaemonAction::Run, "a b.ini", "", ""},
    {"LastSettingsWins", {"-c", "a.ini", "-c", "b.ini"}, EDaemonAction::Run, "b.ini", "", ""},
    {"Check", {"--check"}, EDaemonAction::Check, "settings.ini", "", ""},
    {"CheckAFile", {"--check", "-c", "a.ini"}, EDaemonAction::Check, "a.ini", "", ""},
    {"WriteTheSettingsFile",
     {"--write-settings"},
     EDaemonAction::WriteSettings,
     "settings.ini",
     "settings.ini",
     ""},
    {"WriteTheNamedSettingsFile",
     {"-c", "a.ini", "--write-settings"},
     EDaemonAction::WriteSettings,
     "a.ini",
     "a.ini",
     ""},
    {"WriteAPath",
     {"--write-settings", "b.ini", "-c", "a.ini"},
     EDaemonAction::WriteSettings,
     "a.ini",
     "b.ini",
     ""},
    {"WriteBeforeAnOption",
     {"--write-settings", "-c", "a.ini"},
     EDaemonAction::WriteSettings,
     "a.ini",
     "a.ini",
     ""},
    {"WriteWithEquals",
     {"--write-settings=-odd.ini"},
     EDaemonAction::WriteSettings,
     "settings.ini",
     "-odd.ini",
     ""},
    {"HelpWinsOverWhatFollows",
     {"--check", "--help", "--bogus"},
     EDaemonAction::Help,
     "settings.ini",
     "",
     ""},
    {"ShortHelp", {"-h"}, EDaemonAction::Help, "settings.ini", "", ""},
    {"Version", {"--version", "-c"}, EDaemonAction::Version, "settings.ini", "", ""},
    {"UnknownOption",
     {"--bogus", "--help"},
     EDaemonAction::Run,
     "",
     "",
     "unknown argument \"--bogus\""},
    {"AWordAlone",
     {"settings.ini"},
     EDaemonAction::Run,
     "",
     "",
     "unknown argument \"settings.ini\""},
    {"SettingsWithoutPath",
     {"-c"},
     EDaemonAction::Run,
     "",
     "",
     "-c needs the path of a settings file"},
    {"SettingsWithEmptyPath",
     {"--settings", ""},
     EDaemonAction::Run,
     "",
     "",
     "--settings needs the path of a settings file"},
    {"SettingsEqualsNothing",
     {"--settings="},
     EDaemonAction::Run,
     "",
     "",
     "--settings needs the path of a settings file"},
    {"WriteEqualsNothing",
     {"--write-settings="},
     EDaemonAction::Run,
     "",
     "",
     "--write-settings= needs a path"},
    {"CheckAndWrite",
     {"--write-settings", "--check"},
     EDaemonAction::Run,
     "",
     "",
     "--check and --write-settings exclude each other"},
};
INSTANTIATE_TEST_SUITE_P(Rows, DaemonArgs, testing::ValuesIn(kArgsRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// help2man makes the man page from this text: its sections must be there,
// in 80 columns, and what the program does with its settings file.
TEST(DaemonUsage, NamesOptionsSignalsExitStatusesKeysAndFiles) {
    const std::string strUsage = fragrelayd::DaemonUsage();
    EXPECT_EQ(strUsage.rfind("Usage: fragrelayd ", 0), 0u);
    for (const char* pszPart :
         {"\nOptions:\n", "  -c, --settings PATH", "  --write-settings [PATH]", "  --check ",
          "\nSignals:\n", "SIGHUP", "SIGTERM", "\nExit status:\n", "\n  0  ", "\n  1  ", "\n  2  ",
          "\nSettings file keys", "\n  irc_Nick=fraghorn ", "\n  show_tk=yes ", "\nFiles:\n",
          "/var/lib/fragrelayd/INSTANCE/settings.ini",
          // It never writes its settings file, not even when it stops.
          "The settings file is left\n                   as it is.",
          "only read (--write-settings makes a new one)"}) {
        EXPECT_NE(strUsage.find(pszPart), std::string::npos) << pszPart;
    }
    EXPECT_EQ(strUsage.find("saved"), std::string::npos);
    EXPECT_EQ(strUsage.find("read-only file system"), std::string::npos);
    for (size_t nAt = 0; nAt < strUsage.size();) {
        const size_t nEnd = strUsage.find('\n', nAt);
        ASSERT_NE(nEnd, std::string::npos);
        EXPECT_LE(nEnd - nAt, 80u) << strUsage.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
    }
}

}  // namespace
