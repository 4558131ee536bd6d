// The check before the copy against the emulated Oracle source: the planted problems of owner
// SKERROW_PRE are each named, and the main sample, whose data all fit, gives no error and has
// every table's data read.

#include "verify/preflight.h"

#include <gtest/gtest.h>

#include <algorithm>

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

    // after_read runs between reading the structure and the check, as rows changed meanwhile.
    QList<TFinding> Run(const TOraEmulUser& owner, int int_type_index,
                        const QString& after_read = QString()) {
        const QString connect = OraEmulConnectString(owner);
        TDbConnection from;
        from.SetConnectionString(connect);
        from.Open();
        TDbQuery query(from);
        TStructRead read;
        ReadStructFrom(query, kDbOracle, connect, read);
        EXPECT_FALSE(read.tables.isEmpty());
        if (!after_read.isEmpty()) {
            const QString error = OraEmulExec(after_read);
            EXPECT_TRUE(error.isEmpty()) << Str(error);
        }
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

        // The number beyond 64 bits, and the 32-bit one when the integers are 32-bit: the
        // structure read found them, so the script gives a wider type and the operator is told.
        const QList<TFinding> amount = About(findings, "BIG_NUMBERS", "AMOUNT");
        EXPECT_TRUE(Has(amount, TSeverity::Warning, QStringLiteral("12345678901234567890"))) << all;
        EXPECT_TRUE(Has(amount, TSeverity::Warning, QStringLiteral("NUMERIC(20)"))) << all;
        const QList<TFinding> counter = About(findings, "BIG_NUMBERS", "COUNTER");
        if (int_type_index == 0) {
            EXPECT_TRUE(counter.isEmpty()) << all;
        } else {
            EXPECT_TRUE(Has(counter, TSeverity::Warning, QStringLiteral("3000000000"))) << all;
            EXPECT_TRUE(Has(counter, TSeverity::Warning, QStringLiteral("BIGINT"))) << all;
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
        const auto first_shapes =
            std::find_if(findings.begin(), findings.end(),
                         [](const TFinding& f) { return f.table == "SHAPES"; });
        ASSERT_NE(first_shapes, findings.end());
        EXPECT_EQ(first_shapes->severity, TSeverity::Error) << all;
        EXPECT_EQ(CountFindings(findings, TSeverity::Error), 2) << all;
    }
}

// A value that arrives after the structure was read does not fit the type the script chose
// from the data read then: the check reads the data afresh and says the copy will stop.
TEST_F(PreflightTest, AValueAddedAfterTheStructureWasReadIsAnError) {
    const QList<TFinding> findings =
        Run(kOraEmulPre, 1, "INSERT INTO skerrow_pre.big_numbers (id) VALUES (5000000000)");
    const std::string all = Dump(findings);
    const QList<TFinding> id = About(findings, "BIG_NUMBERS", "ID");
    EXPECT_TRUE(Has(id, TSeverity::Error, QStringLiteral("5000000000"))) << all;
    EXPECT_TRUE(Has(id, TSeverity::Error, QStringLiteral("INTEGER"))) << all;
    EXPECT_TRUE(Has(id, TSeverity::Error, QStringLiteral("копирование остановится"))) << all;
}

TEST_F(PreflightTest, TheMainSampleFitsAndEveryTableIsRead) {
    // The demo serves the emulation alone, on a fresh server, without the planted sample: the
    // Oracle functions the check's aggregates call must be there all the same.
    QString error = OraEmulExec("DROP SCHEMA IF EXISTS dbms_lob CASCADE");
    ASSERT_TRUE(error.isEmpty()) << Str(error);
    error = OraEmulLoad();
    ASSERT_TRUE(error.isEmpty()) << Str(error);
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
