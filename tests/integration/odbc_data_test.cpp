// Data through the ODBC binding on the real test-bed server, on both fetch paths: Unicode,
// values longer than any buffer, long values after bound columns, binary parameters loaded
// from files, and the whole-table reader.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "db/odbc.h"
#include "db/odbc_statement.h"
#include "odbc_paths.h"
#include "testbed.h"

namespace {

void Exec(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.ExecSQL();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray Pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + seed) % 256);
    }
    return bytes;
}

class OdbcDataTest : public ::testing::TestWithParam<TOdbcPath> {
protected:
    void Open(const QString& data_source) {
        connection.SetConnectionString(testbed::BridgeString(data_source));
        connection.Open();
        ASSERT_EQ(connection.OracleCapabilities(), oracle_path());
    }
    bool oracle_path() const { return GetParam() == TOdbcPath::Oracle; }

    TOdbcPathScope path{GetParam()};
    TDbConnection connection;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Paths, OdbcDataTest, OdbcPaths(), OdbcPathName);

TEST_P(OdbcDataTest, UnicodeAndLongTextRoundTrip) {
    Open(QStringLiteral("PostgreSQL_Test"));
    const QString text = QStringLiteral("Привет, мир € → 😀 ё");
    Exec(connection, QStringLiteral("CREATE TEMP TABLE u (s varchar(40), t text)"));
    Exec(connection, QStringLiteral("INSERT INTO u VALUES ('%1', '%1')").arg(text));
    TDbQuery query(connection);
    query.SetText(QStringLiteral("SELECT s, t, char_length(s) AS n FROM u"));
    query.Open();
    EXPECT_EQ(query.Field(0).AsString(), text);
    EXPECT_EQ(query.Field(1).AsString(), text);
    EXPECT_EQ(query.Field(2).AsInteger(), text.toStdU32String().size());

    // Far past one read piece and past the size the driver declares for text columns.
    const QString piece = QStringLiteral("абв😀xyz");
    query.SetText(QStringLiteral("SELECT repeat('%1', 30000) AS t, repeat('q', 5000)::varchar AS v,"
                                 " 1 AS after")
                      .arg(piece));
    query.Open();
    EXPECT_EQ(query.Field(0).AsString(), piece.repeated(30000));
    EXPECT_EQ(query.Field(1).AsString(), QString(5000, u'q'));
    EXPECT_EQ(query.Field(2).AsInteger(), 1);

    // Values longer than the declared size inside blocks of rows: each row keeps its own. A
    // driver without SQLGetData on bound columns cannot read them again, so there the column
    // declares its size, and its buffer must hold it in UTF-16 whatever the characters.
    query.SetText(QStringLiteral("SELECT g, repeat(chr(CASE WHEN g % 2 = 0 THEN 128512 ELSE"
                                 " 1040 + g % 30 END), CASE WHEN g % 97 = 0 THEN 3000 ELSE 3"
                                 " END)::varchar%1 AS v FROM generate_series(1, 2000) g")
                      .arg(oracle_path() ? QStringLiteral("(3000)") : QString()));
    query.Open();
    int rows = 0;
    for (; !query.Eof(); query.Next()) {
        const int g = static_cast<int>(query.Field(0).AsInteger());
        const QString one =
            g % 2 == 0 ? QString::fromUcs4(U"\U0001F600") : QString(QChar(1040 + g % 30));
        const QString expected = one.repeated(g % 97 == 0 ? 3000 : 3);
        ASSERT_EQ(query.Field(1).AsString(), expected) << "row " << g;
        ++rows;
    }
    EXPECT_EQ(rows, 2000);
}

TEST_P(OdbcDataTest, BinaryParametersFromFiles) {
    Open(QStringLiteral("PostgreSQL_Test"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString small = dir.filePath(QStringLiteral("small.bin"));
    const QString large = dir.filePath(QStringLiteral("large.bin"));
    const QString empty = dir.filePath(QStringLiteral("empty.bin"));
    WriteFile(small, QByteArray("\x00\x01:param'\xff", 9));
    WriteFile(large, Pattern(3 * 1024 * 1024 + 17, 3));
    WriteFile(empty, QByteArray());

    Exec(connection, QStringLiteral("CREATE TEMP TABLE b (id int, a bytea, c bytea, note text)"));
    TDbQuery query(connection);
    query.SetParamCheck(true);
    query.SetParamFile(QStringLiteral("param"), small);
    query.SetParamFile(QStringLiteral("Big"), large);
    query.SetParamFile(QStringLiteral("nothing"), empty);
    // Quoted texts and casts are not parameters; a name may repeat.
    query.Add(QStringLiteral("INSERT INTO b VALUES (1::int, :param, :big, ':param \"x\" ::'),"));
    query.Add(QStringLiteral("(2, :BIG, :param, 'two'), (3, :nothing, NULL, 'three')"));
    query.ExecSQL();

    query.SetParamCheck(false);
    query.SetText(QStringLiteral("SELECT id, a, c, note FROM b ORDER BY id"));
    query.Open();
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.Field(1).AsBytes(), ReadFile(small));
    EXPECT_EQ(query.Field(2).AsBytes(), ReadFile(large));
    EXPECT_EQ(query.Field(3).AsString(), ":param \"x\" ::");
    const QString saved = dir.filePath(QStringLiteral("saved.bin"));
    query.Field(2).SaveToFile(saved);
    EXPECT_EQ(ReadFile(saved), ReadFile(large));
    query.Next();
    EXPECT_EQ(query.Field(1).AsBytes(), ReadFile(large));
    EXPECT_EQ(query.Field(2).AsBytes(), ReadFile(small));
    query.Next();
    EXPECT_FALSE(query.Field(1).IsNull());
    EXPECT_EQ(query.Field(1).AsBytes().size(), 0);
    EXPECT_TRUE(query.Field(2).IsNull());
    EXPECT_THROW(query.Field(1).SaveToFile(dir.filePath(QStringLiteral("no/such/dir/x"))),
                 TFileError);
    query.Next();
    EXPECT_TRUE(query.Eof());

    // With the check off the text goes as it is: the server sees the colon.
    query.SetText(QStringLiteral("SELECT :param"));
    EXPECT_THROW(query.Open(), TDbError);

    query.SetParamCheck(true);
    query.ClearParams();
    query.SetParamFile(QStringLiteral("param"), dir.filePath(QStringLiteral("missing.bin")));
    query.SetText(QStringLiteral("INSERT INTO b (a) VALUES (:param)"));
    EXPECT_THROW(query.ExecSQL(), TFileError);
    query.SetText(QStringLiteral("INSERT INTO b (a) VALUES (:other)"));
    EXPECT_THROW(query.ExecSQL(), TError);
}

TEST_P(OdbcDataTest, WholeTableReaderStreamsAndSkips) {
    Open(QStringLiteral("PostgreSQL_Stream"));
    Exec(connection, QStringLiteral("DROP TABLE IF EXISTS odbc_rows"));
    Exec(connection,
         QStringLiteral("CREATE TABLE odbc_rows AS SELECT g AS id, 'row ' || g AS label,"
                        " now()::timestamp(0) AS at FROM generate_series(1, 25000) g"));
    TDbTable table(connection);
    table.SetTableName(QStringLiteral("odbc_rows"));
    table.Open();
    EXPECT_TRUE(table.Active());
    ASSERT_EQ(table.FieldCount(), 3);
    EXPECT_EQ(table.FieldByName(QStringLiteral("ID")).AsInteger(), 1);
    table.MoveBy(12345);
    EXPECT_EQ(table.Field(0).AsInteger(), 12346);
    EXPECT_EQ(table.FieldByName(QStringLiteral("Label")).AsString(), "row 12346");

    // A second reader and a statement on the same connection in between.
    TDbTable other(connection);
    other.SetTableName(QStringLiteral("odbc_rows"));
    other.Open();
    other.MoveBy(24999);
    EXPECT_EQ(other.Field(0).AsInteger(), 25000);
    other.Next();
    EXPECT_TRUE(other.Eof());
    TDbQuery count(connection);
    count.SetText(QStringLiteral("SELECT COUNT(*) FROM odbc_rows"));
    count.Open();
    EXPECT_EQ(count.Field(0).AsInteger(), 25000);

    qint64 rest = 0;
    qint64 last = 0;
    for (; !table.Eof(); table.Next()) {
        last = table.Field(0).AsInteger();
        ++rest;
    }
    EXPECT_EQ(rest, 25000 - 12345);
    EXPECT_EQ(last, 25000);
    table.MoveBy(10);
    EXPECT_TRUE(table.Eof());

    table.Open();
    table.MoveBy(1000000);
    EXPECT_TRUE(table.Eof());
    table.Close();
    EXPECT_FALSE(table.Active());
    table.SetTableName(QStringLiteral("no_such_table"));
    EXPECT_THROW(table.Open(), TDbError);
    Exec(connection, QStringLiteral("DROP TABLE odbc_rows"));
}

// Drivers that read less freely with SQLGetData get rows one at a time; the values must be the
// same whichever way they are fetched.
TEST_P(OdbcDataTest, SameValuesWithLessCapableDrivers) {
    if (oracle_path()) {
        GTEST_SKIP() << "sets the capabilities itself";
    }
    Open(QStringLiteral("PostgreSQL_Stream"));
    const QString sql = QStringLiteral(
        "SELECT g, repeat('ж', CASE WHEN g % 50 = 0 THEN 70000 ELSE g END) AS t,"
        " decode(repeat('ff00', g), 'hex') AS b, DATE '2024-01-01' + g AS d,"
        " repeat('v', g * 3)::varchar AS v FROM generate_series(1, 300) g");
    const SQLUINTEGER full = connection.Impl().getdata_extensions;
    for (const SQLUINTEGER extensions :
         {full, SQLUINTEGER(0), SQLUINTEGER(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND)}) {
        connection.Impl().getdata_extensions = extensions;
        TDbQuery query(connection);
        query.SetText(sql);
        query.Open();
        int rows = 0;
        for (; !query.Eof(); query.Next()) {
            const int g = ++rows;
            ASSERT_EQ(query.Field(0).AsInteger(), g);
            ASSERT_EQ(query.Field(1).AsString(), QString(g % 50 == 0 ? 70000 : g, u'ж')) << g;
            ASSERT_EQ(query.Field(2).AsBytes(), QByteArray("\xff\x00", 2).repeated(g)) << g;
            ASSERT_EQ(query.Field(3).AsDateTime().date(), QDate(2024, 1, 1).addDays(g));
            ASSERT_EQ(query.Field(4).AsString(), QString(g * 3, u'v')) << g;
        }
        EXPECT_EQ(rows, 300) << extensions;
    }
}

// The copy reads text through a view of the fetched buffer: it must show what AsString gives,
// for bound, re-read long, binary, date-time and null values, row after row of a block.
TEST_P(OdbcDataTest, StringViewShowsWhatAsStringGives) {
    Open(QStringLiteral("PostgreSQL_Stream"));
    TDbQuery query(connection);
    query.SetText(QStringLiteral(
        "SELECT g, CASE WHEN g % 7 = 0 THEN NULL ELSE 'it''s ' || g END AS s,"
        " repeat('ж', CASE WHEN g % 50 = 0 THEN 9000 ELSE g END)::varchar(9000) AS v,"
        " decode('00ff', 'hex') AS b, timestamp '2024-01-01 10:00:00' + g * interval '1 hour'"
        " AS d, (g * 1.25)::numeric AS n FROM generate_series(1, 1200) g"));
    query.Open();
    int rows = 0;
    QString buffer;
    for (; !query.Eof(); query.Next()) {
        ++rows;
        for (int i = 0; i < query.FieldCount(); ++i) {
            const TDbField& field = query.Field(i);
            ASSERT_EQ(field.StringView(buffer).toString(), field.AsString())
                << "row " << rows << " column " << i;
        }
        ASSERT_EQ(query.Field(1).StringView(buffer).isNull(), rows % 7 == 0) << rows;
    }
    EXPECT_EQ(rows, 1200);
}

// A long value after bound columns, and bound columns after it, arrive whole at any length;
// blocks of rows are fetched wherever no SQLGetData is needed inside them.
TEST_P(OdbcDataTest, LongValuesAfterBoundColumns) {
    Open(QStringLiteral("PostgreSQL_Stream"));
    Exec(connection, QStringLiteral("DROP TABLE IF EXISTS odbc_long"));
    Exec(connection, QStringLiteral("CREATE TABLE odbc_long (id int, code varchar(10), body text,"
                                    " tail varchar(20), at timestamp(6), blob bytea)"));
    Exec(connection,
         QStringLiteral("INSERT INTO odbc_long SELECT g, 'c' || g, repeat('ю' || g, 100000 /"
                        " length('ю' || g)), 't' || g, TIMESTAMP '2024-01-05 10:07:09.5' + g *"
                        " interval '1 day', decode(repeat('ab', 50000 + g), 'hex')"
                        " FROM generate_series(1, 12) g"));
    TDbTable table(connection);
    table.SetTableName(QStringLiteral("odbc_long"));
    table.Open();
    int rows = 0;
    for (; !table.Eof(); table.Next()) {
        const int g = ++rows;
        const QString unit = QStringLiteral("ю") + QString::number(g);
        // Read out of column order on purpose: the binding has read the row in order already.
        ASSERT_EQ(table.Field(5).AsBytes(), QByteArray("\xab").repeated(50000 + g)) << g;
        ASSERT_EQ(table.Field(2).AsString(), unit.repeated(100000 / unit.size())) << g;
        ASSERT_EQ(table.Field(3).AsString(), QStringLiteral("t%1").arg(g));
        ASSERT_EQ(table.Field(0).AsInteger(), g);
        ASSERT_EQ(table.Field(1).AsString(), QStringLiteral("c%1").arg(g));
        ASSERT_EQ(table.Field(4).AsString(),
                  QStringLiteral("2024-01-%1 10:07:09.500000").arg(5 + g, 2, 10, QChar(u'0')));
    }
    EXPECT_EQ(rows, 12);

    TOdbcStatement statement(connection);
    statement.Execute(QStringLiteral("SELECT id, code, body, tail FROM odbc_long"), {}, true);
    EXPECT_EQ(statement.RowsetSize() > 1, !oracle_path());
    EXPECT_EQ(statement.Column(0).bound, true);
    EXPECT_EQ(statement.Column(3).bound, !oracle_path());
    statement.Execute(QStringLiteral("SELECT id, code, tail, at FROM odbc_long ORDER BY id"), {},
                      true);
    EXPECT_GT(statement.RowsetSize(), 1u);
    int count = 0;
    for (; !statement.Eof(); statement.Next()) {
        ++count;
    }
    EXPECT_EQ(count, 12);
    Exec(connection, QStringLiteral("DROP TABLE odbc_long"));
}

// Where a bound value cannot be read again, one longer than the driver declared is an error,
// never a cut value.
TEST_P(OdbcDataTest, ValueLongerThanDeclaredIsNeverCut) {
    Open(QStringLiteral("PostgreSQL_Test"));
    TDbQuery query(connection);
    // An unconstrained varchar is declared as 255 characters by the PostgreSQL driver; the
    // buffer holds twice that in UTF-16 units.
    query.SetText(QStringLiteral("SELECT repeat('x', 600)::varchar AS v"));
    query.Open();
    if (oracle_path()) {
        EXPECT_THROW(query.Field(0).AsString(), TDbError);
    } else {
        EXPECT_EQ(query.Field(0).AsString(), QString(600, u'x'));
    }
}
