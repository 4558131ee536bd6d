#include "db/server_kind.h"

#include "util/text_utils.h"

int GetTypeDb(const QString& str) {
    const QString upper = UpperLatin(str);
    int result = kDbUnknown;
    if (upper.contains(QLatin1String("ORA"))) {
        result = kDbOracle;
    }
    // Checked second on purpose: a PostgreSQL data source whose name happens to hold "ORA"
    // still leads to PostgreSQL.
    if (upper.contains(QLatin1String("POSTGRESQL"))) {
        result = kDbPostgres;
    }
    return result;
}
