// Opening the statistics file: a new one gets the schema in write-ahead
// mode; a file that is not ours, newer, read-only or locked is refused and
// left exactly as it was.
#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "stats/RoundStore.h"
#include "stats/StatsSchema.h"
#include "tests/config/TempFolder.h"
#include "tests/stats/StoreSupport.h"

using namespace stats;

namespace {

std::string ReadBytes(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Runs SQL on a connection of the test's own, as another program would.
void RunSql(const std::string& strPath, const char* pszSql) {
    sqlite3* pDb = nullptr;
    ASSERT_EQ(sqlite3_open(strPath.c_str(), &pDb), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(pDb, pszSql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(pDb);
    sqlite3_close(pDb);
}

class StatsFile : public testing::Test {
protected:
    std::string Path() const { return m_folder / "stats.db"; }
    EOpenResult Open(int nBusyMs = 100) {
        COpenOptions options;
        options.m_nBusyMs = nBusyMs;
        return OpenForWriting(m_db, Path(), options, &m_strWhy);
    }
    testsupport::CTempFolder m_folder;
    CSqlDatabase m_db;
    std::string m_strWhy;
};

TEST_F(StatsFile, ANewFileGetsTheSchemaInWriteAheadMode) {
    ASSERT_EQ(Open(), EOpenResult::Ok) << m_strWhy;
    EXPECT_TRUE(m_db.IsOpen());
    m_db.Close();
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA user_version"), std::to_string(kSchemaVersion));
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA application_id"), std::to_string(kApplicationId));
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(statstest::Peek(Path(), "SELECT count(*) FROM sqlite_master WHERE type='table'"),
              "4");
    // Opened again: nothing to migrate, what was written is there.
    ASSERT_EQ(Open(), EOpenResult::Ok);
    CRoundRecord r = statstest::MakeRound("wake", 100, {{"Ann", "a", 1}});
    ASSERT_EQ(CRoundStore(m_db).Write(r), SQLITE_OK);
    m_db.Close();
    ASSERT_EQ(Open(), EOpenResult::Ok);
    m_db.Close();
    EXPECT_EQ(statstest::Peek(Path(), "SELECT count(*) FROM rounds"), "1");
    CSqlDatabase reader;
    EXPECT_EQ(OpenForReading(reader, Path(), 100, nullptr), EOpenResult::Ok);
}

TEST_F(StatsFile, AFileThatIsNotOursIsRefusedAndLeftAsItWas) {
    const struct {
        const char* m_pszName;
        const char* m_pszSql;   // made with SQLite, or
        const char* m_pszText;  // written as it is
        EOpenResult m_eResult;
    } kRows[] = {
        {"NotSqlite", nullptr, "[fragrelay]\nirc_Nick=bot\n", EOpenResult::NotDatabase},
        {"Binary", nullptr,
         "\x7f"
         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0 and more than that.........",
         EOpenResult::NotDatabase},
        {"AnotherProgramsTables", "CREATE TABLE mail(id INTEGER PRIMARY KEY, body TEXT);", nullptr,
         EOpenResult::NotOurs},
        {"AnotherProgramsMark", "PRAGMA application_id=1234;", nullptr, EOpenResult::NotOurs},
        {"ANewerSchema",
         "PRAGMA application_id=1179797330; PRAGMA user_version=99;"
         "CREATE TABLE rounds(id INTEGER PRIMARY KEY, future BLOB);",
         nullptr, EOpenResult::Newer},
    };
    static_assert(kApplicationId == 1179797330);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        ::unlink(Path().c_str());
        if (row.m_pszSql != nullptr) {
            RunSql(Path(), row.m_pszSql);
        } else {
            std::ofstream(Path(), std::ios::binary) << row.m_pszText;
        }
        const std::string strBefore = ReadBytes(Path());
        EXPECT_EQ(Open(), row.m_eResult);
        EXPECT_FALSE(m_db.IsOpen());
        EXPECT_FALSE(m_strWhy.empty());
        EXPECT_EQ(ReadBytes(Path()), strBefore);
        EXPECT_FALSE(std::filesystem::exists(Path() + "-wal"));
    }
}

TEST_F(StatsFile, AReadOnlyFileIsRefusedAndLeftAsItWas) {
    ASSERT_EQ(Open(), EOpenResult::Ok);
    CRoundRecord r = statstest::MakeRound("wake", 100, {{"Ann", "a", 1}});
    ASSERT_EQ(CRoundStore(m_db).Write(r), SQLITE_OK);
    m_db.Close();  // the last connection checkpoints the log into the file
    // Root passes every permission check: the file is made immutable then.
    bool bImmutable = false;
    if (::geteuid() == 0) {
        const int nFd = ::open(Path().c_str(), O_RDONLY | O_CLOEXEC);
        int nFlags = 0;
        if (nFd >= 0 && ::ioctl(nFd, FS_IOC_GETFLAGS, &nFlags) == 0) {
            nFlags |= FS_IMMUTABLE_FL;
            bImmutable = ::ioctl(nFd, FS_IOC_SETFLAGS, &nFlags) == 0;
        }
        if (nFd >= 0) ::close(nFd);
        if (!bImmutable) GTEST_SKIP() << "root, and no immutable files here";
    } else {
        ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
    }
    const std::string strBefore = ReadBytes(Path());
    EXPECT_EQ(Open(), EOpenResult::ReadOnly);
    EXPECT_FALSE(m_db.IsOpen());
    EXPECT_EQ(ReadBytes(Path()), strBefore);
    if (bImmutable) {
        const int nFd = ::open(Path().c_str(), O_RDONLY | O_CLOEXEC);
        int nFlags = 0;
        if (nFd >= 0 && ::ioctl(nFd, FS_IOC_GETFLAGS, &nFlags) == 0) {
            nFlags &= ~FS_IMMUTABLE_FL;
            ::ioctl(nFd, FS_IOC_SETFLAGS, &nFlags);
        }
        if (nFd >= 0) ::close(nFd);
    }
}

TEST_F(StatsFile, AFileLockedByAnotherConnectionIsRefusedUntilItIsFree) {
    ASSERT_EQ(Open(), EOpenResult::Ok);
    m_db.Close();
    sqlite3* pOther = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &pOther), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(pOther, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(Open(50), EOpenResult::Locked);
    EXPECT_FALSE(m_db.IsOpen());
    sqlite3_exec(pOther, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(pOther);
    EXPECT_EQ(Open(), EOpenResult::Ok) << m_strWhy;
}

TEST_F(StatsFile, APathThatCannotBeAFileIsSaid) {
    COpenOptions options;
    EXPECT_EQ(OpenForWriting(m_db, m_folder.Path(), options, &m_strWhy), EOpenResult::CannotOpen);
    EXPECT_EQ(OpenForWriting(m_db, m_folder / "no/such/folder/stats.db", options, &m_strWhy),
              EOpenResult::CannotOpen);
    EXPECT_FALSE(m_strWhy.empty());
    CSqlDatabase reader;
    EXPECT_EQ(OpenForReading(reader, m_folder / "absent.db", 100, nullptr),
              EOpenResult::CannotOpen);
}

}  // namespace
