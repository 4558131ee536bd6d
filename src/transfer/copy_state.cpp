#include "transfer/copy_state.h"

#include "db/odbc.h"
#include "db/sql_text.h"

namespace {

void Exec(TDbQuery& query, const QString& sql) {
    query.ClearParams();
    query.SetParamCheck(false);
    query.SetText(sql);
    query.ExecSQL();
}

QString Joined(const QStringList& lines) {
    return PgLiteral(lines.join(u'\n'));
}

}  // namespace

void WriteCopyState(TDbQuery& query_to, const QStringList& checkpoint, const QString& after_copy) {
    Exec(query_to, "CREATE TABLE IF NOT EXISTS " + kCopyStateTable +
                       " (id integer PRIMARY KEY CHECK (id = 1), checkpoint text NOT NULL, "
                       "after_copy text NOT NULL)");
    Exec(query_to, "INSERT INTO " + kCopyStateTable + " VALUES (1, " + Joined(checkpoint) + ", " +
                       PgLiteral(after_copy) +
                       ") ON CONFLICT (id) DO UPDATE SET checkpoint = EXCLUDED.checkpoint, "
                       "after_copy = EXCLUDED.after_copy");
}

QString UpdateCopyStateSql(const QStringList& checkpoint) {
    return "UPDATE " + kCopyStateTable + " SET checkpoint = " + Joined(checkpoint) +
           " WHERE id = 1";
}

void UpdateCopyState(TDbQuery& query_to, const QStringList& checkpoint) {
    Exec(query_to, UpdateCopyStateSql(checkpoint));
}

std::optional<TCopyState> ReadCopyState(TDbQuery& query_to) {
    query_to.ClearParams();
    query_to.SetParamCheck(false);
    // Asked of the catalog first: a failed query would end the transaction it ran in.
    query_to.SetText("SELECT count(*) FROM pg_class WHERE relname = " + PgLiteral(kCopyStateTable) +
                     " AND relkind = 'r' AND pg_table_is_visible(oid)");
    query_to.Open();
    const bool exists = !query_to.Eof() && query_to.Field(0).AsInteger() > 0;
    query_to.Close();
    if (!exists) {
        return std::nullopt;
    }
    query_to.SetText("SELECT checkpoint, after_copy FROM " + kCopyStateTable + " WHERE id = 1");
    query_to.Open();
    std::optional<TCopyState> state;
    if (!query_to.Eof()) {
        state = TCopyState{query_to.Field(0).AsString().split(u'\n'), query_to.Field(1).AsString()};
    }
    query_to.Close();
    return state;
}

void DropCopyState(TDbQuery& query_to) {
    Exec(query_to, "DROP TABLE IF EXISTS " + kCopyStateTable);
}
