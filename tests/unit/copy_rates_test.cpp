// The speed and the time left shown on the copy page.

#include <gtest/gtest.h>

#include "transfer/copy_rates.h"
#include "util/text_utils.h"

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

}  // namespace

TEST(CopyRates, KnownAfterASecondAndOverTheLastSecondsOnly) {
    TCopyRates rates(5000);
    EXPECT_EQ(Str(RatesText(rates, 100, 1000)), "Скорость: измеряется");
    rates.Add(0, {0, 0});
    rates.Add(900, {900, 9000});
    EXPECT_FALSE(rates.Known());
    EXPECT_EQ(rates.SecondsFor(10), -1);
    rates.Add(1000, {1000, 10 * 1024 * 1024});
    ASSERT_TRUE(rates.Known());
    EXPECT_DOUBLE_EQ(rates.RowsPerSecond(), 1000);
    EXPECT_DOUBLE_EQ(rates.BytesPerSecond(), 10 * 1024 * 1024);
    // 2500 rows at 1000 rows/s: three seconds, rounded up; nothing left is no time.
    EXPECT_EQ(rates.SecondsFor(2500), 3);
    EXPECT_EQ(rates.SecondsFor(0), 0);
    EXPECT_EQ(Str(RatesText(rates, 2500, 3600000)),
              "Скорость: 1\u00A0000 строк/с, 10,0 МБ/с; осталось: таблица 00:00:03, всего "
              "01:00:00");

    // A slow start falls out of the window: from 10 s on only the last five seconds count,
    // at 100 rows a second.
    for (qint64 t = 2000; t <= 12000; t += 1000) {
        rates.Add(t, {1000 + (t - 1000) / 10, 0});
    }
    EXPECT_DOUBLE_EQ(rates.RowsPerSecond(), 100);
    EXPECT_DOUBLE_EQ(rates.BytesPerSecond(), 0);
    EXPECT_EQ(Str(RatesText(rates, 0, 50)),
              "Скорость: 100 строк/с, 0,0 МБ/с; осталось: таблица меньше секунды, всего "
              "00:00:01");
}

TEST(CopyRates, PausesAndCountersThatGoBackStartTheMeasureAnew) {
    TCopyRates rates;
    rates.Add(0, {0, 0});
    rates.Add(2000, {2000, 2000});
    ASSERT_TRUE(rates.Known());
    rates.Reset();
    EXPECT_FALSE(rates.Known());
    rates.Add(3000, {2000, 2000});
    rates.Add(3500, {2500, 2500});
    EXPECT_FALSE(rates.Known());
    // A new engine counts from zero again: no negative rate.
    rates.Add(5000, {10, 10});
    rates.Add(5900, {460, 460});
    EXPECT_FALSE(rates.Known());
    rates.Add(6100, {610, 610});
    ASSERT_TRUE(rates.Known());
    EXPECT_NEAR(rates.RowsPerSecond(), 545.45, 0.01);
    // The clock going back is no sample to measure from either.
    rates.Add(100, {700, 700});
    EXPECT_FALSE(rates.Known());
}

TEST(DurationText, TenthsUnderAMinuteThenTheClock) {
    EXPECT_EQ(Str(DurationText(0)), "0,0 с");
    EXPECT_EQ(Str(DurationText(-5)), "0,0 с");
    EXPECT_EQ(Str(DurationText(49)), "0,0 с");
    EXPECT_EQ(Str(DurationText(50)), "0,1 с");
    EXPECT_EQ(Str(DurationText(12345)), "12,3 с");
    EXPECT_EQ(Str(DurationText(59949)), "59,9 с");
    EXPECT_EQ(Str(DurationText(59950)), "00:01:00");
    EXPECT_EQ(Str(DurationText(3723400)), "01:02:03");
}
