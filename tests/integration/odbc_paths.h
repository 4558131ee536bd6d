#pragma once
// The binding's two fetch paths for parameterised tests: the driver's own capabilities (the
// PostgreSQL driver: everything bound, blocks of rows) and the profile of Oracle's driver
// (columns before the first long one bound, the rest read with SQLGetData in order, one row
// per fetch when SQLGetData is needed). Connections opened while a TOdbcPathScope of the
// Oracle path lives fetch as on Oracle's driver.
//
//   class MyTest : public ::testing::TestWithParam<TOdbcPath> {};
//   TEST_P(MyTest, Values) { TOdbcPathScope path(GetParam()); ...open, read... }
//   INSTANTIATE_TEST_SUITE_P(Paths, MyTest, OdbcPaths(), OdbcPathName);
//
// A whole ctest run takes the Oracle path with SKERROW_ODBC_CAPS=oracle in its environment.

#include <gtest/gtest.h>

#include <QByteArray>
#include <string>

enum class TOdbcPath { Driver, Oracle };

class TOdbcPathScope {
public:
    explicit TOdbcPathScope(TOdbcPath path)
        : had_(qEnvironmentVariableIsSet("SKERROW_ODBC_CAPS")), old_(qgetenv("SKERROW_ODBC_CAPS")) {
        if (path == TOdbcPath::Oracle) {
            qputenv("SKERROW_ODBC_CAPS", "oracle");
        } else {
            qunsetenv("SKERROW_ODBC_CAPS");
        }
    }
    ~TOdbcPathScope() {
        if (had_) {
            qputenv("SKERROW_ODBC_CAPS", old_);
        } else {
            qunsetenv("SKERROW_ODBC_CAPS");
        }
    }
    TOdbcPathScope(const TOdbcPathScope&) = delete;
    TOdbcPathScope& operator=(const TOdbcPathScope&) = delete;

private:
    bool had_;
    QByteArray old_;
};

inline auto OdbcPaths() {
    return ::testing::Values(TOdbcPath::Driver, TOdbcPath::Oracle);
}

inline std::string OdbcPathName(const ::testing::TestParamInfo<TOdbcPath>& info) {
    return info.param == TOdbcPath::Oracle ? "OracleDriver" : "OwnDriver";
}
