#pragma once
// Runs Debian's qstat (quakestat) against a bf42sim on 127.0.0.1. Fails
// without it when FR_REQUIRE_PEERS is set, else skips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/ChildProcess.h"

class CQstatFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_strQstat = testsupport::FindProgram("quakestat");
        if (m_strQstat.empty()) {
            if (std::getenv("FR_REQUIRE_PEERS"))
                FAIL() << "quakestat (Debian package qstat) is missing";
            GTEST_SKIP() << "quakestat (Debian package qstat) is not installed";
        }
    }

    // Runs one query; the output, with the exit code in *pExit.
    std::string Query(uint16_t nPort, int* pExit) {
        using namespace std::chrono_literals;
        testsupport::CChildProcess qstat;
        EXPECT_TRUE(qstat.Start({m_strQstat, "-gps", "127.0.0.1:" + std::to_string(nPort), "-P",
                                 "-R", "-timeout", "5"}));
        *pExit = qstat.Wait(20s);
        return qstat.Output();
    }

    std::string m_strQstat;
};
