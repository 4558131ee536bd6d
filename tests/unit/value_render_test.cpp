#include "transfer/value_render.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "memory_row.h"
#include "util/error.h"

namespace {

using TTestField = TMemoryField;
using TTestRow = TMemoryRow;

TFieldRec Column(const QString& name, const QString& type, int scale = 0) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.scale = scale;
    return field;
}

class ValueRenderTest : public ::testing::Test {
protected:
    // Renders one value of the given type given as text.
    QString Render(const QString& type, const QString& text, int scale = 0) {
        TTestRow row;
        row.Add(TTestField(QStringLiteral("C"), TFieldCategory::Other, false, text));
        return LoadFieldValue(Column(QStringLiteral("C"), type, scale), row, options, params);
    }

    TRenderOptions options;
    TParamFiles params;
};

TEST_F(ValueRenderTest, NullIsNullForEveryTypeAndWritesNoFile) {
    QTemporaryDir dir;
    options.file_param = dir.filePath(QStringLiteral("param.tmp"));
    TTestRow row;
    row.Add(TTestField(QStringLiteral("C"), TFieldCategory::LargeBinary, true, {}));
    for (const char* type : {"NUMBER", "VARCHAR2", "DATE", "BLOB", "LONG RAW", "CLOB", "RAW"}) {
        EXPECT_EQ(LoadFieldValue(Column(QStringLiteral("C"), QString::fromLatin1(type)), row,
                                 options, params),
                  QStringLiteral("null,"))
            << type;
    }
    EXPECT_TRUE(params.Empty());
    EXPECT_FALSE(QFile::exists(options.file_param));
}

TEST_F(ValueRenderTest, IntegerNumbers) {
    EXPECT_EQ(Render("NUMBER", "-5"), "-5,");
    EXPECT_EQ(Render("NUMBER", "007"), "7,");
    EXPECT_EQ(Render("number", "2147483648"), "2147483648,");
    EXPECT_EQ(Render("NUMBER", "-9223372036854775808"), "-9223372036854775808,");
    EXPECT_EQ(Render("NUMBER", "12,0"), "12,");  // decimal comma of the driver
    EXPECT_EQ(Render("NUMBER", "1E+3"), "1000,");
    EXPECT_EQ(Render("NUMBER", "-0"), "0,");
    EXPECT_THROW(Render("NUMBER", "9223372036854775808"), TConvertError);

    options.int_type_index = 1;
    EXPECT_EQ(Render("NUMBER", "-5"), "-5,");
    EXPECT_EQ(Render("NUMBER", "007"), "007,");
    EXPECT_EQ(Render("NUMBER", "2147483648"), "2147483648,");
}

TEST_F(ValueRenderTest, FractionBoundForIntegerColumnIsNeverRounded) {
    options.table_name = QStringLiteral("T");
    try {
        Render("NUMBER", "1.5");
        FAIL() << "no error";
    } catch (const TConvertError& e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral("Таблица T, столбец C: значение 1.5 не является целым числом"));
    }
    EXPECT_THROW(Render("NUMBER", "0,5"), TConvertError);
    EXPECT_THROW(Render("NUMBER", "1E-1"), TConvertError);
    options.int_type_index = 1;
    EXPECT_THROW(Render("NUMBER", "2.25"), TConvertError);
    // Text that is no number at all never reaches the statement.
    EXPECT_THROW(Render("NUMBER", "1);DROP TABLE T;--"), TConvertError);
    EXPECT_THROW(Render("NUMBER", ""), TConvertError);
}

TEST_F(ValueRenderTest, ScaledNumbersKeepTheirExactDigits) {
    EXPECT_EQ(Render("NUMBER", "12345678901234567890.123456789", 9),
              "12345678901234567890.123456789,");
    EXPECT_EQ(Render("NUMBER", "0,1", 2), "0.1,");
    EXPECT_EQ(Render("NUMBER", "-.5", 1), "-.5,");
    options.int_type_index = 1;
    EXPECT_EQ(Render("NUMBER", "3.14", 2), "3.14,");
    EXPECT_THROW(Render("NUMBER", "3.14.1", 2), TConvertError);
}

TEST_F(ValueRenderTest, FloatValues) {
    EXPECT_EQ(Render("FLOAT", "3,25"), "3.25,");
    EXPECT_EQ(Render("BINARY_DOUBLE", "-1.5E-7"), "-1.5E-7,");
    EXPECT_EQ(Render("BINARY_FLOAT", "NaN"), "'NaN',");
}

TEST_F(ValueRenderTest, TextStaysUnicodeAndOnlyApostrophesAreDoubled) {
    EXPECT_EQ(Render("VARCHAR2", "O'Brien"), "'O''Brien',");
    EXPECT_EQ(Render("nvarchar2", "Ünïcødé ✓ 漢字 ёж"), "'Ünïcødé ✓ 漢字 ёж',");
    EXPECT_EQ(Render("VARCHAR2", "a\nb\\c;d"), "'a\nb\\c;d',");
    EXPECT_EQ(Render("VARCHAR2", "  padded  "), "'  padded  ',");
    EXPECT_EQ(Render("VARCHAR2", ""), "'',");
    // Types without a rule of their own are text literals, not nothing.
    EXPECT_EQ(Render("CHAR", "Y "), "'Y ',");
    EXPECT_EQ(Render("CLOB", "it's long"), "'it''s long',");
    EXPECT_EQ(Render("TIMESTAMP(6)", "2024-01-02 03:04:05.123456"),
              "'2024-01-02 03:04:05.123456',");
    EXPECT_EQ(Render("NUMBER(10)", "42"), "'42',");
}

TEST_F(ValueRenderTest, Dates) {
    TTestRow row;
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    row.Add(TTestField(QStringLiteral("D"), TFieldCategory::DateTime, false,
                       QStringLiteral("2024-03-05 14:07:09"), {}, when));
    const TFieldRec field = Column(QStringLiteral("D"), QStringLiteral("DATE"));
    options.date_time_format = QStringLiteral("yyyy/mm/dd hh:nn");
    EXPECT_EQ(LoadFieldValue(field, row, options, params), "'2024-03-05 14:07:09',");

    options.db_to = kDbOracle;
    options.date_time_format = QStringLiteral("dd-mmm-yyyy hh:nn:ss");
    EXPECT_EQ(LoadFieldValue(field, row, options, params), "'05-MAR-2024 14:07:09',");
}

TEST_F(ValueRenderTest, RawIsABinaryLiteralOfTheTarget) {
    TTestRow row;
    row.Add(TTestField(QStringLiteral("R"), TFieldCategory::LargeBinary, false, {},
                       QByteArray("\x00\xab\x27", 3)));
    row.Add(
        TTestField(QStringLiteral("H"), TFieldCategory::Other, false, QStringLiteral("\\x0aff")));
    const TFieldRec raw = Column(QStringLiteral("R"), QStringLiteral("RAW"));
    const TFieldRec raw_text = Column(QStringLiteral("H"), QStringLiteral("RAW"));
    EXPECT_EQ(LoadFieldValue(raw, row, options, params), "decode('00ab27','hex'),");
    EXPECT_EQ(LoadFieldValue(raw_text, row, options, params), "decode('0aff','hex'),");
    options.db_to = kDbOracle;
    EXPECT_EQ(LoadFieldValue(raw, row, options, params), "HEXTORAW('00AB27'),");
    EXPECT_TRUE(params.Empty());
}

TEST_F(ValueRenderTest, EveryLargeBinaryOfARowGetsItsOwnFile) {
    QTemporaryDir dir;
    options.file_param = dir.filePath(QStringLiteral("param.tmp"));
    const QByteArray first("\x01\x02\x00\xff", 4);
    const QByteArray second("second value");
    const QByteArray third("\x00", 1);
    TTestRow row;
    row.Add(TTestField(QStringLiteral("A"), TFieldCategory::LargeBinary, false, {}, first));
    row.Add(TTestField(QStringLiteral("B"), TFieldCategory::LargeBinary, false, {}, second));
    row.Add(TTestField(QStringLiteral("C"), TFieldCategory::LargeBinary, false, {}, third));
    EXPECT_EQ(LoadFieldValue(Column("A", "BLOB"), row, options, params), ":param,");
    EXPECT_EQ(LoadFieldValue(Column("B", "long raw"), row, options, params), ":param2,");
    // A binary type unknown by name still arrives through a file.
    EXPECT_EQ(LoadFieldValue(Column("C", "BFILE"), row, options, params), ":param3,");

    const QList<TParamFiles::TParam> expected{
        {QStringLiteral("param"), dir.filePath(QStringLiteral("param.tmp"))},
        {QStringLiteral("param2"), dir.filePath(QStringLiteral("param2.tmp"))},
        {QStringLiteral("param3"), dir.filePath(QStringLiteral("param3.tmp"))}};
    ASSERT_EQ(params.Params(), expected);
    const QList<QByteArray> contents{first, second, third};
    for (int i = 0; i < 3; ++i) {
        QFile file(expected[i].path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), contents[i]) << i;
    }

    // The next statement starts again at "param".
    params.Reset();
    EXPECT_EQ(LoadFieldValue(Column("B", "BLOB"), row, options, params), ":param,");
    QFile file(options.file_param);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), second);

    EXPECT_EQ(TParamFiles::PathFor(QStringLiteral("/a.b/param"), 2), "/a.b/param2");
}

TEST_F(ValueRenderTest, UnwritableParameterFileFails) {
    options.file_param = QStringLiteral("/nonexistent-dir-of-the-test/param.tmp");
    TTestRow row;
    row.Add(TTestField(QStringLiteral("A"), TFieldCategory::LargeBinary, false, {}, "x"));
    EXPECT_THROW(LoadFieldValue(Column("A", "BLOB"), row, options, params), TFileError);
}

// The statement builder appends values through a faster path; it must write what the general
// one writes, and fail where it fails, for every kind of value.
TEST_F(ValueRenderTest, AppendedValuesEqualTheGeneralRendering) {
    QTemporaryDir dir;
    options.file_param = dir.filePath(QStringLiteral("param.tmp"));
    options.table_name = QStringLiteral("T");
    struct TCase {
        const char* type;
        int scale;
        const char* text;
    };
    const TCase cases[] = {
        {"NUMBER", 0, "0"},
        {"NUMBER", 0, "-0"},
        {"NUMBER", 0, "007"},
        {"NUMBER", 0, "+5"},
        {"NUMBER", 0, "-17"},
        {"NUMBER", 0, " 42 "},
        {"NUMBER", 0, "12,0"},
        {"NUMBER", 0, "1E+3"},
        {"NUMBER", 0, "123456789012345678"},
        {"NUMBER", 0, "1234567890123456789"},
        {"NUMBER", 0, "99999999999999999999"},
        {"NUMBER", 0, "1.5"},
        {"NUMBER", 0, "-"},
        {"NUMBER", 0, "abc"},
        {"NUMBER", 2, "12.50"},
        {"NUMBER", 2, "-0.01"},
        {"NUMBER", 2, "12."},
        {"NUMBER", 2, ".5"},
        {"NUMBER", 2, "3,25"},
        {"NUMBER", 2, "1.2.3"},
        {"FLOAT", 0, "3,25"},
        {"FLOAT", 0, "NaN"},
        {"VARCHAR2", 0, "O'Brien ''x'"},
        {"VARCHAR2", 0, "'"},
        {"VARCHAR2", 0, " a\nb "},
        {"NVARCHAR2", 0, "Иванов"},
        {"CHAR", 0, "Y"},
        {"CLOB", 0, "\x01"},
        {"DATE", 0, "2024-01-05 13:07:09"},
        {"RAW", 0, "00ab"},
    };
    for (const int db_to : {kDbPostgres, kDbOracle}) {
        options.db_to = db_to;
        for (const int int_type : {0, 1}) {
            options.int_type_index = int_type;
            for (const TCase& c : cases) {
                TTestRow row;
                row.Add(TTestField(QStringLiteral("C"), TFieldCategory::Other, false,
                                   QString::fromUtf8(c.text), {},
                                   QDateTime(QDate(2024, 1, 5), QTime(13, 7, 9))));
                const TFieldRec field = Column(QStringLiteral("C"), c.type, c.scale);
                QString expected;
                try {
                    expected = LoadFieldValue(field, row, options, params);
                } catch (const TConvertError&) {
                    QString out;
                    EXPECT_THROW(AppendFieldValue(out, field, RenderKindOf(field), row.Field(0),
                                                  options, params),
                                 TConvertError)
                        << c.type << " " << c.text;
                    continue;
                }
                QString out = QStringLiteral("x");
                AppendFieldValue(out, field, RenderKindOf(field), row.Field(0), options, params);
                EXPECT_EQ(out, "x" + expected) << c.type << " " << c.text << " " << db_to;
            }
        }
    }
    TTestRow row;
    row.Add(TTestField(QStringLiteral("C"), TFieldCategory::LargeBinary, false, {}, "bytes"));
    row.Add(TTestField(QStringLiteral("N"), TFieldCategory::Other, true, {}));
    QString out;
    params.Reset();
    AppendFieldValue(out, Column("C", "BFILE"), TRenderKind::Text, row.Field(0), options, params);
    AppendFieldValue(out, Column("N", "NUMBER"), TRenderKind::Number, row.Field(1), options,
                     params);
    EXPECT_EQ(out, ":param,null,");
}

TEST(GetFieldsTest, TargetNamesInOrder) {
    TTableRec table;
    EXPECT_EQ(GetFields(table), "()");
    table.fields = {Column("ID", "NUMBER"), Column("NAME", "VARCHAR2"), Column("DT", "DATE")};
    table.fields[1].change_name = QStringLiteral("TITLE");
    EXPECT_EQ(GetFields(table), "(ID,TITLE,DT)");
}

}  // namespace
