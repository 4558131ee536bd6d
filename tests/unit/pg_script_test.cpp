#include <gtest/gtest.h>

#include "ddl/pg_script.h"

namespace {

QStringList Texts(const QList<TPgStatement>& statements) {
    QStringList texts;
    for (const TPgStatement& statement : statements) {
        texts << statement.text;
    }
    return texts;
}

}  // namespace

TEST(PgScript, EndsStatementsOnlyAtSemicolonsOutsideQuotesCommentsAndBodies) {
    const QString script = QStringLiteral(
        "CREATE TABLE \"A;B\" (ID INTEGER DEFAULT 1);\n"
        "INSERT INTO T VALUES ('it''s; here', E'back\\\\; slash', E'q\\'; q');\n"
        "/* outer /* inner; */ still; */ COMMENT ON TABLE T IS 'x';\n"
        "CREATE FUNCTION F(a int) RETURNS int AS $body$ BEGIN RETURN $1; END; $body$ "
        "LANGUAGE plpgsql;\n"
        "DO $$ BEGIN PERFORM 1; END $$;\n"
        "SELECT price$ FROM t;\n"
        "-- only a comment;\n"
        "  ;\n"
        "SELECT 2");
    EXPECT_EQ(Texts(SplitPgScript(script)),
              QStringList({"CREATE TABLE \"A;B\" (ID INTEGER DEFAULT 1)",
                           "INSERT INTO T VALUES ('it''s; here', E'back\\\\; slash', E'q\\'; q')",
                           "COMMENT ON TABLE T IS 'x'",
                           "CREATE FUNCTION F(a int) RETURNS int AS $body$ BEGIN RETURN $1; END; "
                           "$body$ LANGUAGE plpgsql",
                           "DO $$ BEGIN PERFORM 1; END $$", "SELECT price$ FROM t", "SELECT 2"}));
}

TEST(PgScript, StatementsKnowTheLineTheyStartOn) {
    const QList<TPgStatement> statements = SplitPgScript(QStringLiteral(
        "\n-- head\nCREATE TABLE A (\n  ID INTEGER\n);\n/* two\nlines */\n\nINSERT INTO A "
        "VALUES ('a\nb');\nSELECT 1;"));
    ASSERT_EQ(statements.size(), 3);
    EXPECT_EQ(statements[0].line, 3);
    EXPECT_EQ(statements[1].line, 9);
    EXPECT_EQ(statements[2].line, 11);
    EXPECT_TRUE(SplitPgScript(QStringLiteral("-- nothing\n/* at all */ ;\n")).isEmpty());
}
