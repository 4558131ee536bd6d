// The statements of target creation word for word, and the rules a new name must pass before
// anything on the server is touched.

#include "ddl/target_create.h"

#include <gtest/gtest.h>

#include "util/error.h"

namespace {

const QString kOra19 =
    QStringLiteral("Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");

}  // namespace

TEST(TargetCreateTexts, PostgresStatements) {
    // Names and the password are written through the one writer of each: the password as a
    // literal, so it cannot end the statement.
    const QStringList create =
        PgCreateStatements("newdb", "x' ; CREATE ROLE evil SUPERUSER; --", QString());
    ASSERT_EQ(create.size(), 4);
    EXPECT_EQ(create[0], "DROP DATABASE IF EXISTS newdb");
    EXPECT_EQ(create[1], "DROP ROLE IF EXISTS newdb");
    EXPECT_EQ(create[2],
              "CREATE ROLE newdb WITH LOGIN NOSUPERUSER INHERIT NOCREATEDB NOCREATEROLE "
              "NOREPLICATION PASSWORD 'x'' ; CREATE ROLE evil SUPERUSER; --'");
    // A Windows server takes its locale from template0 as well.
    EXPECT_EQ(create[3],
              "CREATE DATABASE newdb WITH OWNER = newdb ENCODING = 'UTF8' LC_COLLATE = "
              "'Russian_Russia.1251' LC_CTYPE = 'Russian_Russia.1251' TEMPLATE = template0 "
              "TABLESPACE = pg_default CONNECTION LIMIT = -1");
    EXPECT_EQ(PgCreateDatabaseSql("newdb", "C.UTF-8"),
              "CREATE DATABASE newdb WITH OWNER = newdb ENCODING = 'UTF8' LC_COLLATE = "
              "'C.UTF-8' LC_CTYPE = 'C.UTF-8' TEMPLATE = template0 TABLESPACE = pg_default "
              "CONNECTION LIMIT = -1");
    EXPECT_TRUE(PgCreateStatements("newdb", "a\\b", "C")[2].endsWith(" PASSWORD E'a\\\\b'"));
    EXPECT_THROW(PgCreateStatements("newdb", QString(QChar(0)), "C"), TError);

    // A name the server would fold or that holds "$" is created quoted, and looked up as stored.
    EXPECT_EQ(PgCreateStatements("Demo", "p", "C")[1], "DROP ROLE IF EXISTS \"Demo\"");
    EXPECT_EQ(PgGrantStatements("ACC$X")[0],
              "GRANT ALL PRIVILEGES ON DATABASE \"ACC$X\" TO \"ACC$X\"");
    EXPECT_EQ(PgRoleRightsSql("NEWDB"),
              "SELECT rolsuper OR rolcreaterole FROM pg_roles WHERE rolname = 'newdb'");
    EXPECT_EQ(PgDatabaseSizeSql("Demo"),
              "SELECT pg_database_size(oid) FROM pg_database WHERE datname = 'Demo'");
    EXPECT_TRUE(PgOwnerSql("ACC$X").startsWith("DO 'DECLARE r record;"));
    EXPECT_TRUE(PgOwnerSql("ACC$X").contains("OWNER TO %I'', r.name, ''ACC$X''"));

    EXPECT_TRUE(IsWindowsServer("PostgreSQL 15.4, compiled by Visual C++ build 1914, 64-bit"));
    EXPECT_TRUE(IsWindowsServer("PostgreSQL 9.6 on x86_64-w64-mingw32, compiled by gcc"));
    EXPECT_FALSE(IsWindowsServer("PostgreSQL 15.4 (Debian 15.4-1) on x86_64-pc-linux-gnu"));
}

TEST(TargetCreateTexts, PostgresReconnectionSetsTheDatabaseValue) {
    // The name as the server stores it, whatever the administrative database was called.
    EXPECT_EQ(PgTargetConnectionString(
                  "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;DATABASE=postgres;UID=a\"",
                  "POSTGRES_NEW"),
              "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;DATABASE=postgres_new;UID=a\"");
    EXPECT_EQ(PgTargetConnectionString(
                  "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;Database=admin\"", "Demo"),
              "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;Database=Demo\"");
    EXPECT_EQ(PgTargetConnectionString("Provider=MSDASQL.1;Extended Properties='DSN=PG'", "n"),
              "Provider=MSDASQL.1;Extended Properties='DSN=PG;DATABASE=n'");
    // Nothing to point at a database: an Oracle form, or no provider.
    EXPECT_EQ(PgTargetConnectionString("Provider=OraOLEDB.Oracle.1;User ID=a;Data Source=X", "n"),
              "Provider=OraOLEDB.Oracle.1;User ID=a;Data Source=X");
    EXPECT_EQ(PgTargetConnectionString("DSN=PG;Database=postgres", "x"),
              "DSN=PG;Database=postgres");
}

TEST(TargetCreateTexts, OracleStatements) {
    const QList<TSqlStep> steps = OraCreateUserSteps("newu", "p;w 'x'");
    ASSERT_EQ(steps.size(), 4);
    EXPECT_TRUE(
        steps[0].sql.startsWith("CREATE PROFILE c##qor_prof LIMIT CPU_PER_SESSION "
                                "UNLIMITED CPU_PER_CALL UNLIMITED CONNECT_TIME"));
    EXPECT_TRUE(
        steps[0].sql.endsWith("FAILED_LOGIN_ATTEMPTS UNLIMITED PASSWORD_LOCK_TIME "
                              "UNLIMITED"));
    EXPECT_TRUE(steps[0].ignore_error);
    // The user is the one a login as "newu" reaches.
    EXPECT_EQ(steps[1], (TSqlStep{"DROP USER NEWU CASCADE", true}));
    EXPECT_EQ(steps[2],
              (TSqlStep{"CREATE USER NEWU IDENTIFIED BY \"p;w 'x'\" DEFAULT TABLESPACE USERS "
                        "TEMPORARY TABLESPACE TEMP PROFILE c##qor_prof ACCOUNT UNLOCK QUOTA "
                        "UNLIMITED ON USERS",
                        false}));
    EXPECT_EQ(steps[3],
              (TSqlStep{"GRANT CREATE SESSION, CREATE TABLE, CREATE SEQUENCE, CREATE TRIGGER, "
                        "CREATE VIEW, CREATE PROCEDURE TO NEWU",
                        false}));

    const QList<TSqlStep> dba = OraCreateUserSteps("NEWU", "pw", true);
    ASSERT_EQ(dba.size(), 6);
    EXPECT_EQ(dba[4], (TSqlStep{"GRANT DBA TO NEWU", false}));
    EXPECT_EQ(dba[5], (TSqlStep{"ALTER USER NEWU DEFAULT ROLE ALL", false}));
    EXPECT_THROW(OraCreateUserSteps("NEWU", "dq\"x"), TError);

    EXPECT_EQ(kOraContainerSql, "SELECT SYS_CONTEXT('USERENV', 'CON_NAME') FROM dual");
    EXPECT_EQ(kOraScriptOnSql, "alter session set \"_oracle_script\"=true");
    EXPECT_EQ(kOraScriptOffSql, "alter session set \"_oracle_script\"=false");
    EXPECT_EQ(kOraLoginSql, "SELECT USER FROM dual");
    EXPECT_EQ(OraExistingUserSql("newu", kOra19),
              "SELECT u.oracle_maintained, (SELECT COUNT(*) FROM dba_tables WHERE owner = "
              "u.username), (SELECT NVL(SUM(bytes), 0) FROM dba_segments WHERE owner = "
              "u.username) FROM dba_users u WHERE u.username = 'NEWU'");
    EXPECT_TRUE(OraExistingUserSql("NEWU", "Oracle Database 11g Release 11.2.0.4.0")
                    .startsWith("SELECT 'N', (SELECT COUNT(*)"));

    EXPECT_EQ(SplitOraScript("CREATE TABLE A (X NUMBER)%\r\n\r\nCREATE TABLE B (D VARCHAR2(5) "
                             "DEFAULT '5%')%\r\nCREATE TABLE C (Y NUMBER)"),
              QStringList({"CREATE TABLE A (X NUMBER)",
                           "\r\n\r\nCREATE TABLE B (D VARCHAR2(5) "
                           "DEFAULT '5",
                           "')"}));
    EXPECT_TRUE(SplitOraScript("no separator").isEmpty());
}

TEST(TargetCreateTexts, OracleReconnectionAsTheNewUser) {
    EXPECT_EQ(OraTargetConnectionString(
                  "Provider=OraOLEDB.Oracle.1;user id=SYSTEM;Password=adm;Data Source=ORCL", "newu",
                  "pw"),
              "Provider=OraOLEDB.Oracle.1;user id=newu;Password=pw;Data Source=ORCL");
    // A password that would end the pair goes in braces; a missing login is added rather than
    // leaving the administrative one in place.
    EXPECT_EQ(OraTargetConnectionString("Provider=MSDAORA.1;Password=\"a;b\";Data Source=ORCL",
                                        "NEWU", "x;y}"),
              "Provider=MSDAORA.1;Password={x;y}}};Data Source=ORCL;User ID=NEWU");
}

TEST(TargetNames, FormAndLength) {
    const QString pg = QStringLiteral("PostgreSQL 15.4 on x86_64-pc-linux-gnu");
    EXPECT_TRUE(NameRuleProblem(kDbPostgres, "new_db$1#", pg).isEmpty());
    EXPECT_TRUE(NameRuleProblem(kDbPostgres, "Demo", pg).isEmpty());
    // What reached the server as SQL before: each is refused by the rule, named in the text.
    for (const QString& name :
         {QStringLiteral("o'neil"), QStringLiteral("dq\"x"),
          QStringLiteral("x; DROP DATABASE victim"), QStringLiteral("a b"), QStringLiteral("1abc"),
          QStringLiteral("_x"), QStringLiteral("база")}) {
        const QString problem = NameRuleProblem(kDbPostgres, name, pg);
        EXPECT_TRUE(problem.contains("латинской буквы")) << name.toStdString();
        EXPECT_TRUE(problem.contains(name)) << problem.toStdString();
    }
    EXPECT_FALSE(NameRuleProblem(kDbPostgres, QString(), pg).isEmpty());

    EXPECT_TRUE(NameRuleProblem(kDbPostgres, QString(63, u'a'), pg).isEmpty());
    EXPECT_TRUE(NameRuleProblem(kDbPostgres, QString(64, u'a'), pg).contains("63 байт"));
    // Oracle: 30 bytes before 12.2, 128 from then on, from the banner of the target.
    const QString name31(31, u'A');
    EXPECT_TRUE(NameRuleProblem(kDbOracle, name31, "Oracle Database 12c Release 12.1.0.2.0")
                    .contains("30"));
    EXPECT_TRUE(NameRuleProblem(kDbOracle, name31, "Oracle Database 11g Release 11.2.0.4.0")
                    .contains("30"));
    EXPECT_TRUE(
        NameRuleProblem(kDbOracle, name31, "Oracle Database 12c Release 12.2.0.1.0").isEmpty());
    EXPECT_TRUE(NameRuleProblem(kDbOracle, name31, kOra19).isEmpty());
    EXPECT_TRUE(NameRuleProblem(kDbOracle, QString(129, u'A'), kOra19).contains("128"));
    EXPECT_TRUE(NameRuleProblem(kDbOracle, name31, QString()).contains("30"));
    EXPECT_EQ(MaxNameBytes(kDbOracle, "Oracle Database 23ai Free Release 23.0.0.0.0"), 128);
}

TEST(TargetNames, NamesTheServerLivesOn) {
    const QString pg = QStringLiteral("PostgreSQL 15.4");
    for (const QString& name :
         {QStringLiteral("postgres"), QStringLiteral("POSTGRES"), QStringLiteral("Postgres"),
          QStringLiteral("template0"), QStringLiteral("Template1")}) {
        EXPECT_TRUE(NameRuleProblem(kDbPostgres, name, pg).contains("служебной базой"))
            << name.toStdString();
    }
    EXPECT_TRUE(NameRuleProblem(kDbPostgres, "postgres_new", pg).isEmpty());
    EXPECT_TRUE(NameRuleProblem(kDbOracle, "sys", kOra19).contains("служебный пользователь"));
    EXPECT_TRUE(NameRuleProblem(kDbOracle, "System", kOra19).contains("«SYSTEM»"));
    EXPECT_TRUE(NameRuleProblem(kDbOracle, "table", kOra19).contains("зарезервированное"));
    EXPECT_TRUE(NameRuleProblem(kDbOracle, "newu", kOra19).isEmpty());
    EXPECT_EQ(TargetUserName(kDbOracle, "newu"), "NEWU");
    EXPECT_EQ(TargetUserName(kDbPostgres, "Demo"), "Demo");
}
