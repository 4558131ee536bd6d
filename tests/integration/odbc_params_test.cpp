// Typed statement parameters, transactions and the driver's warnings, on the test bed.

#include <gtest/gtest.h>

#include <QSet>

#include "db/odbc.h"
#include "testbed.h"

namespace {

class OdbcParams : public ::testing::Test {
protected:
    void SetUp() override {
        testbed::CreateDatabase(QStringLiteral("skerrow_params"));
        connection_.SetConnectionString(testbed::BridgeString(QStringLiteral("PostgreSQL_Test"),
                                                              QStringLiteral("skerrow_params")));
        connection_.Open();
        Exec("CREATE TABLE k (n numeric(20,2), t varchar(20), d timestamp(6), b bytea)");
        Exec(
            "INSERT INTO k VALUES (1.5, 'a''b', '2024-01-05 10:07:09.25', '\\x00ff'),"
            " (12345678901234567.25, 'Юникод', '0001-01-01 00:00:00', NULL),"
            " (-3, 'z', '9999-12-31 23:59:59.999', NULL)");
    }
    void TearDown() override {
        connection_.Close();
        testbed::DropDatabase(QStringLiteral("skerrow_params"));
    }
    void Exec(const QString& sql) {
        query_.ClearParams();
        query_.SetText(sql);
        query_.ExecSQL();
    }
    QStringList Column(const QString& sql) {
        query_.SetText(sql);
        query_.Open();
        QStringList values;
        for (; !query_.Eof(); query_.Next()) {
            values << query_.Field(0).AsString();
        }
        query_.Close();
        return values;
    }

    TDbConnection connection_;
    TDbQuery query_{connection_};
};

}  // namespace

TEST_F(OdbcParams, TypedValuesCompareAsTheirColumnsType) {
    query_.SetParamCheck(true);
    query_.SetParamNumber(QStringLiteral("n"), QStringLiteral("1.5"));
    EXPECT_EQ(Column("SELECT t FROM k WHERE n > :n ORDER BY n"), QStringList({"Юникод"}));
    query_.SetParamNumber(QStringLiteral("n"), QStringLiteral("12345678901234567.25"));
    EXPECT_EQ(Column("SELECT count(*) FROM k WHERE n = :n"), QStringList({"1"}));
    query_.SetParamText(QStringLiteral("t"), QStringLiteral("a'b"));
    EXPECT_EQ(Column("SELECT n FROM k WHERE t = :t"), QStringList({"1.50"}));
    query_.SetParamDateTime(QStringLiteral("d"),
                            QDateTime(QDate(2024, 1, 5), QTime(10, 7, 9, 250)));
    EXPECT_EQ(Column("SELECT t FROM k WHERE d = :d"), QStringList({"a'b"}));
    query_.SetParamBytes(QStringLiteral("b"), QByteArray("\x00\xff", 2));
    EXPECT_EQ(Column("SELECT t FROM k WHERE b = :b"), QStringList({"a'b"}));
    // A long text goes as one value.
    const QString long_text(9000, u'ж');
    query_.SetParamText(QStringLiteral("t"), long_text);
    EXPECT_EQ(Column("SELECT length(:t)"), QStringList({"9000"}));
}

// A date-time in the fields' text form binds exactly: microseconds, eras and offsets, so that a
// key read from a row finds that row again.
TEST_F(OdbcParams, DateTimeTextsBindExactly) {
    Exec("CREATE TABLE t6 (d timestamp(6), z timestamptz)");
    Exec(
        "INSERT INTO t6 VALUES ('2024-01-05 10:07:09.123456', '2024-01-05 10:07:09.5+03'),"
        " ('0044-03-15 12:00:00.000001 BC', '0044-03-15 12:00:00+00 BC'),"
        " ('2024-01-05 00:00:00', NULL)");
    query_.SetText(QStringLiteral("SELECT d, z FROM t6"));
    query_.Open();
    QStringList keys;
    QStringList zoned;
    for (; !query_.Eof(); query_.Next()) {
        keys << query_.Field(0).AsString();
        zoned << query_.Field(1).AsString();
    }
    query_.Close();
    // The rows in their order: each key finds its own row, and the rows after it.
    const QStringList ordered = {"0044-03-15 12:00:00.000001 BC", "2024-01-05",
                                 "2024-01-05 10:07:09.123456"};
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()),
              QSet<QString>(ordered.begin(), ordered.end()));
    query_.SetParamCheck(true);
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        query_.SetParamDateTimeText(QStringLiteral("d"), ordered[i]);
        EXPECT_EQ(Column("SELECT count(*) FROM t6 WHERE d = :d"), QStringList({"1"}))
            << ordered[i].toStdString();
        EXPECT_EQ(Column("SELECT count(*) FROM t6 WHERE d > :d"),
                  QStringList({QString::number(ordered.size() - 1 - i)}))
            << ordered[i].toStdString();
    }
    for (const QString& value : zoned.mid(0, 2)) {
        query_.SetParamDateTimeText(QStringLiteral("z"), value);
        EXPECT_EQ(Column("SELECT count(*) FROM t6 WHERE z = :z"), QStringList({"1"}))
            << value.toStdString();
    }
    query_.SetParamDateTimeText(QStringLiteral("z"), QStringLiteral("2024-01-05 10:07:09.5+03:00"));
    EXPECT_EQ(Column("SELECT count(*) FROM t6 WHERE z = :z"), QStringList({"1"}));
    EXPECT_THROW(query_.SetParamDateTimeText(QStringLiteral("d"), QStringLiteral("05.01.2024")),
                 TConvertError);
}

TEST_F(OdbcParams, RowsReachTheServerOnlyWithTheCommit) {
    TDbConnection other;
    other.SetConnectionString(connection_.ConnectionString());
    other.Open();
    TDbQuery other_query(other);
    auto count = [&] {
        other_query.SetText(QStringLiteral("SELECT count(*) FROM k"));
        other_query.Open();
        const QString value = other_query.Field(0).AsString();
        other_query.Close();
        return value;
    };
    connection_.SetAutoCommit(false);
    Exec("INSERT INTO k (n) VALUES (7)");
    EXPECT_EQ(count(), "3");
    connection_.Rollback();
    Exec("INSERT INTO k (n) VALUES (8)");
    connection_.Commit();
    EXPECT_EQ(count(), "4");
    // The choice survives a reconnection.
    connection_.Close();
    connection_.Open();
    EXPECT_FALSE(connection_.AutoCommit());
    Exec("INSERT INTO k (n) VALUES (9)");
    connection_.Rollback();
    EXPECT_EQ(count(), "4");
    connection_.SetAutoCommit(true);
    Exec("INSERT INTO k (n) VALUES (10)");
    EXPECT_EQ(count(), "5");
}

TEST_F(OdbcParams, WarningsOfASuccessWithInformation) {
    Exec("SELECT 1");
    EXPECT_TRUE(query_.Warnings().isEmpty());
    Exec("DO $$ BEGIN RAISE WARNING 'compiled with errors'; END $$");
    ASSERT_FALSE(query_.Warnings().isEmpty());
    EXPECT_TRUE(query_.Warnings().join(u'\n').contains(QStringLiteral("compiled with errors")))
        << query_.Warnings().join(u'\n').toStdString();
    Exec("SELECT 1");
    EXPECT_TRUE(query_.Warnings().isEmpty());
}
