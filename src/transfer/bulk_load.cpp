#include "transfer/bulk_load.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

#include "db/odbc.h"
#include "ddl/target_names.h"
#include "ddl/type_mapping.h"
#include "export/table_export.h"
#include "transfer/copy_statements.h"
#include "util/error.h"
#include "util/text_file.h"

namespace {

// Enough of the console for the error page: the loader's last words say what went wrong.
constexpr qint64 kOutputTail = 64 * 1024;

QString Tail(QFile& file) {
    const qint64 size = file.size();
    file.seek(std::max<qint64>(0, size - kOutputTail));
    return QString::fromLocal8Bit(file.readAll());
}

qint64 CountLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    qint64 lines = 0;
    char last = '\n';
    while (!file.atEnd()) {
        const QByteArray block = file.read(1 << 20);
        lines += block.count('\n');
        if (!block.isEmpty()) {
            last = block.back();
        }
    }
    return lines + (last == '\n' ? 0 : 1);
}

}  // namespace

void BulkLoadPostgres(TDbQuery& query_to, const TTableRec& table) {
    query_to.ClearParams();
    query_to.SetText(PgCopySql(
        table.name, PgDataFileColumns(table, TargetComputedColumns(table.fields, kDbPostgres)),
        table.file_copy));
    query_to.ExecSQL();
}

TLoaderRun RunLoader(const QString& program, const QStringList& arguments) {
    QTemporaryFile output(QDir::temp().filePath(QStringLiteral("skerrow-loader-XXXXXX.log")));
    if (!output.open()) {
        throw TFileError(QStringLiteral("Не удалось создать файл для вывода загрузчика: %1")
                             .arg(output.errorString()));
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(output.fileName());
    process.start(QIODevice::ReadOnly);
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
    run.output = Tail(output);
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

qint64 CheckLoaderRun(const TLoaderRun& run, const QString& program, const QStringList& arguments,
                      const QString& table_name) {
    if (!run.crashed && run.exit_code == 0) {
        return 0;
    }
    if (!run.crashed && run.exit_code == 2) {
        for (const QString& argument : arguments) {
            if (argument.startsWith(QLatin1String("bad="))) {
                return CountLines(argument.mid(4));
            }
        }
        return -1;
    }
    const QString code =
        run.crashed ? QStringLiteral("аварийное завершение") : QString::number(run.exit_code);
    throw TError(QStringLiteral("Загрузчик %1 не загрузил таблицу %2 (код завершения %3). "
                                "Вывод загрузчика:\n%4")
                     .arg(program, table_name, code, run.output.trimmed()));
}

void SyncSequence(int db_to, const QString& oracle_vers, const TTableRec& table, TDbQuery& query_to,
                  QString& seq_name, QString& field_autoinc) {
    query_to.ClearParams();
    if (db_to == kDbPostgres) {
        QString column;
        if (!PgSerialColumn(table, column)) {
            return;
        }
        IsAutoincrement(table, seq_name, field_autoinc);
        // The result row is of no interest; opening and closing runs the statement.
        query_to.SetText(PgSetvalSql(table.name, column));
        query_to.Open();
        query_to.Close();
        return;
    }
    if (db_to != kDbOracle || !IsAutoincrement(table, seq_name, field_autoinc)) {
        return;
    }
    if (const TFieldRec* field = SequenceField(table); field != nullptr && field->identity) {
        // The generator is part of the column: it starts again after the largest value.
        query_to.SetText(OraIdentityRestartSql(table.name, field_autoinc));
        query_to.ExecSQL();
        return;
    }
    query_to.SetText(OraMaxSql(field_autoinc, table.name));
    query_to.Open();
    const qint64 max = query_to.Eof() ? 0 : query_to.Field(0).AsInteger();
    query_to.Close();
    if (OraCanRestartSequence(oracle_vers)) {
        query_to.SetText(OraRestartSql(table.name, max + 1));
        query_to.ExecSQL();
        return;
    }
    query_to.SetText(OraNextvalSql(table.name));
    query_to.Open();
    const qint64 current = query_to.Eof() ? 0 : query_to.Field(0).AsInteger();
    query_to.Close();
    // A sequence already past the largest key (the trigger drew from it while the copy gave
    // the keys) is left there: going back could fall below its minimum.
    const qint64 step = max + 1 - current - 1;
    if (step <= 0) {
        return;
    }
    query_to.SetText(OraIncrementSql(table.name, step));
    query_to.ExecSQL();
    query_to.SetText(OraNextvalSql(table.name));
    query_to.Open();
    query_to.Close();
    query_to.SetText(OraIncrementSql(table.name, 1));
    query_to.ExecSQL();
}
