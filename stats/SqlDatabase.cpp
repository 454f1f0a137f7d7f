#include "stats/SqlDatabase.h"

#include <sqlite3.h>

#include "stats/SqlStatement.h"

namespace stats {

CSqlDatabase::~CSqlDatabase() {
    Close();
}

int CSqlDatabase::Open(const std::string& strPath, bool bReadOnly, bool bCreate, int nBusyMs) {
    Close();
    int nFlags = bReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (bCreate && !bReadOnly) nFlags |= SQLITE_OPEN_CREATE;
    // Each connection is used by one thread at a time: no mutex of SQLite's own.
    nFlags |= SQLITE_OPEN_NOMUTEX;
    const int nResult = sqlite3_open_v2(strPath.c_str(), &m_pDb, nFlags, nullptr);
    if (nResult != SQLITE_OK) {
        m_strOpenError = m_pDb != nullptr ? sqlite3_errmsg(m_pDb) : sqlite3_errstr(nResult);
        Close();
        return nResult;
    }
    sqlite3_extended_result_codes(m_pDb, 1);
    sqlite3_busy_timeout(m_pDb, nBusyMs);
    return SQLITE_OK;
}

void CSqlDatabase::Close() {
    if (m_pDb == nullptr) return;
    sqlite3_close_v2(m_pDb);
    m_pDb = nullptr;
}

bool CSqlDatabase::IsReadOnly() const {
    return m_pDb != nullptr && sqlite3_db_readonly(m_pDb, "main") == 1;
}

int CSqlDatabase::Exec(const char* pszSql) {
    if (m_pDb == nullptr) return SQLITE_MISUSE;
    return sqlite3_exec(m_pDb, pszSql, nullptr, nullptr, nullptr);
}

int CSqlDatabase::QueryInt(const char* pszSql, int64_t* pValue) {
    CSqlStatement statement(*this, pszSql);
    const int nResult = statement.Step();
    if (nResult == SQLITE_ROW) {
        *pValue = statement.Int(0);
        return SQLITE_OK;
    }
    return nResult == SQLITE_DONE ? SQLITE_EMPTY : nResult;
}

int CSqlDatabase::QueryText(const char* pszSql, std::string* pValue) {
    CSqlStatement statement(*this, pszSql);
    const int nResult = statement.Step();
    if (nResult == SQLITE_ROW) {
        *pValue = statement.Bytes(0);
        return SQLITE_OK;
    }
    return nResult == SQLITE_DONE ? SQLITE_EMPTY : nResult;
}

std::string CSqlDatabase::ErrorText() const {
    if (m_pDb == nullptr) return m_strOpenError;
    return sqlite3_errmsg(m_pDb);
}

int PrimaryCode(int nResult) {
    return nResult & 0xff;
}

CSqlTransaction::CSqlTransaction(CSqlDatabase& db)
    : m_db(db), m_nBegin(db.Exec("BEGIN IMMEDIATE")), m_bOpen(m_nBegin == SQLITE_OK) {}

CSqlTransaction::~CSqlTransaction() {
    if (m_bOpen) m_db.Exec("ROLLBACK");
}

int CSqlTransaction::Commit() {
    if (!m_bOpen) return m_nBegin != SQLITE_OK ? m_nBegin : SQLITE_MISUSE;
    const int nResult = m_db.Exec("COMMIT");
    // A failed COMMIT may leave the transaction open (SQLITE_BUSY): the
    // destructor rolls it back.
    if (nResult == SQLITE_OK || sqlite3_get_autocommit(m_db.Handle()) != 0) m_bOpen = false;
    return nResult;
}

}  // namespace stats
