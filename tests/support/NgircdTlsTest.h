#pragma once
// A test suite against ngircd's TLS port: the certificates are made once
// per suite; without ngircd or openssl the tests skip, or fail when
// FR_REQUIRE_PEERS is set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "support/NgircdTlsServer.h"
#include "support/TestCertificates.h"

namespace testsupport {

class CNgircdTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!CNgircdTlsServer::Available() || !CTestCertificates::Available()) return;
        s_pCerts = std::make_unique<CTestCertificates>();
        if (!s_pCerts->Make()) {
            s_strMakeLog = s_pCerts->Log();
            s_pCerts.reset();
        }
    }
    static void TearDownTestSuite() { s_pCerts.reset(); }

    void SetUp() override {
        if (!CNgircdTlsServer::Available() || !CTestCertificates::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << "ngircd or openssl is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << "ngircd or openssl is not installed";
        }
        ASSERT_TRUE(s_pCerts) << s_strMakeLog;
    }

    inline static std::unique_ptr<CTestCertificates> s_pCerts;
    inline static std::string s_strMakeLog;
};

}  // namespace testsupport
