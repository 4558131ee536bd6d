#pragma once
// Creation of the target: a new PostgreSQL database with its owner role, or a new Oracle user
// with its profile and grants; then the reconnection into it and the run of the DDL script.
// Before anything is dropped the typed name is checked (a plain identifier, no database or
// login the server lives on), and a database or user of that name that holds tables is dropped
// only when the operator says so. Every name goes into the statements through TSqlNames and
// every password as a literal of its server. The statement texts are pure functions so that
// they can be checked word for word; the sequence that runs them works on the window's target
// connection and statement. Used on the user-interface thread only.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "schema/table_model.h"

class TDbConnection;
class TDbQuery;
class TQuestions;

// What the operator gave for the target.
struct TTargetSpec {
    int db_to = kDbUnknown;
    QString connect_to;  // administrative connection string (MemoConnectTo)
    QString user;        // new database and role, or new Oracle user, as typed
    QString password;
    QString script;          // the DDL script as it stands in the script memo
    bool grant_dba = false;  // Oracle: the new user gets the DBA role besides its own rights
};

struct TTargetResult {
    bool ok = false;
    // The operator declined to drop an existing database or user; nothing was touched.
    bool cancelled = false;
    // Version banner of the target server (postgre_vers or oracle_vers); filled as soon as it
    // was read, so also after a later failure.
    QString version;
    // Text for the result label when ok is false; passwords in it are masked.
    QString error;
    // The script after its after-copy marker: left for the copy to run after its last table.
    QString after_copy;
};

// One statement of a creation sequence; errors of some are expected (an object left by an
// earlier run, or one that is not there yet) and do not stop the sequence.
struct TSqlStep {
    QString sql;
    bool ignore_error = false;
    bool operator==(const TSqlStep&) const = default;
};

// --- The new name -------------------------------------------------------------------------

// The name as the statements write it: on Oracle in upper case (the user an unquoted name in the
// script and a login by that name reach), on PostgreSQL as typed (TSqlNames quotes what would
// not stay as typed).
QString TargetUserName(int db_to, const QString& user);

// The longest name the server takes, in bytes: 63 on PostgreSQL; on Oracle 128 from 12.2 on,
// else 30 (read from the version banner; an unreadable banner gives the shorter limit).
int MaxNameBytes(int db_to, const QString& version);

// Why the typed name cannot name the new database / role / user by its form alone (empty when
// it can): not a plain identifier, too long, an Oracle reserved word, or a name the server
// itself lives on (postgres, template0, template1; SYS, SYSTEM).
QString NameRuleProblem(int db_to, const QString& user, const QString& version);

// --- PostgreSQL ---------------------------------------------------------------------------

inline const QString kPgVersionSql = QStringLiteral("SELECT version()");
// The database and login of the administrative connection.
inline const QString kPgSessionSql = QStringLiteral("SELECT current_database(), session_user");
// Tables of the database the connection stands in.
extern const QString kPgTableCountSql;

// Servers built for Windows know the Windows locale names; others do not.
bool IsWindowsServer(const QString& version);

// Picks the collation for a new UTF-8 database on a server that is not a Windows server: a
// Russian UTF-8 locale when the server has one, else the locale of template0 when it suits
// UTF-8, else C.UTF-8, else C. One row, one column.
extern const QString kPgLocaleSql;

// Whether an existing role of that name may create roles or is a superuser (no row: no role).
QString PgRoleRightsSql(const QString& user);
// The size of an existing database of that name (no row: no database).
QString PgDatabaseSizeSql(const QString& user);

// The CREATE DATABASE statement, always from template0 (the only template that takes a locale
// other than its own). An empty locale gives the statement for Windows servers
// (Russian_Russia.1251).
QString PgCreateDatabaseSql(const QString& user, const QString& locale);

// DROP DATABASE, DROP ROLE, CREATE ROLE, CREATE DATABASE. Raises TError for a password that
// cannot be written (a character code 0).
QStringList PgCreateStatements(const QString& user, const QString& password, const QString& locale);

// Hands every table, sequence, view and foreign table of the new database to its owner role, so
// that the role can alter and drop what the script made under the administrative login.
QString PgOwnerSql(const QString& user);

QStringList PgGrantStatements(const QString& user);

// The administrative connection string pointed at the new database: the DATABASE value of its
// ODBC string becomes the name as the server stores it (added when the string has none). The
// login stays the administrative one; an Oracle-form string is returned unchanged.
QString PgTargetConnectionString(const QString& connect_to, const QString& user);

// --- Oracle -------------------------------------------------------------------------------

inline const QString kOraVersionSql =
    QStringLiteral("SELECT * FROM v$version WHERE LOWER(banner) LIKE 'oracle%'");
// The login of the administrative connection.
inline const QString kOraLoginSql = QStringLiteral("SELECT USER FROM dual");
// The container the session stands in; a server without containers fails the query.
inline const QString kOraContainerSql =
    QStringLiteral("SELECT SYS_CONTEXT('USERENV', 'CON_NAME') FROM dual");
// A common user may be created in a container's root only with this switch on, and it marks
// what it creates as the server's own: on for the creation, off right after.
inline const QString kOraScriptOnSql = QStringLiteral("alter session set \"_oracle_script\"=true");
inline const QString kOraScriptOffSql =
    QStringLiteral("alter session set \"_oracle_script\"=false");

// An existing user of that name: whether Oracle maintains it ('Y'/'N'; servers before 12 keep
// no such mark and answer 'N'), its tables and the bytes of its segments. No row: no user.
QString OraExistingUserSql(const QString& user, const QString& version);

// Profile and drop of an old user (these two may fail), the user, and the rights it needs for
// the script and the copy; with grant_dba the DBA role as well. Raises TError for a password
// that Oracle cannot take.
QList<TSqlStep> OraCreateUserSteps(const QString& user, const QString& password,
                                   bool grant_dba = false);

// The administrative connection string with the new user's login (the name as typed).
QString OraTargetConnectionString(const QString& connect_to, const QString& user,
                                  const QString& password);

// The statements of an Oracle script: the parts before each "%"; what follows the last "%" is
// not a statement.
QStringList SplitOraScript(const QString& script);

// Runs one statement of the Oracle script. Oracle answers a trigger or procedure that compiled
// with errors with a success with information; that is raised here as a failure carrying the
// driver's message, since the object would not work.
void ExecuteScriptStatement(TDbQuery& query_to, const QString& sql);

// --- The sequence -------------------------------------------------------------------------

// Checks the name, drops and re-creates the target, reconnects connection_to into it and runs
// the script up to its after-copy marker through query_to (the rest goes to the result); on
// success calls prepare_copy (when given). A database or user of the name that holds tables is
// dropped only after questions answered OK; without a questions interface (tests and
// benchmarks that own their server) it is dropped unasked. Never raises: a failure ends the
// sequence and its text is returned followed by ": " and the statement that failed (the script
// on PostgreSQL is named, not repeated), passwords masked. Parameter checking of query_to is on
// again afterwards.
TTargetResult CreateTarget(const TTargetSpec& spec, TDbConnection& connection_to,
                           TDbQuery& query_to, const std::function<void()>& prepare_copy = {},
                           TQuestions* questions = nullptr);
