#include "stats/StatsSchema.h"

#include <sqlite3.h>

#include <iterator>

namespace stats {
namespace {

// Each entry takes the schema from its index to the next version. Names and
// other texts are BLOBs: the exact bytes the server sent.
const char* const kMigrations[] = {
    // 0 -> 1
    "CREATE TABLE players("
    "  id INTEGER PRIMARY KEY,"
    "  ident BLOB NOT NULL UNIQUE,"  // 'k:' keyhash or 'n:' name
    "  keyhash BLOB,"                // NULL for a player known by name
    "  name BLOB NOT NULL,"          // the name he used last
    "  first_seen INTEGER NOT NULL,"
    "  last_seen INTEGER NOT NULL,"
    // Totals over the ranked rounds, kept up to date with each round.
    "  kills INTEGER NOT NULL DEFAULT 0,"
    "  deaths INTEGER NOT NULL DEFAULT 0,"
    "  teamkills INTEGER NOT NULL DEFAULT 0,"
    "  suicides INTEGER NOT NULL DEFAULT 0,"
    "  flags INTEGER NOT NULL DEFAULT 0,"
    "  score INTEGER NOT NULL DEFAULT 0,"
    "  rounds INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE player_names("
    "  player_id INTEGER NOT NULL REFERENCES players(id),"
    "  name BLOB NOT NULL,"
    "  fold BLOB NOT NULL,"  // the name in lower case, for look-ups
    "  first_seen INTEGER NOT NULL,"
    "  last_seen INTEGER NOT NULL,"
    "  PRIMARY KEY(player_id, name)) WITHOUT ROWID;"
    "CREATE INDEX player_names_name ON player_names(name);"
    "CREATE INDEX player_names_fold ON player_names(fold);"
    "CREATE TABLE rounds("
    "  id INTEGER PRIMARY KEY,"
    "  server BLOB NOT NULL,"
    "  server_port INTEGER NOT NULL,"
    "  map BLOB NOT NULL,"
    "  mod BLOB NOT NULL,"
    "  game_type BLOB NOT NULL,"
    "  start_time INTEGER NOT NULL,"
    "  end_time INTEGER NOT NULL,"
    "  seconds INTEGER NOT NULL,"
    "  end_reason INTEGER NOT NULL,"  // 1 ended, 2 map changed, 3 restarted, 4 stopped
    "  tickets_axis INTEGER,"         // NULL when the server sent none
    "  tickets_allies INTEGER,"
    "  winner INTEGER NOT NULL,"  // 0 none or draw, 1 Axis, 2 Allies
    "  players INTEGER NOT NULL,"
    "  ranked INTEGER NOT NULL,"
    "  joined_late INTEGER NOT NULL);"
    "CREATE INDEX rounds_end ON rounds(end_time);"
    "CREATE INDEX rounds_ranked_end ON rounds(ranked, end_time);"
    "CREATE TABLE round_players("
    "  round_id INTEGER NOT NULL REFERENCES rounds(id),"
    "  player_id INTEGER NOT NULL REFERENCES players(id),"
    "  name BLOB NOT NULL,"
    "  team INTEGER NOT NULL,"
    "  kills INTEGER NOT NULL,"
    "  deaths INTEGER NOT NULL,"
    "  teamkills INTEGER NOT NULL,"
    "  suicides INTEGER NOT NULL,"
    "  flags INTEGER NOT NULL,"
    "  score INTEGER NOT NULL,"
    "  seconds INTEGER NOT NULL,"
    "  first_seen INTEGER NOT NULL,"
    "  last_seen INTEGER NOT NULL,"
    // The server's totals as last seen, for a round taken up again.
    "  session_frags INTEGER NOT NULL,"
    "  session_deaths INTEGER NOT NULL,"
    "  session_score INTEGER NOT NULL,"
    "  PRIMARY KEY(round_id, player_id)) WITHOUT ROWID;"
    "CREATE INDEX round_players_player ON round_players(player_id);",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

// A week of a busy server's rounds stays in memory between questions.
constexpr char kCacheSize[] = "PRAGMA cache_size=-8000";

EOpenResult Fail(CSqlDatabase& db, EOpenResult eResult, std::string* pWhy) {
    if (pWhy != nullptr) *pWhy = db.ErrorText();
    db.Close();
    return eResult;
}

// Reads what marks the file; an SQLite error code when it cannot be read.
int ReadMarks(CSqlDatabase& db, int64_t* pAppId, int64_t* pVersion, int64_t* pObjects) {
    int nResult = db.QueryInt("PRAGMA application_id", pAppId);
    if (nResult == SQLITE_OK) nResult = db.QueryInt("PRAGMA user_version", pVersion);
    if (nResult == SQLITE_OK) nResult = db.QueryInt("SELECT count(*) FROM sqlite_master", pObjects);
    return nResult;
}

EOpenResult CheckMarks(int64_t nAppId, int64_t nVersion, int64_t nObjects) {
    if (nAppId != 0 && nAppId != kApplicationId) return EOpenResult::NotOurs;
    // A file without our mark is ours only while it is empty.
    if (nAppId == 0 && (nVersion != 0 || nObjects != 0)) return EOpenResult::NotOurs;
    if (nVersion > kSchemaVersion) return EOpenResult::Newer;
    return EOpenResult::Ok;
}

int Migrate(CSqlDatabase& db, int64_t nFrom) {
    for (int64_t nVersion = nFrom; nVersion < kSchemaVersion; ++nVersion) {
        CSqlTransaction transaction(db);
        if (transaction.BeginResult() != SQLITE_OK) return transaction.BeginResult();
        int nResult = db.Exec(kMigrations[nVersion]);
        // PRAGMAs take no parameters; the numbers are our own.
        const std::string strMarks = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                     ";PRAGMA user_version=" + std::to_string(nVersion + 1);
        if (nResult == SQLITE_OK) nResult = db.Exec(strMarks.c_str());
        if (nResult == SQLITE_OK) nResult = transaction.Commit();
        if (nResult != SQLITE_OK) return nResult;
    }
    return SQLITE_OK;
}

}  // namespace

EOpenResult ResultOfCode(int nResult) {
    switch (PrimaryCode(nResult)) {
        case SQLITE_OK:
            return EOpenResult::Ok;
        case SQLITE_CANTOPEN:
            return EOpenResult::CannotOpen;
        case SQLITE_NOTADB:
            return EOpenResult::NotDatabase;
        case SQLITE_READONLY:
            return EOpenResult::ReadOnly;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return EOpenResult::Locked;
        case SQLITE_FULL:
            return EOpenResult::Full;
        default:
            return EOpenResult::Failed;
    }
}

EOpenResult OpenForWriting(CSqlDatabase& db, const std::string& strPath,
                           const COpenOptions& options, std::string* pWhy) {
    const int nOpen = db.Open(strPath, false, true, options.m_nBusyMs);
    if (nOpen != SQLITE_OK) {
        if (pWhy != nullptr) *pWhy = db.ErrorText();
        return ResultOfCode(nOpen) == EOpenResult::Failed ? EOpenResult::CannotOpen
                                                          : ResultOfCode(nOpen);
    }
    int64_t nAppId = 0, nVersion = 0, nObjects = 0;
    const int nRead = ReadMarks(db, &nAppId, &nVersion, &nObjects);
    if (nRead != SQLITE_OK) return Fail(db, ResultOfCode(nRead), pWhy);
    const EOpenResult eMarks = CheckMarks(nAppId, nVersion, nObjects);
    if (eMarks != EOpenResult::Ok) return Fail(db, eMarks, pWhy);
    if (db.IsReadOnly()) return Fail(db, EOpenResult::ReadOnly, pWhy);

    std::string strMode;
    int nResult = db.QueryText("PRAGMA journal_mode=WAL", &strMode);
    if (nResult == SQLITE_OK && strMode != "wal") nResult = SQLITE_BUSY;
    if (nResult == SQLITE_OK) nResult = db.Exec("PRAGMA synchronous=NORMAL");
    if (nResult == SQLITE_OK) nResult = db.Exec(kCacheSize);
    if (nResult == SQLITE_OK && options.m_nMaxPageCount > 0) {
        const std::string strCap =
            "PRAGMA max_page_count=" + std::to_string(options.m_nMaxPageCount);
        nResult = db.Exec(strCap.c_str());
    }
    if (nResult == SQLITE_OK) nResult = Migrate(db, nVersion);
    if (nResult != SQLITE_OK) return Fail(db, ResultOfCode(nResult), pWhy);
    return EOpenResult::Ok;
}

EOpenResult OpenForReading(CSqlDatabase& db, const std::string& strPath, int nBusyMs,
                           std::string* pWhy) {
    const int nOpen = db.Open(strPath, true, false, nBusyMs);
    if (nOpen != SQLITE_OK) {
        if (pWhy != nullptr) *pWhy = db.ErrorText();
        return EOpenResult::CannotOpen;
    }
    int64_t nAppId = 0, nVersion = 0, nObjects = 0;
    const int nRead = ReadMarks(db, &nAppId, &nVersion, &nObjects);
    if (nRead != SQLITE_OK) return Fail(db, ResultOfCode(nRead), pWhy);
    if (nAppId != kApplicationId) return Fail(db, EOpenResult::NotOurs, pWhy);
    db.Exec(kCacheSize);
    if (nVersion > kSchemaVersion) return Fail(db, EOpenResult::Newer, pWhy);
    if (nVersion < kSchemaVersion) return Fail(db, EOpenResult::Failed, pWhy);
    return EOpenResult::Ok;
}

const char* OpenResultText(EOpenResult eResult) {
    switch (eResult) {
        case EOpenResult::Ok:
            return "open";
        case EOpenResult::CannotOpen:
            return "the file cannot be opened or created";
        case EOpenResult::NotDatabase:
            return "the file is not an SQLite database";
        case EOpenResult::NotOurs:
            return "the file holds another program's data";
        case EOpenResult::Newer:
            return "the file was written by a newer version";
        case EOpenResult::ReadOnly:
            return "the file is read-only";
        case EOpenResult::Locked:
            return "the file is locked by another process";
        case EOpenResult::Full:
            return "the disk is full";
        case EOpenResult::Failed:
            break;
    }
    return "the file cannot be written";
}

}  // namespace stats
