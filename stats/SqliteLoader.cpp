// The SQLite calls the statistics make (SqlDatabase.cpp, SqlStatement.cpp,
// RoundStore.cpp), reached through the library loaded on first use: a bot
// whose statistics are off never maps libsqlite3. Each function here has
// SQLite's own name and declaration (the compiler checks them against
// sqlite3.h); on its first call it looks up the real one in the library and
// forwards to it. A system without the library gets failed calls: the
// statistics then say that the file cannot be opened, and why.
//
// Compiled with hidden visibility: the program's own copies are never
// offered to the library, nor to a test that links the library itself.
#include <sqlite3.h>

#include "platform/LateBound.h"

namespace {
constexpr char kNoLibrary[] = "the SQLite library (libsqlite3.so.0) could not be loaded";
}  // namespace

// The name every SQLite 3 has had since 3.0.
FR_LATE_BOUND_LIBRARY("libsqlite3.so.0")

// clang-format off
FR_FORWARD(int, sqlite3_open_v2, (const char* filename, sqlite3** ppDb, int flags, const char* zVfs), (filename, ppDb, flags, zVfs), SQLITE_CANTOPEN)
FR_FORWARD(int, sqlite3_close_v2, (sqlite3* db), (db), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_extended_result_codes, (sqlite3* db, int onoff), (db, onoff), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_busy_timeout, (sqlite3* db, int ms), (db, ms), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_db_readonly, (sqlite3* db, const char* zDbName), (db, zDbName), -1)
FR_FORWARD(int, sqlite3_exec, (sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**), void* arg, char** errmsg), (db, sql, callback, arg, errmsg), SQLITE_MISUSE)
FR_FORWARD(const char*, sqlite3_errmsg, (sqlite3* db), (db), kNoLibrary)
FR_FORWARD(const char*, sqlite3_errstr, (int rc), (rc), kNoLibrary)
FR_FORWARD(int, sqlite3_get_autocommit, (sqlite3* db), (db), 1)
FR_FORWARD(sqlite3_int64, sqlite3_last_insert_rowid, (sqlite3* db), (db), 0)
FR_FORWARD(int, sqlite3_prepare_v2, (sqlite3* db, const char* zSql, int nByte, sqlite3_stmt** ppStmt, const char** pzTail), (db, zSql, nByte, ppStmt, pzTail), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_finalize, (sqlite3_stmt* pStmt), (pStmt), SQLITE_OK)
FR_FORWARD(int, sqlite3_step, (sqlite3_stmt* pStmt), (pStmt), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_reset, (sqlite3_stmt* pStmt), (pStmt), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_clear_bindings, (sqlite3_stmt* pStmt), (pStmt), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_bind_int64, (sqlite3_stmt* pStmt, int i, sqlite3_int64 value), (pStmt, i, value), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_bind_blob64, (sqlite3_stmt* pStmt, int i, const void* pData, sqlite3_uint64 n, void (*destructor)(void*)), (pStmt, i, pData, n, destructor), SQLITE_MISUSE)
FR_FORWARD(int, sqlite3_bind_null, (sqlite3_stmt* pStmt, int i), (pStmt, i), SQLITE_MISUSE)
FR_FORWARD(sqlite3_int64, sqlite3_column_int64, (sqlite3_stmt* pStmt, int iCol), (pStmt, iCol), 0)
FR_FORWARD(const void*, sqlite3_column_blob, (sqlite3_stmt* pStmt, int iCol), (pStmt, iCol), nullptr)
FR_FORWARD(int, sqlite3_column_bytes, (sqlite3_stmt* pStmt, int iCol), (pStmt, iCol), 0)
FR_FORWARD(int, sqlite3_column_type, (sqlite3_stmt* pStmt, int iCol), (pStmt, iCol), SQLITE_NULL)
// clang-format on
