#include "schema/date_format.h"

#include <gtest/gtest.h>

namespace {

const QDateTime kAfternoon(QDate(2024, 1, 5), QTime(13, 7, 9, 42));
const QDateTime kMidnight(QDate(2024, 1, 5), QTime(0, 0));

}  // namespace

TEST(DateFormat, DefaultSettings) {
    const TFormatSettings s = TFormatSettings::Default();
    ASSERT_EQ(s.short_month_names.size(), 12);
    ASSERT_EQ(s.long_month_names.size(), 12);
    EXPECT_EQ(s.short_month_names.join(QLatin1Char(',')),
              QStringLiteral("янв,фев,мар,апр,май,июн,июл,авг,сен,окт,ноя,дек"));
    EXPECT_EQ(s.long_month_names.first(), QStringLiteral("Январь"));
    EXPECT_EQ(s.long_month_names.last(), QStringLiteral("Декабрь"));
}

TEST(DateFormat, Specifiers) {
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd-mm-yy hh:nn:ss"), kAfternoon), "05-01-24 13:07:09");
    EXPECT_EQ(FormatDateTime(QStringLiteral("d.m.yyyy h:n:s"), kAfternoon), "5.1.2024 13:7:9");
    EXPECT_EQ(FormatDateTime(QStringLiteral("DD.MM.YYYY HH:NN:SS"), kAfternoon),
              "05.01.2024 13:07:09");
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd-mmm-yy"), kAfternoon), QStringLiteral("05-янв-24"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("d mmmm yyyyy"), kAfternoon),
              QStringLiteral("5 Январь 2024"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("yyy|y"), kAfternoon), "2024|24");
    EXPECT_EQ(FormatDateTime(QStringLiteral("nnnn zzz z"), kAfternoon), "07 042 42");
    EXPECT_EQ(FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn"), kAfternoon), "2024-01-05 13:07");
    // Separators come from the settings.
    TFormatSettings dots = TFormatSettings::Default();
    dots.date_separator = QLatin1Char('.');
    dots.time_separator = QLatin1Char('_');
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm hh:nn"), kAfternoon, dots), "05.01 13_07");
}

TEST(DateFormat, MinutesAfterHour) {
    EXPECT_EQ(FormatDateTime(QStringLiteral("hh:mm"), kAfternoon), "13:07");
    // Non-letters between do not matter; another letter does.
    EXPECT_EQ(FormatDateTime(QStringLiteral("h-.-m"), kAfternoon), "13-.-7");
    EXPECT_EQ(FormatDateTime(QStringLiteral("hh:ss:mm"), kAfternoon), "13:09:01");
    // The minutes run counts as the last letter, so a second mm is the month again.
    EXPECT_EQ(FormatDateTime(QStringLiteral("hh:mm mm"), kAfternoon), "13:07 01");
    // Oracle's own format text as it comes from the target without conversion.
    EXPECT_EQ(FormatDateTime(QStringLiteral("DD-MON-RR"), kAfternoon), "05-1O7-RR");
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd.mm.yyyy hh24:mi:ss"), kAfternoon),
              "05.01.2024 1324:7i:09");
}

TEST(DateFormat, QuotesAndOtherCharacters) {
    EXPECT_EQ(FormatDateTime(QStringLiteral("'d/m' \"hh\" d"), kAfternoon), "d/m hh 5");
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd 'open"), kAfternoon), "05 open");
    EXPECT_EQ(FormatDateTime(QStringLiteral("''dd"), kAfternoon), "05");
    EXPECT_EQ(FormatDateTime(QStringLiteral("д#xq"), kAfternoon), QStringLiteral("д#xq"));
    // Quoted letters do not count as the last letter before m.
    EXPECT_EQ(FormatDateTime(QStringLiteral("'h'mm"), kAfternoon), "h01");
}

TEST(DateFormat, EmptyFormatIsShortDateAndLongTime) {
    EXPECT_EQ(FormatDateTime(QString(), kAfternoon), "2024-01-05 13:07:09");
    EXPECT_EQ(FormatDateTime(QString(), kMidnight), "2024-01-05");
    EXPECT_EQ(FormatDateTime(QString(), QDateTime(QDate(2024, 1, 5), QTime(0, 0, 1))),
              "2024-01-05 00:00:01");
    TFormatSettings empty = TFormatSettings::Default();
    empty.short_date_format.clear();
    empty.long_time_format.clear();
    EXPECT_EQ(FormatDateTime(QString(), kAfternoon, empty), " ");
}

TEST(DateFormat, OraTime) {
    EXPECT_EQ(OraTime(QStringLiteral("05-янв-24 13:07:09")), "05-JAN-24 13:07:09");
    EXPECT_EQ(OraTime(QStringLiteral("05-Jan-24")), "05-JAN-24");
    EXPECT_EQ(OraTime(QStringLiteral("05.01.2024 13:07:09")), "05.01.2024 13:07:09");
    EXPECT_EQ(OraTime(QStringLiteral("it's")), "IT''S");
    EXPECT_EQ(OraTime(QStringLiteral("МАЙ дек")), "MAY DEC");
    // Cyrillic outside the table is not upper-cased, and is lower-cased once a month matched.
    EXPECT_EQ(OraTime(QStringLiteral("Год")), QStringLiteral("Год"));
    EXPECT_EQ(OraTime(QStringLiteral("Год 1 Фев")), QStringLiteral("год 1 FEB"));
    // The apostrophe is doubled without a trip through a code page that lacks the character.
    EXPECT_EQ(OraTime(QString::fromUtf16(u"\u4E2D'")), QString::fromUtf16(u"\u4E2D''"));
    EXPECT_EQ(OraTime(FormatDateTime(QStringLiteral("dd-mmm-yyyy"),
                                     QDateTime(QDate(2023, 12, 31), QTime(0, 0)))),
              "31-DEC-2023");
}

TEST(DateFormat, ConvertOraTimeFormat) {
    EXPECT_EQ(ConvertOraTimeFormat(QStringLiteral("DD.MM.YYYY HH24:MI:SS")), "DD.MM.YYYY HH:NN:SS");
    EXPECT_EQ(ConvertOraTimeFormat(QStringLiteral("dd.mm.yyyy hh24:mi:ss")),
              "dd.mm.yyyy hh24:mi:ss");
    EXPECT_EQ(ConvertOraTimeFormat(QStringLiteral("DD-MON-RR")), "DD-MON-RR");
    EXPECT_EQ(ConvertOraTimeFormat(QString()), "");
    EXPECT_EQ(
        FormatDateTime(ConvertOraTimeFormat(QStringLiteral("DD.MM.YYYY HH24:MI:SS")), kAfternoon),
        "05.01.2024 13:07:09");
}
