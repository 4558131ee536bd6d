// The libpq session that carries COPY data to a PostgreSQL target, on the test bed: its address
// found from the same connection string as the ODBC connection, the stream, and the server's
// errors with the line they stopped at.

#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "db/odbc.h"
#include "db/pg_copy.h"
#include "testbed.h"

namespace {

QString OdbcOf(const QString& connection_string) {
    return TranslateConnectString(connection_string, InstalledOdbc());
}

class PgCopy : public ::testing::Test {
protected:
    void SetUp() override {
        testbed::CreateDatabase(QStringLiteral("skerrow_pgcopy"));
        info_ = PgConnInfoFromOdbc(OdbcOf(testbed::BridgeString(QStringLiteral("PostgreSQL_Test"),
                                                                QStringLiteral("skerrow_pgcopy"))));
        session_.Open(info_);
        session_.Exec(QStringLiteral("CREATE TABLE t (id int PRIMARY KEY, txt text, b bytea)"));
    }
    void TearDown() override {
        session_.Close();
        testbed::DropDatabase(QStringLiteral("skerrow_pgcopy"));
    }

    TPgConnInfo info_;
    TPgCopySession session_;
};

}  // namespace

TEST(PgConnInfo, DataSourceSettingsAndTheStringsOwnKeys) {
    const TPgConnInfo dsn = PgConnInfoFromOdbc(QStringLiteral("DSN=PostgreSQL_Test"));
    EXPECT_EQ(dsn.host, "127.0.0.1");
    EXPECT_EQ(dsn.port, QString::number(testbed::Port()));
    EXPECT_EQ(dsn.user, "postgres");
    EXPECT_EQ(dsn.password, testbed::Password());
    EXPECT_EQ(dsn.dbname, "postgres");
    // The string's keys win over the data source's.
    const TPgConnInfo own = PgConnInfoFromOdbc(
        QStringLiteral("DSN=PostgreSQL_Test;DATABASE=other;UID=someone;PWD={a;b}}c}"));
    EXPECT_EQ(own.host, "127.0.0.1");
    EXPECT_EQ(own.dbname, "other");
    EXPECT_EQ(own.user, "someone");
    EXPECT_EQ(own.password, "a;b}c");
    const TPgConnInfo bare = PgConnInfoFromOdbc(QStringLiteral("DRIVER={x};SERVER=h;PORT=1"));
    EXPECT_EQ(bare.host, "h");
    EXPECT_EQ(bare.port, "1");
    EXPECT_THROW(PgConnInfoFromOdbc(QStringLiteral("DRIVER={x};DATABASE=d")), TError);
    TPgConnInfo odd;
    odd.host = QStringLiteral("h");
    odd.password = QStringLiteral("it's \\ x");
    EXPECT_EQ(odd.ToConninfo(), "host='h' password='it\\'s \\\\ x' client_encoding='UTF8'");
}

TEST(PgConnInfo, OddPasswordsLogIn) {
    testbed::AdminExec(QStringLiteral("DROP ROLE IF EXISTS skerrow_copy_odd"));
    const QString password = QStringLiteral("a'b\\c;d}e=f \"g\" Пароль ");
    testbed::AdminExec("CREATE ROLE skerrow_copy_odd LOGIN PASSWORD " + PgLiteral(password));
    TPgConnInfo info = PgConnInfoFromOdbc(QStringLiteral("DSN=PostgreSQL_Test"));
    info.user = QStringLiteral("skerrow_copy_odd");
    info.password = password;
    TPgCopySession session;
    session.Open(info);
    EXPECT_EQ(session.Value(QStringLiteral("SELECT current_user")), "skerrow_copy_odd");
    session.Close();
    info.password = QStringLiteral("wrong");
    try {
        session.Open(info);
        ADD_FAILURE() << "a wrong password logged in";
    } catch (const TPgError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("skerrow_copy_odd"))) << e.what();
    }
    testbed::AdminExec(QStringLiteral("DROP ROLE skerrow_copy_odd"));
}

TEST_F(PgCopy, StreamInPiecesCommitsWithTheTransaction) {
    session_.Exec(QStringLiteral("BEGIN"));
    session_.BeginCopy(QStringLiteral("COPY t (id, txt, b) FROM STDIN"));
    session_.Put(QByteArray("1\tone\t\\\\x00ff\n2\t"));
    session_.Put(QByteArray("\\N\t\\N\n3\tline\\nbreak \xd0\xaf\t\\\\x\n"));
    EXPECT_EQ(session_.End(), 3);
    EXPECT_EQ(session_.Value(QStringLiteral("SELECT count(*) FROM t")), "3");
    session_.Exec(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(session_.Value(QStringLiteral("SELECT count(*) FROM t")), "0");

    session_.BeginCopy(QStringLiteral("COPY t (id, txt, b) FROM STDIN"));
    session_.Put(QByteArray("1\tone\t\\\\x00ff\n3\tline\\nbreak \xd0\xaf\t\\\\x\n"));
    session_.End();
    EXPECT_EQ(session_.Value(QStringLiteral("SELECT string_agg(id || ':' || coalesce(txt, '-') "
                                            "|| ':' || coalesce(encode(b, 'hex'), '-'), ',' "
                                            "ORDER BY id) FROM t")),
              QStringLiteral("1:one:00ff,3:line\nbreak Я:"));
}

TEST_F(PgCopy, ARejectedRowNamesItsLineAndLeavesTheSessionUsable) {
    session_.Exec(QStringLiteral("BEGIN"));
    session_.BeginCopy(QStringLiteral("COPY t (id, txt) FROM STDIN"));
    session_.Put(QByteArray("1\ta\n2\tb\n2\tduplicate\n4\td\n"));
    try {
        session_.End();
        ADD_FAILURE() << "a duplicate key was taken";
    } catch (const TPgError& e) {
        EXPECT_EQ(e.SqlState(), "23505");
        EXPECT_EQ(e.Line(), 3);
    }
    EXPECT_FALSE(session_.InCopy());
    session_.Exec(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(session_.Value(QStringLiteral("SELECT count(*) FROM t")), "0");

    session_.BeginCopy(QStringLiteral("COPY t (id, txt) FROM STDIN"));
    session_.Put(QByteArray("9\tz\n"));
    session_.Abort(QStringLiteral("stopped"));
    EXPECT_EQ(session_.Value(QStringLiteral("SELECT count(*) FROM t")), "0");
    EXPECT_THROW(session_.Exec(QStringLiteral("SELECT no_such_column FROM t")), TPgError);
}
