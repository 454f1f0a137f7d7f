#include "stats/SqlStatement.h"

#include <sqlite3.h>

#include "stats/SqlDatabase.h"

namespace stats {

CSqlStatement::CSqlStatement(CSqlDatabase& db, const char* pszSql) {
    m_nPrepare = db.Handle() == nullptr
                     ? SQLITE_MISUSE
                     : sqlite3_prepare_v2(db.Handle(), pszSql, -1, &m_pStmt, nullptr);
}

CSqlStatement::~CSqlStatement() {
    sqlite3_finalize(m_pStmt);
}

CSqlStatement& CSqlStatement::Bind(int nParam, int64_t nValue) {
    if (m_pStmt != nullptr) sqlite3_bind_int64(m_pStmt, nParam, nValue);
    return *this;
}

CSqlStatement& CSqlStatement::BindBytes(int nParam, std::string_view strValue) {
    // An empty view may have no data pointer; SQLite would read that as NULL.
    static const char kEmpty = 0;
    if (m_pStmt != nullptr)
        sqlite3_bind_blob64(m_pStmt, nParam, strValue.empty() ? &kEmpty : strValue.data(),
                            strValue.size(), SQLITE_TRANSIENT);
    return *this;
}

CSqlStatement& CSqlStatement::BindNull(int nParam) {
    if (m_pStmt != nullptr) sqlite3_bind_null(m_pStmt, nParam);
    return *this;
}

int CSqlStatement::Step() {
    if (m_pStmt == nullptr) return m_nPrepare != SQLITE_OK ? m_nPrepare : SQLITE_MISUSE;
    return sqlite3_step(m_pStmt);
}

void CSqlStatement::Reset() {
    if (m_pStmt == nullptr) return;
    sqlite3_reset(m_pStmt);
    sqlite3_clear_bindings(m_pStmt);
}

int64_t CSqlStatement::Int(int nColumn) const {
    return m_pStmt != nullptr ? sqlite3_column_int64(m_pStmt, nColumn) : 0;
}

std::string CSqlStatement::Bytes(int nColumn) const {
    if (m_pStmt == nullptr) return std::string();
    // The blob first, then its size, as SQLite asks.
    const void* pData = sqlite3_column_blob(m_pStmt, nColumn);
    const int nSize = sqlite3_column_bytes(m_pStmt, nColumn);
    if (pData == nullptr || nSize <= 0) return std::string();
    return std::string(static_cast<const char*>(pData), static_cast<size_t>(nSize));
}

bool CSqlStatement::IsNull(int nColumn) const {
    return m_pStmt == nullptr || sqlite3_column_type(m_pStmt, nColumn) == SQLITE_NULL;
}

}  // namespace stats
