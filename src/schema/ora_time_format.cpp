#include "schema/ora_time_format.h"

#include "db/odbc.h"
#include "schema/date_format.h"
#include "schema/table_model.h"

QString GetOraTimeFormat(TDbQuery& query_to, int db_to, bool pure_ora) {
    QString result;
    if (db_to != kDbOracle) {
        return result;
    }
    query_to.SetText(
        QStringLiteral("SELECT value FROM V$PARAMETER WHERE name = 'nls_date_format'"));
    query_to.Open();
    try {
        if (!query_to.Eof()) {
            result = query_to.FieldByName(QStringLiteral("value")).AsString();
        }
    } catch (...) {
        // Leave no open cursor behind, or the next statement on the target fails as well.
        try {
            query_to.Close();
        } catch (...) {
        }
        throw;
    }
    query_to.Close();
    if (!pure_ora) {
        result = ConvertOraTimeFormat(result);
    }
    return result;
}
