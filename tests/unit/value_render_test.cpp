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

    // For an Oracle target the format the operator typed over the target's own is used as it
    // always was; otherwise the date goes with an explicit format, whatever the session's.
    options.db_to = kDbOracle;
    options.date_time_format = QStringLiteral("dd-mmm-yyyy hh:nn:ss");
    EXPECT_EQ(LoadFieldValue(field, row, options, params),
              "TO_DATE('2024-03-05 14:07:09','YYYY-MM-DD HH24:MI:SS'),");
    options.operator_date_format = true;
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
        {QStringLiteral("param"), dir.filePath(QStringLiteral("param.tmp")), {}},
        {QStringLiteral("param2"), dir.filePath(QStringLiteral("param2.tmp")), {}},
        {QStringLiteral("param3"), dir.filePath(QStringLiteral("param3.tmp")), {}}};
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
        QString text;
    };
    const QString nul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    const QString late_nul = QStringLiteral("0123456789abcdefghi") + QChar(0);
    const QString long_text(1400, u'x');
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
        {"DATE", 0, "0044-03-15 12:00:00 BC"},
        {"DATE", 0, "-0044-03-15 12:00:00"},
        {"TIMESTAMP(6)", 0, "2024-01-05 00:00:00.5"},
        {"TIMESTAMP(6)", 0, "-4712-01-01"},
        {"TIMESTAMP(6) WITH TIME ZONE", 0, "2024-01-05 10:07:09.25+03:00"},
        {"VARCHAR2", 0, nul},
        {"VARCHAR2", 0, late_nul},
        {"VARCHAR2", 0, "0123456'"},
        {"VARCHAR2", 0, "0123456789abcdef'x''"},
        {"VARCHAR2", 0, "'"},
        {"NVARCHAR2", 0, "Длинный текст без апострофов, но с буквами"},
        {"CLOB", 0, long_text},
        {"BINARY_DOUBLE", 0, "-0"},
    };
    TTargetColumns integer_target;
    integer_target.Set(QStringLiteral("c"), TTargetKind::Integer);
    integer_target.Set(QStringLiteral("C"), TTargetKind::Integer);
    TTargetColumns exact_target;
    exact_target.Set(QStringLiteral("c"), TTargetKind::Exact);
    exact_target.Set(QStringLiteral("C"), TTargetKind::Exact);
    for (const int db_to : {kDbPostgres, kDbOracle}) {
        options.db_to = db_to;
        for (const int int_type : {0, 1, 2, 3}) {
            options.int_type_index = int_type % 2;
            options.target_columns = int_type < 2 ? &integer_target : &exact_target;
            for (const TCase& c : cases) {
                TTestRow row;
                row.Add(TTestField(QStringLiteral("C"), TFieldCategory::Other, false, c.text, {},
                                   QDateTime(QDate(2024, 1, 5), QTime(13, 7, 9))));
                const TFieldRec field = Column(QStringLiteral("C"), c.type, c.scale);
                QString expected;
                try {
                    expected = LoadFieldValue(field, row, options, params);
                } catch (const TConvertError&) {
                    QString out;
                    EXPECT_THROW(AppendFieldValue(out, PlanColumn(field, options), row.Field(0),
                                                  options, params),
                                 TConvertError)
                        << c.type << " " << c.text.left(40).toStdString();
                    continue;
                }
                QString out = QStringLiteral("x");
                AppendFieldValue(out, PlanColumn(field, options), row.Field(0), options, params);
                EXPECT_EQ(out, "x" + expected)
                    << c.type << " " << c.text.left(40).toStdString() << " " << db_to;
            }
        }
    }
    TTestRow row;
    row.Add(TTestField(QStringLiteral("C"), TFieldCategory::LargeBinary, false, {}, "bytes"));
    row.Add(TTestField(QStringLiteral("N"), TFieldCategory::Other, true, {}));
    QString out;
    params.Reset();
    const TFieldRec bfile = Column("C", "BFILE");
    const TFieldRec number = Column("N", "NUMBER");
    AppendFieldValue(out, PlanColumn(bfile, options), row.Field(0), options, params);
    AppendFieldValue(out, PlanColumn(number, options), row.Field(1), options, params);
    EXPECT_EQ(out, ":param,null,");
}

// The target's own column type decides, so that a script edited by the operator is honoured;
// numbers are written as the source gives them unless the column takes integers only.
TEST_F(ValueRenderTest, NumbersFollowTheTargetColumn) {
    options.table_name = QStringLiteral("T");
    TTargetColumns target;
    target.Set(QStringLiteral("c"), TTargetKind::Exact);
    options.target_columns = &target;
    EXPECT_EQ(Render("NUMBER", "1.5"), "1.5,");
    EXPECT_EQ(Render("NUMBER", "123456789012345678901234567890"),
              "123456789012345678901234567890,");
    EXPECT_EQ(Render("NUMBER", "12,50"), "12.50,");
    EXPECT_EQ(Render("NUMBER", " 007 "), "007,");
    // A comma that is no decimal comma, or blanks inside, are never inlined.
    for (const char* bad : {"1 234", "1,234.5", "1,2,3", ",", "1.5;DROP TABLE T"}) {
        try {
            Render("NUMBER", QString::fromLatin1(bad));
            ADD_FAILURE() << bad;
        } catch (const TConvertError& error) {
            EXPECT_EQ(error.Message(),
                      QStringLiteral("Таблица T, столбец C: значение %1 не является числом")
                          .arg(QString::fromLatin1(bad)));
        }
    }
    EXPECT_THROW(Render("FLOAT", "1,234.5"), TConvertError);
    EXPECT_THROW(Render("BINARY_DOUBLE", "1 e5"), TConvertError);

    target.Set(QStringLiteral("c"), TTargetKind::Float);
    EXPECT_EQ(Render("NUMBER", "-0.25"), "-0.25,");
    target.Set(QStringLiteral("c"), TTargetKind::Other);
    EXPECT_EQ(Render("NUMBER", "2.5"), "2.5,");

    // An integer column still refuses a fraction, even of a scaled source column.
    target.Set(QStringLiteral("c"), TTargetKind::Integer);
    EXPECT_THROW(Render("NUMBER", "1.25", 2), TConvertError);
    EXPECT_EQ(Render("NUMBER", "12.00", 2), "12,");

    // Not read (or another column): the source decides, by its scale and its data.
    options.target_columns = nullptr;
    EXPECT_EQ(Render("NUMBER", "1.25", 2), "1.25,");
    EXPECT_THROW(Render("NUMBER", "1.5"), TConvertError);
    TFieldRec profiled = Column(QStringLiteral("C"), QStringLiteral("NUMBER"));
    profiled.profile = {true, true, QStringLiteral("2.5")};
    TTestRow row;
    row.Text(QStringLiteral("C"), QStringLiteral("1.5"));
    EXPECT_EQ(LoadFieldValue(profiled, row, options, params), "1.5,");
    profiled.profile = {true, false, QStringLiteral("99999999999999999999")};
    EXPECT_FALSE(PlanColumn(profiled, options).integer);
    profiled.profile = {true, false, QStringLiteral("9223372036854775807")};
    EXPECT_TRUE(PlanColumn(profiled, options).integer);

    // An autoincrement NUMBER(10,2) keeps its fraction.
    TFieldRec autoinc = Column(QStringLiteral("C"), QStringLiteral("NUMBER"), 2);
    autoinc.autoinc = true;
    TTestRow key;
    key.Text(QStringLiteral("C"), QStringLiteral("41.25"));
    EXPECT_EQ(LoadFieldValue(autoinc, key, options, params), "41.25,");
}

TEST_F(ValueRenderTest, FloatsKeepSignAndSpecialValues) {
    EXPECT_EQ(Render("BINARY_DOUBLE", "-0"), "'-0',");
    EXPECT_EQ(Render("BINARY_FLOAT", "-0.0"), "'-0',");
    EXPECT_EQ(Render("BINARY_DOUBLE", "0"), "0,");
    EXPECT_EQ(Render("BINARY_DOUBLE", "Infinity"), "'Infinity',");
    EXPECT_EQ(Render("BINARY_DOUBLE", "-inf"), "'-Infinity',");
    options.db_to = kDbOracle;
    EXPECT_EQ(Render("BINARY_DOUBLE", "-0"), "-0D,");
    EXPECT_EQ(Render("BINARY_DOUBLE", "NaN"), "BINARY_DOUBLE_NAN,");
    EXPECT_EQ(Render("BINARY_FLOAT", "Inf"), "BINARY_DOUBLE_INFINITY,");
    EXPECT_EQ(Render("BINARY_FLOAT", "-Inf"), "-BINARY_DOUBLE_INFINITY,");
    EXPECT_EQ(Render("FLOAT", "1.5E-7"), "1.5E-7,");
    // A floating-point value of a type no rule names is a number, not a text.
    TTestRow row;
    row.Add(TTestField(QStringLiteral("C"), TFieldCategory::Float, false, QStringLiteral("2,5")));
    EXPECT_EQ(LoadFieldValue(Column("C", "DOUBLE"), row, options, params), "2.5,");
}

TEST_F(ValueRenderTest, OracleDatesAndTimestampsCarryTheirFormat) {
    options.db_to = kDbOracle;
    EXPECT_EQ(Render("DATE", "2024-01-05 13:07:09"),
              "TO_DATE('2024-01-05 13:07:09','YYYY-MM-DD HH24:MI:SS'),");
    EXPECT_EQ(Render("DATE", "1949-12-31"),
              "TO_DATE('1949-12-31 00:00:00','YYYY-MM-DD HH24:MI:SS'),");
    // The first and last dates Oracle holds.
    EXPECT_EQ(Render("DATE", "-4712-01-01"),
              "TO_DATE('-4712-01-01 00:00:00','SYYYY-MM-DD HH24:MI:SS'),");
    EXPECT_EQ(Render("DATE", "4712-01-01 BC"),
              "TO_DATE('-4712-01-01 00:00:00','SYYYY-MM-DD HH24:MI:SS'),");
    EXPECT_EQ(Render("DATE", "9999-12-31 23:59:59"),
              "TO_DATE('9999-12-31 23:59:59','YYYY-MM-DD HH24:MI:SS'),");
    EXPECT_EQ(Render("TIMESTAMP(6)", "2024-01-05 00:00:00.5"),
              "TO_TIMESTAMP('2024-01-05 00:00:00.5','YYYY-MM-DD HH24:MI:SS.FF'),");
    EXPECT_EQ(Render("TIMESTAMP", "2024-01-05 13:07:09"),
              "TO_TIMESTAMP('2024-01-05 13:07:09','YYYY-MM-DD HH24:MI:SS'),");
    EXPECT_EQ(Render("TIMESTAMP(9)", "0044-03-15 12:00:00.123456789 BC"),
              "TO_TIMESTAMP('-0044-03-15 12:00:00.123456789','SYYYY-MM-DD HH24:MI:SS.FF'),");
    EXPECT_EQ(Render("TIMESTAMP(6) WITH TIME ZONE", "2024-01-05 10:07:09+00"),
              "TO_TIMESTAMP_TZ('2024-01-05 10:07:09 +00:00','YYYY-MM-DD HH24:MI:SS TZH:TZM'),");
    EXPECT_EQ(
        Render("timestamp(3) with local time zone", "2024-01-05 10:07:09.125-05:30"),
        "TO_TIMESTAMP_TZ('2024-01-05 10:07:09.125 -05:30','YYYY-MM-DD HH24:MI:SS.FF TZH:TZM'),");
    // A plain timestamp never gets a zone.
    EXPECT_EQ(Render("TIMESTAMP(6)", "2024-01-05 10:07:09+03"),
              "TO_TIMESTAMP('2024-01-05 10:07:09','YYYY-MM-DD HH24:MI:SS'),");
    options.table_name = QStringLiteral("T");
    EXPECT_THROW(Render("DATE", "05-3O7-RR"), TConvertError);
    EXPECT_THROW(Render("TIMESTAMP WITH TIME ZONE", "2024-01-05 10:07:09+00:00:30"), TConvertError);
    // The operator's own format applies to DATE columns only.
    options.operator_date_format = true;
    EXPECT_EQ(Render("TIMESTAMP(6)", "2024-01-05 00:00:00.5"),
              "TO_TIMESTAMP('2024-01-05 00:00:00.5','YYYY-MM-DD HH24:MI:SS.FF'),");
}

TEST_F(ValueRenderTest, PostgresDatesBeforeYearOneInTheEraForm) {
    EXPECT_EQ(Render("DATE", "-0044-03-15 12:00:00"), "'0044-03-15 12:00:00 BC',");
    EXPECT_EQ(Render("DATE", "0044-03-15 12:00:00 BC"), "'0044-03-15 12:00:00 BC',");
    EXPECT_EQ(Render("DATE", "-4712-01-01"), "'4712-01-01 BC',");
    EXPECT_EQ(Render("TIMESTAMP(6)", "-0001-12-31 23:59:59.999999"),
              "'0001-12-31 23:59:59.999999 BC',");
    EXPECT_EQ(Render("TIMESTAMP(6) WITH TIME ZONE", "-0100-02-03 04:05:06+02"),
              "'0100-02-03 04:05:06+02:00 BC',");
    // What PostgreSQL reads as it is stays as it is: its own first and last timestamps, zones.
    EXPECT_EQ(Render("TIMESTAMP", "4713-11-24 00:00:00 BC"), "'4713-11-24 00:00:00 BC',");
    EXPECT_EQ(Render("TIMESTAMP", "294276-12-31 23:59:59.999999"),
              "'294276-12-31 23:59:59.999999',");
    EXPECT_EQ(Render("TIMESTAMP(6) WITH TIME ZONE", "2024-01-05 10:07:09+03"),
              "'2024-01-05 10:07:09+03',");
    EXPECT_THROW(Render("DATE", "-44"), TConvertError);
}

TEST_F(ValueRenderTest, TextsThatNoLiteralCarries) {
    options.table_name = QStringLiteral("T");
    const QString nul = QStringLiteral("a'") + QChar(0) + QStringLiteral("b");
    try {
        Render("VARCHAR2", nul);
        ADD_FAILURE() << "no error";
    } catch (const TNulCharError& error) {
        EXPECT_EQ(error.Column(), "C");
        EXPECT_EQ(error.Message(),
                  "Таблица T, столбец C: текст содержит символ с кодом 0, который PostgreSQL "
                  "не принимает");
    }
    options.db_to = kDbOracle;
    EXPECT_EQ(Render("VARCHAR2", nul), "'a'''||CHR(0)||'b',");
    EXPECT_EQ(Render("CHAR", QString(QChar(0))), "''||CHR(0)||'',");

    // Over 4000 bytes a text goes as a bound value; 4000 bytes are still a literal.
    const QString ascii(4000, u'a');
    EXPECT_EQ(Render("CLOB", ascii), "'" + ascii + "',");
    EXPECT_TRUE(params.Empty());
    const QString cyrillic(2001, u'ж');  // 4002 bytes
    EXPECT_EQ(Render("CLOB", cyrillic), ":param,");
    EXPECT_EQ(Render("NCLOB", ascii + "b"), ":param2,");
    ASSERT_EQ(params.Size(), 2);
    EXPECT_EQ(params.Params()[0].text, cyrillic);
    EXPECT_TRUE(params.Params()[0].path.isEmpty());
    params.Truncate(1);
    EXPECT_EQ(Render("CLOB", cyrillic), ":param2,");
}

TEST(GetFieldsTest, TargetNamesInOrder) {
    TTableRec table;
    EXPECT_EQ(GetFields(table), "()");
    table.fields = {Column("ID", "NUMBER"), Column("NAME", "VARCHAR2"), Column("DT", "DATE")};
    table.fields[1].change_name = QStringLiteral("TITLE");
    EXPECT_EQ(GetFields(table), "(ID,TITLE,DT)");

    // Names as each target reads them; a virtual column is left out.
    table.fields = {Column("ITEM#", "NUMBER"), Column("OFFSET", "NUMBER"), Column("V", "NUMBER"),
                    Column("Mixed Case", "VARCHAR2")};
    table.fields[2].is_virtual = true;
    table.fields[2].virtual_expr = "\"OFFSET\"*2";
    EXPECT_EQ(GetFields(table), "(\"ITEM#\",\"OFFSET\",\"Mixed Case\")");
    EXPECT_EQ(GetFields(table, TSqlNames(kDbOracle)), "(ITEM#,OFFSET,\"Mixed Case\")");
    // An expression PostgreSQL does not get made the column a plain one there, holding the
    // source's values; Oracle computes it still.
    table.fields[2].virtual_expr = "TO_CHAR(\"OFFSET\")";
    EXPECT_EQ(GetFields(table), "(\"ITEM#\",\"OFFSET\",V,\"Mixed Case\")");
    EXPECT_EQ(GetFields(table, TSqlNames(kDbOracle)), "(ITEM#,OFFSET,\"Mixed Case\")");
}

}  // namespace
