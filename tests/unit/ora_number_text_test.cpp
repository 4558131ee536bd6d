#include "schema/ora_number_text.h"

#include <gtest/gtest.h>

#include "util/error.h"

namespace {

std::string Plain(const char* text) {
    return OraNumberText(QString::fromUtf8(text), QStringLiteral("T.C")).toStdString();
}

TEST(OraNumberText, SessionFormsBecomePlainDecimals) {
    // Oracle's forms under either decimal character: no zero before it, only significant
    // digits.
    EXPECT_EQ(Plain("12,5"), "12.5");
    EXPECT_EQ(Plain(",125"), "0.125");
    EXPECT_EQ(Plain("-,01"), "-0.01");
    EXPECT_EQ(Plain("-.5"), "-0.5");
    EXPECT_EQ(Plain("1234.50"), "1234.5");
    EXPECT_EQ(Plain("007"), "7");
    EXPECT_EQ(Plain(" 42 "), "42");
    EXPECT_EQ(Plain("-0"), "0");
    EXPECT_EQ(Plain("99999999999999999999999999999999999999"),
              "99999999999999999999999999999999999999");
    // The scientific form past 40 characters, and one a double would round.
    EXPECT_EQ(Plain("1E+125"), "1" + std::string(125, '0'));
    EXPECT_EQ(Plain("1,5E+3"), "1500");
    EXPECT_EQ(Plain("1.0000000000000000000000000000000000E-130"),
              "0." + std::string(129, '0') + "1");
    EXPECT_EQ(Plain("-2.5e-3"), "-0.0025");
}

TEST(OraNumberText, OtherTextIsRefused) {
    for (const char* text :
         {"", "-", ",", "1 000", "1,000.5", "1.2.3", "12a", "E5", "1E", "1E+", "NaN", "1E+99999"}) {
        EXPECT_THROW(Plain(text), TConvertError) << text;
    }
    try {
        Plain("1 000");
    } catch (const TConvertError& error) {
        EXPECT_TRUE(error.Message().contains("1 000"));
        EXPECT_TRUE(error.Message().contains("T.C"));
    }
}

}  // namespace
