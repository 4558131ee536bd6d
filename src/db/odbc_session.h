#pragma once
// Internals of the ODBC binding: the session set-up that runs once on every new connection
// and the fetch profile chosen for it. Not for use outside src/db.

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <QStringList>

// What SQLGetData may do on Oracle's driver as the binding uses it there: nothing beyond the
// ODBC baseline (unbound columns after the last bound one, in increasing order, one row per
// fetch). LONG columns obey that on every Oracle server whatever the driver reports.
inline constexpr SQLUINTEGER kOracleGetDataExtensions = 0;

// The environment variable that makes a connection fetch as on Oracle's driver (tests only).
inline constexpr char kOdbcCapsVariable[] = "SKERROW_ODBC_CAPS";

// Whether SKERROW_ODBC_CAPS asks for Oracle's profile ("oracle"); empty means the driver's
// own. Raises TError for any other value, so that a mistyped switch does not test the wrong
// path.
bool OracleCapabilitiesRequested();

// The statements of a new connection's session, in order.
struct TSessionSetup {
    // What runs on the server.
    QStringList statements;
    // What the statement log shows: the same, except that on a server that only emulates Oracle
    // the Oracle texts stand for the emulation's equivalents.
    QStringList logged;
    // The session's time zone is UTC afterwards.
    bool utc = false;
    bool emulated_oracle = false;
};

// oracle_session: the connection string is of an Oracle form or the server says it is Oracle;
// dbms_name: SQL_DBMS_NAME of the driver.
TSessionSetup SessionSetup(bool oracle_session, const QString& dbms_name);
