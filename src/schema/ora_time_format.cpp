#include "schema/ora_time_format.h"

#include "db/odbc.h"
#include "schema/date_format.h"
#include "schema/table_model.h"

namespace {

// The column "value" of the statement's first row; empty when there is none.
QString FirstValue(TDbQuery& query, const QString& sql) {
    QString value;
    query.SetText(sql);
    query.Open();
    try {
        if (!query.Eof()) {
            value = query.FieldByName(QStringLiteral("value")).AsString();
        }
    } catch (...) {
        // Leave no open cursor behind, or the next statement on the target fails as well.
        try {
            query.Close();
        } catch (...) {
        }
        throw;
    }
    query.Close();
    return value;
}

}  // namespace

QString GetOraTimeFormat(TDbQuery& query_to, int db_to, bool pure_ora) {
    QString result;
    if (db_to != kDbOracle) {
        return result;
    }
    try {
        result = FirstValue(
            query_to,
            QStringLiteral("SELECT value FROM V$PARAMETER WHERE name = 'nls_date_format'"));
    } catch (const TDbError& refused) {
        // V$PARAMETER needs a grant that many users lack; the session's own format is what
        // the target parses dates by, and every user may read it.
        try {
            result = FirstValue(query_to,
                                QStringLiteral("SELECT value FROM NLS_SESSION_PARAMETERS WHERE "
                                               "parameter = 'NLS_DATE_FORMAT'"));
        } catch (const TDbError&) {
            throw refused;
        }
    }
    if (!pure_ora) {
        result = ConvertOraTimeFormat(result);
    }
    return result;
}
