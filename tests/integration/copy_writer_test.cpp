// The COPY writer on the test bed, with rows made in memory: a portion of many blocks streams
// while it is still being rendered and arrives exactly, a row refused in a later block is still
// named with its number and values, a session killed mid-portion or a target that stops taking
// data leaves no thread behind, and values of 5 and 50 MB arrive byte for byte.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <functional>

#include "copy_testbed.h"
#include "db/db_field.h"
#include "transfer/copy_writer.h"
#include "util/error.h"

namespace {

const QString kDb = QStringLiteral("skerrow_writer");

// A column of the generated rows: its value computed from the row number.
class TGenField : public TDbField {
public:
    TGenField(QString name, TFieldCategory category)
        : name_(std::move(name)), category_(category) {}

    QString Name() const override { return name_; }
    TFieldCategory Category() const override { return category_; }
    bool IsNull() const override { return null_; }
    QString AsString() const override { return text_; }
    qint64 AsInteger() const override { return text_.toLongLong(); }
    QDateTime AsDateTime() const override { return {}; }
    QByteArray AsBytes() const override { return bytes_; }
    void SaveToFile(const QString&) const override {}

    bool null_ = false;
    QString text_;
    QByteArray bytes_;

private:
    QString name_;
    TFieldCategory category_;
};

// Rows 1..count of (ID, TXT, DATA); the text and the bytes of a row come from its number,
// so that the server can check every row it holds. A row may be made otherwise by `special`.
class TGenRows : public TDbRowSet {
public:
    using TSpecial = std::function<void(qint64 row, TGenField& txt, TGenField& data)>;

    explicit TGenRows(qint64 count, TSpecial special = {})
        : count_(count), special_(std::move(special)) {
        Make();
    }

    bool Eof() const override { return row_ > count_; }
    void Next() override {
        ++row_;
        if (!Eof()) {
            Make();
        }
    }
    int FieldCount() const override { return 3; }
    const TDbField& Field(int index) const override {
        return index == 0 ? id_ : index == 1 ? txt_ : data_;
    }
    const TDbField& FieldByName(const QString& name) const override {
        for (int i = 0; i < FieldCount(); ++i) {
            if (Field(i).Name().compare(name, Qt::CaseInsensitive) == 0) {
                return Field(i);
            }
        }
        throw TError(QStringLiteral("no column ") + name);
    }
    qint64 Row() const { return row_; }

private:
    void Make() {
        id_.text_ = QString::number(row_);
        txt_.null_ = row_ % 10 == 0;
        txt_.text_ = QStringLiteral("строка %1\tс табом\\ и переводом\n😀 %2")
                         .arg(row_)
                         .arg(QString(int(row_ % 97), u'x'));
        data_.null_ = false;
        data_.bytes_ = QCryptographicHash::hash(QByteArray::number(row_), QCryptographicHash::Md5);
        if (special_) {
            special_(row_, txt_, data_);
        }
    }

    qint64 count_;
    qint64 row_ = 1;
    TSpecial special_;
    TGenField id_{QStringLiteral("ID"), TFieldCategory::Other};
    TGenField txt_{QStringLiteral("TXT"), TFieldCategory::Other};
    TGenField data_{QStringLiteral("DATA"), TFieldCategory::LargeBinary};
};

// The same rows as the server computes them.
const QString kExpectedTxt = QStringLiteral(
    "CASE WHEN id % 10 = 0 THEN NULL ELSE 'строка ' || id || E'\\tс табом\\\\ и переводом\\n😀 ' "
    "|| repeat('x', (id % 97)::int) END");
const QString kExpectedData = QStringLiteral("decode(md5(id::text), 'hex')");

TFieldRec Col(const QString& name, const QString& type) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    return field;
}

class CopyWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CopyTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        testbed::CreateDatabase(kDb);
        PgExec(kDb, {"CREATE TABLE gen (id bigint PRIMARY KEY, txt text, data bytea)",
                     "CREATE TABLE marks (portion int)"});
        table_.name = QStringLiteral("GEN");
        table_.fields = {Col("ID", "NUMBER"), Col("TXT", "CLOB"), Col("DATA", "BLOB")};
        options_.table_name = table_.name;
        writer_.Open(testbed::BridgeString(QStringLiteral("PostgreSQL_Test"), kDb));
    }
    void TearDown() override {
        writer_.Close();
        testbed::DropDatabase(kDb);
    }

    // Rows of gen that differ from what the generator makes.
    QString Wrong() {
        return PgValue(kDb, "SELECT count(*) FROM gen WHERE txt IS DISTINCT FROM " + kExpectedTxt +
                                " OR data IS DISTINCT FROM " + kExpectedData);
    }

    TTableRec table_;
    TRenderOptions options_;
    TCopyWriter writer_;
};

TEST_F(CopyWriterTest, PortionsOfManyBlocksArriveExactlyWithTheirStatements) {
    TGenRows rows(30000);
    qint64 portion = 0;
    qint64 rendered = 0;
    while (!rows.Eof()) {
        writer_.StartPortion(table_, rows.Row());
        const qint64 taken = writer_.Fill(rows, 17000, options_);
        EXPECT_EQ(taken, writer_.Rows());
        rendered += writer_.Bytes();
        // Many blocks, the first streamed already: nothing shows before the commit.
        EXPECT_GT(writer_.Bytes(), 20 * TCopyWriter::kBlockBytes);
        EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"),
                  QString::number(portion == 0 ? 0 : 17000));
        ++portion;
        writer_.Send({QStringLiteral("INSERT INTO marks VALUES (%1)").arg(portion)});
    }
    EXPECT_EQ(portion, 2);
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) || '/' || min(id) || '/' || max(id) FROM gen"),
              "30000/1/30000");
    EXPECT_EQ(Wrong(), "0");
    EXPECT_EQ(PgValue(kDb, "SELECT string_agg(portion::text, ',' ORDER BY portion) FROM marks"),
              "1,2");
    EXPECT_EQ(writer_.BytesSent(), rendered);

    // A portion of one block still goes as one transaction of its own.
    PgExec(kDb, {"TRUNCATE gen"});
    TGenRows few(5);
    writer_.StartPortion(table_, 1);
    EXPECT_EQ(writer_.Fill(few, 1000, options_), 5);
    writer_.Send({});
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"), "5");
    EXPECT_EQ(Wrong(), "0");
}

TEST_F(CopyWriterTest, RowRefusedInALaterBlockIsNamedWithItsNumberAndValues) {
    PgExec(kDb, {"ALTER TABLE gen ADD CONSTRAINT no_17001 CHECK (id <> 17001)"});
    TGenRows rows(20000);
    writer_.StartPortion(table_, 101);
    writer_.Fill(rows, 20000, options_);
    std::string message = "no error";
    try {
        writer_.Send({QStringLiteral("INSERT INTO marks VALUES (1)")});
    } catch (const TPgError& e) {
        message = e.Message().toStdString();
        EXPECT_EQ(e.SqlState(), "23514");
        EXPECT_EQ(e.Line(), 17001);
    }
    EXPECT_NE(message.find("Таблица GEN: сервер отклонил строку 17101 (по порядку чтения из "
                           "исходной БД; строка 17001 потока COPY)"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("no_17001"), std::string::npos) << message;
    EXPECT_NE(message.find(
                  "\nID = 17001\nTXT = строка 17001\tс табом\\ и переводом\n😀 " +
                  std::string(17001 % 97, 'x') + "\nDATA = \\x" +
                  QCryptographicHash::hash("17001", QCryptographicHash::Md5).toHex().toStdString()),
              std::string::npos)
        << message;
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"), "0");
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM marks"), "0");

    // A huge row is not kept whole for the message: its values are shown cut, as always, with
    // their whole length (in characters, a pair of surrogates counting two).
    PgExec(kDb, {"ALTER TABLE gen DROP CONSTRAINT no_17001",
                 "ALTER TABLE gen ADD CONSTRAINT short_txt CHECK (length(txt) < 100000)"});
    const QString huge = QString(300, u'Я') + QString(1200000, u'x') + QStringLiteral("😀");
    TGenRows with_huge(3000, [&](qint64 row, TGenField& txt, TGenField&) {
        if (row == 2500) {
            txt.null_ = false;
            txt.text_ = huge;
        }
    });
    writer_.StartPortion(table_, 1);
    writer_.Fill(with_huge, 3000, options_);
    message = "no error";
    try {
        writer_.Send({});
    } catch (const TPgError& e) {
        message = e.Message().toStdString();
    }
    EXPECT_NE(message.find("сервер отклонил строку 2500 "), std::string::npos) << message;
    EXPECT_NE(message.find("\nTXT = " + QString(200, u'Я').toStdString() +
                           "… (всего знаков: 1200302)\nDATA = \\x"),
              std::string::npos)
        << message.substr(0, 2000);

    // The writer goes on with the next portion.
    PgExec(kDb, {"ALTER TABLE gen DROP CONSTRAINT short_txt"});
    TGenRows again(4000);
    writer_.StartPortion(table_, 1);
    writer_.Fill(again, 4000, options_);
    writer_.Send({});
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"), "4000");
    EXPECT_EQ(Wrong(), "0");
}

TEST_F(CopyWriterTest, SessionKilledMidPortionIsRaisedAndRollbackReturns) {
    bool killed = false;
    TGenRows rows(200000, [&](qint64 row, TGenField&, TGenField&) {
        if (row == 3000) {
            testbed::AdminExec(
                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                "datname = '" +
                kDb + "' AND pid <> pg_backend_pid()");
            killed = true;
        }
    });
    writer_.StartPortion(table_, 1);
    std::string message = "no error";
    try {
        // The portion goes on to its 8 MB; the stream fails on the way or at the end.
        writer_.Fill(rows, 200000, options_);
        writer_.Send({});
    } catch (const TPgError& e) {
        message = e.Message().toStdString();
    }
    EXPECT_TRUE(killed);
    EXPECT_NE(message, "no error");
    writer_.Rollback();
    EXPECT_FALSE(writer_.Connected());
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"), "0");

    writer_.Open(testbed::BridgeString(QStringLiteral("PostgreSQL_Test"), kDb));
    TGenRows again(1000);
    writer_.StartPortion(table_, 1);
    writer_.Fill(again, 1000, options_);
    writer_.Send({});
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"), "1000");
}

TEST_F(CopyWriterTest, FailureWhileTheTargetWaitsOnALockStopsTheSender) {
    // Another session holds the table: the sender waits in its COPY, taking no blocks.
    TPgCopySession holder;
    holder.Open(PgConnInfoFromOdbc(QStringLiteral("DSN=PostgreSQL_Test;DATABASE=") + kDb));
    holder.Exec(QStringLiteral("BEGIN"));
    holder.Exec(QStringLiteral("LOCK TABLE gen IN ACCESS EXCLUSIVE MODE"));
    TGenRows rows(5000, [](qint64 row, TGenField&, TGenField&) {
        if (row == 1200) {
            // A failure on the reading side, with the sender stuck.
            throw TConvertError(QStringLiteral("broken row"));
        }
    });
    writer_.StartPortion(table_, 1);
    EXPECT_THROW(writer_.Fill(rows, 5000, options_), TConvertError);
    holder.Exec(QStringLiteral("ROLLBACK"));
    // The sender's statement was cancelled and rolled back; the session goes on.
    EXPECT_TRUE(writer_.Connected());
    TGenRows again(3000);
    writer_.StartPortion(table_, 1);
    writer_.Fill(again, 3000, options_);
    writer_.Send({});
    EXPECT_EQ(PgValue(kDb, "SELECT count(*) FROM gen"), "3000");
    EXPECT_EQ(Wrong(), "0");
}

TEST_F(CopyWriterTest, ValuesOfFiveAndFiftyMegabytesArriveExactly) {
    QByteArray five(5 * 1024 * 1024 + 3, '\0');
    QByteArray fifty(50 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < fifty.size(); ++i) {
        fifty[i] = char((i * 7 + i / 4099) & 0xFF);
        if (i < five.size()) {
            five[i] = char(255 - (i & 0xFF));
        }
    }
    TGenRows rows(4, [&](qint64 row, TGenField&, TGenField& data) {
        if (row == 2) {
            data.bytes_ = five;
        } else if (row == 3) {
            data.bytes_ = fifty;
        }
    });
    // A portion ends past its 8 MB: each huge row closes one.
    int portions = 0;
    while (!rows.Eof()) {
        writer_.StartPortion(table_, rows.Row());
        writer_.Fill(rows, 1000, options_);
        writer_.Send({});
        ++portions;
    }
    EXPECT_EQ(portions, 3);
    const auto md5 = [](const QByteArray& bytes) {
        return QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    };
    EXPECT_EQ(PgColumn(kDb,
                       "SELECT id || ':' || length(data) || ':' || md5(data) FROM gen "
                       "ORDER BY id"),
              QStringList({"1:16:" + md5(QCryptographicHash::hash("1", QCryptographicHash::Md5)),
                           "2:" + QString::number(five.size()) + ":" + md5(five),
                           "3:" + QString::number(fifty.size()) + ":" + md5(fifty),
                           "4:16:" + md5(QCryptographicHash::hash("4", QCryptographicHash::Md5))}));
}

}  // namespace
