#include "transfer/bulk_load.h"

#include <QProcess>

#include "db/odbc.h"
#include "transfer/copy_statements.h"
#include "util/error.h"

void BulkLoadPostgres(TDbQuery& query_to, const TTableRec& table) {
    query_to.ClearParams();
    query_to.SetText(PgCopySql(table.name, table.file_copy));
    query_to.ExecSQL();
}

TLoaderRun RunLoader(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // Unread output would pile up in memory for a long load.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        throw TError(QStringLiteral("Не удалось запустить загрузчик %1: %2")
                         .arg(program, process.errorString()));
    }
    process.waitForFinished(-1);
    TLoaderRun run;
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exit_code = process.exitCode();
    return run;
}

void SyncSequence(int db_to, const TTableRec& table, TDbQuery& query_to, QString& seq_name,
                  QString& field_autoinc) {
    if (!IsAutoincrement(table, seq_name, field_autoinc)) {
        return;
    }
    query_to.ClearParams();
    if (db_to == kDbPostgres) {
        // The result row is of no interest; opening and closing runs the statement.
        query_to.SetText(PgSetvalSql(seq_name, field_autoinc, table.name));
        query_to.Open();
        query_to.Close();
    } else if (db_to == kDbOracle) {
        query_to.SetText(OraMaxSql(field_autoinc, table.name));
        query_to.Open();
        const qint64 max = query_to.Eof() ? 0 : query_to.Field(0).AsInteger();
        query_to.Close();
        query_to.SetText(OraRestartSql(table.name, max + 1));
        query_to.ExecSQL();
    }
}
