// Validation after the copy on the test bed: the emulated sample migrated through the engine
// into a new database, each table counted and checksummed on both sides right after its copy;
// then rows lost, changed and doubled on the target, which must never read as success.

#include "verify/table_check.h"

#include <gtest/gtest.h>

#include <QFile>

#include "copy_testbed.h"
#include "db/sql_text.h"
#include "report/migration_report.h"
#include "verify/preflight.h"
#include "verify_testbed.h"

namespace {

const QString kTarget = QStringLiteral("skerrow_verify");

std::string Str(const QString& text) {
    return text.toStdString();
}

const TTableRec* Find(const TTables& tables, const QString& name) {
    for (const TTableRec& table : tables) {
        if (table.name == name) {
            return &table;
        }
    }
    return nullptr;
}

class TableCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        const QString error = LoadVerifyEmulation();
        ASSERT_TRUE(error.isEmpty()) << Str(error);
    }

    TTableCheck Check(const QString& name) {
        const TTableRec* table = Find(rig.tables, name);
        EXPECT_NE(table, nullptr) << Str(name);
        return ValidateTable(*table, rig.from, rig.to, {kDbPostgres, true});
    }

    TVerifyRig rig;
};

TEST_F(TableCheckTest, EachTableIsCheckedAfterItsCopyAndLossOrChangeNeverReadsAsSuccess) {
    ASSERT_NO_FATAL_FAILURE(PrepareMigration(rig, kOraEmulSrc, kTarget));
    QList<TTableCheck> checks;
    const bool finished = RunCopy(rig, [&](int index) {
        const QString name = rig.tables[index].name;
        // The target loses a row, or a value changes, once the table is copied.
        if (name == QLatin1String("DOCUMENTS")) {
            PgExec(kTarget, {"DELETE FROM documents WHERE doc_id = 11"});
        } else if (name == QLatin1String("EMPLOYEES")) {
            PgExec(kTarget, {"UPDATE employees SET salary = 1500.51 WHERE emp_id = 101"});
        }
        checks << ValidateTable(rig.tables[index], rig.from, rig.to, {kDbPostgres, true});
    });
    ASSERT_TRUE(finished);
    ASSERT_EQ(checks.size(), rig.tables.size());
    for (const TTableCheck& check : checks) {
        SCOPED_TRACE(Str(check.table));
        EXPECT_TRUE(check.unchecked_columns.isEmpty()) << Str(check.unchecked_columns.join(", "));
        EXPECT_EQ(check.error, QString());
        if (check.table == QLatin1String("DOCUMENTS")) {
            EXPECT_EQ(check.status, TCheckStatus::CountMismatch);
            EXPECT_EQ(Str(check.JournalLine()), "расхождение: строк в источнике 2, в целевой БД 1");
        } else if (check.table == QLatin1String("EMPLOYEES")) {
            EXPECT_EQ(check.status, TCheckStatus::ChecksumMismatch);
            EXPECT_EQ(Str(check.JournalLine()),
                      "расхождение: строк 3 = 3, но контрольные суммы различаются");
        } else {
            const TTableRec* table = Find(rig.tables, check.table);
            EXPECT_EQ(check.status, TCheckStatus::Match);
            EXPECT_TRUE(check.checksum_done);
            EXPECT_EQ(check.JournalLine(), QStringLiteral("проверено: %1 = %1, контрольные суммы "
                                                          "совпадают")
                                               .arg(table->rows));
        }
        EXPECT_EQ(check.Ok(), check.status == TCheckStatus::Match);
    }
    const QString message = CompletionMessage(checks);
    EXPECT_FALSE(message.contains(QStringLiteral("успешно"))) << Str(message);
    EXPECT_TRUE(message.contains(QStringLiteral("DOCUMENTS (строк в источнике 2, в целевой БД 1)")))
        << Str(message);
    EXPECT_TRUE(message.contains(QStringLiteral("EMPLOYEES"))) << Str(message);

    // Counts alone see the lost row but not the changed value.
    const TTableCheck counted =
        ValidateTable(*Find(rig.tables, "EMPLOYEES"), rig.from, rig.to, {kDbPostgres, false});
    EXPECT_EQ(counted.status, TCheckStatus::Match);
    EXPECT_EQ(Str(counted.JournalLine()), "проверено: 3 = 3");
}

// The report of a clean run: every table with its counts and its check, the check before the
// copy, and no password.
TEST_F(TableCheckTest, TheReportOfARunHoldsEveryTableWithItsCounts) {
    ASSERT_NO_FATAL_FAILURE(PrepareMigration(rig, kOraEmulSrc, kTarget));
    TReportData data;
    data.started = QDateTime::currentDateTime();
    data.source = {"Oracle", "19c", rig.from.ConnectionString()};
    data.target = {"PostgreSQL", "15", rig.engine.Settings().connect_to};
    data.target_name = kTarget;
    data.structure = rig.tables;
    data.findings = RunPreflight(rig.tables, {}, &rig.query_from);
    ASSERT_TRUE(RunCopy(rig, [&](int index) {
        const TTableRec& table = rig.tables[index];
        TReportTable row{table.name, table.rows, rig.engine.Progress().gauge_row_position, 10, {},
                         true,       {}};
        row.check = ValidateTable(table, rig.from, rig.to, {kDbPostgres, true});
        data.tables << row;
    }));
    data.copy_finished = true;
    data.finished = QDateTime::currentDateTime();
    const QString path = ReportPathBeside(rig.dir.filePath("Skerrow.log"));
    WriteReport(path, data);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    ASSERT_EQ(data.tables.size(), rig.tables.size());
    for (const TTableRec& table : rig.tables) {
        const QString rows = QString::number(table.rows);
        EXPECT_TRUE(html.contains("<tr><td>" + table.name + "</td><td class=\"n\">" + rows +
                                  "</td><td class=\"n\">" + rows + "</td><td>проверено: " + rows +
                                  " = " + rows + ", контрольные суммы совпадают</td>"))
            << Str(table.name);
    }
    EXPECT_TRUE(html.contains("Миграция завершена успешно: проверено таблиц"));
    EXPECT_TRUE(html.contains("нет ключа для чтения частями"));
    EXPECT_FALSE(html.contains(QLatin1String(kOraEmulSrc.password)));
}

// Every column kind of the sample, changed in one value at a time on the target, changes the
// checksum; put back, it matches again.
TEST_F(TableCheckTest, AChangeOfAnyOneValueIsFound) {
    ASSERT_NO_FATAL_FAILURE(PrepareMigration(rig, kOraEmulSrc, kTarget));
    ASSERT_TRUE(RunCopy(rig, [](int) {}));
    ASSERT_TRUE(Check("CUSTOMERS").Ok()) << Str(Check("CUSTOMERS").JournalLine());
    PgExec(kTarget, {"CREATE TABLE customers_orig AS SELECT * FROM customers"});
    struct TChange {
        QString column;
        QString value;
        int id;
    };
    const QList<TChange> changes{
        {"name", "name || ' '", 1},  // a trailing blank of a VARCHAR2 counts
        {"city", "''", 3},           // the city of this row is null
        {"code", "lower(code)", 3},  // a code no order refers to
        {"status", "'Z'", 1},
        {"balance", "balance + 0.01", 1},
        {"created", "created + interval '1 second'", 1},
        {"rating", "rating + 0.000000000001", 3},
        {"note", "replace(note, chr(10), chr(13) || chr(10))", 1},
        {"note", PgLiteral(QStringLiteral("\\N")), 4},  // the note of this row is null
        {"photo", "decode('89504e470d0a1a0a00fe', 'hex')", 1},
    };
    for (const TChange& change : changes) {
        SCOPED_TRACE(Str(change.column + " = " + change.value));
        PgExec(kTarget, {"UPDATE customers SET " + change.column + " = " + change.value +
                         " WHERE id = " + QString::number(change.id)});
        const TTableCheck changed = Check("CUSTOMERS");
        EXPECT_EQ(changed.status, TCheckStatus::ChecksumMismatch) << Str(changed.JournalLine());
        PgExec(kTarget, {"UPDATE customers t SET " + change.column + " = o." + change.column +
                         " FROM customers_orig o WHERE t.id = o.id"});
        EXPECT_TRUE(Check("CUSTOMERS").Ok());
    }

    // A lost row and a doubled one leave the count as it was.
    PgExec(kTarget, {"DELETE FROM line_notes WHERE line_no = 3",
                     "INSERT INTO line_notes SELECT * FROM line_notes"});
    const TTableCheck doubled = Check("LINE_NOTES");
    EXPECT_EQ(doubled.target_rows, doubled.source_rows);
    EXPECT_EQ(doubled.status, TCheckStatus::ChecksumMismatch);
}

// The count and the checksum of the source go through the query addition, as the copy reads.
TEST_F(TableCheckTest, QueryAdditionAndFailedStatements) {
    ASSERT_NO_FATAL_FAILURE(PrepareMigration(rig, kOraEmulSrc, kTarget));
    ASSERT_TRUE(RunCopy(rig, [](int) {}));
    TTableRec lines = *Find(rig.tables, "ORDER_LINES");
    lines.query_addi = QStringLiteral("WHERE ORDER_ID = 1002 ORDER BY LINE_NO DESC");
    PgExec(kTarget, {"DELETE FROM line_notes", "DELETE FROM order_lines WHERE order_id <> 1002"});
    TTableCheck check = ValidateTable(lines, rig.from, rig.to, {kDbPostgres, true});
    EXPECT_EQ(check.status, TCheckStatus::Match) << Str(check.JournalLine());
    EXPECT_EQ(Str(check.JournalLine()),
              "проверено: 3 = 3, контрольные суммы совпадают (строки источника с учетом довеска "
              "к запросу)");

    // A table the target does not have: the check fails, with the statement that failed.
    TTableRec missing = lines;
    missing.name = QStringLiteral("NOT_THERE");
    missing.query_addi.clear();
    check = ValidateTable(missing, rig.from, rig.to, {kDbPostgres, true});
    EXPECT_EQ(check.status, TCheckStatus::Failed);
    EXPECT_FALSE(check.Ok());
    EXPECT_TRUE(check.JournalLine().startsWith(QStringLiteral("проверка не выполнена: ")));
    EXPECT_EQ(Str(check.sql), "SELECT COUNT(*) FROM NOT_THERE");
}

// The two ways to a checksum, the layer's text forms and the server's SQL, agree on the same
// rows for the awkward values of every kind.
TEST_F(TableCheckTest, ReadAndComputedChecksumsAgree) {
    const QString db = QStringLiteral("skerrow_verify_forms");
    testbed::CreateDatabase(db);
    PgExec(db, {"CREATE TABLE forms (n numeric(30,10), i bigint, f double precision, "
                "t varchar(40), c char(6), d timestamp(0), b bytea, x text)",
                "INSERT INTO forms VALUES "
                "(100.5000000000, 9223372036854775807, 1e-10, 'a|b', 'ab', '2024-02-29 "
                "23:59:59', '\\x00ff', E'line\\r\\nnext'), "
                "(-0.0010000000, -9223372036854775808, 'NaN', E'back\\\\slash', 'Ω', "
                "'1999-01-01', '\\x', ''), "
                "(0, 0, 'Infinity', E'\\\\N', '', '2000-01-01 00:00:01', NULL, 'Grüße 中文 😀'), "
                "(12345678901234567890.1234567891, NULL, '-Infinity', NULL, NULL, NULL, "
                "'\\x7c5c', NULL), "
                "(NULL, 1, -0.0, '', ' x ', NULL, NULL, '|'), "
                "(NULL, 2, 1e300, ' ', NULL, NULL, NULL, NULL)"});
    TTableRec table;
    table.name = QStringLiteral("FORMS");
    const QList<std::pair<const char*, const char*>> columns{
        {"N", "NUMBER"}, {"I", "NUMBER"}, {"F", "BINARY_DOUBLE"}, {"T", "VARCHAR2"},
        {"C", "CHAR"},   {"D", "DATE"},   {"B", "BLOB"},          {"X", "CLOB"}};
    for (const auto& [name, type] : columns) {
        TFieldRec field;
        field.name = QLatin1String(name);
        field.data_type = QLatin1String(type);
        table.fields << field;
    }
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", db));
    connection.Open();
    const QList<const TFieldRec*> fields = ChecksumFields(table);
    ASSERT_EQ(fields.size(), table.fields.size());
    QList<TCheckKind> kinds;
    for (const TFieldRec* field : fields) {
        kinds << CheckKindOf(*field);
    }
    const TChecksum read = ReadChecksum(connection, SourceRowsSql(table, fields), kinds);
    const TChecksum computed = TargetChecksum(connection, TSqlNames(kDbPostgres), table, fields);
    EXPECT_EQ(read.rows, 6);
    EXPECT_EQ(Str(read.Text()), Str(computed.Text()));

    // One value differs: so do the sums.
    PgExec(db, {"UPDATE forms SET c = 'ab ' || chr(9) WHERE i = 0"});
    EXPECT_FALSE(TargetChecksum(connection, TSqlNames(kDbPostgres), table, fields) == computed);
    connection.Close();
    testbed::DropDatabase(db);
}

}  // namespace

namespace {

// Fractions of a second, offsets and dates before year 1, where the layer's text forms are
// exact (the emulation's Oracle driver mode and the PostgreSQL driver alike).
TEST_F(TableCheckTest, ReadAndComputedChecksumsAgreeOnFractionsOffsetsAndEras) {
    const QString db = QStringLiteral("skerrow_verify_times");
    testbed::CreateDatabase(db);
    PgExec(db, {"SET TIME ZONE 'Europe/Moscow'",
                "CREATE TABLE times (ts timestamp(6), tz timestamptz, d timestamp(0))",
                "INSERT INTO times VALUES "
                "('2024-01-05 13:07:09.5', '2024-01-05 13:07:09.25+05:30', '0044-03-15 BC'), "
                "('2024-01-05 13:07:09.000001', '2000-01-01 00:00:00+00', '1582-10-04'), "
                "('1999-12-31 23:59:59', NULL, '2024-02-29 12:00:00')"});
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", db));
    connection.Open();
    TDbQuery probe(connection);
    probe.SetText("SELECT ts, tz, d FROM times WHERE d < '0001-01-01'");
    probe.Open();
    const QStringList texts{probe.Field(0).AsString(), probe.Field(1).AsString(),
                            probe.Field(2).AsString()};
    probe.Close();
    if (!texts[0].contains(u'.') || !texts[1].contains('+') || !texts[2].contains("BC")) {
        GTEST_SKIP() << "the layer's text forms carry no fraction, offset or era yet: "
                     << Str(texts.join(" / "));
    }
    TTableRec table;
    table.name = QStringLiteral("TIMES");
    for (const auto& [name, type] : QList<std::pair<const char*, const char*>>{
             {"TS", "TIMESTAMP(6)"}, {"TZ", "TIMESTAMP(6) WITH TIME ZONE"}, {"D", "DATE"}}) {
        TFieldRec field;
        field.name = QLatin1String(name);
        field.data_type = QLatin1String(type);
        table.fields << field;
    }
    const QList<const TFieldRec*> fields = ChecksumFields(table);
    QList<TCheckKind> kinds;
    for (const TFieldRec* field : fields) {
        kinds << CheckKindOf(*field);
    }
    EXPECT_EQ(Str(ReadChecksum(connection, SourceRowsSql(table, fields), kinds).Text()),
              Str(TargetChecksum(connection, TSqlNames(kDbPostgres), table, fields).Text()));
    connection.Close();
    testbed::DropDatabase(db);
}

}  // namespace
