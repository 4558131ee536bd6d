#include "export/table_export.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

#include "memory_row.h"
#include "util/error.h"

namespace {

using TRowField = TMemoryField;
using TOneRow = TMemoryRow;

TFieldRec Column(const QString& name, const QString& type, const QString& change_name = {}) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.change_name = change_name;
    return field;
}

TLineFormat Format(int db_type, QChar sep = QLatin1Char('.')) {
    TLineFormat format;
    format.db_type = db_type;
    format.deci_sep = sep;
    return format;
}

}  // namespace

TEST(TableExportTest, ControlLineOfTheWorkedExample) {
    TTableRec table;
    table.name = QStringLiteral("T");
    table.fields = {Column("ID", "NUMBER"), Column("NAME", "VARCHAR2", "FULL_NAME"),
                    Column("DT", "DATE")};
    EXPECT_EQ(BuildControlLine(table, QStringLiteral("C:\\exp\\123.dat"), "DD.MM.RR"),
              QStringLiteral("LOAD DATA INFILE 'C:\\exp\\123.dat' INTO TABLE T FIELDS TERMINATED "
                             "BY '\\t' TRAILING NULLCOLS (ID,NAME,DT DATE(8) \"DD.MM.RR\")"));

    // Only the exact type name "DATE" gets the format; the length counts characters.
    table.fields = {Column("A", "TIMESTAMP(6)"), Column("B", "date"), Column("C", "DATE")};
    EXPECT_EQ(BuildControlLine(table, "/x/1.dat", QString::fromUtf8("DD-ДД")),
              QString::fromUtf8("LOAD DATA INFILE '/x/1.dat' INTO TABLE T FIELDS TERMINATED BY "
                                "'\\t' TRAILING NULLCOLS (A,B,C DATE(5) \"DD-ДД\")"));
}

TEST(TableExportTest, CopyTextEscapes) {
    EXPECT_EQ(EscapeCopyText(QStringLiteral("a\tb\nc\rd\\e")),
              QStringLiteral("a\\tb\\nc\\rd\\\\e"));
    EXPECT_EQ(EscapeCopyText(QStringLiteral("\\N")), QStringLiteral("\\\\N"));
    EXPECT_EQ(EscapeCopyText(QStringLiteral("\\.")), QStringLiteral("\\\\."));
    EXPECT_EQ(EscapeCopyText(QString::fromUtf8("plain ü 😀")), QString::fromUtf8("plain ü 😀"));
    EXPECT_EQ(EscapeCopyText(QString()), QString());
}

TEST(TableExportTest, DecimalSeparatorChoice) {
    EXPECT_EQ(GetDeciSep(0), QLatin1Char('.'));
    EXPECT_EQ(GetDeciSep(1), QLatin1Char(','));
    const QChar system = GetDeciSep(-1);
    EXPECT_TRUE(system == QLatin1Char('.') || system == QLatin1Char(',')) << int(system.unicode());
}

TEST(TableExportTest, QueryTextOrdersByThePrimaryKey) {
    TTableRec table;
    table.name = QStringLiteral("ORDERS");
    EXPECT_EQ(ExportQueryText(table), QStringLiteral("SELECT * FROM ORDERS"));
    table.primary_key.column_names = QStringLiteral("(ID,LINE)");
    EXPECT_EQ(ExportQueryText(table), QStringLiteral("SELECT * FROM ORDERS ORDER BY ID,LINE"));
}

TEST(TableExportTest, PostgresLine) {
    TOneRow row;
    row.Text("ID", "7")
        .Null("NOTE")
        .Text("BODY", QStringLiteral("a\tb\r\nc\\d"))
        .Add(TRowField("F", TFieldCategory::Float, false, "2,5"))
        .Add(TRowField("DT", TFieldCategory::DateTime, false, "2024-01-05 13:07:09"))
        .Add(TRowField("BIN", TFieldCategory::LargeBinary, false, "ignored",
                       QByteArray("\x00\xff\x5c\x09", 4)))
        .Null("BIN2", TFieldCategory::LargeBinary)
        .Text("EMPTY", "");
    EXPECT_EQ(BuildDataLine(row, Format(kDbPostgres), "T", 1),
              QStringLiteral("7\t\\N\ta\\tb\\r\\nc\\\\d\t2.5\t2024-01-05 13:07:09\t\\\\x00ff5c09\t"
                             "\\N\t"));

    TOneRow floats;
    floats.Add(TRowField("F", TFieldCategory::Float, false, "1,234.5"))
        .Add(TRowField("G", TFieldCategory::Float, false, "2.5"))
        .Text("S", "2.5");
    EXPECT_EQ(BuildDataLine(floats, Format(kDbPostgres, QLatin1Char(',')), "T", 1),
              QStringLiteral("1,234,5\t2,5\t2.5"));
    // Unknown server kinds get the COPY layout as well.
    EXPECT_EQ(BuildDataLine(floats, Format(kDbUnknown), "T", 1),
              QStringLiteral("1.234.5\t2.5\t2.5"));
}

TEST(TableExportTest, OracleLine) {
    TLineFormat format = Format(kDbOracle, QLatin1Char(','));
    format.ora_time_format = QStringLiteral("DD-MMM-YY HH:NN:SS");
    const QDateTime date(QDate(2024, 5, 1), QTime(13, 7, 9));
    TOneRow row;
    row.Text("ID", "7")
        .Null("NOTE")
        .Text("NAME", QStringLiteral("it's \\ fine"))
        .Add(TRowField("F", TFieldCategory::Float, false, "2.5"))
        .Add(TRowField("DT", TFieldCategory::DateTime, false, "2024-05-01 13:07:09", {}, date))
        .Null("LAST");
    EXPECT_EQ(BuildDataLine(row, format, "T", 1),
              QStringLiteral("7\t\tit's \\ fine\t2,5\t01-MAY-24 13:07:09\t"));

    // A lone null column gives an empty line (which the export still writes).
    TOneRow lone;
    lone.Null("X");
    EXPECT_EQ(BuildDataLine(lone, format, "T", 1), QString());

    for (const QString& bad :
         {QStringLiteral("a\tb"), QStringLiteral("a\nb"), QStringLiteral("a\rb")}) {
        TOneRow broken;
        broken.Text("ID", "1").Text("NOTE", bad);
        try {
            BuildDataLine(broken, format, "CLIENTS", 42);
            ADD_FAILURE() << "no error for " << bad.toStdString();
        } catch (const TError& error) {
            EXPECT_TRUE(error.Message().contains(QStringLiteral("CLIENTS")));
            EXPECT_TRUE(error.Message().contains(QStringLiteral("42")));
            EXPECT_TRUE(error.Message().contains(QStringLiteral("NOTE")));
        }
    }
}

TEST(TableExportTest, RandomDataFileBesideTheControlFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString control = dir.filePath("t.ctl");
    const QString data = RandomDataFileName(control);
    const QFileInfo info(data);
    EXPECT_EQ(info.absolutePath(), QFileInfo(control).absolutePath());
    EXPECT_EQ(info.suffix(), QStringLiteral("dat"));
    bool ok = false;
    const qint64 number = info.completeBaseName().toLongLong(&ok);
    EXPECT_TRUE(ok);
    EXPECT_GE(number, 0);
    EXPECT_LE(number, 2147483646);
    EXPECT_FALSE(info.exists());
}
