#pragma once
// One prepared statement of a connection. Values are bound as parameters,
// never written into the SQL; texts go in and come out as the exact bytes
// (stored as BLOB), so Windows-1252, quotes, percent signs, backslashes and
// control bytes stay as they are. Used on the connection's thread.
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace stats {

class CSqlDatabase;

class CSqlStatement {
public:
    // Prepares pszSql; Result() holds the outcome, and a statement that did
    // not prepare fails every Step with it.
    CSqlStatement(CSqlDatabase& db, const char* pszSql);
    ~CSqlStatement();
    CSqlStatement(const CSqlStatement&) = delete;
    CSqlStatement& operator=(const CSqlStatement&) = delete;

    int Result() const { return m_nPrepare; }

    // Parameters count from 1.
    CSqlStatement& Bind(int nParam, int64_t nValue);
    CSqlStatement& BindBytes(int nParam, std::string_view strValue);
    CSqlStatement& BindNull(int nParam);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Ready for new parameters and a new run.
    void Reset();

    // Columns count from 0; NULL reads as 0 or empty.
    int64_t Int(int nColumn) const;
    std::string Bytes(int nColumn) const;
    bool IsNull(int nColumn) const;

private:
    sqlite3_stmt* m_pStmt = nullptr;
    int m_nPrepare = 0;
};

}  // namespace stats
