#include "transfer/bulk_load.h"

#include <QFile>
#include <QProcess>

#include "db/odbc.h"
#include "transfer/copy_statements.h"
#include "util/error.h"
#include "util/text_file.h"

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
    process.start();
    if (!process.waitForStarted(-1)) {
        throw TError(QStringLiteral("Не удалось запустить загрузчик %1: %2")
                         .arg(program, process.errorString()));
    }
    // A loader that asks for a password finds no one to answer and ends, instead of waiting.
    process.closeWriteChannel();
    process.waitForFinished(-1);
    TLoaderRun run;
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exit_code = process.exitCode();
    return run;
}

QString LoaderParFilePath(const QString& file_param) {
    return FolderOf(file_param) + QStringLiteral("param_loader.tmp");
}

TLoaderRun RunOracleLoader(const QString& program, const QString& par_file, const QString& user,
                           const QString& password, const QString& data_source,
                           const TTableRec& table) {
    WriteFileBytes(par_file, LoaderParFileText(user, password, data_source).toUtf8());
    // Removed on every way out: the login must not stay behind on the disk.
    struct TRemove {
        const QString& path;
        ~TRemove() { QFile::remove(path); }
    } remove{par_file};
    return RunLoader(program, LoaderArguments(par_file, table.file_copy, table.name));
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
