#pragma once
// Writes finished rounds into the statistics file and reads back the round
// that monitoring left, each in one transaction: a failure leaves the file
// as it was. Used on the service's thread with its write connection.
#include <cstdint>
#include <optional>
#include <span>

#include "stats/RoundRecord.h"
#include "stats/SqlDatabase.h"

namespace stats {

class CRoundStore {
public:
    explicit CRoundStore(CSqlDatabase& db) : m_db(db) {}

    // Writes the rounds in one transaction; a round with an id replaces the
    // one written under it before (a round taken up again). Each round gets
    // its id. The players, their names and their ranked totals follow. An
    // SQLite result code.
    int Write(std::span<CRoundRecord> rounds);
    int Write(CRoundRecord& round) { return Write(std::span<CRoundRecord>(&round, 1)); }

    // The round written last, when monitoring left it (end reason Stopped),
    // with its players; nullopt otherwise or on an error.
    std::optional<CRoundRecord> LastStoppedRound();

private:
    struct CStatements;
    int WriteOne(CStatements& s, CRoundRecord& round);

    CSqlDatabase& m_db;
};

}  // namespace stats
