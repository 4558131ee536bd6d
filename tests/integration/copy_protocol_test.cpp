// The copy into a PostgreSQL target by the COPY protocol, on the test bed: every kind of value
// arrives as the source holds it, portions commit with the copy's state, and a row the target
// refuses is named with its values and, once its cause is gone, a resume brings every row once.

#include <QRegularExpression>

#include "copy_rig.h"
#include "transfer/checkpoint.h"
#include "util/error.h"

namespace {

class CopyProtocolTest : public TCopyRigTest {
protected:
    std::unique_ptr<TRig> NewCopyRig(TTables tables, qint64 portion_read, int portion_write) {
        auto rig = NewRig(std::move(tables), portion_read, portion_write);
        rig->engine.Settings().write_method = TWriteMethod::Copy;
        return rig;
    }
};

TFieldRec Scaled(const QString& name, int scale) {
    TFieldRec field = Col(name, "NUMBER");
    field.scale = scale;
    return field;
}

TEST_F(CopyProtocolTest, EveryKindOfValueArrivesAsTheSourceHoldsIt) {
    PgExec(kSource,
           {"CREATE TABLE kinds (id integer PRIMARY KEY, txt varchar(200), big_text text, "
            "amount numeric(12,2), ratio double precision, d timestamp(0), ts timestamp(6), "
            "tz timestamptz, a bytea, b bytea, r bytea, qty integer, "
            // The source computes its virtual column as well: reading names every column.
            "total bigint GENERATED ALWAYS AS (qty * 2) STORED)",
            "SET TIME ZONE 'Europe/Moscow'",
            "INSERT INTO kinds VALUES "
            "(1, E'tab\\there, line\\nbreak, cr\\r\\nlf, back\\\\slash \\\\N', 'O''Brien', 12.50, "
            "1e300, '2024-01-05 13:07:09', '2024-01-05 13:07:09.123456', "
            "'2024-06-01 10:00:00.5+03', '\\x00010203ff', '\\x0a090d5c', '\\xdeadbeef', 3),"
            "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
            "(3, 'Grüße 中文 😀 𝄞 Ω', 'Иванов', -0.01, 'NaN', '0044-03-15 12:00:00 BC', "
            "'0001-01-01 00:00:00.000001 BC', '1969-12-31 23:59:59.999999-11:30', '\\x', "
            "decode(repeat('5c0a09', 1747627), 'hex'), '\\x00', -7),"
            "(4, '\\', ' lead and trail ', 0, '-Infinity', '2024-02-29 00:00:00', "
            "'2024-02-29 23:59:59', '2000-01-01 00:00:00+00', NULL, '\\x5c4e', NULL, 0),"
            "(5, 'last', repeat('x', 70000), 99999999.99, '-0', '9999-12-31 23:59:59', NULL, "
            "NULL, '\\x27', NULL, NULL, 1000000)"});
    TFieldRec total = Col("TOTAL", "NUMBER");
    total.is_virtual = true;
    total.virtual_expr = "\"QTY\"*2";
    TTableRec kinds = Table(
        "KINDS", 5,
        {Col("ID", "NUMBER"), Col("TXT", "VARCHAR2"), Col("BIG_TEXT", "CLOB"), Scaled("AMOUNT", 2),
         Col("RATIO", "BINARY_DOUBLE"), Col("D", "DATE"), Col("TS", "TIMESTAMP(6)"),
         Col("TZ", "TIMESTAMP(6) WITH TIME ZONE"), Col("A", "BLOB"), Col("B", "LONG RAW"),
         Col("R", "RAW"), Col("QTY", "NUMBER"), total},
        "(ID)");
    kinds.fields[11].change_name = "QUANTITY";
    const QString columns =
        "id, txt, big_text, amount, ratio, d, ts, tz, md5(a), md5(b), length(b), r";
    for (const auto& [portion_read, portion_write] : {std::pair{0, 1000}, std::pair{2, 2}}) {
        SCOPED_TRACE(portion_read);
        auto rig = NewCopyRig({kinds}, portion_read, portion_write);
        CreateTargetFor(*rig,
                        "CREATE TABLE kinds (id integer, txt varchar(200), big_text text, "
                        "amount numeric(12,2), ratio double precision, d timestamp(0), "
                        "ts timestamp(6), tz timestamptz, a bytea, b bytea, r bytea, "
                        "quantity integer, total bigint GENERATED ALWAYS AS (quantity * 2) "
                        "STORED)");
        ASSERT_GT(RunToEnd(*rig), 0);
        const QString row = "concat_ws('|', " + columns + ")";
        const QString order = " ORDER BY id";
        EXPECT_EQ(PgColumn(kTarget, "SELECT " + row + " FROM kinds" + order),
                  PgColumn(kSource, "SELECT " + row + " FROM kinds" + order));
        EXPECT_EQ(PgColumn(kTarget,
                           "SELECT quantity::text || '/' || total FROM kinds"
                           " WHERE quantity IS NOT NULL ORDER BY id"),
                  QStringList({"3/6", "-7/-14", "0/0", "1000000/2000000"}));
        // Several binaries in one row, one of 5 MB.
        EXPECT_EQ(PgValue(kTarget, "SELECT length(b) FROM kinds WHERE id = 3"), "5242881");
        EXPECT_EQ(PgValue(kTarget,
                          "SELECT count(*) FROM pg_class WHERE relname = "
                          "'skerrow_copy_state'"),
                  "0");
    }
}

TEST_F(CopyProtocolTest, PortionsCommitWithTheStateAndEndAtTheirRowCount) {
    const QString file_temp = dir.filePath("Skerrow.tmp");
    auto rig = NewCopyRig({Big(), Empty()}, 1000, 300);
    rig->engine.Settings().file_temp = file_temp;
    CreateTargetFor(*rig,
                    "CREATE TABLE big (id integer, name varchar(40), d timestamp);"
                    "CREATE TABLE empty_t (id integer);");
    // Three portions of the first read portion: each reaches the target with its checkpoint.
    for (int unit = 1; unit <= 3; ++unit) {
        rig->engine.CopyData();
    }
    EXPECT_EQ(rig->engine.CommittedOff(), 900);
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM big"), "900");
    EXPECT_TRUE(PgValue(kTarget, "SELECT checkpoint FROM skerrow_copy_state").contains("last=900"));
    EXPECT_EQ(ReadTmpFile(file_temp, TCodePage()).last_key, QStringList{"900"});
    EXPECT_TRUE(rig->query_to.Text().startsWith("COPY BIG (ID,NAME,D) FROM STDIN"))
        << rig->query_to.Text().toStdString();
    ASSERT_GT(RunToEnd(*rig), 0);
    EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
}

TEST_F(CopyProtocolTest, RefusedRowIsNamedAndAResumeBringsEveryRowOnce) {
    const QString file_temp = dir.filePath("Skerrow.tmp");
    for (const qint64 portion_read : {qint64(1000), qint64(0)}) {
        SCOPED_TRACE(portion_read);
        {
            auto rig = NewCopyRig({Empty(), Big()}, portion_read, 100);
            rig->engine.Settings().file_temp = file_temp;
            CreateTargetFor(*rig,
                            "CREATE TABLE empty_t (id integer);"
                            "CREATE TABLE big (id integer CONSTRAINT no_1234 CHECK "
                            "(id <> 1234), name varchar(40), d timestamp);");
            QString message;
            try {
                RunToEnd(*rig);
            } catch (const TPgError& e) {
                message = e.Message();
                EXPECT_EQ(e.SqlState(), "23514");
                EXPECT_EQ(e.Line(), 34);
            }
            EXPECT_TRUE(message.contains("Таблица BIG: сервер отклонил строку 1234"))
                << message.toStdString();
            EXPECT_TRUE(message.contains("no_1234")) << message.toStdString();
            EXPECT_TRUE(message.contains("ID = 1234\nNAME = строка 1234 it's\nD = "))
                << message.toStdString();
            // The error page shows the statement that failed.
            EXPECT_TRUE(rig->query_to.Text().startsWith("COPY BIG ("));
            EXPECT_EQ(rig->engine.CommittedOff(), 1200);
            EXPECT_EQ(rig->engine.CopyOff(), 1200);
            EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM big"), "1200");
            EXPECT_EQ(ReadTmpFile(file_temp, TCodePage()).copy_off, 1200);
        }
        PgExec(kTarget, {"ALTER TABLE big DROP CONSTRAINT no_1234"});
        auto rig = NewCopyRig({Empty(), Big()}, portion_read, 100);
        rig->engine.Settings().file_temp = file_temp;
        rig->engine.LoadFromTmpFile(file_temp);
        EXPECT_EQ(rig->engine.CopyOff(), 1200);
        ASSERT_GT(RunToEnd(*rig), 0);
        EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
        EXPECT_FALSE(QFile::exists(file_temp));
    }
}

TEST_F(CopyProtocolTest, SessionThatCannotOpenIsAnErrorNotAnotherPath) {
    auto rig = NewCopyRig({Big()}, 1000, 100);
    CreateTargetFor(*rig, "CREATE TABLE big (id integer, name varchar(40), d timestamp)");
    // The ODBC connection is open already; the stream's own login is refused by the server.
    qputenv("PGOPTIONS", "-c skerrow_no_such_setting_here=1");
    std::string message = "no error";
    try {
        rig->engine.CopyData();
    } catch (const TError& e) {
        message = e.Message().toStdString();
    }
    qunsetenv("PGOPTIONS");
    EXPECT_NE(message.find("Не удалось подключиться к PostgreSQL для записи COPY"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("INSERT"), std::string::npos) << message;
    // Nothing went by another way.
    EXPECT_EQ(PgValue(kTarget, "SELECT count(*) FROM big"), "0");
    EXPECT_EQ(rig->engine.CommittedOff(), 0);
    // Once the session opens, the copy goes on.
    ASSERT_GT(RunToEnd(*rig), 0);
    EXPECT_EQ(Digest(kTarget, "big", kBigRow), Digest(kSource, "big", kBigRow));
}

}  // namespace
