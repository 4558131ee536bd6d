#pragma once
// Creation of the target: a new PostgreSQL database with its owner role, or a new Oracle user
// with its profile and grants; then the reconnection into it and the run of the DDL script.
// The statement texts are pure functions so that they can be checked word for word; the
// sequence that runs them works on the window's target connection and statement. Used on the
// user-interface thread only.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "schema/table_model.h"

class TDbConnection;
class TDbQuery;

// What the operator gave for the target.
struct TTargetSpec {
    int db_to = kDbUnknown;
    QString connect_to;  // administrative connection string (MemoConnectTo)
    QString user;        // new database and role, or new Oracle user
    QString password;
    QString script;  // the DDL script as it stands in the script memo
};

struct TTargetResult {
    bool ok = false;
    // Version banner of the target server (postgre_vers or oracle_vers); filled as soon as it
    // was read, so also after a later failure.
    QString version;
    // Text for the result label when ok is false.
    QString error;
    // The script after its after-copy marker: left for the copy to run after its last table.
    QString after_copy;
};

// The script split at its after-copy marker line (kAfterCopyMarker, script_gen.h): the part
// target creation runs, and the rest after the marker line. Without a marker everything is
// run at creation.
struct TScriptParts {
    QString before_copy;
    QString after_copy;
};
TScriptParts SplitAfterCopy(const QString& script);

// One statement of a creation sequence; errors of some are expected (an object left by an
// earlier run, or one that is not there yet) and do not stop the sequence.
struct TSqlStep {
    QString sql;
    bool ignore_error = false;
    bool operator==(const TSqlStep&) const = default;
};

// --- PostgreSQL ---------------------------------------------------------------------------

inline const QString kPgVersionSql = QStringLiteral("SELECT version()");

// Servers built for Windows know the Windows locale names; others do not.
bool IsWindowsServer(const QString& version);

// Picks the collation for a new UTF-8 database on a server that is not a Windows server: a
// Russian UTF-8 locale when the server has one, else the locale of template0 when it suits
// UTF-8, else C.UTF-8, else C. One row, one column.
extern const QString kPgLocaleSql;

// The CREATE DATABASE statement. An empty locale gives the statement for Windows servers
// (Russian_Russia.1251, default template); another locale is used with template0, which is
// the only template that accepts a locale other than its own.
QString PgCreateDatabaseSql(const QString& user, const QString& locale);

// DROP DATABASE, DROP ROLE, CREATE ROLE, CREATE DATABASE.
QStringList PgCreateStatements(const QString& user, const QString& password, const QString& locale);

QStringList PgGrantStatements(const QString& user);

// The administrative connection string pointed at the new database: every "DATABASE=postgres"
// becomes "DATABASE=" + the name as the server stores it (unquoted names are folded to lower
// case). The login stays the administrative one.
QString PgTargetConnectionString(const QString& connect_to, const QString& user);

// --- Oracle -------------------------------------------------------------------------------

inline const QString kOraVersionSql =
    QStringLiteral("SELECT * FROM v$version WHERE LOWER(banner) LIKE 'oracle%'");

// Session switch, profile, drop of an old user (these three may fail), then the user and its
// grants.
QList<TSqlStep> OraCreateUserSteps(const QString& user, const QString& password);

// The administrative connection string with the new user's login.
QString OraTargetConnectionString(const QString& connect_to, const QString& user,
                                  const QString& password);

// The statements of an Oracle script: the parts before each "%"; what follows the last "%" is
// not a statement.
QStringList SplitOraScript(const QString& script);

// --- The sequence -------------------------------------------------------------------------

// Drops and re-creates the target, reconnects connection_to into it and runs the script up to
// its after-copy marker through query_to (the rest goes to the result); on success calls
// prepare_copy (when given). Never raises: a failure ends
// the sequence and its text is returned, on an Oracle target followed by ": " and the SQL
// query_to held at that moment. Parameter checking of query_to is on again afterwards.
TTargetResult CreateTarget(const TTargetSpec& spec, TDbConnection& connection_to,
                           TDbQuery& query_to, const std::function<void()>& prepare_copy = {});
