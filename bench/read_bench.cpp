// Reading a large table through the whole-table reader, against PostgreSQL's own COPY of the
// same table in the same run. Prints rows per second, the ratio to COPY and the peak memory
// of this process (which must stay flat however large the table is). Then the copy's portions
// by key: a portion at the start and one at the end of the table cost the same, where a page
// by offset at the end costs as much as everything it skips.
//
//   read_bench [rows]      (default 1000000; needs the test bed: see bench/README.md)

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTextStream>
#include <cstdio>

#include <algorithm>
#include <vector>

#include "bench_memory.h"
#include "db/odbc.h"
#include "schema/portion_reader.h"

namespace {

QHash<QString, QString> TestBedEnv() {
    const QString dir = qEnvironmentVariable("SKERROW_TESTBED");
    QFile file(dir + QStringLiteral("/testbed.env"));
    if (dir.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr,
                     "read_bench: no test bed (set SKERROW_TESTBED, ODBCSYSINI and ODBCINI as "
                     "scripts/testbed.sh env prints, or use bench/run_read_bench.sh)\n");
        std::exit(2);
    }
    QHash<QString, QString> values;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0) {
            values.insert(line.left(eq), line.mid(eq + 1));
        }
    }
    return values;
}

QString BridgeString(const QString& data_source, const QString& database, const QString& password) {
    return QStringLiteral(
               "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties="
               "\"DSN=%1;DATABASE=%2;UID=postgres;PWD=%3\"")
        .arg(data_source, database, password);
}

void Exec(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.ExecSQL();
}

// Seconds to open one portion and read its rows, the median of three runs.
template <typename F>
double Median3(F&& read_portion) {
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        read_portion();
        times.push_back(timer.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

qint64 Drain(TDbRowSet& rows) {
    qint64 n = 0;
    for (; !rows.Eof(); rows.Next()) {
        ++n;
    }
    return n;
}

// The table as the emulated Oracle source has it: a NUMBER key.
void KeyedPortions(TDbConnection& connection, qint64 rows) {
    Exec(connection, QStringLiteral("CREATE TABLE bench_keyed AS SELECT id::numeric(10) AS id, "
                                    "name, amount FROM bench_rows"));
    Exec(connection, QStringLiteral("ALTER TABLE bench_keyed ADD PRIMARY KEY (id)"));
    Exec(connection, QStringLiteral("VACUUM ANALYZE bench_keyed"));
    TTableRec table;
    table.name = QStringLiteral("BENCH_KEYED");
    for (const char* name : {"ID", "NAME", "AMOUNT"}) {
        TFieldRec field;
        field.name = QString::fromLatin1(name);
        field.data_type = field.name == QLatin1String("NAME") ? QStringLiteral("VARCHAR2")
                                                              : QStringLiteral("NUMBER");
        table.fields.append(field);
    }
    table.primary_key = {QStringLiteral("PK_BENCH"), QStringLiteral("(ID)"), true};
    const qint64 portion = std::min<qint64>(10000, std::max<qint64>(1, rows / 10));
    const TReadPlan plan = PlanReading(table, portion);
    TDbQuery query(connection);
    TDbTable whole(connection);
    TPortionReader reader(query, whole);
    qint64 got_start = 0;
    qint64 got_end = 0;
    const double start = Median3([&] {
        reader.Open(table, plan, {}, portion);
        got_start = Drain(reader);
        reader.Close();
    });
    const double end = Median3([&] {
        reader.Open(table, plan, {QString::number(rows - portion)}, portion);
        got_end = Drain(reader);
        reader.Close();
    });
    auto offset_page = [&](qint64 skip) {
        return Median3([&] {
            query.Clear();
            query.SetParamCheck(false);
            query.Add(QStringLiteral("SELECT * FROM bench_keyed ORDER BY id OFFSET %1 ROWS FETCH "
                                     "NEXT %2 ROWS ONLY")
                          .arg(skip)
                          .arg(portion));
            query.Open();
            Drain(query);
            query.Close();
        });
    };
    const double offset_start = offset_page(0);
    const double offset_end = offset_page(rows - portion);
    std::printf(
        "read_bench: portion by key      %lld rows: first %.4f s, last %.4f s "
        "(%lld and %lld rows), ratio last/first %.2f\n",
        static_cast<long long>(portion), start, end, static_cast<long long>(got_start),
        static_cast<long long>(got_end), end / start);
    std::printf(
        "read_bench: page by offset      %lld rows: first %.4f s, last %.4f s, "
        "ratio last/first %.2f (for comparison)\n",
        static_cast<long long>(portion), offset_start, offset_end, offset_end / offset_start);
}

}  // namespace

int main(int argc, char** argv) {
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const QHash<QString, QString> env = TestBedEnv();
    const QString password = env.value(QStringLiteral("PGPASSWORD"));
    const QString database = QStringLiteral("read_bench");

    try {
        {
            TDbConnection admin;
            admin.SetConnectionString(BridgeString(QStringLiteral("PostgreSQL_Test"),
                                                   QStringLiteral("postgres"), password));
            admin.Open();
            Exec(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
            Exec(admin, QStringLiteral("CREATE DATABASE %1").arg(database));
        }
        TDbConnection connection;
        connection.SetConnectionString(
            BridgeString(QStringLiteral("PostgreSQL_Stream"), database, password));
        connection.Open();
        std::printf("read_bench: creating %lld rows\n", static_cast<long long>(rows));
        Exec(
            connection,
            QStringLiteral("CREATE TABLE bench_rows (id int PRIMARY KEY, name varchar(40), amount "
                           "numeric(12,2), ratio double precision, created timestamp, note text)"));
        Exec(connection, QStringLiteral("INSERT INTO bench_rows SELECT g, 'name ' || g, g * 1.25,"
                                        " g * 0.5, timestamp '2020-01-01' + g * interval '1 "
                                        "second', md5(g::text) FROM generate_series(1, %1) g")
                             .arg(rows));
        Exec(connection, QStringLiteral("VACUUM ANALYZE bench_rows"));
        const double rss_before = PeakRssMb();

        QElapsedTimer timer;
        timer.start();
        TDbTable table(connection);
        table.SetTableName(QStringLiteral("bench_rows"));
        table.Open();
        qint64 read = 0;
        qint64 chars = 0;
        for (; !table.Eof(); table.Next()) {
            for (int i = 0; i < table.FieldCount(); ++i) {
                chars += table.Field(i).AsString().size();
            }
            ++read;
        }
        table.Close();
        const double odbc_seconds = timer.nsecsElapsed() / 1e9;
        const double rss_after = PeakRssMb();

        // The same rows as the server's own text export, read by psql and thrown away.
        QProcess psql;
        QProcessEnvironment psql_env = QProcessEnvironment::systemEnvironment();
        psql_env.insert(QStringLiteral("PGPASSWORD"), password);
        psql.setProcessEnvironment(psql_env);
        psql.setStandardOutputFile(QProcess::nullDevice());
        timer.restart();
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                    env.value(QStringLiteral("PGPORT")), QStringLiteral("-U"),
                    QStringLiteral("postgres"), QStringLiteral("-d"), database,
                    QStringLiteral("-c"), QStringLiteral("COPY bench_rows TO STDOUT")});
        const bool copied = psql.waitForFinished(-1) && psql.exitCode() == 0;
        const double copy_seconds = timer.nsecsElapsed() / 1e9;

        std::printf("read_bench: rows read          %lld (%lld characters)\n",
                    static_cast<long long>(read), static_cast<long long>(chars));
        std::printf("read_bench: whole-table reader %.2f s, %.0f rows/s\n", odbc_seconds,
                    read / odbc_seconds);
        if (copied) {
            std::printf("read_bench: psql COPY          %.2f s, %.0f rows/s\n", copy_seconds,
                        rows / copy_seconds);
            std::printf("read_bench: ratio reader/COPY  %.2f\n", odbc_seconds / copy_seconds);
        } else {
            std::printf("read_bench: psql COPY failed: %s\n",
                        psql.readAllStandardError().constData());
        }
        std::printf(
            "read_bench: peak RSS           %.1f MB before reading, %.1f MB after "
            "(target: under 200 MB)\n",
            rss_before, rss_after);
        KeyedPortions(connection, rows);
        connection.Close();
        TDbConnection admin;
        admin.SetConnectionString(
            BridgeString(QStringLiteral("PostgreSQL_Test"), QStringLiteral("postgres"), password));
        admin.Open();
        Exec(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
        return read == rows ? 0 : 1;
    } catch (const TError& e) {
        std::fprintf(stderr, "read_bench: %s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
}
