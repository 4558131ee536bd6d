// The data copy measured against PostgreSQL's own tools on the same data, in the same run.
// For each benchmark table of the emulated Oracle source (bench/copy_bench_data.sql) it copies
// the table into a fresh target database of the same server:
//   (a) engine      the copy engine's units back to back, default portions (read 100000,
//                   write 1000; --portion-write sets another), its checkpoint file written
//                   after every portion, no timer: the source read through the catalog reader's
//                   model, the target made by target creation, exactly as the wizard does it;
//   (b) wizard      the real window driven by its own timer, from Next at step 5 to step 9
//                   (optional: --wizard PATH names the copy_wizard_bench program);
//   (c) references  COPY ... TO STDOUT | COPY ... FROM STDIN through two psql processes, and
//                   psql running INSERT statements of 1000 rows with inline literals, written
//                   to a file beforehand.
// Each copy is checked against the source (row count and a hash over every row's text form).
// HUGE (values of 50 MB) is there for the peak memory; psql's INSERT file of it is left out
// (a statement of its rows would pass the server's 1 GB limit for a text).
//
//   copy_bench [--tables wide,narrow,blobs,huge] [--wizard PATH] [--work DIR]
//              [--runs engine-copy,engine-insert,wizard,ref-copy,ref-insert]
//              [--portion-write ROWS]
//
// Needs a running test bed with the data loaded (bench/run_copy_bench.sh does all of it).

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <optional>

#include "bench_memory.h"
#include "db/odbc.h"
#include "ddl/script_gen.h"
#include "ddl/target_create.h"
#include "schema/catalog_reader.h"
#include "transfer/copy_engine.h"
#include "util/error.h"

namespace {

struct TBenchTable {
    QString key;    // wide, narrow, blobs, huge
    QString owner;  // login role and schema of the real table
};

struct TMeasure {
    bool ran = false;
    bool ok = false;
    double seconds = 0;
    qint64 rows = 0;
    double peak_mb = 0;  // of the process that copied; 0 when not ours to measure
    QString note;
};

struct TTableResult {
    QString name;
    qint64 rows = 0;
    qint64 bytes = 0;
    TMeasure engine;  // COPY
    TMeasure wizard;
    TMeasure engine_insert;
    TMeasure wizard_insert;
    TMeasure ref_copy;
    TMeasure ref_insert;
};

const QString kPassword = QStringLiteral("bench_pass");

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

QString AdminString(const QString& database) {
    return QStringLiteral(
               "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties="
               "\"DSN=PostgreSQL_Test;DATABASE=%1;UID=postgres;PWD=%2\"")
        .arg(database, Env("PGPASSWORD"));
}

QString SourceString(const QString& owner) {
    return QStringLiteral(
               "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=%1;"
               "Data Source=ORA_EMUL;Password=%2")
        .arg(owner, kPassword);
}

QStringList PsqlArgs(const QString& database) {
    return {QStringLiteral("-X"), QStringLiteral("-q"),
            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
            QStringLiteral("-d"), database};
}

// Runs psql to the end; its standard output as text, or an error.
QString Psql(const QString& database, const QStringList& args, bool* ok,
             const QString& output_file = QString()) {
    QProcess psql;
    if (!output_file.isEmpty()) {
        psql.setStandardOutputFile(output_file);
    }
    psql.start(QStringLiteral("psql"), PsqlArgs(database) + args);
    *ok = psql.waitForFinished(-1) && psql.exitStatus() == QProcess::NormalExit &&
          psql.exitCode() == 0;
    if (!*ok) {
        return QString::fromLocal8Bit(psql.readAllStandardError()).trimmed();
    }
    return QString::fromUtf8(psql.readAllStandardOutput()).trimmed();
}

QString PsqlValue(const QString& database, const QString& sql) {
    bool ok = false;
    const QString out = Psql(database, {QStringLiteral("-At"), QStringLiteral("-c"), sql}, &ok);
    if (!ok) {
        throw TError(QStringLiteral("psql: ") + out);
    }
    return out;
}

void DropDatabase(const QString& name) {
    PsqlValue(QStringLiteral("postgres"),
              QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    PsqlValue(QStringLiteral("postgres"), QStringLiteral("DROP ROLE IF EXISTS %1").arg(name));
}

// Count and an order-independent hash of every row's text form: equal for source and target
// when every value arrived as it was.
QString Fingerprint(const QString& database, const QString& table) {
    return PsqlValue(database,
                     QStringLiteral("SELECT count(*) || ' rows, hash ' || "
                                    "coalesce(sum(hashtext(t::text)::numeric), 0) FROM %1 t")
                         .arg(table));
}

// The wizard's table model of the one table the owner has.
TStructRead ReadModel(const TBenchTable& bench) {
    TDbConnection from;
    from.SetConnectionString(SourceString(bench.owner));
    from.Open();
    TDbQuery query(from);
    TStructRead read;
    ReadStructFrom(query, kDbOracle, from.ConnectionString(), read);
    if (read.tables.size() != 1) {
        throw TError(QStringLiteral("%1: expected one table in the source, found %2")
                         .arg(bench.owner)
                         .arg(read.tables.size()));
    }
    return read;
}

QString TargetScript(const TTables& model, const QString& user) {
    TTables tables = model;
    TScriptOptions options;
    options.db_from = kDbOracle;
    options.db_to = kDbPostgres;
    options.user = user;
    return MakeScriptNew(tables, options).join(QLatin1Char('\n'));
}

// A fresh target database named after its owner, made as the wizard makes it.
void CreateTargetDb(const QString& user, const QString& script, TDbConnection& to,
                    TDbQuery& query_to, const std::function<void()>& prepare = {}) {
    TTargetSpec spec;
    spec.db_to = kDbPostgres;
    spec.connect_to = AdminString(QStringLiteral("postgres"));
    spec.user = user;
    spec.password = kPassword;
    spec.script = script;
    const TTargetResult result = CreateTarget(spec, to, query_to, prepare);
    if (!result.ok) {
        throw TError(QStringLiteral("target %1: %2").arg(user, result.error));
    }
}

void CheckCopy(TMeasure& m, const QString& expected, const QString& database,
               const QString& table) {
    const QString got = Fingerprint(database, table);
    m.ok = got == expected;
    m.rows = got.section(QLatin1Char(' '), 0, 0).toLongLong();
    if (!m.ok) {
        m.note = QStringLiteral("target holds %1, source %2").arg(got, expected);
    }
}

// Rows a portion of (a) holds: the window's default unless --portion-write says otherwise.
int g_portion_write = 1000;

TMeasure RunEngine(const TBenchTable& bench, const TStructRead& model, const QString& script,
                   const QString& expected, const QString& work, TWriteMethod method) {
    const QString user = QStringLiteral("bench_engine");
    TMeasure m;
    m.ran = true;
    TDbConnection from;
    TDbConnection to;
    TDbQuery query_from(from);
    TDbTable table_from(from);
    TDbQuery query_to(to);
    TTables tables = model.tables;
    TCopyEngine engine(tables, from, query_from, table_from, to, query_to);
    TCopySettings& s = engine.Settings();
    s.db_to = kDbPostgres;
    s.portion_read = 100000;
    s.portion_write = g_portion_write;
    s.write_method = method;
    s.oracle_vers = model.oracle_vers;
    s.connect_to = AdminString(QStringLiteral("postgres"));
    s.user = user;
    s.password = kPassword;
    s.render.file_param = work + QStringLiteral("/param.tmp");
    // The checkpoint file is written after every portion, as the window has it written.
    s.file_temp = work + QStringLiteral("/checkpoint.tmp");
    from.SetConnectionString(SourceString(bench.owner));
    from.Open();
    CreateTargetDb(user, script, to, query_to, [&] {
        engine.SetCopyOff(0);
        engine.PrepareCopy(0);
    });
    engine.StartTiming(QDateTime::currentDateTime());

    ResetPeakRss();
    QElapsedTimer timer;
    timer.start();
    qint64 units = 0;
    do {
        engine.CopyData();
        ++units;
    } while (!engine.Progress().finished);
    m.seconds = timer.nsecsElapsed() / 1e9;
    m.peak_mb = PeakRssMb();
    m.note = QStringLiteral("%1 units").arg(units);
    from.Close();
    to.Close();
    const QString note = m.note;
    CheckCopy(m, expected, user, tables.front().name);
    if (m.ok) {
        m.note = note;
    }
    DropDatabase(user);
    return m;
}

TMeasure RunCopyPipe(const QString& source_table, const QString& target_table,
                     const QString& script, const QString& expected) {
    const QString user = QStringLiteral("bench_ref_copy");
    TMeasure m;
    m.ran = true;
    {
        TDbConnection to;
        TDbQuery query_to(to);
        CreateTargetDb(user, script, to, query_to);
    }
    QProcess out;
    QProcess in;
    out.setStandardOutputProcess(&in);
    QElapsedTimer timer;
    timer.start();
    in.start(QStringLiteral("psql"), PsqlArgs(user)
                                         << QStringLiteral("-c")
                                         << QStringLiteral("COPY %1 FROM STDIN").arg(target_table));
    out.start(QStringLiteral("psql"), PsqlArgs(QStringLiteral("ora_src"))
                                          << QStringLiteral("-c")
                                          << QStringLiteral("COPY %1 TO STDOUT").arg(source_table));
    const bool out_ok = out.waitForFinished(-1) && out.exitCode() == 0;
    const bool in_ok = in.waitForFinished(-1) && in.exitCode() == 0;
    m.seconds = timer.nsecsElapsed() / 1e9;
    if (!out_ok || !in_ok) {
        m.note = QString::fromLocal8Bit(out.readAllStandardError() + in.readAllStandardError());
    } else {
        CheckCopy(m, expected, user, target_table);
    }
    DropDatabase(user);
    return m;
}

// One value of a row as the copy writes it, computed by the server from the source column.
QString LiteralExpression(const TFieldRec& field) {
    const QString column = field.name.toLower();
    const QString type = field.data_type.toUpper();
    if (type == QLatin1String("NUMBER") || type == QLatin1String("FLOAT")) {
        return QStringLiteral("coalesce(%1::text, 'null')").arg(column);
    }
    if (type == QLatin1String("DATE")) {
        return QStringLiteral(
                   "coalesce(quote_literal(to_char(%1, 'YYYY-MM-DD HH24:MI:SS')), 'null')")
            .arg(column);
    }
    if (type == QLatin1String("BLOB") || type == QLatin1String("LONG RAW") ||
        type == QLatin1String("RAW")) {
        return QStringLiteral("coalesce('decode(''' || encode(%1, 'hex') || ''',''hex'')', 'null')")
            .arg(column);
    }
    return QStringLiteral("coalesce(quote_literal(%1::text), 'null')").arg(column);
}

// INSERT statements of 1000 rows each with every value inline, one a line.
void WriteInsertFile(const TTableRec& table, const QString& source_table, const QString& path) {
    QStringList values;
    QStringList names;
    for (const TFieldRec& field : table.fields) {
        values << LiteralExpression(field);
        names << field.TargetName();
    }
    const QString key = table.primary_key.column_names.mid(1).chopped(1).toLower();
    const QString sql =
        QStringLiteral(
            "SELECT 'INSERT INTO %1(%2) VALUES ' || string_agg('(' || %3 || ')', ',' ORDER BY rn)"
            " || ';' FROM (SELECT t.*, row_number() OVER (ORDER BY %4) - 1 AS rn FROM %5 t) s "
            "GROUP BY rn / 1000 ORDER BY rn / 1000")
            .arg(table.name, names.join(QLatin1Char(',')),
                 values.join(QStringLiteral(" || ',' || ")), key, source_table);
    bool ok = false;
    const QString error = Psql(QStringLiteral("ora_src"),
                               {QStringLiteral("-At"), QStringLiteral("-c"), sql}, &ok, path);
    if (!ok) {
        throw TError(QStringLiteral("preparing the INSERT file: ") + error);
    }
}

TMeasure RunInsertFile(const QString& file, const QString& target_table, const QString& script,
                       const QString& expected) {
    const QString user = QStringLiteral("bench_ref_insert");
    TMeasure m;
    m.ran = true;
    {
        TDbConnection to;
        TDbQuery query_to(to);
        CreateTargetDb(user, script, to, query_to);
    }
    QElapsedTimer timer;
    timer.start();
    bool ok = false;
    const QString error = Psql(user, {QStringLiteral("-f"), file}, &ok);
    m.seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        m.note = error;
    } else {
        CheckCopy(m, expected, user, target_table);
    }
    DropDatabase(user);
    return m;
}

// The window in a process of its own, so that its memory figure is its own.
TMeasure RunWizard(const QString& program, const TBenchTable& bench, const QString& target_table,
                   const QString& expected, const QString& work, const QString& method) {
    const QString user = QStringLiteral("bench_wizard");
    TMeasure m;
    m.ran = true;
    QProcess wizard;
    wizard.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wizard.start(program, {SourceString(bench.owner), AdminString(QStringLiteral("postgres")), user,
                           kPassword, work, QStringLiteral("900"), method});
    wizard.waitForFinished(-1);
    const QString out = QString::fromUtf8(wizard.readAllStandardOutput());
    static const QRegularExpression result(
        QStringLiteral("wizard: step=(\\d+) seconds=([0-9.]+) peak_mb=([0-9.]+)"));
    const QRegularExpressionMatch match = result.match(out);
    if (!match.hasMatch()) {
        m.note = QStringLiteral("no result (exit code %1): %2")
                     .arg(wizard.exitCode())
                     .arg(out.trimmed().right(300));
        DropDatabase(user);
        return m;
    }
    m.seconds = match.captured(2).toDouble();
    m.peak_mb = match.captured(3).toDouble();
    if (match.captured(1) != QLatin1String("9")) {
        m.note = QStringLiteral("stopped at step %1: ").arg(match.captured(1)) +
                 out.section(QStringLiteral("wizard: note="), 1).trimmed().left(300);
    } else {
        CheckCopy(m, expected, user, target_table);
    }
    DropDatabase(user);
    return m;
}

void PrintMeasure(const char* label, const TMeasure& m, const TTableResult& r) {
    if (!m.ran) {
        std::printf("  %-22s not run\n", label);
        return;
    }
    const double secs = std::max(m.seconds, 1e-9);
    std::printf("  %-22s %8.2f s %11.0f rows/s %8.2f MB/s", label, m.seconds, r.rows / secs,
                r.bytes / secs / 1e6);
    if (m.peak_mb > 0) {
        std::printf("  peak %6.1f MB", m.peak_mb);
    }
    std::printf("  %s%s\n", m.ok ? "ok" : "FAILED",
                m.note.isEmpty() ? "" : ("  " + m.note).toUtf8().constData());
}

// Ratio of rows/s of two runs (time of the second over time of the first).
void PrintRatio(const char* label, const TMeasure& a, const TMeasure& b, const char* target) {
    if (!a.ran || !b.ran || !a.ok || !b.ok) {
        std::printf("  %-32s n/a\n", label);
        return;
    }
    std::printf("  %-32s %5.2f  %s\n", label, b.seconds / a.seconds, target);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList keys{QStringLiteral("wide"), QStringLiteral("narrow"), QStringLiteral("blobs"),
                     QStringLiteral("huge")};
    QStringList runs{QStringLiteral("engine-copy"), QStringLiteral("engine-insert"),
                     QStringLiteral("wizard"), QStringLiteral("ref-copy"),
                     QStringLiteral("ref-insert")};
    QString wizard;
    QString work = QDir::tempPath() + QStringLiteral("/skerrow-copy-bench");
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (option == QLatin1String("--tables")) {
            keys = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (option == QLatin1String("--wizard")) {
            wizard = value;
        } else if (option == QLatin1String("--work")) {
            work = value;
        } else if (option == QLatin1String("--runs")) {
            runs = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (option == QLatin1String("--portion-write") && value.toInt() > 0) {
            g_portion_write = value.toInt();
        } else {
            std::fprintf(stderr,
                         "usage: copy_bench [--tables wide,narrow,blobs,huge] [--wizard PATH]"
                         " [--work DIR] [--runs engine-copy,engine-insert,wizard,ref-copy,"
                         "ref-insert] [--portion-write ROWS]\n");
            return 2;
        }
    }
    if (Env("PGPORT").isEmpty() || Env("ODBCINI").isEmpty()) {
        std::fprintf(stderr, "copy_bench: no test bed in the environment (see bench/README.md)\n");
        return 2;
    }
    QDir().mkpath(work);
    std::printf("copy_bench: baseline peak memory %.1f MB\n", PeakRssMb());

    QList<TTableResult> results;
    bool all_ok = true;
    try {
        for (const QString& key : keys) {
            const TBenchTable bench{key, QStringLiteral("bench_") + key};
            const TStructRead model = ReadModel(bench);
            const TTableRec& table = model.tables.front();
            const QString source_table = bench.owner + QLatin1Char('.') + key;
            const QString target_table = table.name.toLower();
            TTableResult r;
            r.name = table.name;
            r.rows = table.rows;
            r.bytes =
                PsqlValue(
                    QStringLiteral("ora_src"),
                    QStringLiteral("SELECT sum(octet_length(t::text)) FROM %1 t").arg(source_table))
                    .toLongLong();
            const QString expected = Fingerprint(QStringLiteral("ora_src"), source_table);
            std::printf("\n%s: %lld rows, %.1f MB as text; source %s\n",
                        table.name.toUtf8().constData(), static_cast<long long>(r.rows),
                        r.bytes / 1e6, expected.toUtf8().constData());
            std::fflush(stdout);
            const QString script = TargetScript(model.tables, QStringLiteral("bench"));

            if (runs.contains(QLatin1String("engine-copy"))) {
                r.engine = RunEngine(bench, model, script, expected, work, TWriteMethod::Copy);
            }
            PrintMeasure("(a) engine COPY", r.engine, r);
            std::fflush(stdout);
            if (runs.contains(QLatin1String("engine-insert"))) {
                r.engine_insert =
                    RunEngine(bench, model, script, expected, work, TWriteMethod::Insert);
            }
            PrintMeasure("(a) engine INSERT", r.engine_insert, r);
            std::fflush(stdout);
            if (!wizard.isEmpty() && runs.contains(QLatin1String("wizard"))) {
                r.wizard =
                    RunWizard(wizard, bench, target_table, expected, work, QStringLiteral("copy"));
                PrintMeasure("(b) wizard COPY", r.wizard, r);
                std::fflush(stdout);
                r.wizard_insert = RunWizard(wizard, bench, target_table, expected, work,
                                            QStringLiteral("insert"));
                PrintMeasure("(b) wizard INSERT", r.wizard_insert, r);
                std::fflush(stdout);
            }
            if (runs.contains(QLatin1String("ref-copy"))) {
                r.ref_copy = RunCopyPipe(source_table, target_table, script, expected);
            }
            PrintMeasure("(c) psql COPY pipe", r.ref_copy, r);
            std::fflush(stdout);
            if (runs.contains(QLatin1String("ref-insert")) && key != QLatin1String("huge")) {
                const QString insert_file = work + QStringLiteral("/insert_%1.sql").arg(key);
                WriteInsertFile(table, source_table, insert_file);
                r.ref_insert = RunInsertFile(insert_file, target_table, script, expected);
                QFile::remove(insert_file);
            }
            PrintMeasure("(c) psql INSERT", r.ref_insert, r);
            PrintRatio("(a COPY)/(c-COPY), rows/s", r.engine, r.ref_copy,
                       key == QLatin1String("blobs") ? "(target >= 0.5)" : "(target >= 0.6)");
            PrintRatio("(a INSERT)/(c-INSERT), rows/s", r.engine_insert, r.ref_insert, "");
            PrintRatio("(a INSERT)/(c-COPY), rows/s", r.engine_insert, r.ref_copy, "");
            PrintRatio("(b COPY)/(a COPY), rows/s", r.wizard, r.engine, "(target >= 0.9)");
            PrintRatio("(b INSERT)/(a INSERT), rows/s", r.wizard_insert, r.engine_insert, "");
            std::fflush(stdout);
            for (const TMeasure* m : {&r.engine, &r.engine_insert, &r.wizard, &r.wizard_insert,
                                      &r.ref_copy, &r.ref_insert}) {
                all_ok = all_ok && (!m->ran || m->ok);
            }
            results << r;
        }
    } catch (const TError& e) {
        std::fprintf(stderr, "copy_bench: %s\n", e.Message().toUtf8().constData());
        return 1;
    }

    std::printf("\nsummary (rows/s; peak memory of the copying process)\n");
    std::printf("%-8s %10s %10s %10s %10s %10s %8s %8s %8s %8s %8s\n", "table", "rows", "engine",
                "wizard", "COPY", "INSERT", "a/cINS", "b/a", "a/cCOPY", "peak a", "peak b");
    for (const TTableResult& r : results) {
        auto rate = [&](const TMeasure& m) {
            return m.ran && m.ok ? QString::number(r.rows / m.seconds, 'f', 0)
                                 : QStringLiteral("-");
        };
        auto ratio = [](const TMeasure& a, const TMeasure& b) {
            return a.ran && b.ran && a.ok && b.ok ? QString::number(b.seconds / a.seconds, 'f', 2)
                                                  : QStringLiteral("-");
        };
        auto peak = [](const TMeasure& m) {
            return m.ran && m.peak_mb > 0
                       ? QString::number(m.peak_mb, 'f', 0) + QStringLiteral(" MB")
                       : QStringLiteral("-");
        };
        std::printf("%-8s %10lld %10s %10s %10s %10s %8s %8s %8s %8s %8s\n",
                    r.name.toUtf8().constData(), static_cast<long long>(r.rows),
                    qPrintable(rate(r.engine)), qPrintable(rate(r.wizard)),
                    qPrintable(rate(r.ref_copy)), qPrintable(rate(r.ref_insert)),
                    qPrintable(ratio(r.engine, r.ref_insert)),
                    qPrintable(ratio(r.wizard, r.engine)), qPrintable(ratio(r.engine, r.ref_copy)),
                    qPrintable(peak(r.engine)), qPrintable(peak(r.wizard)));
    }
    return all_ok ? 0 : 1;
}
