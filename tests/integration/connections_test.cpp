// Connection strings built by the builder open real connections on the test bed, the data
// source list sees only PostgreSQL drivers, and the target's date format is read from the
// Oracle dictionary emulation.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "db/connect_string_builder.h"
#include "db/connection_string.h"
#include "db/odbc.h"
#include "db/server_kind.h"
#include "ora_emulation.h"
#include "schema/ora_time_format.h"
#include "schema/table_model.h"

namespace {

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

class ConnectionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
    }
};

TEST_F(ConnectionsTest, BuiltStringsOpenAndTellTheServerKind) {
    TConnectStringFields f;
    f.provider = kProviderPostgres;
    f.source = QStringLiteral("PostgreSQL_Test");
    f.server = QStringLiteral("127.0.0.1");
    f.port = OraEmulTestbedValue(QStringLiteral("PGPORT"));
    f.password_postgres = OraEmulTestbedValue(QStringLiteral("PGPASSWORD"));
    ASSERT_TRUE(ButtonOkEnabled(f));
    {
        TDbConnection connection;
        connection.SetConnectionString(BuildConnectString(f));
        connection.Open();
        EXPECT_EQ(GetTypeDb(connection.ConnectionString()), kDbPostgres);
    }
    // A PostgreSQL data source whose name holds "ORA" counts as Oracle: the text decides.
    f.source = QStringLiteral("ORA_PG");
    {
        TDbConnection connection;
        connection.SetConnectionString(BuildConnectString(f));
        connection.Open();
        EXPECT_EQ(GetTypeDb(connection.ConnectionString()), kDbOracle);
    }

    ASSERT_TRUE(OraEmulLoad().isEmpty());
    TConnectStringFields ora;
    ora.db_oracle = QStringLiteral("ORA_EMUL");
    ora.user_oracle = QLatin1String(kOraEmulSrc.user);
    ora.password_oracle = QLatin1String(kOraEmulSrc.password);
    for (int provider : {kProviderOraOleDb, kProviderMsDaOra}) {
        ora.provider = provider;
        TDbConnection connection;
        connection.SetConnectionString(BuildConnectString(ora));
        connection.Open();
        EXPECT_EQ(GetTypeDb(connection.ConnectionString()), kDbOracle);
    }
}

TEST_F(ConnectionsTest, OdbcListOfTheTestBed) {
    const QStringList sources = LoadOdbcList();
    for (const char* name : {"PostgreSQL_Test", "PostgreSQL_Stream", "ORA_EMUL", "ORA_PG"}) {
        EXPECT_TRUE(sources.contains(QLatin1String(name))) << name;
    }
}

// Only data sources of PostgreSQL drivers are listed, whatever their own names say.
TEST(OdbcList, OnlyPostgresDrivers) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath("odbcinst.ini"),
              "[PostgreSQL Unicode]\n"
              "Driver = /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n"
              "\n"
              "[Acme Text]\n"
              "Driver = /nonexistent/libacmetext.so\n");
    WriteFile(dir.filePath("odbc.ini"),
              "[First_PG]\n"
              "Driver = PostgreSQL Unicode\n"
              "\n"
              "[PostgreSQL_Lookalike]\n"
              "Driver = Acme Text\n"
              "\n"
              "[Warehouse]\n"
              "Driver = PostgreSQL Unicode\n");
    WriteFile(dir.filePath("user.ini"),
              "[Files]\n"
              "Driver = Acme Text\n");
    qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
    qputenv("ODBCINI", dir.filePath("user.ini").toLocal8Bit());

    const QStringList sources = LoadOdbcList();
    EXPECT_EQ(sources, QStringList({"First_PG", "Warehouse"}));
    EXPECT_TRUE(ComboSourceEnabled(sources));

    WriteFile(dir.filePath("odbc.ini"), "[Only]\nDriver = PostgreSQL Unicode\n");
    const QStringList one = LoadOdbcList();
    EXPECT_EQ(one, QStringList({"Only"}));
    EXPECT_FALSE(ComboSourceEnabled(one));

    WriteFile(dir.filePath("odbc.ini"), "");
    EXPECT_TRUE(LoadOdbcList().isEmpty());
}

// Of several installed Oracle drivers the newest is taken, and when its library does not load,
// the message says which driver, which file and what else to check.
TEST(OracleDriver, NewestIsTakenAndAFailedLoadNamesWhatToCheck) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath("odbcinst.ini"),
              "[PostgreSQL Unicode]\n"
              "Driver = /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n"
              "\n"
              "[Oracle 19 ODBC driver]\n"
              "Driver = /nonexistent/instantclient_19_3/libsqora.so.19.1\n"
              "\n"
              "[Oracle in instantclient_21_12]\n"
              "Driver = /nonexistent/instantclient_21_12/libsqora.so.21.1\n"
              "\n"
              "[Oracle in instantclient_21_9]\n"
              "Driver = /nonexistent/instantclient_21_9/libsqora.so.21.1\n");
    WriteFile(dir.filePath("odbc.ini"), "");
    qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
    qputenv("ODBCINI", dir.filePath("odbc.ini").toLocal8Bit());

    const TOdbcInstalled installed = InstalledOdbc();
    EXPECT_EQ(installed.drivers.size(), 4);
    EXPECT_EQ(installed.driver_libraries.value(QStringLiteral("Oracle in instantclient_21_12")),
              "/nonexistent/instantclient_21_12/libsqora.so.21.1");

    TDbConnection connection;
    connection.SetConnectionString(
        QStringLiteral("Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=hr;"
                       "Data Source=dbhost:1521/ORCLPDB1;Password=secret"));
    try {
        connection.Open();
        ADD_FAILURE() << "opened without a driver library";
    } catch (const TDbError& e) {
        for (const char* part : {"«Oracle in instantclient_21_12»",
                                 "/nonexistent/instantclient_21_12/libsqora.so.21.1", "libaio",
                                 "odbcinst.ini", "LD_LIBRARY_PATH"}) {
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(part))) << part << "\n"
                                                                       << e.Message().toStdString();
        }
    }
    EXPECT_FALSE(connection.Connected());
}

class OraTimeFormatTest : public ConnectionsTest {
protected:
    void SetUp() override {
        ConnectionsTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        const QString error = OraEmulLoad();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    void SetFormat(const QString& value_sql) {
        const QString error = OraEmulExec("UPDATE ora_meta.settings SET value = " + value_sql +
                                          " WHERE name = 'nls_date_format'");
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    TDbConnection connection_;
    TDbQuery query_{connection_};
};

TEST_F(OraTimeFormatTest, PostgresTargetIsNotAsked) {
    // Never opened: a statement would fail.
    EXPECT_EQ(GetOraTimeFormat(query_, kDbPostgres, true), "");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbUnknown, false), "");
}

TEST_F(OraTimeFormatTest, ReadsTheTargetParameter) {
    connection_.SetConnectionString(OraEmulConnectString(kOraEmulSrc));
    connection_.Open();
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, true), "DD.MM.YYYY HH24:MI:SS");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, false), "DD.MM.YYYY HH:NN:SS");
    EXPECT_FALSE(query_.Active());

    // The conversion is case-sensitive and translates nothing else.
    SetFormat("'dd.mm.yyyy hh24:mi:ss'");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, false), "dd.mm.yyyy hh24:mi:ss");
    SetFormat("'DD-MON-RR'");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, false), "DD-MON-RR");

    SetFormat("NULL");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, true), "");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, false), "");
}

TEST_F(OraTimeFormatTest, RefusedQueryReachesTheCaller) {
    // A PostgreSQL target has no V$PARAMETER; asked as if it were Oracle, the error comes out.
    connection_.SetConnectionString(
        QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended "
                       "Properties=\"DSN=PostgreSQL_Test\""));
    connection_.Open();
    EXPECT_THROW(GetOraTimeFormat(query_, kDbOracle, true), TDbError);
}

}  // namespace
