// Value forms through the real ODBC field, on both fetch paths: fractions of seconds, dates
// before year 1 and the first and last legal dates, zoned values under sessions in different
// zones, floating-point signs and specials, decimals; and the session set-up each connection
// gets, as exact texts through the statement log.

#include <gtest/gtest.h>

#include "db/odbc.h"
#include "db/odbc_statement.h"
#include "odbc_paths.h"
#include "testbed.h"

namespace {

// A role whose sessions start in another zone and with another date style than ours.
constexpr char kZoneUser[] = "skerrow_zone_src";
constexpr char kZonePassword[] = "zone_pass";

void Exec(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.ExecSQL();
}

QString Scalar(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.Open();
    return query.Field(0).AsString();
}

class OdbcValuesTest : public ::testing::TestWithParam<TOdbcPath> {
protected:
    static void SetUpTestSuite() {
        testbed::AdminExec(
            QStringLiteral(
                "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN"
                " CREATE ROLE %1 LOGIN PASSWORD '%2'; END IF; END $$")
                .arg(QLatin1String(kZoneUser), QLatin1String(kZonePassword)));
        testbed::AdminExec(QStringLiteral("ALTER ROLE %1 SET timezone = 'America/New_York'")
                               .arg(QLatin1String(kZoneUser)));
        testbed::AdminExec(QStringLiteral("ALTER ROLE %1 SET DateStyle = 'SQL, DMY'")
                               .arg(QLatin1String(kZoneUser)));
    }
    static void TearDownTestSuite() {
        testbed::AdminExec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(QLatin1String(kZoneUser)));
    }

    // The source as the wizard reaches it: an Oracle-form string, here to a server that only
    // emulates Oracle, logged in as a role whose sessions start elsewhere.
    void OpenSource() {
        source.SetConnectionString(testbed::OraOleDbString(
            QStringLiteral("ORA_PG"), QLatin1String(kZoneUser), QLatin1String(kZonePassword)));
        source.Open();
        ASSERT_EQ(source.OracleCapabilities(), GetParam() == TOdbcPath::Oracle);
    }

    TOdbcPathScope path{GetParam()};
    TDbConnection source;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Paths, OdbcValuesTest, OdbcPaths(), OdbcPathName);

TEST_P(OdbcValuesTest, DateTimesKeepFractionsAndEras) {
    OpenSource();
    const struct {
        const char* sql;
        const char* text;
    } cases[] = {
        {"TIMESTAMP '2024-01-05 00:00:00.5'", "2024-01-05 00:00:00.500000"},
        {"TIMESTAMP '2024-01-05 10:07:09.123456'", "2024-01-05 10:07:09.123456"},
        {"TIMESTAMP '2024-03-01 00:00:00'", "2024-03-01"},
        {"DATE '2024-02-29'", "2024-02-29"},
        {"'0044-03-15 12:00:00 BC'::timestamp(0)", "0044-03-15 12:00:00 BC"},
        // The first dates of both systems (Oracle's 4712 BC, PostgreSQL's 4714-11-24 BC) and
        // the last of Oracle's.
        {"'4712-01-01 00:00:00 BC'::timestamp(0)", "4712-01-01 BC"},
        {"'4714-11-24 00:00:00 BC'::timestamp(0)", "4714-11-24 BC"},
        {"'0001-01-01 00:00:00'::timestamp(0)", "0001-01-01"},
        {"'9999-12-31 23:59:59'::timestamp(0)", "9999-12-31 23:59:59"},
        {"'9999-12-31 23:59:59.999999'::timestamp(6)", "9999-12-31 23:59:59.999999"},
        // A wall-clock time that does not exist in the session's original zone stays as it is.
        {"TIMESTAMP '2024-03-10 02:30:00'", "2024-03-10 02:30:00"},
    };
    QStringList select;
    for (const auto& c : cases) {
        select << QString::fromLatin1(c.sql);
    }
    TDbQuery query(source);
    query.SetText(QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")));
    query.Open();
    ASSERT_FALSE(query.Eof());
    for (int i = 0; i < query.FieldCount(); ++i) {
        const TDbField& field = query.Field(i);
        EXPECT_EQ(field.Category(), TFieldCategory::DateTime) << cases[i].sql;
        const QString text = field.AsString();
        EXPECT_EQ(text, QString::fromLatin1(cases[i].text)) << cases[i].sql;
        // The server reads the text back as the same value.
        EXPECT_EQ(Scalar(source, QStringLiteral("SELECT CASE WHEN '%1'::timestamp = %2 THEN 'same'"
                                                " ELSE 'moved' END")
                                     .arg(text, QString::fromLatin1(cases[i].sql))),
                  "same")
            << cases[i].sql;
    }
    EXPECT_EQ(query.Field(4).AsDateTime().date(), QDate(-44, 3, 15));
    EXPECT_EQ(query.Field(0).AsDateTime().time(), QTime(0, 0, 0, 500));
}

// Zoned values keep their instant whatever zone either session starts in: the source's role
// starts west of UTC, the target's database east of it.
TEST_P(OdbcValuesTest, ZonedValuesKeepTheirInstant) {
    OpenSource();
    testbed::CreateDatabase(QStringLiteral("skerrow_zones"));
    testbed::AdminExec(
        QStringLiteral("ALTER DATABASE skerrow_zones SET timezone = 'Europe/Moscow'"));
    TDbConnection target;
    target.SetConnectionString(
        testbed::BridgeString(QStringLiteral("PostgreSQL_Test"), QStringLiteral("skerrow_zones")));
    target.Open();
    Exec(target, QStringLiteral("CREATE TABLE z (n int, tz timestamptz, ts timestamp(6))"));

    const struct {
        const char* tz;
        const char* ts;
        const char* tz_text;
        const char* ts_text;
    } rows[] = {
        {"2024-01-05 10:07:09+00", "2024-01-05 10:07:09", "2024-01-05 10:07:09+00:00",
         "2024-01-05 10:07:09"},
        {"2024-07-01 23:30:00.25-04:00", "2024-07-01 23:30:00.25",
         "2024-07-02 03:30:00.250000+00:00", "2024-07-01 23:30:00.250000"},
        {"2024-01-05 00:00:00+00", "2024-01-05 00:00:00", "2024-01-05 00:00:00+00:00",
         "2024-01-05"},
        {"0044-03-15 12:00:00+00 BC", "0044-03-15 12:00:00 BC", "0044-03-15 12:00:00+00:00 BC",
         "0044-03-15 12:00:00 BC"},
    };
    TDbQuery query(source);
    for (const auto& row : rows) {
        query.SetText(QStringLiteral("SELECT TIMESTAMPTZ '%1' AS tz, TIMESTAMP '%2' AS ts")
                          .arg(QLatin1String(row.tz), QLatin1String(row.ts)));
        query.Open();
        EXPECT_EQ(query.Field(0).Category(), TFieldCategory::DateTime);
        const QString tz = query.Field(0).AsString();
        const QString ts = query.Field(1).AsString();
        EXPECT_EQ(tz, QLatin1String(row.tz_text)) << row.tz;
        EXPECT_EQ(ts, QLatin1String(row.ts_text)) << row.ts;
        // Written as the copy writes text values, once in our session and once in a session
        // that runs east of UTC.
        for (const char* zone : {"UTC", "Europe/Moscow"}) {
            Exec(target, QStringLiteral("SET TIME ZONE '%1'").arg(QLatin1String(zone)));
            Exec(target, QStringLiteral("INSERT INTO z VALUES (1, '%1', '%2')").arg(tz, ts));
        }
    }
    Exec(target, QStringLiteral("SET TIME ZONE 'UTC'"));
    TDbQuery check(target);
    check.SetText(QStringLiteral("SELECT tz, ts FROM z"));
    check.Open();
    QStringList read;
    for (; !check.Eof(); check.Next()) {
        read << check.Field(0).AsString() + u'|' + check.Field(1).AsString();
    }
    QStringList expected;
    for (const auto& row : rows) {
        expected << QLatin1String(row.tz_text) + u'|' + QLatin1String(row.ts_text);
        expected << expected.last();
    }
    read.sort();
    expected.sort();
    EXPECT_EQ(read, expected);
    EXPECT_EQ(Scalar(target, QStringLiteral("SELECT count(*) FROM z WHERE tz = TIMESTAMPTZ"
                                            " '2024-01-05 10:07:09+00'")),
              "2");
    target.Close();
    testbed::DropDatabase(QStringLiteral("skerrow_zones"));
}

TEST_P(OdbcValuesTest, NumbersAndFloats) {
    OpenSource();
    TDbQuery query(source);
    query.SetText(QStringLiteral(
        "SELECT '-0'::float8, '-0'::float4, '1.1'::float4, '0.1'::float8, '1e300'::float8,"
        " 'Infinity'::float8, '-Infinity'::float4, 'NaN'::float8, 12.50::numeric(12,2),"
        " 123456789012345678901234567890.123::numeric, -5::int, 0.5::numeric,"
        " 9000000000::bigint, 1e-60::numeric"));
    query.Open();
    const QStringList expected = {"-0",         "-0",
                                  "1.1",        "0.1",
                                  "1e+300",     "Infinity",
                                  "-Infinity",  "NaN",
                                  "12.50",      "123456789012345678901234567890.123",
                                  "-5",         "0.5",
                                  "9000000000", "0." + QString(59, u'0') + "1"};
    ASSERT_EQ(query.FieldCount(), expected.size());
    QString buffer;
    for (int i = 0; i < query.FieldCount(); ++i) {
        EXPECT_EQ(query.Field(i).AsString(), expected[i]) << i;
        EXPECT_EQ(query.Field(i).StringView(buffer).toString(), expected[i]) << i;
        EXPECT_EQ(query.Field(i).Category(), i < 8 ? TFieldCategory::Float : TFieldCategory::Other)
            << i;
    }
    EXPECT_EQ(query.Field(12).AsInteger(), 9000000000LL);
}

TEST(OdbcSession, OracleConnectionsGetFixedSettings) {
    const QStringList oracle = {
        "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'",
        "ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'",
        "ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF6'",
        "ALTER SESSION SET NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF6 TZH:TZM'",
        "ALTER SESSION SET NLS_SORT = BINARY",
        "ALTER SESSION SET NLS_COMP = BINARY",
        "ALTER SESSION SET TIME_ZONE = '+00:00'",
    };
    TDbConnection connection;
    // Set before the first Open: the settings must outlive a rollback.
    connection.SetAutoCommit(false);
    for (const QString& text : {testbed::OraOleDbString(), testbed::MsdaoraString(),
                                testbed::BridgeString(QStringLiteral("ORA_PG"))}) {
        connection.ClearStatementLog();
        connection.SetConnectionString(text);
        connection.Open();
        EXPECT_TRUE(connection.OracleSession()) << text.toStdString();
        EXPECT_TRUE(connection.EmulatedOracle());
        EXPECT_EQ(connection.DbmsName(), "PostgreSQL");
        EXPECT_EQ(connection.StatementLog(), oracle);
        connection.Rollback();
        // The emulation's equivalents of those settings are what ran.
        EXPECT_EQ(Scalar(connection, QStringLiteral("SHOW timezone")), "UTC");
        EXPECT_EQ(Scalar(connection, QStringLiteral("SHOW DateStyle")), "ISO, YMD");
        EXPECT_EQ(Scalar(connection, QStringLiteral("SHOW lc_numeric")), "C");
        connection.Rollback();
    }

    // A PostgreSQL session gets its zone only; the log records statements while it is on.
    connection.ClearStatementLog();
    connection.SetAutoCommit(true);
    connection.SetConnectionString(testbed::BridgeString());
    connection.Open();
    EXPECT_FALSE(connection.OracleSession());
    EXPECT_EQ(connection.StatementLog(), QStringList({"SET TIME ZONE 'UTC'"}));
    connection.SetStatementLog(true);
    Scalar(connection, QStringLiteral("SELECT 1"));
    connection.Open();
    EXPECT_EQ(connection.StatementLog(),
              QStringList({"SET TIME ZONE 'UTC'", "SELECT 1", "SET TIME ZONE 'UTC'"}));
}

TEST(OdbcSession, CapabilitySwitch) {
    const TOdbcPathScope own(TOdbcPath::Driver);
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString());
    {
        TOdbcPathScope path(TOdbcPath::Oracle);
        connection.Open();
        EXPECT_TRUE(connection.OracleCapabilities());
        EXPECT_EQ(connection.Impl().getdata_extensions, 0u);
    }
    connection.Open();
    EXPECT_FALSE(connection.OracleCapabilities());
    qputenv("SKERROW_ODBC_CAPS", "oracel");
    try {
        connection.Open();
        ADD_FAILURE() << "a mistyped switch was taken";
    } catch (const TError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("SKERROW_ODBC_CAPS")));
    }
    qunsetenv("SKERROW_ODBC_CAPS");
    EXPECT_FALSE(connection.Connected());
}
