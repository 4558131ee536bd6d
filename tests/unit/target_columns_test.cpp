#include "transfer/target_columns.h"

#include <gtest/gtest.h>

// The Oracle target is reached only by its texts here; the PostgreSQL query runs on the test
// bed (ValuesCopyTest).
TEST(TargetColumnsTest, OracleQueryAndKinds) {
    const TSqlNames names(kDbOracle);
    EXPECT_EQ(TargetColumnsSql(kDbOracle, "ORDERS", names),
              "SELECT column_name, data_type, data_scale FROM user_tab_columns WHERE "
              "table_name = 'ORDERS'");
    EXPECT_EQ(TargetColumnsSql(kDbOracle, "Old O'Rders", names),
              "SELECT column_name, data_type, data_scale FROM user_tab_columns WHERE "
              "table_name = 'Old O''Rders'");
    EXPECT_TRUE(TargetColumnsSql(kDbPostgres, "LIMIT", TSqlNames(kDbPostgres))
                    .contains("to_regclass('\"LIMIT\"')"));

    EXPECT_EQ(OraTargetKind("NUMBER", "0"), TTargetKind::Integer);
    EXPECT_EQ(OraTargetKind("NUMBER", "-2"), TTargetKind::Integer);
    EXPECT_EQ(OraTargetKind("NUMBER", "2"), TTargetKind::Exact);
    // NUMBER without precision: no scale, any number.
    EXPECT_EQ(OraTargetKind("NUMBER", ""), TTargetKind::Exact);
    EXPECT_EQ(OraTargetKind("FLOAT", ""), TTargetKind::Exact);
    EXPECT_EQ(OraTargetKind("BINARY_DOUBLE", ""), TTargetKind::Float);
    EXPECT_EQ(OraTargetKind("VARCHAR2", ""), TTargetKind::Other);
    EXPECT_EQ(OraTargetKind("", ""), TTargetKind::Unknown);
}
