#include "util/text_utils.h"
#include "util/code_page.h"
#include "util/error.h"

#include <gtest/gtest.h>

TEST(TextUtils, TintChannelTruncatesAndClamps) {
    EXPECT_EQ(TintChannel(240, -4), 231);
    EXPECT_EQ(TintChannel(240, 2), 244);
    EXPECT_EQ(TintChannel(255, 2), 255);
    EXPECT_EQ(TintChannel(200, -200), 0);
    EXPECT_EQ(TintChannel(3, -4), 3);  // -0.12 truncates to 0
    // A product beyond 32 bits must not wrap round into a lightening.
    EXPECT_EQ(TintChannel(100000, -100000), 0);
}

TEST(TextUtils, TintColorWorksPerChannelAndClearsTopByte) {
    EXPECT_EQ(TintColor(0x00F0F0F0u, -4, -4, -4), 0x00E7E7E7u);
    EXPECT_EQ(TintColor(0x00F0F0F0u, 2, 2, 2), 0x00F4F4F4u);
    EXPECT_EQ(TintColor(0xFF123456u, 0, 0, 0), 0x00123456u);
    // Red is the lowest byte: only it is raised here.
    EXPECT_EQ(TintColor(0x00646464u, 10, 0, 0), 0x0064646Eu);
    EXPECT_EQ(TintColor(0x00646464u, 0, 0, 10), 0x006E6464u);
}

TEST(TextUtils, DoubleChar) {
    EXPECT_EQ(DoubleChar(QByteArray("it's"), '\''), QByteArray("it''s"));
    EXPECT_EQ(DoubleChar(QByteArray("'"), '\''), QByteArray("''"));
    EXPECT_EQ(DoubleChar(QByteArray(), '\''), QByteArray());
    // Bytes above 127 (Cyrillic in windows-1251) pass through.
    EXPECT_EQ(DoubleChar(QByteArray("\xEC'\xE0"), '\''), QByteArray("\xEC''\xE0"));

    EXPECT_EQ(DoubleChar(QStringLiteral("д'Артаньян €'"), QLatin1Char('\'')),
              QStringLiteral("д''Артаньян €''"));
    EXPECT_EQ(DoubleChar(QString(), QLatin1Char('\'')), QString());
}

TEST(TextUtils, ExtractBetweenWorkedExamples) {
    QString s = QStringLiteral("BEGIN SELECT seq.NEXTVAL INTO :NEW.ID FROM dual; END;");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), s), "ID");
    EXPECT_EQ(s, "FROM dual; END;");

    s = QStringLiteral("BEGIN :new.ID:=1; END;");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), s), "ID:=1;");
    EXPECT_EQ(s, "END;");

    s = QStringLiteral(":new.ID");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), s), "");
    EXPECT_EQ(s, ":new.ID");
}

TEST(TextUtils, ExtractBetweenEdges) {
    // No start marker: nothing extracted, S still cut after the first end marker.
    QString s = QStringLiteral("no marker here");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), s), "");
    EXPECT_EQ(s, "marker here");

    s = QStringLiteral(":new.   x");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), s), "");
    EXPECT_EQ(s, "  x");

    // Neither marker: S untouched.
    s = QStringLiteral("abc");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), s), "");
    EXPECT_EQ(s, "abc");

    // Only Latin letters fold: a lower-case Cyrillic marker does not find upper case.
    s = QStringLiteral("x :ЖЁ.a b");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":жё."), QStringLiteral(" "), s), "");
    s = QStringLiteral("x :ЖЁ.a b");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":ЖЁ."), QStringLiteral(" "), s), "a");
    EXPECT_EQ(s, "b");

    // Result is cut from the text in its own case and trimmed of control characters.
    s = QStringLiteral(":NeW.\tVal\t;rest");
    EXPECT_EQ(ExtractBetween(QStringLiteral(":new."), QStringLiteral(";"), s), "Val");
    EXPECT_EQ(s, "rest");

    // Empty markers never match, so nothing loops.
    s = QStringLiteral("a b");
    EXPECT_EQ(ExtractBetween(QString(), QString(), s), "");
    EXPECT_EQ(s, "a b");
}

TEST(TextUtils, ReplaceDecimalPoint) {
    EXPECT_EQ(ReplaceDecimalPoint(QStringLiteral("1,234.5"), QLatin1Char('.')), "1.234.5");
    EXPECT_EQ(ReplaceDecimalPoint(QStringLiteral("3.14"), QLatin1Char(',')), "3,14");
    EXPECT_EQ(ReplaceDecimalPoint(QStringLiteral("-7e5"), QLatin1Char(',')), "-7e5");
}

TEST(TextUtils, FormatDuration) {
    EXPECT_EQ(FormatDuration(0), "");
    EXPECT_EQ(FormatDuration(1), "00:00:01");
    EXPECT_EQ(FormatDuration(59), "00:00:59");
    EXPECT_EQ(FormatDuration(60), "00:01:00");
    EXPECT_EQ(FormatDuration(3600), "01:00:00");
    EXPECT_EQ(FormatDuration(86399), "23:59:59");
    EXPECT_EQ(FormatDuration(86400), QStringLiteral("1д. 00:00:00"));
    EXPECT_EQ(FormatDuration(90061), QStringLiteral("1д. 01:01:01"));
    EXPECT_EQ(FormatDuration(10 * 86400 + 5), QStringLiteral("10д. 00:00:05"));
    EXPECT_EQ(FormatDuration(UINT32_MAX), QStringLiteral("49710д. 06:28:15"));
}

TEST(TextUtils, ReplaceAllRescansLikeFromTheStart) {
    EXPECT_EQ(ReplaceAll(QStringLiteral("DD.MM.YYYY HH24:MI:SS"), QStringLiteral("HH24"),
                         QStringLiteral("HH")),
              "DD.MM.YYYY HH:MI:SS");
    EXPECT_EQ(ReplaceAll(QStringLiteral("abc"), QString(), QStringLiteral("x")), "abc");
    EXPECT_EQ(ReplaceAll(QStringLiteral("hh24:mi"), QStringLiteral("HH24"), QStringLiteral("HH")),
              "hh24:mi");
    EXPECT_EQ(ReplaceAll(QStringLiteral("a.b.c"), QStringLiteral("."), QString()), "abc");
    // Matches formed by a replacement with the text around it are replaced too.
    EXPECT_EQ(ReplaceAll(QStringLiteral("abb"), QStringLiteral("ab"), QStringLiteral("a")), "a");
    EXPECT_EQ(ReplaceAll(QStringLiteral("aab"), QStringLiteral("ab"), QStringLiteral("b")), "b");
    EXPECT_EQ(ReplaceAll(QStringLiteral("aaab"), QStringLiteral("ab"), QStringLiteral("ba")),
              "baaa");
    EXPECT_EQ(ReplaceAll(QStringLiteral("xaaaay"), QStringLiteral("aa"), QStringLiteral("a")),
              "xay");
}

TEST(TextUtils, ReplaceAllEndsWhenReplacementHoldsPattern) {
    EXPECT_EQ(
        ReplaceAll(QStringLiteral("Server=h;DATABASE=postgres;UID=u"),
                   QStringLiteral("DATABASE=postgres"), QStringLiteral("DATABASE=postgres_new")),
        "Server=h;DATABASE=postgres_new;UID=u");
    EXPECT_EQ(ReplaceAll(QStringLiteral("DATABASE=postgres;DATABASE=postgres"),
                         QStringLiteral("DATABASE=postgres"), QStringLiteral("DATABASE=postgres")),
              "DATABASE=postgres;DATABASE=postgres");
    EXPECT_EQ(ReplaceAll(QStringLiteral("a-a"), QStringLiteral("a"), QStringLiteral("aa")),
              "aa-aa");
    // A rule that keeps feeding matches across the insert boundary still ends.
    const QString grown =
        ReplaceAll(QStringLiteral("aab"), QStringLiteral("ab"), QStringLiteral("bbaa"));
    EXPECT_FALSE(grown.isEmpty());
}

TEST(TextUtils, GetKeyValue) {
    const QString key = QStringLiteral("Data Source");
    const QChar semi = QLatin1Char(';');
    EXPECT_EQ(GetKeyValue(QStringLiteral("Provider=X;Data Source=orcl;User ID=u"), key, semi),
              "orcl");
    EXPECT_EQ(GetKeyValue(QStringLiteral("Provider=X;Data Source=orcl"), key, semi), "orcl");
    EXPECT_EQ(GetKeyValue(QStringLiteral("Data Source = x;"), key, semi), "= x");
    EXPECT_EQ(GetKeyValue(QStringLiteral("a;DATA SOURCE=orcl;b"), key, semi), "orcl");
    EXPECT_EQ(GetKeyValue(QStringLiteral("a;Data Source"), key, semi), "");
    EXPECT_EQ(GetKeyValue(QStringLiteral("a;Data Source="), key, semi), "");
    EXPECT_EQ(GetKeyValue(QStringLiteral("User ID=u"), key, semi), "");
    EXPECT_EQ(GetKeyValue(QStringLiteral("a=1"), QString(), semi), "");
}

TEST(TextUtils, SetKeyValue) {
    const QChar semi = QLatin1Char(';');
    EXPECT_EQ(SetKeyValue(QStringLiteral("Provider=MSDAORA.1;User ID=u;Data Source=orcl"),
                          QStringLiteral("User ID="), QStringLiteral("NEWU"), semi),
              "Provider=MSDAORA.1;User ID=NEWU;Data Source=orcl");
    EXPECT_EQ(SetKeyValue(QStringLiteral("a;Data Source=old"), QStringLiteral("Data Source="),
                          QStringLiteral("new"), semi),
              "a;Data Source=new");
    EXPECT_EQ(
        SetKeyValue(QStringLiteral("a;b"), QStringLiteral("Password="), QStringLiteral("p"), semi),
        "a;b");
    // Found without regard to Latin case; the key keeps the text's own case.
    EXPECT_EQ(SetKeyValue(QStringLiteral("PASSWORD=old;x=1;"), QStringLiteral("Password="),
                          QStringLiteral("s3;"), semi),
              "PASSWORD=s3;;x=1;");
}

TEST(TextUtils, FirstNumber) {
    EXPECT_EQ(FirstNumber(QStringLiteral(
                  "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production")),
              19);
    EXPECT_EQ(FirstNumber(QStringLiteral("Oracle Database 11g")), 11);
    EXPECT_EQ(FirstNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(FirstNumber(QString()), 0);
    EXPECT_EQ(FirstNumber(QStringLiteral("-5x")), 5);
    EXPECT_EQ(FirstNumber(QStringLiteral("v2147483647")), 2147483647);
    EXPECT_EQ(FirstNumber(QStringLiteral("v2147483648")), 0);
    EXPECT_EQ(FirstNumber(QStringLiteral("99999999999999999999 7")), 0);
    EXPECT_EQ(FirstNumber(QStringLiteral("000000000000042")), 42);
    // Only ASCII digits count: an Arabic-Indic three is skipped like any other character.
    EXPECT_EQ(FirstNumber(QString::fromUtf16(u"\u0663x8")), 8);
}

TEST(TextUtils, LatinCaseAndTrim) {
    EXPECT_EQ(UpperLatin(QStringLiteral("abc-жё-xyz")), QStringLiteral("ABC-жё-XYZ"));
    EXPECT_EQ(LowerLatin(QStringLiteral("ABC-ЖЁ-XYZ")), QStringLiteral("abc-ЖЁ-xyz"));
    EXPECT_EQ(TrimControl(QStringLiteral("\t\r\n x y \x01")), "x y");
    EXPECT_EQ(TrimControl(QStringLiteral(" \t ")), "");
    EXPECT_EQ(TrimControl(QString::fromUtf16(u"\u00A0x")), QString::fromUtf16(u"\u00A0x"));
}

TEST(CodePage, RoundTripAndReplacement) {
    const TCodePage cp1251;
    EXPECT_EQ(cp1251.Name(), "windows-1251");
    EXPECT_EQ(cp1251.FromUnicode(QStringLiteral("Ая z")), QByteArray("\xC0\xFF z"));
    EXPECT_EQ(cp1251.ToUnicode(QByteArray("\xC0\xFF z")), QStringLiteral("Ая z"));
    // Characters outside the code page, a character beyond the BMP and a lone surrogate.
    EXPECT_EQ(cp1251.FromUnicode(QString::fromUtf16(u"a\u4E2Db\U0001F600c")), QByteArray("a?b?c"));
    EXPECT_EQ(cp1251.FromUnicode(QString(QChar(0xD800)) + QLatin1Char('x')), QByteArray("?x"));
    EXPECT_EQ(cp1251.ToUnicode(QByteArray("\x98z")), QStringLiteral("?z"));
    EXPECT_EQ(cp1251.FromUnicode(QString()), QByteArray());

    const TCodePage cp866(QStringLiteral("CP866"));
    EXPECT_EQ(cp866.FromUnicode(QStringLiteral("А")), QByteArray("\x80"));

    try {
        TCodePage unknown(QStringLiteral("no-such-page"));
        FAIL() << "an unknown code page was accepted";
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Неизвестная кодовая страница: no-such-page"));
    }
    EXPECT_THROW(TCodePage{QString()}, TError);
}
