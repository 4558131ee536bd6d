// The ODBC binding against the real test-bed server: the three connection-string forms,
// failures that must leave nothing open, statements, every field category, Unicode, long
// values, binary parameters from files and the whole-table reader.

#include <gtest/gtest.h>

#include <memory>

#include "db/odbc.h"
#include "odbc_paths.h"
#include "testbed.h"

namespace {

QString Scalar(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.Open();
    EXPECT_FALSE(query.Eof()) << sql.toStdString();
    return query.Field(0).AsString();
}

void Exec(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.ExecSQL();
}

// The message of the error the connection's Open raises, checking it leaves nothing open.
template <typename TException>
QString OpenFailure(TDbConnection& connection, const QString& text) {
    connection.SetConnectionString(text);
    try {
        connection.Open();
    } catch (const TException& e) {
        EXPECT_FALSE(connection.Connected());
        return e.Message();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected error type: " << e.what();
        return QString();
    }
    ADD_FAILURE() << "opened: " << text.toStdString();
    return QString();
}

class OdbcTest : public ::testing::TestWithParam<TOdbcPath> {
protected:
    void SetUp() override {
        connection.SetConnectionString(testbed::BridgeString());
        connection.Open();
    }

    TOdbcPathScope path{GetParam()};
    TDbConnection connection;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Paths, OdbcTest, OdbcPaths(), OdbcPathName);

TEST(OdbcConnect, ThreeFormsReachTheServer) {
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString());
    connection.Open();
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(Scalar(connection, QStringLiteral("SELECT current_database()")), "postgres");

    // The memo hands the text over with line breaks and blanks between the pairs.
    QString memo = testbed::BridgeString();
    memo.replace(QStringLiteral(";Persist"), QStringLiteral(";\r\n  Persist"));
    memo.replace(QStringLiteral(";UID="), QStringLiteral(";\r\nUID="));
    connection.SetConnectionString(QStringLiteral("  \r\n") + memo + QStringLiteral(" \r\n"));
    connection.Open();
    EXPECT_EQ(Scalar(connection, QStringLiteral("SELECT 1")), "1");

    connection.SetConnectionString(testbed::OraOleDbString());
    connection.Open();
    EXPECT_EQ(Scalar(connection, QStringLiteral("SELECT current_user")), "postgres");

    connection.SetConnectionString(testbed::MsdaoraString(QStringLiteral("ora_pg")));
    connection.Open();
    EXPECT_EQ(Scalar(connection, QStringLiteral("SELECT current_database()")), "postgres");

    // Another database through the same form, as the wizard reaches a new database.
    testbed::CreateDatabase(QStringLiteral("odbc_other"));
    connection.SetConnectionString(
        testbed::BridgeString(QStringLiteral("PostgreSQL_Test"), QStringLiteral("odbc_other")));
    connection.Open();
    EXPECT_EQ(Scalar(connection, QStringLiteral("SELECT current_database()")), "odbc_other");
    connection.Close();
    EXPECT_FALSE(connection.Connected());
    connection.Close();
    testbed::DropDatabase(QStringLiteral("odbc_other"));
}

TEST(OdbcConnect, FailuresAreClearAndLeaveNothingOpen) {
    TDbConnection connection;
    // Server-side refusals carry the driver's text and SQLSTATE.
    connection.SetConnectionString(testbed::BridgeString(
        QStringLiteral("PostgreSQL_Test"), QStringLiteral("postgres"), QStringLiteral("wrong")));
    try {
        connection.Open();
        ADD_FAILURE() << "wrong password accepted";
    } catch (const TDbError& e) {
        EXPECT_FALSE(e.SqlState().isEmpty());
        EXPECT_TRUE(e.Message().contains(QStringLiteral("password authentication failed")))
            << e.Message().toStdString();
        EXPECT_FALSE(e.Diagnostics().isEmpty());
    }
    EXPECT_FALSE(connection.Connected());

    QString unreachable = testbed::BridgeString();
    unreachable.replace(QStringLiteral("PORT=%1").arg(testbed::Port()), QStringLiteral("PORT=1"));
    connection.SetConnectionString(unreachable);
    try {
        connection.Open();
        ADD_FAILURE() << "unreachable server accepted";
    } catch (const TDbError& e) {
        EXPECT_EQ(e.SqlState(), "08001") << e.Message().toStdString();
        EXPECT_FALSE(e.Message().isEmpty());
    }

    QString missing_dsn = testbed::BridgeString();
    missing_dsn.replace(QStringLiteral("DSN=PostgreSQL_Test"), QStringLiteral("DSN=NoSuchDsn"));
    EXPECT_FALSE(OpenFailure<TDbError>(connection, missing_dsn).isEmpty());

    // Malformed texts are refused before the driver manager is asked.
    EXPECT_TRUE(OpenFailure<TError>(connection, QStringLiteral("Provider=MSDASQL.1;Extended "
                                                               "Properties=\"DSN=x;UID=y"))
                    .contains(QStringLiteral("кавычка")));
    EXPECT_TRUE(OpenFailure<TError>(connection, QStringLiteral("DSN=PostgreSQL_Test;UID=postgres"))
                    .contains(QStringLiteral("провайдер")));
    EXPECT_TRUE(OpenFailure<TError>(connection, QStringLiteral("Provider=SQLOLEDB.1;Data "
                                                               "Source=x"))
                    .contains(QStringLiteral("SQLOLEDB.1")));
    EXPECT_TRUE(OpenFailure<TError>(connection, QString()).contains(QStringLiteral("пуста")));
    // No data source of that name and no Oracle driver installed on the test bed.
    const QString no_driver =
        OpenFailure<TError>(connection, testbed::OraOleDbString(QStringLiteral("ORCL_NOWHERE")));
    EXPECT_TRUE(no_driver.contains(QStringLiteral("Не найден ODBC-драйвер Oracle")));
    EXPECT_TRUE(no_driver.contains(QStringLiteral("ORCL_NOWHERE")));

    // After all of it the same object still opens.
    connection.SetConnectionString(testbed::BridgeString());
    connection.Open();
    EXPECT_EQ(Scalar(connection, QStringLiteral("SELECT 2")), "2");
}

TEST_P(OdbcTest, StatementsRowsAndErrors) {
    Exec(connection, QStringLiteral("CREATE TEMP TABLE t (id int, name varchar(20))"));
    TDbQuery query(connection);
    query.Add(QStringLiteral("INSERT INTO t VALUES (1, 'one'),"));
    query.Add(QStringLiteral("(2, 'two'), (3, NULL)"));
    EXPECT_EQ(query.Text(), "INSERT INTO t VALUES (1, 'one'),\n(2, 'two'), (3, NULL)");
    query.ExecSQL();
    EXPECT_FALSE(query.Active());

    // Touching no row is not a failure.
    query.SetText(QStringLiteral("DELETE FROM t WHERE id > 100"));
    query.ExecSQL();

    query.SetText(QStringLiteral("SELECT id, name AS Name FROM t ORDER BY id"));
    query.Open();
    EXPECT_TRUE(query.Active());
    ASSERT_EQ(query.FieldCount(), 2);
    QStringList seen;
    for (; !query.Eof(); query.Next()) {
        seen << QString::number(query.FieldByName(QStringLiteral("ID")).AsInteger()) + u'=' +
                    query.FieldByName(QStringLiteral("nAmE")).AsString();
    }
    EXPECT_EQ(seen.join(u','), "1=one,2=two,3=");
    EXPECT_THROW(query.FieldByName(QStringLiteral("missing")), TError);
    query.Close();
    EXPECT_FALSE(query.Active());
    EXPECT_TRUE(query.Eof());

    query.SetText(QStringLiteral("SELECT COUNT(*) FROM t WHERE false"));
    query.Open();
    EXPECT_EQ(query.Field(0).AsInteger(), 0);
    query.SetText(QStringLiteral("SELECT id FROM t WHERE false"));
    query.Open();
    EXPECT_TRUE(query.Eof());

    query.SetText(QStringLiteral("SELECT * FROM no_such_table"));
    try {
        query.Open();
        ADD_FAILURE() << "no error";
    } catch (const TDbError& e) {
        EXPECT_EQ(e.SqlState(), "42P01");
        EXPECT_TRUE(e.Message().contains(QStringLiteral("no_such_table")));
        ASSERT_FALSE(e.Diagnostics().isEmpty());
        EXPECT_TRUE(e.Diagnostics()[0].startsWith(QStringLiteral("[42P01]")));
    }
    EXPECT_FALSE(query.Active());

    // Closing the connection ends its statements; running one then is a clear error.
    query.SetText(QStringLiteral("SELECT 1"));
    query.Open();
    connection.Close();
    EXPECT_FALSE(query.Active());
    EXPECT_THROW(query.Open(), TDbError);
    connection.Open();
    query.Open();
    EXPECT_EQ(query.Field(0).AsString(), "1");
}

TEST_P(OdbcTest, FieldCategoriesAndValues) {
    TDbQuery query(connection);
    query.SetText(QStringLiteral(
        "SELECT 42::int AS i, 9000000000::bigint AS big, 12.500::numeric(12,3) AS num,"
        " 1.5::real AS r, 2.25::double precision AS d, 'abc'::varchar(10) AS v,"
        " 'long text'::text AS t, DATE '2024-02-29' AS dt,"
        " TIMESTAMP '2024-02-29 13:45:07.250' AS ts, TIMESTAMP '2024-03-01 00:00:00' AS mid,"
        " TIME '08:09:10' AS tm, '\\x00ff41'::bytea AS b, true AS flag, 'ab'::char(3) AS c,"
        " NULL::int AS ni, NULL::timestamp AS nts, NULL::bytea AS nb, NULL::text AS nt,"
        " NULL::float8 AS nf, 7.000::numeric(8,3) AS whole"));
    query.Open();
    ASSERT_FALSE(query.Eof());
    auto f = [&](const char* name) -> const TDbField& {
        return query.FieldByName(QString::fromLatin1(name));
    };
    EXPECT_EQ(f("i").Category(), TFieldCategory::Other);
    EXPECT_EQ(f("i").AsInteger(), 42);
    EXPECT_EQ(f("big").AsInteger(), 9000000000LL);
    EXPECT_EQ(f("num").AsString(), "12.500");
    EXPECT_THROW(f("num").AsInteger(), TConvertError);
    EXPECT_EQ(f("r").Category(), TFieldCategory::Float);
    EXPECT_EQ(f("r").AsString(), "1.5");
    EXPECT_EQ(f("d").Category(), TFieldCategory::Float);
    EXPECT_EQ(f("d").AsString(), "2.25");
    EXPECT_EQ(f("v").AsString(), "abc");
    EXPECT_EQ(f("t").AsString(), "long text");
    EXPECT_EQ(f("dt").Category(), TFieldCategory::DateTime);
    EXPECT_EQ(f("dt").AsString(), "2024-02-29");
    EXPECT_EQ(f("ts").AsString(), "2024-02-29 13:45:07.250000");
    EXPECT_EQ(f("ts").AsDateTime().time().msec(), 250);
    EXPECT_EQ(f("ts").AsDateTime().date(), QDate(2024, 2, 29));
    EXPECT_EQ(f("mid").AsString(), "2024-03-01");
    EXPECT_EQ(f("tm").Category(), TFieldCategory::DateTime);
    EXPECT_EQ(f("tm").AsDateTime().time(), QTime(8, 9, 10));
    EXPECT_EQ(f("b").Category(), TFieldCategory::LargeBinary);
    EXPECT_EQ(f("b").AsBytes(), QByteArray("\x00\xff\x41", 3));
    EXPECT_EQ(f("flag").AsString(), "1");
    EXPECT_EQ(f("c").AsString(), "ab ");
    EXPECT_THROW(f("v").AsInteger(), TConvertError);
    for (const char* name : {"ni", "nts", "nb", "nt", "nf"}) {
        EXPECT_TRUE(f(name).IsNull()) << name;
        EXPECT_EQ(f(name).AsString(), QString()) << name;
        EXPECT_EQ(f(name).AsInteger(), 0) << name;
    }
    EXPECT_EQ(f("whole").AsInteger(), 7);
    EXPECT_FALSE(f("i").IsNull());
    EXPECT_EQ(f("nts").Category(), TFieldCategory::DateTime);
    EXPECT_EQ(f("nb").Category(), TFieldCategory::LargeBinary);
}

TEST(OdbcConnect, StatementOutlivingItsConnection) {
    auto connection = std::make_unique<TDbConnection>();
    connection->SetConnectionString(testbed::BridgeString(QStringLiteral("PostgreSQL_Stream")));
    connection->Open();
    TDbQuery query(*connection);
    TDbTable table(*connection);
    query.SetText(QStringLiteral("SELECT g FROM generate_series(1, 10) g"));
    query.Open();
    table.SetTableName(QStringLiteral("pg_class"));
    table.Open();
    connection.reset();
    EXPECT_FALSE(query.Active());
    EXPECT_FALSE(table.Active());
    EXPECT_TRUE(query.Eof());
    EXPECT_THROW(query.Open(), TDbError);
    EXPECT_THROW(table.Open(), TDbError);
}
