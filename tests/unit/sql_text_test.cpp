#include <gtest/gtest.h>

#include "db/sql_text.h"
#include "util/error.h"

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

}  // namespace

TEST(SqlNames, PostgresQuotesWhatTheServerWouldNotReadBack) {
    const TSqlNames pg(kDbPostgres);
    // Names an Oracle schema holds unquoted: bare when the server reads them back folded.
    EXPECT_EQ(Str(pg.Name("CUSTOMERS")), "CUSTOMERS");
    EXPECT_EQ(Str(pg.Name("ORDER_ID2")), "ORDER_ID2");
    EXPECT_EQ(Str(pg.Name("lower_case")), "lower_case");
    // Legal unquoted in Oracle, not in PostgreSQL.
    EXPECT_EQ(Str(pg.Name("ITEM#")), "\"ITEM#\"");
    EXPECT_EQ(Str(pg.Name("ACC$LEDGER")), "\"ACC$LEDGER\"");
    for (const char* word : {"OFFSET", "LIMIT", "ANALYSE", "DO", "ILIKE", "VERBOSE", "USER"}) {
        EXPECT_EQ(Str(pg.Name(word)), "\"" + std::string(word) + "\"") << word;
    }
    // Quoted in Oracle: case and blanks kept; an inner double quote doubled.
    EXPECT_EQ(Str(pg.Name("Old Orders")), "\"Old Orders\"");
    EXPECT_EQ(Str(pg.Name("MixedCase")), "\"MixedCase\"");
    EXPECT_EQ(Str(pg.Name("dq\"x")), "\"dq\"\"x\"");
    EXPECT_EQ(Str(pg.Name("_X")), "\"_X\"");
    // A key word that is only unreserved stays bare.
    EXPECT_EQ(Str(pg.Name("TIME")), "TIME");
    EXPECT_EQ(Str(pg.Stored("CUSTOMERS")), "customers");
    EXPECT_EQ(Str(pg.Stored("ITEM#")), "ITEM#");
    EXPECT_EQ(Str(pg.List({"A", "OFFSET", "b c"})), "A,\"OFFSET\",\"b c\"");
    EXPECT_THROW(pg.Name(QStringLiteral("a") + QChar(0)), TError);
}

TEST(SqlNames, ServerKeyWordsReplaceTheKeptList) {
    TSqlNames pg(kDbPostgres);
    pg.SetPgReservedWords({QStringLiteral("newword")});
    EXPECT_EQ(Str(pg.Name("NEWWORD")), "\"NEWWORD\"");
    EXPECT_EQ(Str(pg.Name("OFFSET")), "OFFSET");
}

TEST(SqlNames, OracleAndTheSourceQueries) {
    const TSqlNames ora(kDbOracle);
    EXPECT_EQ(Str(ora.Name("ITEM#")), "ITEM#");
    EXPECT_EQ(Str(ora.Name("ACC$LEDGER")), "ACC$LEDGER");
    EXPECT_EQ(Str(ora.Name("OFFSET")), "OFFSET");
    EXPECT_EQ(Str(ora.Name("Old Orders")), "\"Old Orders\"");
    EXPECT_EQ(Str(ora.Name("lower")), "\"lower\"");
    EXPECT_EQ(Str(ora.Name("LEVEL")), "\"LEVEL\"");
    EXPECT_EQ(Str(ora.Qualified("NEWUSER", "SEQ_T")), "NEWUSER.SEQ_T");
    EXPECT_EQ(Str(ora.Stored("lower")), "lower");
    // The source side quotes by the stricter rule of both servers.
    EXPECT_EQ(Str(OraSourceName("CUSTOMERS")), "CUSTOMERS");
    EXPECT_EQ(Str(OraSourceName("ITEM#")), "\"ITEM#\"");
    EXPECT_EQ(Str(OraSourceName("OFFSET")), "\"OFFSET\"");
    EXPECT_EQ(Str(OraSourceName("LEVEL")), "\"LEVEL\"");
    EXPECT_EQ(Str(OraSourceName("Old Orders")), "\"Old Orders\"");
}

TEST(SqlLiterals, EveryTypedValueIsOneLiteral) {
    EXPECT_EQ(Str(PgLiteral("it's")), "'it''s'");
    EXPECT_EQ(Str(PgLiteral("x' ; CREATE ROLE evil SUPERUSER; --")),
              "'x'' ; CREATE ROLE evil SUPERUSER; --'");
    EXPECT_EQ(Str(PgLiteral("C:\\dir\\'f")), "E'C:\\\\dir\\\\''f'");
    EXPECT_EQ(Str(PgLiteral("")), "''");
    EXPECT_EQ(Str(OraLiteral("o'neil \\")), "'o''neil \\'");
    EXPECT_EQ(Str(SqlLiteral(kDbOracle, "a'b")), "'a''b'");
    EXPECT_THROW(PgLiteral(QStringLiteral("a") + QChar(0) + "b"), TError);
    EXPECT_THROW(OraLiteral(QString(QChar(0))), TError);

    EXPECT_EQ(Str(OraPassword("p'a;ss word")), "\"p'a;ss word\"");
    EXPECT_THROW(OraPassword("a\"b"), TError);
    EXPECT_THROW(OraPassword(QString(QChar(0))), TError);
}

TEST(SqlLiterals, OdbcValuesInBracesWhenTheyWouldBreakThePairs) {
    EXPECT_EQ(Str(OdbcValue("a=b")), "{a=b}");
    EXPECT_EQ(Str(OdbcValue("it's \"q\" \\")), "it's \"q\" \\");
    // A quote first would open a quoted value in the provider level of the string.
    EXPECT_EQ(Str(OdbcValue("'x")), "{'x}");
    EXPECT_EQ(Str(OdbcValue("\"x\"")), "{\"x\"}");
    EXPECT_EQ(Str(ConnectQuoted("DSN=a;PWD={\"x\"}", u'"')), "\"DSN=a;PWD={\"\"x\"\"}\"");
    EXPECT_EQ(Str(ConnectQuoted("it's", u'\'')), "'it''s'");
    EXPECT_EQ(Str(ConnectQuoted("a}b", u'{')), "{a}}b}");
}

TEST(SqlNames, PlainIdentifiersForNewDatabasesAndUsers) {
    for (const char* good : {"a", "Demo", "ACC$X", "n_1#"}) {
        EXPECT_TRUE(IsPlainIdentifier(QString::fromLatin1(good))) << good;
    }
    for (const char* bad : {"", "1a", "_a", "$a", "a b", "a-b", "a;b", "o'neil", "a\"b"}) {
        EXPECT_FALSE(IsPlainIdentifier(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_FALSE(IsPlainIdentifier(QStringLiteral("база")));
}
