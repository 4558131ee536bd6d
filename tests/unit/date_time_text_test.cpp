#include "db/date_time_text.h"

#include <gtest/gtest.h>

#include "util/error.h"

namespace {

TDateTimeParts Parse(const QString& text) {
    TDateTimeParts parts;
    EXPECT_TRUE(ParseDateTimeText(text, parts)) << text.toStdString();
    return parts;
}

}  // namespace

TEST(DateTimeTextTest, KindsByTypeName) {
    EXPECT_EQ(DateTimeKindOf("DATE"), TDateTimeKind::Date);
    EXPECT_EQ(DateTimeKindOf("date"), TDateTimeKind::Date);
    EXPECT_EQ(DateTimeKindOf("TIMESTAMP"), TDateTimeKind::Timestamp);
    EXPECT_EQ(DateTimeKindOf("TIMESTAMP(6)"), TDateTimeKind::Timestamp);
    EXPECT_EQ(DateTimeKindOf("TIMESTAMP(6) WITH TIME ZONE"), TDateTimeKind::TimestampTz);
    EXPECT_EQ(DateTimeKindOf("timestamp(9) with local time zone"), TDateTimeKind::TimestampTz);
    EXPECT_EQ(DateTimeKindOf("TIMESTAMPX"), TDateTimeKind::None);
    EXPECT_EQ(DateTimeKindOf("TIMESTAMP(6"), TDateTimeKind::None);
    EXPECT_EQ(DateTimeKindOf("INTERVAL DAY(2) TO SECOND(6)"), TDateTimeKind::None);
    EXPECT_EQ(DateTimeKindOf("DATE2"), TDateTimeKind::None);
}

TEST(DateTimeTextTest, ParsesEveryTextFormOfTheLayer) {
    TDateTimeParts p = Parse("2024-01-05");
    EXPECT_FALSE(p.has_time);
    EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 20240105);

    p = Parse("2024-01-05 00:00:00.5");
    EXPECT_TRUE(p.has_time);
    EXPECT_EQ(p.fraction, "5");
    EXPECT_FALSE(p.has_offset);

    p = Parse("2024-01-05T10:07:09.123456789+05:30");
    EXPECT_EQ(p.fraction, "123456789");
    EXPECT_TRUE(p.has_offset);
    EXPECT_EQ(p.offset_seconds, 5 * 3600 + 30 * 60);
    EXPECT_EQ(Parse("2024-01-05 10:07:09 -0330").offset_seconds, -(3 * 3600 + 30 * 60));
    EXPECT_EQ(Parse("2024-01-05 10:07:09-07").offset_seconds, -7 * 3600);
    EXPECT_EQ(Parse("2024-01-05 10:07:09Z").offset_seconds, 0);
    EXPECT_EQ(Parse("1850-01-01 00:00:00+02:30:17").offset_seconds, 2 * 3600 + 30 * 60 + 17);

    // Both era forms, with a zone too; year -N is N BC.
    p = Parse("-0044-03-15 12:00:00");
    EXPECT_TRUE(p.bc);
    EXPECT_EQ(p.year, 44);
    p = Parse("0044-03-15 12:00:00+00 BC");
    EXPECT_TRUE(p.bc);
    EXPECT_TRUE(p.has_offset);
    EXPECT_FALSE(Parse("2024-01-05 AD").bc);
    EXPECT_EQ(Parse("294276-12-31 23:59:59.999999").year, 294276);

    TDateTimeParts bad;
    for (const char* text :
         {"", "2024", "2024-1-05", "0000-01-01", "-0044-03-15 BC", "2024-13-01", "2024-01-05 1:2:3",
          "2024-01-05 10:07:09.", "2024-01-05 10:07:09 XY", "05.01.24", "2024-01-05 10:07:09+5",
          "2024-01-05 10:07:09+05:", "2024-01-05 10:07:09+16:00"}) {
        EXPECT_FALSE(ParseDateTimeText(QString::fromLatin1(text), bad)) << text;
    }
}

TEST(DateTimeTextTest, TargetForms) {
    EXPECT_EQ(PgDateTimeText(Parse("-4712-01-01")), "4712-01-01 BC");
    EXPECT_EQ(PgDateTimeText(Parse("-0044-03-15 12:00:00.25+05:30")),
              "0044-03-15 12:00:00.25+05:30 BC");
    EXPECT_EQ(PgDateTimeText(Parse("2024-01-05 10:07:09-00:30:15")),
              "2024-01-05 10:07:09-00:30:15");

    EXPECT_EQ(OraDateTimeText(Parse("2024-01-05"), false, false), "2024-01-05 00:00:00");
    EXPECT_EQ(OraDateTimeText(Parse("-0044-03-15 12:00:00"), true, true),
              "-0044-03-15 12:00:00.0 +00:00");
    EXPECT_EQ(OraDateTimeMask(true, true, true), "SYYYY-MM-DD HH24:MI:SS.FF TZH:TZM");
    EXPECT_EQ(OraDateTimeMask(false, false, false), "YYYY-MM-DD HH24:MI:SS");
    EXPECT_THROW(OraDateTimeText(Parse("1850-01-01 00:00:00+02:30:17"), false, true),
                 TConvertError);

    // A DATE with a fraction (a type the source calls DATE) keeps it.
    EXPECT_EQ(OraDateTimeSql(Parse("2024-01-05 10:07:09.5"), TDateTimeKind::Date),
              "TO_TIMESTAMP('2024-01-05 10:07:09.5','YYYY-MM-DD HH24:MI:SS.FF')");
    EXPECT_EQ(OraDateTimeSql(Parse("2024-01-05 10:07:09.000"), TDateTimeKind::Date),
              "TO_DATE('2024-01-05 10:07:09','YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(OraDateTimeSql(Parse("-0001-12-31 23:59:59+01"), TDateTimeKind::TimestampTz),
              "TO_TIMESTAMP_TZ('-0001-12-31 23:59:59 +01:00','SYYYY-MM-DD HH24:MI:SS TZH:TZM')");
    EXPECT_EQ(OraDateTimeSql(Parse("2024-01-05 10:07:09"), TDateTimeKind::TimestampTz),
              "TO_TIMESTAMP('2024-01-05 10:07:09','YYYY-MM-DD HH24:MI:SS')");
}

// The quick check of the copy accepts nothing the full reading refuses.
TEST(DateTimeTextTest, PlainFormsAreASubsetOfTheParsed) {
    for (const char* text : {"2024-01-05", "2024-01-05 13:07:09", "2024-01-05 00:00:00.5",
                             "9999-12-31 23:59:59.999999", "2024-01-05 10:07:09+03",
                             "2024-01-05 10:07:09.25-05:30", "0001-01-01"}) {
        EXPECT_TRUE(IsPlainDateTimeText(QString::fromLatin1(text))) << text;
        TDateTimeParts parts;
        EXPECT_TRUE(ParseDateTimeText(QString::fromLatin1(text), parts)) << text;
    }
    for (const char* text :
         {"0000-01-01", "-0044-03-15", "0044-03-15 12:00:00 BC", "2024-13-05", "2024-01-32",
          "2024-01-05 13:07", "2024-01-05T13:07:09", "2024-01-05 13:07:09.",
          "2024-01-05 13:07:09+3", "2024-01-05 13:07:09+03:0", "2024-01-05 13:07:09 +03",
          "05.01.24", "2024-01-05 25:00:00", "12345-01-01"}) {
        EXPECT_FALSE(IsPlainDateTimeText(QString::fromLatin1(text))) << text;
    }
}
