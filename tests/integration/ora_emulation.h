#pragma once
// Loading the Oracle dictionary emulation (tests/fixtures/oracle_emulation.sql) into the test
// bed's source database and switching its settings, through psql with the test bed's
// environment (DIR/testbed.env of $SKERROW_TESTBED).

#include <QString>

// Login roles of the emulation and their Oracle-side owners (upper-case).
struct TOraEmulUser {
    const char* user;
    const char* password;
};
inline constexpr TOraEmulUser kOraEmulSrc{"skerrow_src", "src_pass"};
inline constexpr TOraEmulUser kOraEmulOne{"skerrow_one", "one_pass"};
inline constexpr TOraEmulUser kOraEmulNoTables{"skerrow_nov", "nov_pass"};
// The schema of a real application (tests/fixtures/oracle_real.sql).
inline constexpr TOraEmulUser kOraEmulReal{"skerrow_real", "real_pass"};

// Data sources of the emulation: the usual one; the second mode, which answers as Oracle's
// driver does under a Russian client; one that holds skerrow_real's login itself.
inline constexpr const char* kOraEmulDsn = "ORA_EMUL";
inline constexpr const char* kOraEmulRuDsn = "ORA_EMUL_RU";
inline constexpr const char* kOraEmulRealDsn = "ORA_EMUL_REAL";

// Whether the tests run with a test bed (ctest sets SKERROW_TESTBED); also points the ODBC
// driver manager at its data sources when ODBCSYSINI / ODBCINI are not set. Call it before the
// first ODBC call of the process.
bool OraEmulTestbedAvailable();

// Creates the database ora_src when missing and (re)loads the emulation into it, which also
// resets every switch. Returns the error text, empty on success.
QString OraEmulLoad();

// Runs SQL in ora_src as the superuser, e.g. to flip a switch:
//   UPDATE ora_meta.settings SET value = '11g' WHERE name = 'version'
// Returns the error text, empty on success.
QString OraEmulExec(const QString& sql);

// An Oracle-form connection string to the emulation's data source ORA_EMUL (or dsn).
QString OraEmulConnectString(const TOraEmulUser& user, const char* dsn = kOraEmulDsn);
// An Oracle-form connection string without user and password: the data source holds them.
QString OraEmulConnectStringWithoutUser(const char* dsn = kOraEmulRealDsn);

// A value of DIR/testbed.env (PGPORT, PGPASSWORD, ...), empty when absent.
QString OraEmulTestbedValue(const QString& key);
