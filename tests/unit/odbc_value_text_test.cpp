// The binding's text forms for what the test bed's driver never delivers: decimals in the
// forms Oracle's driver writes under regional settings, and zoned values in the text the Oracle
// session is set to. (What the test bed does deliver is tested through the real field in
// tests/integration/odbc_values_test.cpp.)

#include <gtest/gtest.h>

#include "db/odbc_value_text.h"
#include "util/error.h"

namespace {

QString Decimal(const char* text) {
    return PlainDecimal(QString::fromUtf8(text), QStringLiteral("N"));
}

QString Refusal(const char* text) {
    try {
        return QStringLiteral("accepted as ") + Decimal(text);
    } catch (const TConvertError& e) {
        return e.Message();
    }
}

TDateTimeValue Zoned(const char* text) {
    TDateTimeValue value;
    EXPECT_TRUE(ParseZonedText(QString::fromUtf8(text), 0, &value)) << text;
    return value;
}

QString ZonedText(const char* text) {
    return DateTimeText(Zoned(text), QStringLiteral("TZ"));
}

}  // namespace

TEST(OdbcValueText, DecimalsAreNormalisedExactlyOrRefused) {
    // Already plain: unchanged, scale included.
    EXPECT_EQ(Decimal("12.50"), "12.50");
    EXPECT_EQ(Decimal("-7"), "-7");
    EXPECT_EQ(Decimal("0"), "0");
    // A decimal comma, blanks around, a plus sign, no leading zero, an exponent.
    EXPECT_EQ(Decimal("12,50"), "12.50");
    EXPECT_EQ(Decimal(" -0,5 "), "-0.5");
    EXPECT_EQ(Decimal("\xC2\xA0"
                      "3,25"),
              "3.25");
    EXPECT_EQ(Decimal("+42"), "42");
    EXPECT_EQ(Decimal(".5"), "0.5");
    EXPECT_EQ(Decimal("-.5"), "-0.5");
    EXPECT_EQ(Decimal("5."), "5");
    EXPECT_EQ(Decimal("1.5E+3"), "1500");
    EXPECT_EQ(Decimal("1,25E-3"), "0.00125");
    EXPECT_EQ(Decimal("9.99E+125"), "999" + QString(123, u'0'));
    EXPECT_EQ(Decimal("1E-130"), "0." + QString(129, u'0') + "1");
    EXPECT_EQ(Decimal("-0,00"), "0.00");
    // Never split, never guessed: group separators, two marks, blanks inside, words.
    for (const char* text : {"1,234.5", "1.234,5", "12,50,1", "1 234,5", "12.5.1", "", "-", ",",
                             "abc", "1e", "1E+999", "NaN", "12,5 %"}) {
        EXPECT_TRUE(Refusal(text).contains(QStringLiteral("не является десятичным числом")))
            << text << ": " << Refusal(text).toStdString();
    }
}

TEST(OdbcValueText, FloatsFromText) {
    EXPECT_EQ(FloatTextFromDriver(u"-0", QString()), "-0");
    EXPECT_EQ(FloatTextFromDriver(u"-0,0", QString()), "-0.0");
    EXPECT_EQ(FloatTextFromDriver(u"1,5E-3", QString()), "0.0015");
    EXPECT_EQ(FloatTextFromDriver(u"Inf", QString()), "Infinity");
    EXPECT_EQ(FloatTextFromDriver(u"-Inf", QString()), "-Infinity");
    EXPECT_EQ(FloatTextFromDriver(u"Nan", QString()), "NaN");
    EXPECT_THROW(FloatTextFromDriver(u"1,5,0", QString()), TConvertError);
    EXPECT_EQ(FloatText(-0.0), "-0");
    EXPECT_EQ(FloatText(0.1f), "0.1");
    EXPECT_EQ(FloatText(1e21), "1e+21");
}

TEST(OdbcValueText, ZonedTextsOfBothServers) {
    // Oracle under NLS_TIMESTAMP_TZ_FORMAT 'YYYY-MM-DD HH24:MI:SS.FF6 TZH:TZM'.
    EXPECT_EQ(ZonedText("2024-01-05 10:07:09.250000 +03:00"), "2024-01-05 10:07:09.250000+03:00");
    EXPECT_EQ(ZonedText("2024-01-05 10:07:09.000000 -05:30"), "2024-01-05 10:07:09-05:30");
    EXPECT_EQ(ZonedText("2024-01-05 00:00:00.000000 +00:00"), "2024-01-05 00:00:00+00:00");
    EXPECT_EQ(ZonedText("-0044-03-15 12:00:00.000000 +01:00"), "0044-03-15 12:00:00+01:00 BC");
    EXPECT_EQ(ZonedText("2024-01-05 10:07:09.123456789 +00:00"),
              "2024-01-05 10:07:09.123456789+00:00");
    // PostgreSQL's ISO output, offsets with seconds from old local mean times.
    EXPECT_EQ(ZonedText("0044-03-15 12:00:00+00 BC"), "0044-03-15 12:00:00+00:00 BC");
    EXPECT_EQ(ZonedText("1880-01-01 00:00:00+02:30:17"), "1880-01-01 00:00:00+02:30:17");
    // A value in the session's local zone comes without an offset.
    TDateTimeValue local;
    ASSERT_TRUE(ParseZonedText(u"2024-01-05 10:07:09.500000", 0, &local));
    EXPECT_EQ(DateTimeText(local, QString()), "2024-01-05 10:07:09.500000+00:00");
    TDateTimeValue unused;
    for (const char16_t* text :
         {u"05.01.2024 10:07:09 +03:00", u"2024-01-05", u"2024-13-05 10:07:09",
          u"0000-01-05 10:07:09 +00:00", u"2024-01-05 10:07:09 MSK"}) {
        EXPECT_FALSE(ParseZonedText(text, 0, &unused)) << QString::fromUtf16(text).toStdString();
    }
    // The plain text form reads back as it was written.
    for (const char* text : {"4712-01-01 BC", "2024-01-05", "2024-01-05 00:00:00.500000",
                             "0044-03-15 12:00:00.000001 BC", "9999-12-31 23:59:59.123456789"}) {
        TDateTimeValue plain;
        ASSERT_TRUE(ParseDateTimeText(QString::fromLatin1(text), &plain)) << text;
        EXPECT_FALSE(plain.zoned);
        EXPECT_EQ(DateTimeText(plain, QString()), QLatin1String(text));
    }
    TDateTimeValue year_zero;
    year_zero.year = 0;
    EXPECT_THROW(DateTimeText(year_zero, QStringLiteral("D")), TConvertError);
}
