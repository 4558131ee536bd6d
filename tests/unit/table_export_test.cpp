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
    // The target's columns by their target names; dates in the form the data file has them.
    EXPECT_EQ(BuildControlLine(table, QStringLiteral("C:\\exp\\123.dat")),
              QStringLiteral("LOAD DATA CHARACTERSET UTF8 INFILE 'C:\\exp\\123.dat' INTO TABLE T "
                             "FIELDS TERMINATED BY '\\t' TRAILING NULLCOLS (ID,FULL_NAME,DT "
                             "DATE(22) \"SYYYY-MM-DD HH24:MI:SS\")"));
}

TEST(TableExportTest, ControlLineTypesEveryColumn) {
    TTableRec table;
    table.name = QStringLiteral("Old Orders");
    table.fields = {Column("A", "TIMESTAMP(6)"),
                    Column("B", "timestamp(3) with time zone"),
                    Column("C", "TIMESTAMP WITH LOCAL TIME ZONE"),
                    Column("D", "date"),
                    Column("NOTE", "VARCHAR2"),
                    Column("CODE", "CHAR"),
                    Column("BODY", "CLOB"),
                    Column("GUID", "RAW"),
                    Column("ITEM#", "NUMBER"),
                    Column("V", "NUMBER")};
    table.fields[4].size = 100;
    table.fields[5].size = 1;
    table.fields[7].size = 16;
    table.fields[9].is_virtual = true;
    EXPECT_EQ(BuildControlLine(table, "/x/1.dat"),
              "LOAD DATA CHARACTERSET UTF8 INFILE '/x/1.dat' INTO TABLE \"Old Orders\" FIELDS "
              "TERMINATED BY '\\t' TRAILING NULLCOLS (A TIMESTAMP \"SYYYY-MM-DD HH24:MI:SS.FF\","
              "B TIMESTAMP WITH TIME ZONE \"SYYYY-MM-DD HH24:MI:SS.FF TZH:TZM\","
              "C TIMESTAMP WITH LOCAL TIME ZONE \"SYYYY-MM-DD HH24:MI:SS.FF TZH:TZM\","
              "D DATE(22) \"SYYYY-MM-DD HH24:MI:SS\",NOTE CHAR(400),CODE CHAR(4),"
              "BODY CHAR(10485760),GUID CHAR(32),ITEM#,V FILLER)");

    EXPECT_EQ(OracleUnloadableColumn(table), QString());
    table.fields.append(Column("PHOTO", "BLOB"));
    EXPECT_EQ(OracleUnloadableColumn(table), "PHOTO");
    table.fields.last().data_type = "LONG RAW";
    EXPECT_EQ(OracleUnloadableColumn(table), "PHOTO");
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

// The export reads as the copy does: by key when there is one, never by offset, every column
// of the model by name (a server leaves invisible ones out of "*"), no query addition.
TEST(TableExportTest, ReadsByKeyWithTheModelsColumns) {
    TTableRec table;
    table.name = QStringLiteral("LIMIT");
    table.fields = {Column("ITEM#", "NUMBER"), Column("Id", "VARCHAR2"), Column("NOTE", "VARCHAR2"),
                    Column("TOTAL", "NUMBER")};
    table.fields[3].is_virtual = true;
    table.fields[3].virtual_expr = QStringLiteral("\"ITEM#\"*2");
    table.primary_key = {QStringLiteral("PK_LIMIT"), QStringLiteral("(ITEM#,Id)"), true};
    table.query_addi = QStringLiteral("WHERE NOTE IS NOT NULL");

    const TReadPlan pg = ExportReadPlan(table, kDbPostgres, {"TOTAL"});
    ASSERT_EQ(pg.mode, TReadMode::KeyPortions);
    EXPECT_EQ(SelectList(pg), "\"ITEM#\",\"Id\",NOTE")
        << "a computed column stays out of a PostgreSQL file";
    // An addition that orders the rows would read the copy's way in one pass; the export has
    // none.
    table.query_addi = QStringLiteral("ORDER BY NOTE");
    EXPECT_EQ(ExportReadPlan(table, kDbPostgres, {}).mode, TReadMode::KeyPortions);
    EXPECT_EQ(PgDataFileColumns(table, {"TOTAL"}), QStringList({"ITEM#", "Id", "NOTE"}));
    // The loader's layout keeps it (its control file marks it FILLER).
    EXPECT_EQ(ExportReadPlan(table, kDbOracle, {"TOTAL"}).columns,
              QStringList({"ITEM#", "Id", "NOTE", "TOTAL"}));

    // Without a usable key: one pass through the whole-table reader, never pages.
    table.primary_key = {};
    EXPECT_EQ(ExportReadPlan(table, kDbPostgres, {}).mode, TReadMode::WholeTable);
    EXPECT_EQ(SelectList(ExportReadPlan(table, kDbPostgres, {})), "\"ITEM#\",\"Id\",NOTE,TOTAL");
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

    // COPY reads floats with the point only, whatever separator was chosen; a minus zero keeps
    // its sign.
    TOneRow floats;
    floats.Add(TRowField("F", TFieldCategory::Float, false, "-0"))
        .Add(TRowField("G", TFieldCategory::Float, false, "2.5"))
        .Add(TRowField("H", TFieldCategory::Float, false, "1,5e-10"))
        .Text("S", "2,5");
    EXPECT_EQ(BuildDataLine(floats, Format(kDbPostgres, QLatin1Char(',')), "T", 1),
              QStringLiteral("-0\t2.5\t1.5e-10\t2,5"));
    // Unknown server kinds get the COPY layout as well.
    EXPECT_EQ(BuildDataLine(floats, Format(kDbUnknown, QLatin1Char(',')), "T", 1),
              QStringLiteral("-0\t2.5\t1.5e-10\t2,5"));

    // Dates before year 1 in the era form, also where the column comes as text.
    TLineFormat format = Format(kDbPostgres);
    format.date_kinds = {TDateTimeKind::None, TDateTimeKind::Date};
    TOneRow era;
    era.Add(TRowField("D", TFieldCategory::DateTime, false, "-4712-01-01"))
        .Text("E", "-0044-03-15 12:00:00")
        .Add(TRowField("F", TFieldCategory::DateTime, false, "0044-03-15 12:00:00 BC"))
        .Add(TRowField("G", TFieldCategory::DateTime, false, "2024-01-05 00:00:00.5+03"));
    EXPECT_EQ(BuildDataLine(era, format, "T", 1),
              QStringLiteral("4712-01-01 BC\t0044-03-15 12:00:00 BC\t0044-03-15 12:00:00 BC\t"
                             "2024-01-05 00:00:00.5+03"));
}

// The COPY text encoder alone, as other writers of the format call it: it appends to what is
// there, and refuses a character code 0 rather than writing a line the server stops on.
TEST(TableExportTest, CopyTextFieldAppendsAndRefusesNul) {
    TOneRow row;
    row.Text("A", "x\ty").Null("B").Add(TRowField("C", TFieldCategory::Float, false, "-0"));
    QString out = QStringLiteral("1\t");
    AppendCopyTextField(out, row.Field(0), TDateTimeKind::None, "T", 1);
    AppendCopyTextField(out, row.Field(1), TDateTimeKind::None, "T", 1);
    AppendCopyTextField(out, row.Field(2), TDateTimeKind::None, "T", 1);
    EXPECT_EQ(out, QStringLiteral("1\tx\\ty\\N-0"));

    TOneRow nul;
    nul.Text("ID", "3").Text("NOTE", QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    try {
        BuildDataLine(nul, Format(kDbPostgres), "NOTES", 12);
        ADD_FAILURE() << "no error";
    } catch (const TError& error) {
        EXPECT_EQ(error.Message(),
                  "Текст содержит символ с кодом 0, который PostgreSQL не принимает: таблица "
                  "NOTES, строка 12, столбец NOTE");
    }
}

TEST(TableExportTest, OracleLine) {
    TLineFormat format = Format(kDbOracle, QLatin1Char(','));
    format.date_kinds = {TDateTimeKind::None,       TDateTimeKind::None, TDateTimeKind::None,
                         TDateTimeKind::None,       TDateTimeKind::Date, TDateTimeKind::Timestamp,
                         TDateTimeKind::TimestampTz};
    TOneRow row;
    row.Text("ID", "7")
        .Null("NOTE")
        .Text("NAME", QStringLiteral("it's \\ fine"))
        .Add(TRowField("F", TFieldCategory::Float, false, "2.5"))
        .Add(TRowField("DT", TFieldCategory::DateTime, false, "-0044-03-15"))
        .Add(TRowField("TS", TFieldCategory::DateTime, false, "2024-05-01 13:07:09"))
        .Add(TRowField("TZ", TFieldCategory::DateTime, false, "2024-05-01 13:07:09.5+03"))
        .Add(TRowField("R", TFieldCategory::LargeBinary, false, {}, QByteArray("\x00\xab", 2)))
        .Null("LAST");
    // Dates in the formats of the control file, whatever the target session's format is.
    EXPECT_EQ(BuildDataLine(row, format, "T", 1),
              QStringLiteral("7\t\tit's \\ fine\t2,5\t-0044-03-15 00:00:00\t2024-05-01 "
                             "13:07:09.0\t2024-05-01 13:07:09.5 +03:00\t00AB\t"));

    // A zoned value without its offset cannot be written as an instant.
    TOneRow zoneless;
    zoneless.Text("ID", "1").Add(
        TRowField("TZ", TFieldCategory::DateTime, false, "2024-05-01 13:07:09"));
    format.date_kinds = {TDateTimeKind::None, TDateTimeKind::TimestampTz};
    EXPECT_THROW(BuildDataLine(zoneless, format, "T", 1), TError);

    // A lone null column gives an empty line (which the export still writes).
    TOneRow lone;
    lone.Null("X");
    EXPECT_EQ(BuildDataLine(lone, format, "T", 1), QString());

    for (const QString& bad :
         {QStringLiteral("a\tb"), QStringLiteral("a\nb"), QStringLiteral("a\rb")}) {
        TOneRow broken;
        broken.Text("ID", "1").Text("NOTE", bad);
        try {
            BuildDataLine(broken, Format(kDbOracle), "CLIENTS", 42);
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
