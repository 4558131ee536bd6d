// Reading a large table through the whole-table reader, against PostgreSQL's own COPY of the
// same table in the same run. Prints rows per second, the ratio to COPY and the peak memory
// of this process (which must stay flat however large the table is).
//
//   read_bench [rows]      (default 1000000; needs the test bed: see bench/README.md)


#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTextStream>
#include <cstdio>

#include "bench_memory.h"
#include "db/odbc.h"

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
