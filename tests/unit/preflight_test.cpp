// The rules of the check before the copy that need no database: the model's own findings and
// the judgement of the figures the aggregate queries bring back.

#include "verify/preflight.h"

#include <gtest/gtest.h>

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

TFieldRec Col(const QString& name, const QString& type, int size = 0, int scale = 0) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.size = size;
    field.scale = scale;
    field.is_null = true;
    return field;
}

TTableRec Table(const QString& name, QList<TFieldRec> fields, const QString& pk = "(ID)") {
    TTableRec table;
    table.name = name;
    table.rows = 10;
    table.fields = std::move(fields);
    if (!pk.isEmpty()) {
        table.primary_key = {"PK_" + name, pk};
    }
    return table;
}

QStringList Texts(const QList<TFinding>& findings, const QString& column) {
    QStringList texts;
    for (const TFinding& f : findings) {
        if (f.column == column) {
            texts << SeverityText(f.severity) + ": " + f.text;
        }
    }
    return texts;
}

}  // namespace

TEST(Preflight, ModelFindingsNamesTypesAndKeys) {
    TFieldRec id = Col("ID", "NUMBER", 10);
    id.is_null = false;
    const QString long_name = QString(40, u'Ж');  // 80 bytes of UTF-8
    TTableRec table =
        Table("Old Orders", {id, Col("SELECT", "VARCHAR2", 10), Col("SHAPE", "SDO_GEOMETRY"),
                             Col("T9", "TIMESTAMP(9)"), Col(long_name + "A", "NUMBER", 5),
                             Col(long_name + "B", "NUMBER", 5)});
    const QList<TFinding> findings = CheckModel({table}, {});
    const std::string all = Str(Texts(findings, "").join('\n'));
    EXPECT_EQ(Texts(findings, ""),
              QStringList({"предупреждение: имя таблицы в целевой БД пишется в кавычках: \"Old "
                           "Orders\"; в запросах его нужно писать так же, с учетом регистра",
                           "сведения: строк: 10; копируется частями по ключу PK_Old Orders"}));
    EXPECT_EQ(Texts(findings, "SELECT").size(), 1);
    EXPECT_TRUE(Texts(findings, "SELECT").value(0).contains("\"SELECT\""));
    EXPECT_TRUE(
        Texts(findings, "SHAPE")
            .value(0)
            .startsWith("ошибка: тип SDO_GEOMETRY не сопоставлен ни одному типу PostgreSQL"));
    EXPECT_TRUE(Texts(findings, "T9").value(0).startsWith("предупреждение: TIMESTAMP(9)"));
    // Names beyond 63 bytes are cut; two that then coincide cannot both be created. The most
    // severe finding comes first.
    const QStringList b = Texts(findings, long_name + "B");
    ASSERT_EQ(b.size(), 3) << Str(b.join('\n'));
    EXPECT_TRUE(b[0].startsWith("ошибка: в целевой БД имя совпадает с именем столбца " + long_name +
                                "A (" + QString(31, u'Ж') + "): таблица не будет создана"))
        << Str(b[0]);
    EXPECT_TRUE(b[2].endsWith("PostgreSQL сократит его до «" + QString(31, u'Ж') + "»"))
        << Str(b[2]);

    // Oracle target: the object type is named too, and 30-character names are no matter.
    TPreflightOptions oracle;
    oracle.db_to = kDbOracle;
    EXPECT_TRUE(Texts(CheckModel({table}, oracle), "SHAPE")
                    .value(0)
                    .startsWith("ошибка: тип SDO_GEOMETRY не встроенный тип Oracle"));
}

// The check says how the copy will read each table: by the key the copy itself chooses, or in
// one pass with the copy's reason.
TEST(Preflight, SaysHowTheCopyReadsEachTable) {
    TFieldRec id = Col("ID", "NUMBER", 10);
    id.is_null = false;
    TTableRec table = Table("T", {id, Col("CODE", "VARCHAR2", 10), Col("F", "BINARY_DOUBLE")});
    table.fields[2].is_null = false;
    const auto table_line = [](const TTableRec& t, qint64 portion_read = 0) {
        TPreflightOptions options;
        options.portion_read = portion_read;
        return Texts(CheckModel({t}, options), "").value(0);
    };
    EXPECT_EQ(Str(table_line(table)), "сведения: строк: 10; копируется частями по ключу PK_T");

    // An unvalidated primary key and unique keys that cannot order the rows: one pass, and the
    // operator is told why and what a resume then does.
    table.primary_key.validated = false;
    table.unique_key = {{"UK_CODE", "(CODE)"}, {"UK_F", "(F)"}};
    QString line = table_line(table);
    EXPECT_TRUE(line.startsWith("предупреждение: строк: 10; нет ключа для чтения частями ("))
        << Str(line);
    EXPECT_TRUE(line.contains("PK_T") && line.contains("UK_CODE") && line.contains("UK_F"))
        << Str(line);
    EXPECT_TRUE(line.endsWith("копирование начинается заново")) << Str(line);

    // The first usable unique key serves, after one that cannot.
    table.fields[1].is_null = false;
    table.unique_key.swapItemsAt(0, 1);
    EXPECT_EQ(Str(table_line(table)), "сведения: строк: 10; копируется частями по ключу UK_CODE");

    // A query addition that orders the rows itself takes the key order away.
    table.query_addi = "ORDER BY CODE";
    line = table_line(table, 100);
    EXPECT_TRUE(line.startsWith("предупреждение: строк: 10; нет ключа для чтения частями ("))
        << Str(line);
    EXPECT_TRUE(line.contains("ORDER BY")) << Str(line);

    table.query_addi.clear();
    table.primary_key = {};
    table.unique_key = {};
    EXPECT_EQ(Str(table_line(table)),
              "предупреждение: строк: 10; нет ключа для чтения частями (нет первичного ключа; нет "
              "уникального ключа): таблица копируется за один проход, а после паузы или сбоя ее "
              "копирование начинается заново");
}

TEST(Preflight, NumbersAgainstTheChosenAndTheMappedType) {
    const TTableRec table = Table("T", {});
    const TFieldRec field = Col("N", "NUMBER", 38);
    const auto judge = [&](const QString& target, const TNumberFigures& figures,
                           int db_to = kDbPostgres) {
        return Texts(JudgeNumber(table, field, db_to, "INTEGER", target, figures), "N");
    };
    EXPECT_TRUE(judge("INTEGER", {"-2147483648", "2147483647", false}).isEmpty());
    EXPECT_EQ(judge("INTEGER", {"-2147483649", "5", false}),
              QStringList({"ошибка: данные не умещаются в тип INTEGER (наименьшее значение "
                           "-2147483649): копирование остановится на первом таком значении"}));
    EXPECT_EQ(judge("BIGINT", {"0", "9223372036854775808", true}),
              QStringList({"ошибка: данные не умещаются в тип BIGINT (есть значения с дробной "
                           "частью, наибольшее значение 9223372036854775808): копирование "
                           "остановится на первом таком значении"}));
    // The mapping widened the type for the data: the operator learns why.
    EXPECT_EQ(judge("BIGINT", {"1", "3000000000", false}),
              QStringList({"предупреждение: данные не умещаются в выбранный тип INTEGER "
                           "(наибольшее значение 3000000000): столбец создается как BIGINT"}));
    EXPECT_TRUE(judge("NUMERIC(20)", {"1", "5", false}).isEmpty());
    // Oracle: NUMBER(38) holds no fraction.
    EXPECT_EQ(judge("NUMBER(38)", {"0.5", "1", true}, kDbOracle).size(), 1);
    EXPECT_TRUE(judge("NUMBER(38)", {"-1", "1", false}, kDbOracle).isEmpty());
    EXPECT_EQ(judge("NUMBER(3)", {"-1000", "1", false}, kDbOracle).size(), 1);

    EXPECT_EQ(CompareDecimal("10", "9"), 1);
    EXPECT_EQ(CompareDecimal("-10", "-9"), -1);
    EXPECT_EQ(CompareDecimal("1.05", "1.5"), -1);
    EXPECT_EQ(CompareDecimal("2.50", "2.5"), 0);
    EXPECT_EQ(CompareDecimal("-0.1", "0"), -1);
}

TEST(Preflight, TextLengthsDatesAndLargeObjects) {
    bool bytes = false;
    EXPECT_EQ(TargetLengthLimit("VARCHAR(20)", kDbPostgres, &bytes), 20);
    EXPECT_FALSE(bytes);
    EXPECT_EQ(TargetLengthLimit("CHAR", kDbPostgres, &bytes), 1);
    EXPECT_EQ(TargetLengthLimit("VARCHAR2(10 CHAR)", kDbOracle, &bytes), 10);
    EXPECT_FALSE(bytes);
    EXPECT_EQ(TargetLengthLimit("VARCHAR2(10)", kDbOracle, &bytes), 10);
    EXPECT_TRUE(bytes);
    EXPECT_EQ(TargetLengthLimit("NVARCHAR2(10)", kDbOracle, &bytes), 10);
    EXPECT_FALSE(bytes);
    EXPECT_EQ(TargetLengthLimit("TEXT", kDbPostgres, &bytes), -1);

    const TTableRec table = Table("T", {});
    const TFieldRec text = Col("S", "VARCHAR2", 10);
    EXPECT_TRUE(JudgeTextLength(table, text, "VARCHAR(10)", 10, false, 10).isEmpty());
    EXPECT_EQ(Texts(JudgeTextLength(table, text, "VARCHAR2(10)", 10, true, 12), "S"),
              QStringList({"ошибка: наибольшая длина значения в байтах — 12, а столбец "
                           "создается как VARCHAR2(10): копирование остановится на первом "
                           "таком значении"}));

    const TFieldRec date = Col("D", "DATE");
    EXPECT_TRUE(JudgeDates(table, date, kDbPostgres, "1999-01-01 00:00:00", "2024-01-01 00:00:00")
                    .isEmpty());
    const QStringList early = Texts(
        JudgeDates(table, date, kDbPostgres, "0044-03-15 00:00:00 BC", "2024-01-01 00:00:00"), "D");
    ASSERT_EQ(early.size(), 2);
    EXPECT_EQ(Str(early[0]),
              "сведения: есть даты до нашей эры (самая ранняя 0044-03-15 00:00:00 BC)");
    EXPECT_TRUE(early[1].contains("юлианскому"));
    EXPECT_TRUE(JudgeDates(table, date, kDbOracle, "1500-01-01 00:00:00", "").isEmpty());
    const QStringList outside = Texts(
        JudgeDates(table, date, kDbPostgres, "4714-11-23 00:00:00 BC", "9999-12-31 00:00:00"), "D");
    ASSERT_EQ(outside.size(), 1);
    EXPECT_TRUE(
        outside[0].startsWith("ошибка: дата 4714-11-23 00:00:00 BC вне диапазона дат "
                              "PostgreSQL"));
    EXPECT_EQ(JudgeDates(table, date, kDbOracle, "", "10000-01-01 00:00:00").size(), 1);

    const TFieldRec blob = Col("B", "BLOB");
    EXPECT_TRUE(JudgeLobs(table, blob, kDbPostgres, 0, 0, 0).isEmpty());
    EXPECT_EQ(Texts(JudgeLobs(table, blob, kDbPostgres, 3, 1536, 1024), "B"),
              QStringList({"сведения: больших объектов: 3, всего 1,5 КБ, наибольший 1,0 КБ"}));
    const QStringList huge =
        Texts(JudgeLobs(table, blob, kDbPostgres, 1, 2LL << 30, 2LL << 30), "B");
    ASSERT_EQ(huge.size(), 2);
    EXPECT_EQ(Str(huge[1]),
              "ошибка: значение размером 2,0 ГБ больше 1 ГБ: PostgreSQL не хранит "
              "значения bytea больше 1 ГБ");
    EXPECT_EQ(JudgeLobs(table, blob, kDbOracle, 1, 2LL << 30, 2LL << 30).size(), 1);
    EXPECT_EQ(Str(FormatBytes(12)), "12 байт");
}
