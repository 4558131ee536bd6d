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

// An Oracle-form connection string to the emulation's data source ORA_EMUL.
QString OraEmulConnectString(const TOraEmulUser& user);

// A value of DIR/testbed.env (PGPORT, PGPASSWORD, ...), empty when absent.
QString OraEmulTestbedValue(const QString& key);
