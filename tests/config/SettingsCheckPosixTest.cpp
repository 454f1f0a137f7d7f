// The client certificate's key as the checks see it, with keys the openssl
// program makes: one locked by a pass phrase keeps the IRC side from
// starting (the TLS library would ask for the phrase, and nobody answers).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "SettingsPrint.h"
#include "TempFolder.h"
#include "config/SettingsCheck.h"
#include "support/ChildProcess.h"

namespace {

using config::CSettingsProblem;
using config::EProblem;

class SettingsCheckKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        if (m_strOpenssl.empty()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << "the openssl program is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << "the openssl program is not installed";
        }
    }
    bool Openssl(std::vector<std::string> vArgs) {
        vArgs.insert(vArgs.begin(), m_strOpenssl);
        testsupport::CChildProcess child;
        return child.Start(vArgs, m_folder.Path()) && child.Wait(std::chrono::seconds(20)) == 0;
    }

    testsupport::CTempFolder m_folder;
    std::string m_strOpenssl = testsupport::FindProgram("openssl");
};

TEST_F(SettingsCheckKeys, AKeyWithAPassPhraseIsNamed) {
    ASSERT_TRUE(Openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt",
                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "plain.key", "-out",
                         "cert.pem", "-days", "3", "-subj", "/CN=fragbot"}));
    ASSERT_TRUE(Openssl(
        {"pkey", "-in", "plain.key", "-aes256", "-passout", "pass:secret", "-out", "locked.key"}));
    const std::string strCert = testsupport::ReadWholeFile(m_folder / "cert.pem");
    for (const char* pszKey : {"plain", "locked"}) {
        ASSERT_TRUE(testsupport::WriteWholeFile(
            m_folder / (std::string(pszKey) + ".pem"),
            testsupport::ReadWholeFile(m_folder / (std::string(pszKey) + ".key")) + strCert));
    }

    config::CSettings values = config::DefaultSettings();
    values.m_irc.m_strAltNick = "fraghorn_";
    values.m_irc.m_strChannel = "#clan";
    values.m_nTicketSecs = 60;
    values.m_irc.m_bAuth = true;
    values.m_irc.m_nNetwork = 2;
    values.m_irc.m_security.m_bTls = true;
    values.m_irc.m_security.m_strClientCert = m_folder / "plain.pem";
    EXPECT_EQ(config::IrcSideProblems(values), std::vector<CSettingsProblem>{});

    values.m_irc.m_security.m_strClientCert = m_folder / "locked.pem";
    const std::vector<CSettingsProblem> kLocked = {{"irc_ClientCert", EProblem::EncryptedKey}};
    EXPECT_EQ(config::IrcSideProblems(values), kLocked);
    EXPECT_EQ(config::ProblemText(kLocked[0], values),
              "irc_ClientCert: the key in " + m_folder / "locked.pem" +
                  " is encrypted; fragrelay needs it without a pass phrase");
    // Without TLS both are said: either alone would stop the side.
    values.m_irc.m_security.m_bTls = false;
    EXPECT_EQ(config::IrcSideProblems(values),
              (std::vector<CSettingsProblem>{{"irc_ClientCert", EProblem::EncryptedKey},
                                             {"irc_ClientCert", EProblem::NeedsTls}}));
}

}  // namespace
