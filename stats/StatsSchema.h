#pragma once
// The statistics file: opening it, telling a file that is not ours (or is
// newer than us) from one we may write, and bringing an older one up to
// date. Called on the thread that owns the connection.
#include <cstdint>
#include <string>

#include "stats/SqlDatabase.h"

namespace stats {

// "FRGR": marks the file as ours (PRAGMA application_id).
inline constexpr int64_t kApplicationId = 0x46524752;
// The schema this program writes (PRAGMA user_version); each step up to it
// is one migration.
inline constexpr int64_t kSchemaVersion = 1;

enum class EOpenResult {
    Ok,
    CannotOpen,   // the path cannot be opened or created
    NotDatabase,  // not an SQLite file
    NotOurs,      // an SQLite file of another program
    Newer,        // written by a newer version of this program
    ReadOnly,     // SQLite may only read it
    Locked,       // another process holds it
    Full,         // no room to bring it up to date
    Failed,       // any other error
};

struct COpenOptions {
    int m_nBusyMs = 2000;  // how long a write waits for another writer
    // A cap on the file in pages (0: none); tests use it to play a full disk.
    int64_t m_nMaxPageCount = 0;
};

// Opens (creating when absent) for writing: write-ahead log, synchronous
// NORMAL (a crash of the process loses no committed round), migrations up
// to kSchemaVersion, each in a transaction of its own. On anything but Ok
// the connection is closed and *pWhy holds SQLite's words.
EOpenResult OpenForWriting(CSqlDatabase& db, const std::string& strPath,
                           const COpenOptions& options, std::string* pWhy);

// Opens an existing file of ours for reading only (the web page's connection).
EOpenResult OpenForReading(CSqlDatabase& db, const std::string& strPath, int nBusyMs,
                           std::string* pWhy);

// What an open result means, in a few words for the log.
const char* OpenResultText(EOpenResult eResult);

// What a failed write's result code means for the log.
EOpenResult ResultOfCode(int nResult);

}  // namespace stats
