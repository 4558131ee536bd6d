// Names and literals of the SQL text layer as a real server reads them back.

#include <gtest/gtest.h>

#include "db/odbc.h"
#include "db/sql_text.h"
#include "testbed.h"

namespace {

QString Scalar(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.Open();
    EXPECT_FALSE(query.Eof()) << sql.toStdString();
    return query.Field(0).AsString();
}

}  // namespace

// The list kept for scripts made before a server answers is the server's own.
TEST(SqlTextDb, KeptReservedWordsAreTheServers) {
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString());
    connection.Open();
    TDbQuery query(connection);
    const QSet<QString> server = ReadPgReservedWords(query);
    EXPECT_EQ(server, PgReservedWords());
}

// Every name the writer produces is a name the server accepts, and it stores it as Stored()
// says; every literal reads back as the text it was made from.
TEST(SqlTextDb, NamesAndLiteralsRoundTrip) {
    testbed::CreateDatabase(QStringLiteral("skerrow_sqltext"));
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString(QStringLiteral("PostgreSQL_Test"),
                                                         QStringLiteral("skerrow_sqltext")));
    connection.Open();
    const TSqlNames names(kDbPostgres);
    const QStringList odd = {"CUSTOMERS",  "ITEM#", "ACC$LEDGER", "OFFSET",  "LIMIT",
                             "Old Orders", "dq\"x", "o'neil",     "ANALYSE", "VERBOSE"};
    TDbQuery query(connection);
    for (const QString& table : odd) {
        query.SetText("CREATE TABLE " + names.Name(table) + " (" + names.Name("DO") + " int, " +
                      names.Name("ILIKE") + " text)");
        query.ExecSQL();
        EXPECT_EQ(Scalar(connection, "SELECT count(*) FROM pg_class WHERE relname = " +
                                         PgLiteral(names.Stored(table))),
                  "1")
            << table.toStdString();
    }
    for (const QString& text :
         {QStringLiteral("it's"), QStringLiteral("back\\slash'"), QStringLiteral("x' ; --"),
          QStringLiteral("Юникод 😀 \"q\""), QString()}) {
        EXPECT_EQ(Scalar(connection, "SELECT " + PgLiteral(text)), text) << text.toStdString();
    }
    connection.Close();
    testbed::DropDatabase(QStringLiteral("skerrow_sqltext"));
}
