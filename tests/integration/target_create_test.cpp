// Creation of a PostgreSQL target on the test bed: drop and re-create of role and database,
// reconnection into the new database, the script, the grants and the texts of failures.

#include "ddl/target_create.h"

#include <gtest/gtest.h>

#include "copy_testbed.h"
#include "db/odbc.h"
#include "ora_emulation.h"

namespace {

const QString kUser = QStringLiteral("postgres_h7t");

class TargetCreateTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CopyTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
    }

    TTargetSpec Spec(const QString& script) const {
        TTargetSpec spec;
        spec.db_to = kDbPostgres;
        spec.connect_to = testbed::BridgeString();
        spec.user = kUser;
        spec.password = "pw h7";
        spec.script = script;
        return spec;
    }

    TDbConnection connection_to;
    TDbQuery query_to{connection_to};
    int prepared = 0;
    std::function<void()> prepare = [this] { ++prepared; };
};

TEST_F(TargetCreateTest, PostgresTargetIsCreatedAndEntered) {
    // Colons of casts are no parameters; the whole text goes as one statement.
    const QString script =
        "CREATE TABLE A (ID INTEGER PRIMARY KEY, S VARCHAR(10) DEFAULT 'x'::varchar);\r\n"
        "CREATE TABLE B (ID SERIAL, T TIMESTAMP DEFAULT '2024-01-02 03:04:05');\r\n";
    TTargetResult result = CreateTarget(Spec(script), connection_to, query_to, prepare);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(prepared, 1);
    EXPECT_TRUE(result.version.startsWith("PostgreSQL")) << result.version.toStdString();
    EXPECT_TRUE(query_to.ParamCheck());

    // The target connection stands in the new database with the administrative login.
    query_to.SetText("SELECT current_database() || '/' || current_user");
    query_to.Open();
    EXPECT_EQ(query_to.Field(0).AsString(), kUser + "/postgres");
    query_to.Close();
    EXPECT_EQ(PgValue("postgres",
                      "SELECT pg_encoding_to_char(encoding) || ' ' || "
                      "pg_get_userbyid(datdba) FROM pg_database WHERE datname = '" +
                          kUser + "'"),
              "UTF8 " + kUser);

    // The new role logs in with its password and may write to the tables and sequences.
    PgExec(kUser, {"INSERT INTO A (ID) VALUES (1)"});
    {
        TDbConnection as_owner;
        as_owner.SetConnectionString(
            "Provider=MSDASQL.1;Extended Properties=\"DSN=PostgreSQL_Test;DATABASE=" + kUser +
            ";UID=" + kUser + ";PWD={pw h7}\"");
        as_owner.Open();
        TDbQuery query(as_owner);
        query.SetText("INSERT INTO B (ID) VALUES (DEFAULT)");
        query.ExecSQL();
        query.SetText("SELECT S FROM A");
        query.Open();
        EXPECT_EQ(query.Field(0).AsString(), "x");
    }

    // Running the step again starts from an empty database.
    result = CreateTarget(Spec(script), connection_to, query_to, prepare);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(prepared, 2);
    EXPECT_EQ(PgValue(kUser, "SELECT COUNT(*) FROM A"), "0");
}

TEST_F(TargetCreateTest, FailuresGiveTheMessageAndSkipThePreparation) {
    TTargetResult result = CreateTarget(Spec("CREATE TABLE A (ID INTEGER);\nCREATE TABLE ("),
                                        connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(prepared, 0);
    EXPECT_TRUE(result.error.contains("syntax error")) << result.error.toStdString();
    // A PostgreSQL target shows the message alone.
    EXPECT_FALSE(result.error.contains("CREATE TABLE ("));
    EXPECT_TRUE(query_to.ParamCheck());

    // An apostrophe in the password breaks CREATE ROLE; nothing after it runs.
    TTargetSpec spec = Spec("CREATE TABLE A (ID INTEGER);");
    spec.password = "it's";
    result = CreateTarget(spec, connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(prepared, 0);
    EXPECT_EQ(query_to.Text().left(11), "CREATE ROLE");

    // A failing preparation counts as a failure of the step.
    result = CreateTarget(Spec("CREATE TABLE A (ID INTEGER);"), connection_to, query_to,
                          [] { throw TError("addi.dat unreadable"); });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "addi.dat unreadable");
}

TEST_F(TargetCreateTest, OracleFailureTextEndsWithTheStatement) {
    // A server without the version view fails at once; the text names the query.
    TTargetSpec spec = Spec("CREATE TABLE A (ID NUMBER)%");
    spec.db_to = kDbOracle;
    spec.user = "NEWU";
    TTargetResult result = CreateTarget(spec, connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.endsWith(": " + kOraVersionSql)) << result.error.toStdString();

    // On the dictionary emulation the version is read, the three statements whose errors are
    // expected are passed over, and CREATE USER is the one that stops the sequence.
    if (!OraEmulLoad().isEmpty()) {
        GTEST_SKIP() << "Oracle emulation not loadable";
    }
    spec.connect_to = OraEmulConnectString(kOraEmulSrc);
    result = CreateTarget(spec, connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.version.startsWith("Oracle")) << result.version.toStdString();
    EXPECT_TRUE(result.error.endsWith(": " + OraCreateUserSteps("NEWU", "pw h7")[3].sql))
        << result.error.toStdString();
    EXPECT_EQ(prepared, 0);
}

}  // namespace
