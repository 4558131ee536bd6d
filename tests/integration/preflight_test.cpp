// The check before the copy against the emulated Oracle source: the planted problems of owner
// SKERROW_PRE are each named, and the main sample, whose data all fit, gives no error and has
// every table's data read.

#include "verify/preflight.h"

#include <gtest/gtest.h>

#include "schema/catalog_reader.h"
#include "verify_testbed.h"

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

std::string Dump(const QList<TFinding>& findings) {
    std::string text;
    for (const TFinding& f : findings) {
        text +=
            Str(SeverityText(f.severity) + " | " + f.table + " | " + f.column + " | " + f.text) +
            "\n";
    }
    return text;
}

class PreflightTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        const QString error = LoadVerifyEmulation();
        ASSERT_TRUE(error.isEmpty()) << Str(error);
    }

    QList<TFinding> Run(const TOraEmulUser& owner, int int_type_index) {
        const QString connect = OraEmulConnectString(owner);
        TDbConnection from;
        from.SetConnectionString(connect);
        from.Open();
        TDbQuery query(from);
        TStructRead read;
        ReadStructFrom(query, kDbOracle, connect, read);
        EXPECT_FALSE(read.tables.isEmpty());
        TPreflightOptions options;
        options.int_type_index = int_type_index;
        return RunPreflight(read.tables, options, &query);
    }

    // The findings about one column (or, with an empty column, the table itself).
    static QList<TFinding> About(const QList<TFinding>& findings, const QString& table,
                                 const QString& column) {
        QList<TFinding> found;
        for (const TFinding& f : findings) {
            if (f.table == table && f.column == column) {
                found << f;
            }
        }
        return found;
    }

    static bool Has(const QList<TFinding>& findings, TSeverity severity, const QString& part) {
        for (const TFinding& f : findings) {
            if (f.severity == severity && f.text.contains(part)) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(PreflightTest, EveryPlantedProblemIsNamed) {
    for (const int int_type_index : {0, 1}) {
        SCOPED_TRACE(int_type_index);
        const QList<TFinding> findings = Run(kOraEmulPre, int_type_index);
        const std::string all = Dump(findings);
        EXPECT_FALSE(Has(findings, TSeverity::Warning, QStringLiteral("не проверены"))) << all;

        // The number beyond 64 bits; the 32-bit one only when the integers are 32-bit.
        const QList<TFinding> amount = About(findings, "BIG_NUMBERS", "AMOUNT");
        EXPECT_TRUE(Has(amount, TSeverity::Error, QStringLiteral("12345678901234567890"))) << all;
        const QList<TFinding> counter = About(findings, "BIG_NUMBERS", "COUNTER");
        if (int_type_index == 0) {
            EXPECT_TRUE(counter.isEmpty()) << all;
        } else {
            EXPECT_TRUE(Has(counter, TSeverity::Error, QStringLiteral("3000000000"))) << all;
            EXPECT_TRUE(Has(counter, TSeverity::Error, QStringLiteral("INTEGER"))) << all;
        }

        EXPECT_TRUE(Has(About(findings, "SHORT_TEXTS", "CODE"), TSeverity::Error,
                        QStringLiteral("в символах — 25, а столбец создается как VARCHAR(10)")))
            << all;
        EXPECT_TRUE(Has(About(findings, "LOG_LINES", ""), TSeverity::Warning,
                        QStringLiteral("нет ключа для чтения частями (нет первичного ключа; нет "
                                       "уникального ключа)")))
            << all;
        EXPECT_TRUE(Has(About(findings, "SHAPES", "SHAPE"), TSeverity::Error,
                        QStringLiteral("тип SDO_GEOMETRY не сопоставлен")))
            << all;
        EXPECT_TRUE(Has(About(findings, "SHAPES", "DRAWING"), TSeverity::Info,
                        QStringLiteral("больших объектов: 2, всего 2,0 КБ, наибольший 2,0 КБ")))
            << all;
        EXPECT_TRUE(Has(About(findings, "SHAPES", ""), TSeverity::Info,
                        QStringLiteral("строк: 3; копируется частями по ключу PK_SHAPES")))
            << all;
        // Within a table the most severe come first.
        ASSERT_FALSE(findings.isEmpty());
        EXPECT_EQ(findings.first().severity, TSeverity::Error) << all;
        EXPECT_EQ(CountFindings(findings, TSeverity::Error), int_type_index == 0 ? 3 : 4) << all;
    }
}

TEST_F(PreflightTest, TheMainSampleFitsAndEveryTableIsRead) {
    const QList<TFinding> findings = Run(kOraEmulSrc, 0);
    const std::string all = Dump(findings);
    EXPECT_EQ(CountFindings(findings, TSeverity::Error), 0) << all;
    EXPECT_FALSE(Has(findings, TSeverity::Warning, QStringLiteral("не проверены"))) << all;
    // The primary key of DOCUMENTS is disabled: the table has no key to read it by.
    EXPECT_TRUE(Has(About(findings, "DOCUMENTS", ""), TSeverity::Warning,
                    QStringLiteral("нет ключа для чтения частями")))
        << all;
    EXPECT_TRUE(Has(About(findings, "CUSTOMERS", "PHOTO"), TSeverity::Info,
                    QStringLiteral("больших объектов: 2")))
        << all;
}

}  // namespace
