#include "transfer/source_snapshot.h"

#include "db/odbc.h"
#include "util/error.h"

namespace {

void Exec(TDbQuery& query, const QString& sql) {
    query.Close();
    query.ClearParams();
    query.SetParamCheck(false);
    query.SetText(sql);
    query.ExecSQL();
}

void Abandon(TDbConnection& from) {
    try {
        from.Rollback();
    } catch (const TError&) {
        // The connection is gone; switching back below reopens nothing.
    }
}

}  // namespace

QString BeginSourceSnapshot(TDbConnection& from, TDbQuery& query) {
    if (!from.Connected()) {
        return QStringLiteral("нет соединения с исходной БД");
    }
    if (from.ActiveStatements() > 0) {
        // An export is reading through the connection: a transaction begun now would start in
        // the middle of its reads, and ending one would close them.
        return QStringLiteral("соединение с исходной БД занято выгрузкой таблицы в файл");
    }
    from.SetAutoCommit(false);
    try {
        // The emulated source answers to PostgreSQL's form; Oracle refuses it.
        Exec(query, QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY"));
        return QString();
    } catch (const TError&) {
        Abandon(from);
    }
    try {
        // ORDER BY must sort text as the key comparisons compare it: byte by byte.
        Exec(query, QStringLiteral("ALTER SESSION SET NLS_SORT = BINARY"));
        Exec(query, QStringLiteral("ALTER SESSION SET NLS_COMP = BINARY"));
        Exec(query, QStringLiteral("SET TRANSACTION READ ONLY"));
        return QString();
    } catch (const TError& error) {
        Abandon(from);
        from.SetAutoCommit(true);
        return error.Message();
    }
}

void EndSourceSnapshot(TDbConnection& from) {
    if (!from.Connected() || from.AutoCommit() || from.ActiveStatements() > 0) {
        return;
    }
    Abandon(from);
    from.SetAutoCommit(true);
}
