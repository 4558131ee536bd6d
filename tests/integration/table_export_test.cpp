// The table export against the test bed: files written in the COPY text format are loaded back
// by the server and compared row by row with their source.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "db/odbc.h"
#include "export/table_export.h"
#include "testbed.h"
#include "util/code_page.h"
#include "util/error.h"

namespace {

class TableExportDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("SKERROW_TESTBED")) {
            GTEST_SKIP() << "no test bed";
        }
        // The bridge string as the dialog builds it, with the driver's line-feed conversion
        // asked for: the binding must still read every LF as stored.
        connection_.SetConnectionString(testbed::BridgeString());
        connection_.Open();
        ASSERT_TRUE(dir_.isValid());
        // The server runs under its own account and must reach the files.
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFileDevice::ExeOther |
                                               QFileDevice::ReadOther | QFileDevice::ExeGroup |
                                               QFileDevice::ReadGroup);
        CreateTables();
    }

    void CreateTables() {
        Exec("DROP VIEW IF EXISTS h8x_era");
        Exec(
            "DROP TABLE IF EXISTS h8x_src, h8x_dst, h8x_dst2, h8x_one, h8x_empty, h8x_era_dst, "
            "h8x_ora, h8x_era_src");
        Exec(
            "CREATE TABLE h8x_src (id integer PRIMARY KEY, name text, note varchar(100), "
            "f float8, dt date, ts timestamp, bin bytea, num numeric(12,2))");
        Exec(
            "INSERT INTO h8x_src VALUES "
            "(1, 'plain', NULL, 2.5, '2024-01-05', '2024-01-05 13:07:09', "
            "'\\x00ff5c090a0d'::bytea, 12.34), "
            "(2, E'tab\\there', E'line\\nbreak', -0.125, NULL, '2024-01-05 00:00:00', "
            "''::bytea, NULL), "
            "(3, E'cr\\rret\\r\\n', E'back\\\\slash \\\\N', NULL, '1999-12-31', NULL, NULL, "
            "-0.5), "
            "(4, 'Юникод 😀 ü 中文 €', E'\\\\.', 1e-10, '2024-02-29', '2024-02-29 23:59:59', "
            "'\\x5c4e'::bytea, 0), "
            "(5, '', '', 123456789.125, NULL, NULL, NULL, NULL), "
            "(6, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
        Exec(
            "INSERT INTO h8x_src SELECT g, 'row ' || g, E'a\\tb', g / 8.0, "
            "DATE '2020-01-01' + g, TIMESTAMP '2020-01-01 10:00:00' + g * INTERVAL '1 minute', "
            "decode(lpad(to_hex(g), 4, '0'), 'hex'), g FROM generate_series(7, 230) g");
        Exec("CREATE TABLE h8x_dst (LIKE h8x_src)");
    }

    void TearDown() override {
        if (connection_.Connected()) {
            Exec("DROP VIEW IF EXISTS h8x_era");
            Exec(
                "DROP TABLE IF EXISTS h8x_src, h8x_dst, h8x_dst2, h8x_one, h8x_empty, "
                "h8x_era_dst, h8x_ora, h8x_era_src");
        }
    }

    void Exec(const QString& sql) {
        TDbQuery query(connection_);
        query.SetText(sql);
        query.ExecSQL();
    }

    qint64 Count(const QString& sql) {
        TDbQuery query(connection_);
        query.SetText(sql);
        query.Open();
        const qint64 value = query.Field(0).AsInteger();
        query.Close();
        return value;
    }

    TTableRec Source(const QString& name = QStringLiteral("H8X_SRC"),
                     const QString& key = QStringLiteral("(ID)")) {
        TTableRec table;
        table.name = name;
        table.primary_key.column_names = key;
        return table;
    }

    // Runs units until the export ends; a runaway export fails the test instead of hanging.
    static int RunToEnd(TTableExport& task, int limit = 10000) {
        int units = 0;
        while (!task.CopyData()) {
            if (++units > limit) {
                ADD_FAILURE() << "export did not end";
                break;
            }
        }
        return units + 1;
    }

    // Rows of a that b lacks, and the other way round.
    qint64 Differences(const QString& a, const QString& b) {
        return Count("SELECT (SELECT count(*) FROM (SELECT * FROM " + a +
                     " EXCEPT ALL SELECT * FROM " + b +
                     ") x) + (SELECT count(*) FROM (SELECT * FROM " + b +
                     " EXCEPT ALL SELECT * FROM " + a + ") y)");
    }

    static QByteArray ReadAll(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    TDbConnection connection_;
    QTemporaryDir dir_;
};

TEST_F(TableExportDbTest, PostgresFileLoadsBackExactly) {
    for (int portion_read : {50, 0}) {
        SCOPED_TRACE(portion_read);
        Exec("TRUNCATE h8x_dst");
        const QString path = dir_.filePath(QStringLiteral("src_%1.txt").arg(portion_read));
        TTableExport task(connection_, Source(), kDbPostgres);
        task.portion_write = 7;
        task.portion_read = portion_read;
        task.Start(path);
        EXPECT_EQ(task.Total(), 230);
        RunToEnd(task);
        EXPECT_TRUE(task.Finished());
        EXPECT_EQ(task.CopyOff(), 230);
        GrantReadAccess(path);
        EXPECT_TRUE(QFile::permissions(path) & QFileDevice::ReadOther);

        const QByteArray bytes = ReadAll(path);
        EXPECT_EQ(bytes.count("\r\n"), 230);
        EXPECT_TRUE(
            bytes.startsWith("1\tplain\t\\N\t2.5\t2024-01-05\t2024-01-05 13:07:09\t"
                             "\\\\x00ff5c090a0d\t12.34\r\n"))
            << bytes.left(120).toStdString();
        EXPECT_TRUE(bytes.contains(QString::fromUtf8("4\tЮникод 😀 ü 中文 €\t").toUtf8()));

        Exec("COPY h8x_dst FROM '" + path + "'");
        EXPECT_EQ(Count("SELECT count(*) FROM h8x_dst"), 230);
        EXPECT_EQ(Differences("h8x_src", "h8x_dst"), 0);
        // Empty text and null stay apart, and so do empty and null binaries.
        EXPECT_EQ(Count("SELECT count(*) FROM h8x_dst WHERE id = 5 AND name = '' AND bin IS NULL"),
                  1);
        EXPECT_EQ(Count("SELECT count(*) FROM h8x_dst WHERE id = 2 AND bin = ''::bytea"), 1);
    }
}

// COPY reads floats with the point only: whichever separator is chosen, the file loads back
// exactly.
TEST_F(TableExportDbTest, BothSeparatorsLoadBackExactly) {
    for (const QChar sep : {QLatin1Char('.'), QLatin1Char(',')}) {
        SCOPED_TRACE(sep.toLatin1());
        Exec("TRUNCATE h8x_dst");
        const QString path = dir_.filePath(QStringLiteral("sep_%1.txt").arg(sep.unicode()));
        TTableExport task(connection_, Source(), kDbPostgres);
        task.deci_sep = sep;
        task.Start(path);
        RunToEnd(task);
        const QList<QByteArray> lines = ReadAll(path).split('\n');
        ASSERT_GE(lines.size(), 5);
        EXPECT_EQ(lines[0], QByteArray("1\tplain\t\\N\t2.5\t2024-01-05\t2024-01-05 13:07:09\t"
                                       "\\\\x00ff5c090a0d\t12.34\r"));
        EXPECT_TRUE(lines[1].startsWith("2\ttab\\there\tline\\nbreak\t-0.125\t\\N\t2024-01-05\t"))
            << lines[1].toStdString();
        Exec("COPY h8x_dst FROM '" + path + "'");
        EXPECT_EQ(Differences("h8x_src", "h8x_dst"), 0);
    }
}

TEST_F(TableExportDbTest, ExportsInterleaveOnOneConnection) {
    Exec("CREATE TABLE h8x_dst2 (LIKE h8x_src)");
    const QString path_a = dir_.filePath(QStringLiteral("a.txt"));
    const QString path_b = dir_.filePath(QStringLiteral("b.txt"));
    TTableExport a(connection_, Source(), kDbPostgres);
    TTableExport b(connection_, Source(), kDbPostgres);
    a.portion_write = 3;
    a.portion_read = 20;
    b.portion_write = 5;
    b.portion_read = 0;
    a.Start(path_a);
    b.Start(path_b);
    // A third reader of the connection, as the wizard's copy would hold one, stays open between
    // the units of both exports.
    TDbQuery copy_reader(connection_);
    copy_reader.SetText("SELECT id FROM h8x_src ORDER BY id");
    copy_reader.Open();
    qint64 copied = 0;
    int units = 0;
    bool a_done = false;
    bool b_done = false;
    while (!(a_done && b_done) && ++units < 10000) {
        if (!a_done) {
            a_done = a.CopyData();
        }
        if (!copy_reader.Eof()) {
            EXPECT_EQ(copy_reader.Field(0).AsInteger(), ++copied);
            copy_reader.Next();
        }
        if (!b_done) {
            b_done = b.CopyData();
        }
    }
    copy_reader.Close();
    EXPECT_TRUE(a_done && b_done);
    EXPECT_EQ(a.CopyOff(), 230);
    EXPECT_EQ(b.CopyOff(), 230);
    Exec("COPY h8x_dst FROM '" + path_a + "'");
    Exec("COPY h8x_dst2 FROM '" + path_b + "'");
    EXPECT_EQ(Differences("h8x_src", "h8x_dst"), 0);
    EXPECT_EQ(Differences("h8x_src", "h8x_dst2"), 0);
}

TEST_F(TableExportDbTest, FewerRowsThanCountedEnds) {
    for (int portion_read : {40, 0}) {
        SCOPED_TRACE(portion_read);
        const QString path = dir_.filePath(QStringLiteral("short_%1.txt").arg(portion_read));
        TTableExport task(connection_, Source(), kDbPostgres);
        task.portion_write = 10;
        task.portion_read = portion_read;
        task.Start(path);
        EXPECT_EQ(task.Total(), 230);
        Exec("DELETE FROM h8x_src WHERE id > 100");
        RunToEnd(task, 1000);
        EXPECT_TRUE(task.Finished());
        EXPECT_EQ(task.CopyOff(), 100);
        EXPECT_EQ(ReadAll(path).count("\r\n"), 100);
        Exec("TRUNCATE h8x_dst");
        Exec("COPY h8x_dst FROM '" + path + "'");
        EXPECT_EQ(Differences("h8x_src", "h8x_dst"), 0);
        // All rows back for the next round.
        CreateTables();
    }
}

TEST_F(TableExportDbTest, EmptyTableEndsOnTheFirstUnit) {
    Exec("CREATE TABLE h8x_empty (id integer)");
    const QString path = dir_.filePath(QStringLiteral("empty.txt"));
    TTableExport task(connection_, Source("H8X_EMPTY", ""), kDbPostgres);
    task.Start(path);
    EXPECT_TRUE(task.CopyData());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST_F(TableExportDbTest, OracleLayout) {
    Exec("CREATE TABLE h8x_one (id integer PRIMARY KEY, v text)");
    Exec("INSERT INTO h8x_one VALUES (1, NULL), (2, 'x'), (3, NULL)");
    TTableRec one = Source("H8X_ONE");
    TFieldRec id;
    id.name = "ID";
    id.data_type = "NUMBER";
    TFieldRec v;
    v.name = "V";
    v.data_type = "VARCHAR2";
    one.fields = {id, v};
    const QString control = dir_.filePath(QStringLiteral("one.ctl"));
    {
        // Only the value column is read, so a null row gives an empty line.
        TTableRec values = Source("H8X_ONE", "");
        values.fields = {v};
        TTableExport task(connection_, values, kDbOracle);
        task.Start(control);
        RunToEnd(task);
        EXPECT_EQ(ReadAll(task.DataFileName()), QByteArray("\r\nx\r\n\r\n"));
        EXPECT_EQ(ReadAll(control),
                  TCodePage().FromUnicode(BuildControlLine(values, task.DataFileName())) + "\r\n");
        EXPECT_NE(task.DataFileName(), control);
        EXPECT_EQ(QFileInfo(task.DataFileName()).absolutePath(), QFileInfo(control).absolutePath());
    }

    // A tab in a value would shift the loader's fields: the export stops and says where.
    Exec("UPDATE h8x_one SET v = E'a\\tb' WHERE id = 2");
    TTableExport task(connection_, one, kDbOracle);
    task.portion_write = 10;
    task.Start(control);
    try {
        task.CopyData();
        ADD_FAILURE() << "no error for a tab in an Oracle data file";
    } catch (const TError& error) {
        EXPECT_TRUE(error.Message().contains("H8X_ONE")) << error.Message().toStdString();
        EXPECT_TRUE(error.Message().contains(u'2'));
        EXPECT_TRUE(error.Message().contains("v", Qt::CaseInsensitive));
    }
    task.Abort();
    EXPECT_EQ(ReadAll(task.DataFileName()), QByteArray("1\t\r\n"));
}

// Dates before year 1 come from the layer with a minus sign or in the era form; the file holds
// the form COPY reads, and the first and last dates load back.
TEST_F(TableExportDbTest, DatesBeforeYearOneLoadBack) {
    Exec("CREATE TABLE h8x_era_src (id integer PRIMARY KEY, d timestamp(0))");
    Exec(
        "INSERT INTO h8x_era_src VALUES (1, '4712-01-01 00:00:00 BC'), "
        "(2, '0044-03-15 12:00:00 BC'), (3, '0001-01-01 00:00:00'), (4, '9999-12-31 23:59:59'), "
        "(5, NULL)");
    Exec(
        "CREATE VIEW h8x_era AS SELECT id, CASE WHEN id = 1 THEN d::text WHEN d < '0001-01-01' "
        "THEN '-' || to_char(d, 'YYYY-MM-DD HH24:MI:SS') ELSE d::text END AS d "
        "FROM h8x_era_src");
    Exec("CREATE TABLE h8x_era_dst (LIKE h8x_era_src)");
    TTableRec era = Source("H8X_ERA");
    TFieldRec id;
    id.name = "ID";
    id.data_type = "NUMBER";
    TFieldRec d;
    d.name = "D";
    d.data_type = "DATE";
    era.fields = {id, d};
    const QString path = dir_.filePath(QStringLiteral("era.txt"));
    TTableExport task(connection_, era, kDbPostgres);
    task.Start(path);
    RunToEnd(task);
    EXPECT_TRUE(ReadAll(path).contains("2\t0044-03-15 12:00:00 BC\r\n"));
    Exec("COPY h8x_era_dst FROM '" + path + "'");
    EXPECT_EQ(Differences("h8x_era_src", "h8x_era_dst"), 0);
}

// The loader layout: dates and timestamps in the formats the control file names, binaries of a
// RAW column as hex; a table with a BLOB column is refused before any file is written.
TEST_F(TableExportDbTest, OracleLayoutOfDatesAndBinaries) {
    Exec(
        "CREATE TABLE h8x_ora (id integer PRIMARY KEY, d timestamp(0), ts timestamp(6), "
        "r bytea)");
    Exec(
        "INSERT INTO h8x_ora VALUES (1, '2024-01-05 13:07:09', '2024-01-05 00:00:00', "
        "'\\x00ff'), (2, NULL, NULL, NULL)");
    TTableRec ora = Source("H8X_ORA");
    for (const auto& [name, type] : {std::pair{"ID", "NUMBER"}, std::pair{"D", "DATE"},
                                     std::pair{"TS", "TIMESTAMP(6)"}, std::pair{"R", "RAW"}}) {
        TFieldRec field;
        field.name = QString::fromLatin1(name);
        field.data_type = QString::fromLatin1(type);
        ora.fields.append(field);
    }
    const QString control = dir_.filePath(QStringLiteral("ora.ctl"));
    {
        TTableExport task(connection_, ora, kDbOracle);
        task.Start(control);
        RunToEnd(task);
        EXPECT_EQ(ReadAll(task.DataFileName()),
                  QByteArray("1\t2024-01-05 13:07:09\t2024-01-05 00:00:00.0\t00FF\r\n2\t\t\t\r\n"));
        EXPECT_TRUE(ReadAll(control).contains(
            "(ID,D DATE(22) \"SYYYY-MM-DD HH24:MI:SS\",TS TIMESTAMP \"SYYYY-MM-DD "
            "HH24:MI:SS.FF\",R)"));
    }
    ora.fields[3].data_type = "BLOB";
    const QString refused = dir_.filePath(QStringLiteral("refused.ctl"));
    TTableExport task(connection_, ora, kDbOracle);
    try {
        task.Start(refused);
        ADD_FAILURE() << "no error";
    } catch (const TError& error) {
        EXPECT_TRUE(error.Message().contains("H8X_ORA")) << error.Message().toStdString();
        EXPECT_TRUE(error.Message().contains("столбец R"));
    }
    EXPECT_FALSE(QFile::exists(refused));
}
}  // namespace
