// The date format of an Oracle target read by a user without the grant of V$PARAMETER, on the
// dictionary emulation.

#include "schema/ora_time_format.h"

#include <gtest/gtest.h>

#include "db/odbc.h"
#include "db/server_kind.h"
#include "ora_emulation.h"

namespace {

class OraTimeFormatFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OraEmulTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        ASSERT_TRUE(OraEmulLoad().isEmpty());
        ASSERT_TRUE(OraEmulExec("UPDATE ora_meta.settings SET value = 'off' "
                                "WHERE name = 'grant_v$parameter'")
                        .isEmpty());
    }

    TDbConnection connection_;
    TDbQuery query_{connection_};
};

TEST_F(OraTimeFormatFallbackTest, SessionParametersStandInForVParameter) {
    connection_.SetConnectionString(OraEmulConnectString(kOraEmulReal));
    connection_.Open();
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, true), "DD.MM.YYYY HH24:MI:SS");
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, false), "DD.MM.YYYY HH:NN:SS");
    EXPECT_FALSE(query_.Active());

    // A session under a Russian client has its own format.
    connection_.Close();
    connection_.SetConnectionString(OraEmulConnectString(kOraEmulReal, kOraEmulRuDsn));
    connection_.Open();
    EXPECT_EQ(GetOraTimeFormat(query_, kDbOracle, true), "DD.MM.RR");
}

TEST_F(OraTimeFormatFallbackTest, BothRefusedReportsVParameter) {
    // A PostgreSQL server has neither view; the error names the first one asked.
    connection_.SetConnectionString(
        QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended "
                       "Properties=\"DSN=PostgreSQL_Test\""));
    connection_.Open();
    try {
        GetOraTimeFormat(query_, kDbOracle, true);
        ADD_FAILURE() << "no error";
    } catch (const TDbError& error) {
        EXPECT_TRUE(error.Message().contains("v$parameter", Qt::CaseInsensitive))
            << error.Message().toStdString();
    }
    EXPECT_FALSE(query_.Active());
}

}  // namespace
