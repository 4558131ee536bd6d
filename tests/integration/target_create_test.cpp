// Creation of a PostgreSQL target on the test bed: drop and re-create of role and database,
// reconnection into the new database, the script, the owner of what it made, the texts of
// failures; logins with hostile passwords through both connection-string forms; the script
// statement that succeeds with a warning.

#include "ddl/target_create.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "copy_testbed.h"
#include "db/connection_string.h"
#include "db/odbc.h"
#include "db/sql_text.h"
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

    // Logs in with the connection string; the login the server sees, or the error.
    static QString LoginAs(const QString& connection_string) {
        try {
            TDbConnection connection;
            connection.SetConnectionString(connection_string);
            connection.Open();
            TDbQuery query(connection);
            query.SetText("SELECT current_user");
            query.Open();
            return query.Field(0).AsString();
        } catch (const TError& e) {
            return "error: " + e.Message();
        }
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
        "CREATE TABLE B (ID SERIAL, T TIMESTAMP DEFAULT '2024-01-02 03:04:05');\r\n"
        "CREATE SEQUENCE FREE_SEQ;\r\nCREATE VIEW V AS SELECT ID FROM A;\r\n";
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
    // The new role owns what the script made, the serial's sequence included.
    EXPECT_EQ(PgColumn(kUser,
                       "SELECT relname || ' ' || pg_get_userbyid(relowner) FROM pg_class WHERE "
                       "relnamespace = 'public'::regnamespace AND relkind IN ('r', 'S', 'v') "
                       "ORDER BY relname"),
              QStringList({"a " + kUser, "b " + kUser, "b_id_seq " + kUser, "free_seq " + kUser,
                           "v " + kUser}));

    // The new role logs in with its password, writes to the tables and sequences, and may
    // alter and drop them.
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
        query.SetText("ALTER TABLE A ADD COLUMN Z INTEGER");
        query.ExecSQL();
        query.SetText("SELECT S FROM A");
        query.Open();
        EXPECT_EQ(query.Field(0).AsString(), "x");
        query.Close();
        query.SetText("DROP VIEW V");
        query.ExecSQL();
    }

    // Running the step again starts from an empty database (no questions: asked unasked).
    result = CreateTarget(Spec(script), connection_to, query_to, prepare);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(prepared, 2);
    EXPECT_EQ(PgValue(kUser, "SELECT COUNT(*) FROM A"), "0");
}

TEST_F(TargetCreateTest, FailuresNameTheStatementAndSkipThePreparation) {
    TTargetResult result = CreateTarget(Spec("CREATE TABLE A (ID INTEGER);\nCREATE TABLE ("),
                                        connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(prepared, 0);
    EXPECT_TRUE(result.error.contains("syntax error")) << result.error.toStdString();
    // The script is named with the statement it stopped at, not repeated.
    EXPECT_TRUE(
        result.error.endsWith(": Sql-скрипт новой БД, команда 2 (строка 2): CREATE TABLE ("))
        << result.error.toStdString();
    EXPECT_FALSE(result.error.contains("CREATE TABLE A"));
    // The search for it leaves the connection committing by itself again.
    EXPECT_TRUE(connection_to.AutoCommit());

    // A statement refused in the middle of a longer script, after a function body whose
    // semicolons are no ends of statements.
    result = CreateTarget(Spec("CREATE TABLE A (ID INTEGER);\n"
                               "CREATE FUNCTION F() RETURNS integer AS $$\nBEGIN\n  RETURN 1;\n"
                               "END;\n$$ LANGUAGE plpgsql;\n"
                               "-- a comment; with a semicolon\n"
                               "INSERT INTO A VALUES ('x;y');\n"
                               "CREATE TABLE B (ID INTEGER);"),
                          connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.endsWith(
        ": Sql-скрипт новой БД, команда 3 (строка 8): INSERT INTO A VALUES ('x;y')"))
        << result.error.toStdString();
    EXPECT_TRUE(query_to.ParamCheck());

    // A connection that fails says so, not which statement ran last.
    TTargetSpec spec = Spec("CREATE TABLE A (ID INTEGER);");
    spec.connect_to = testbed::BridgeString("PostgreSQL_Test", "postgres", "wrong");
    result = CreateTarget(spec, connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.endsWith(": подключение к серверу конечной БД"))
        << result.error.toStdString();

    // A failing preparation counts as a failure of the step, with its own message.
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

    // On the dictionary emulation the version and the login are read; the look-up of an
    // existing user (which the emulation has no view for) stops the sequence before anything
    // is dropped or created.
    if (!OraEmulLoad().isEmpty()) {
        GTEST_SKIP() << "Oracle emulation not loadable";
    }
    spec.connect_to = OraEmulConnectString(kOraEmulSrc);
    result = CreateTarget(spec, connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.version.startsWith("Oracle")) << result.version.toStdString();
    EXPECT_TRUE(result.error.endsWith(": " + OraExistingUserSql("NEWU", result.version)))
        << result.error.toStdString();
    EXPECT_EQ(prepared, 0);

    // The administrative login itself is refused by name.
    spec.user = QLatin1String(kOraEmulSrc.user);
    result = CreateTarget(spec, connection_to, query_to, prepare);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("пользователь строки подключения"))
        << result.error.toStdString();
}

TEST_F(TargetCreateTest, HostilePasswordsLogInThroughBothConnectionForms) {
    const QString role = QStringLiteral("skerrow_rt");
    const QString quoted = role;
    for (const QString& password :
         {QStringLiteral("a;b"), QStringLiteral("p}w{"), QStringLiteral("it's"),
          QStringLiteral("say \"hi\""), QStringLiteral("\"lead"), QStringLiteral("'lead"),
          QStringLiteral("back\\slash"), QStringLiteral("k=v"), QStringLiteral(" blank "),
          QStringLiteral("пароль"), QStringLiteral("x' ; CREATE ROLE evil SUPERUSER; --")}) {
        SCOPED_TRACE(password.toStdString());
        testbed::AdminExec("DROP ROLE IF EXISTS " + quoted);
        testbed::AdminExec("CREATE ROLE " + quoted + " LOGIN PASSWORD " + PgLiteral(password));
        const QString bridge =
            SetConnectKey(SetConnectKey(testbed::BridgeString(), TConnectKey::User, role),
                          TConnectKey::Password, password);
        EXPECT_EQ(LoginAs(bridge).toStdString(), role.toStdString());
        // The reconnection of an Oracle target, on a data source of the test bed.
        const QString oracle =
            OraTargetConnectionString(testbed::OraOleDbString("ORA_PG"), role, password);
        EXPECT_EQ(LoginAs(oracle).toStdString(), role.toStdString());
        EXPECT_TRUE(LoginAs(SetConnectKey(bridge, TConnectKey::Password, password + "x"))
                        .startsWith("error: "));
    }
    testbed::AdminExec("DROP ROLE IF EXISTS " + quoted);
    EXPECT_TRUE(
        PgColumn("postgres", "SELECT rolname FROM pg_roles WHERE rolname = 'evil'").isEmpty());
}

TEST_F(TargetCreateTest, ScriptStatementWithAWarningFails) {
    connection_to.SetConnectionString(testbed::BridgeString());
    connection_to.Open();
    ExecuteScriptStatement(query_to, "SELECT 1");
    // The driver reports an object that compiled with errors as a success with information.
    try {
        ExecuteScriptStatement(query_to,
                               "DO $$ BEGIN RAISE WARNING 'trigger compiled with errors'; END $$");
        ADD_FAILURE() << "no failure";
    } catch (const TError& e) {
        EXPECT_TRUE(e.Message().contains("trigger compiled with errors"))
            << e.Message().toStdString();
    }
}

TEST_F(TargetCreateTest, LargeValuesHandedOverInPrivateFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const mode_t old_umask = ::umask(022);
    connection_to.SetConnectionString(testbed::BridgeString());
    connection_to.Open();
    query_to.SetText("SELECT '\\x0102'::bytea");
    query_to.Open();
    const QString path = dir.filePath("param.tmp");
    query_to.Field(0).SaveToFile(path);
    ::umask(old_umask);
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace
