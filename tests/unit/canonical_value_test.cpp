// Canonical texts of values and the row checksum built from them.

#include "verify/canonical_value.h"

#include <gtest/gtest.h>

#include "verify/table_check.h"

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

TChecksum Sum(const QList<QStringList>& rows) {
    TChecksum checksum;
    TRowText row;
    for (const QStringList& values : rows) {
        row.Clear();
        for (const QString& value : values) {
            if (value.isNull()) {
                row.AddNull();
            } else {
                row.Add(TCheckKind::Text, value);
            }
        }
        AddRow(checksum, row.Text());
    }
    return checksum;
}

}  // namespace

TEST(CanonicalValue, NumbersInEveryTextFormBecomeOnePlainDecimal) {
    const QList<std::pair<const char*, const char*>> cases{
        {"100.50", "100.5"},
        {"100.00", "100"},
        {"0.000", "0"},
        {"-0", "0"},
        {"-0.0", "0"},
        {"007", "7"},
        {".5", "0.5"},
        {"-.25", "-0.25"},
        {"+3", "3"},
        {"12,5", "12.5"},  // a regional decimal comma
        {"1e-10", "0.0000000001"},
        {"1.5E+3", "1500"},
        {"-2.5e-1", "-0.25"},
        {"12345678901234567890.1234567891", "12345678901234567890.1234567891"},
        {" 42 ", "42"},
        {"NaN", "NaN"},
        {"inf", "Infinity"},
        {"-Infinity", "-Infinity"},
        // Not numbers: left as they are, so that they differ from what the other side has.
        {"abc", "abc"},
        {"1e", "1e"},
        {"1.2.3", "1.2.3"},
    };
    for (const auto& [text, canonical] : cases) {
        EXPECT_EQ(Str(CanonicalNumber(QString::fromLatin1(text))), canonical) << text;
    }
    EXPECT_EQ(CanonicalNumber("1e300").size(), 301);
}

TEST(CanonicalValue, DateTimesWithTimeFractionOffsetAndEra) {
    const QList<std::tuple<const char*, bool, const char*>> cases{
        {"2023-12-31", false, "2023-12-31 00:00:00"},
        {"2024-01-05 13:07:09", false, "2024-01-05 13:07:09"},
        {"2024-01-05T13:07", false, "2024-01-05 13:07:00"},
        {"2024-01-05 13:07:09.500000", false, "2024-01-05 13:07:09.5"},
        {"2024-01-05 13:07:09.000000", false, "2024-01-05 13:07:09"},
        {"2024-01-05 13:07:09.123456789", false, "2024-01-05 13:07:09.123456789"},
        {"0044-03-15 BC", false, "0044-03-15 00:00:00 BC"},
        {"-0044-03-15 12:00:00", false, "0044-03-15 12:00:00 BC"},
        {"12024-01-01", false, "12024-01-01 00:00:00"},
        // Zoned values compare as the instant: at UTC.
        {"2024-01-05 13:07:09.25+03:00", true, "2024-01-05 10:07:09.25+00:00"},
        {"2024-01-01 01:30:00-0530", true, "2024-01-01 07:00:00+00:00"},
        {"2024-01-01 02:00:00+03", true, "2023-12-31 23:00:00+00:00"},
        {"2024-01-01 02:00:00Z", true, "2024-01-01 02:00:00+00:00"},
        {"1880-01-01 12:00:00+02:30:17", true, "1880-01-01 09:29:43+00:00"},
        {"0044-03-15 12:00:00+01:00 BC", true, "0044-03-15 11:00:00 BC+00:00"},
        {"0001-01-01 01:00:00+02:00", true, "0001-12-31 23:00:00 BC+00:00"},
        // An offset on a plain value stays, so that it shows as a difference.
        {"2024-01-01 02:00:00+03:00", false, "2024-01-01 02:00:00 +03:00"},
        {"31.12.2023", false, "31.12.2023"},
    };
    for (const auto& [text, zoned, canonical] : cases) {
        EXPECT_EQ(Str(CanonicalDateTime(QString::fromLatin1(text), zoned)), canonical) << text;
    }
}

TEST(CanonicalValue, FixedLengthTextAndBinaryForms) {
    EXPECT_EQ(Str(CanonicalChar("EUR         ")), "EUR");
    EXPECT_EQ(Str(CanonicalChar(" a \t ")), " a \t");
    EXPECT_EQ(Str(CanonicalChar("   ")), "");
    EXPECT_EQ(Str(CanonicalHex("\\x00FFab")), "00ffab");
    EXPECT_EQ(Str(CanonicalHex("0AFF")), "0aff");
    EXPECT_EQ(Str(CanonicalHex("")), "");
    EXPECT_EQ(Str(CanonicalHex("xyz")), "78797a");
}

TEST(CanonicalValue, ChecksumIgnoresOrderButNotValuesNullsOrDuplicates) {
    const TChecksum base = Sum({{"1", "a"}, {"2", "b"}, {"3", QString()}});
    EXPECT_EQ(base.rows, 3);
    EXPECT_EQ(Sum({{"3", QString()}, {"1", "a"}, {"2", "b"}}), base);
    // Values moved between rows, columns or across the separator are other rows.
    EXPECT_NE(Sum({{"1", "b"}, {"2", "a"}, {"3", QString()}}), base);
    EXPECT_NE(Sum({{"1|a"}, {"2|b"}, {"3|\\N"}}), Sum({{"1", "a"}, {"2", "b"}, {"3", QString()}}));
    // Null, the empty text and the text "\N" are three values.
    EXPECT_NE(Sum({{"1", "a"}, {"2", "b"}, {"3", ""}}), base);
    EXPECT_NE(Sum({{"1", "a"}, {"2", "b"}, {"3", "\\N"}}), base);
    // A doubled row is not the lost one.
    EXPECT_NE(Sum({{"1", "a"}, {"1", "a"}, {"3", QString()}}), base);
    EXPECT_EQ(Str(TChecksum().Text()), "0:0:0");
}

TEST(TableCheck, JournalLinesAndTheCompletionMessage) {
    TTableCheck ok;
    ok.table = "T1";
    ok.status = TCheckStatus::Match;
    ok.source_rows = ok.target_rows = 1000000;
    EXPECT_EQ(Str(ok.JournalLine()), "проверено: 1000000 = 1000000");
    ok.checksum_done = true;
    ok.unchecked_columns = {"SPAN (INTERVAL DAY(2) TO SECOND(6))"};
    EXPECT_EQ(Str(ok.JournalLine()),
              "проверено: 1000000 = 1000000, контрольные суммы совпадают; без контрольной "
              "суммы: SPAN (INTERVAL DAY(2) TO SECOND(6))");
    EXPECT_EQ(Str(CompletionMessage({ok})), "Миграция завершена успешно.");
    EXPECT_EQ(Str(CompletionMessage({})), "Миграция завершена успешно.");

    TTableCheck lost = ok;
    lost.table = "T2";
    lost.status = TCheckStatus::CountMismatch;
    lost.target_rows = 999999;
    TTableCheck failed;
    failed.table = "T3";
    failed.error = "нет связи";
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(Str(failed.JournalLine()), "проверка не выполнена: нет связи");
    EXPECT_EQ(Str(CompletionMessage({ok, lost, failed})),
              "Миграция завершена, но данные в целевой БД не совпадают с исходными.\n"
              "Проверка после копирования нашла расхождения: T2 (строк в источнике 1000000, в "
              "целевой БД 999999); T3 (проверка не выполнена: нет связи).");
}
