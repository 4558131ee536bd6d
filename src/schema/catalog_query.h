#pragma once
// Helpers of the catalog reader's files: one dictionary query at a time on the source
// statement object, with columns looked up by name. User-interface thread.

#include <QString>

#include "db/odbc.h"

// Runs one dictionary query and hands every row to on_row. The statement is closed on every
// way out, so that a failure leaves no open cursor on the source connection for the next try.
template <class F>
void ForEachRow(TDbQuery& query, const QString& sql, F&& on_row) {
    query.SetText(sql);
    query.Open();
    try {
        while (!query.Eof()) {
            on_row();
            query.Next();
        }
    } catch (...) {
        try {
            query.Close();
        } catch (...) {
        }
        throw;
    }
    query.Close();
}

inline QString Text(const TDbQuery& query, const char* column) {
    return query.FieldByName(QLatin1String(column)).AsString();
}

inline int Integer(const TDbQuery& query, const char* column) {
    return static_cast<int>(query.FieldByName(QLatin1String(column)).AsInteger());
}

inline bool IsNull(const TDbQuery& query, const char* column) {
    return query.FieldByName(QLatin1String(column)).IsNull();
}
