#pragma once
// One SQLite connection, closed with the object. A connection is used by one
// thread at a time; its owner says which.
#include <cstdint>
#include <string>

struct sqlite3;

namespace stats {

class CSqlDatabase {
public:
    CSqlDatabase() = default;
    ~CSqlDatabase();
    CSqlDatabase(const CSqlDatabase&) = delete;
    CSqlDatabase& operator=(const CSqlDatabase&) = delete;

    // Opens the file (created when bCreate and absent) with extended result
    // codes and a busy wait of nBusyMs. An SQLite result code; on failure
    // the connection is closed again and ErrorText() says why.
    int Open(const std::string& strPath, bool bReadOnly, bool bCreate, int nBusyMs);
    void Close();
    bool IsOpen() const { return m_pDb != nullptr; }
    // True when SQLite could only open the file for reading.
    bool IsReadOnly() const;

    // Runs statements that return no rows. An SQLite result code.
    int Exec(const char* pszSql);
    // The first column of the first row of a one-value query (a PRAGMA).
    int QueryInt(const char* pszSql, int64_t* pValue);
    int QueryText(const char* pszSql, std::string* pValue);

    // The last error as SQLite words it; after a failed Open too.
    std::string ErrorText() const;
    sqlite3* Handle() const { return m_pDb; }

private:
    sqlite3* m_pDb = nullptr;
    std::string m_strOpenError;
};

// The primary code of an extended result code (SQLITE_IOERR_WRITE gives
// SQLITE_IOERR), for deciding what a failure means.
int PrimaryCode(int nResult);

// Began, and rolled back at the end of the scope unless committed: a
// failure anywhere in between leaves the file as it was.
class CSqlTransaction {
public:
    explicit CSqlTransaction(CSqlDatabase& db);
    ~CSqlTransaction();
    CSqlTransaction(const CSqlTransaction&) = delete;
    CSqlTransaction& operator=(const CSqlTransaction&) = delete;
    int BeginResult() const { return m_nBegin; }
    int Commit();

private:
    CSqlDatabase& m_db;
    int m_nBegin;
    bool m_bOpen;
};

}  // namespace stats
