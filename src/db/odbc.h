#pragma once
// The database access layer over the ODBC driver manager: connections opened from the three
// connection-string forms, statements with SQL lines and typed parameters, and a forward-only
// whole-table reader. Every handle is owned by an object whose destructor frees it; every
// failing call raises TDbError with all diagnostics. One thread uses a connection and its
// statements at a time.
//
// Every value reads the same whatever either server's session settings are (the forms are in
// db_field.h). An Oracle session gets fixed NLS settings and the zone UTC as soon as it opens;
// a PostgreSQL session gets the zone UTC. Zoned values keep their instant: Oracle's are read
// as text with their own offset, PostgreSQL's arrive in the session's zone, UTC, and both are
// written with the offset. Plain dates and timestamps are never moved by any zone.
//
// Long values are read with SQLGetData in pieces, after the bound columns and in column order
// where the driver allows no more; blocks of rows are fetched wherever no SQLGetData is needed
// inside a block or the driver allows it there.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "db/db_error.h"
#include "db/db_field.h"

class TDbConnection {
public:
    TDbConnection();
    ~TDbConnection();
    TDbConnection(const TDbConnection&) = delete;
    TDbConnection& operator=(const TDbConnection&) = delete;

    void SetConnectionString(const QString& text);
    const QString& ConnectionString() const;
    // Translates the connection string (see connection_string.h) and connects.
    void Open();
    // Closing a closed connection does nothing. Statements of the connection become inactive.
    void Close();
    bool Connected() const;

    // What the connection found when it opened: the server as its driver names it
    // (SQL_DBMS_NAME); whether the session was set up as an Oracle session (the string is of an
    // Oracle form, its text says Oracle, or the server is Oracle) and whether the server only
    // emulates Oracle; the installed Oracle driver the string was handed to (empty when a data
    // source of that name took it), which the journal names.
    QString DbmsName() const;
    bool OracleSession() const;
    bool EmulatedOracle() const;
    QString OracleDriver() const;
    // Fetching follows the profile of Oracle's driver: on an Oracle server, and on any server
    // when the environment variable SKERROW_ODBC_CAPS is "oracle" at Open (a test switch).
    bool OracleCapabilities() const;

    // Test hook, the statements the connection sent: its own session set-up on every Open
    // (on a server that only emulates Oracle, the Oracle texts it stands for) and, while the
    // log is on, the text of every statement its queries and readers ran. Kept across
    // Close/Open until cleared.
    void SetStatementLog(bool on);
    const QStringList& StatementLog() const;
    void ClearStatementLog();

    // Statements commit one by one (the default), or, with autocommit off, only when Commit()
    // is called: rows and the bookkeeping that counts them then reach the server together.
    // The choice is kept across Close/Open.
    void SetAutoCommit(bool on);
    bool AutoCommit() const;
    void Commit();
    void Rollback();
    // Statements of this connection that hold an open result: a commit or rollback would end
    // what they are reading.
    int ActiveStatements() const;

    struct TImpl;
    TImpl& Impl() const;

private:
    std::unique_ptr<TImpl> impl_;
};

// Sets NLS_LANG for this process before any Oracle client starts: AMERICAN_AMERICA.AL32UTF8
// when it is unset; a value with another character set keeps its language and territory and
// gets AL32UTF8, so that the client converts no text into a character set that lacks it.
void PrepareOracleClientEnvironment();

// A statement: SQL as a list of lines (joined by line breaks into one statement text).
class TDbQuery : public TDbRowSet {
public:
    explicit TDbQuery(TDbConnection& connection);
    ~TDbQuery() override;

    void Clear();
    void Add(const QString& line);
    void SetText(const QString& text);
    QString Text() const;
    const QStringList& Lines() const;

    // With the check on, colon-prefixed words outside quoted literals are named parameters.
    void SetParamCheck(bool on);
    bool ParamCheck() const;
    // Binds the named parameter to the bytes of a file (read when the statement runs).
    void SetParamFile(const QString& name, const QString& path);
    // Binds the named parameter to a long text held in a UTF-8 file (read when it runs).
    void SetParamTextFile(const QString& name, const QString& path);
    // Binds the named parameter to a value: a text, a decimal number given as text, the bytes
    // of a binary value, or a date-time taken as the wall-clock time it shows (no zone).
    void SetParamText(const QString& name, const QString& value);
    void SetParamNumber(const QString& name, const QString& decimal_text);
    void SetParamBytes(const QString& name, const QByteArray& value);
    void SetParamDateTime(const QString& name, const QDateTime& value);
    // Binds the named parameter to a date-time given in the fields' text form (as AsString
    // gives it: fractions to the nanosecond, " BC", an offset), exactly; QDateTime keeps only
    // milliseconds. A zoned value goes as its UTC time, which both servers' sessions compare
    // in UTC. Raises TConvertError for a text of another form.
    void SetParamDateTimeText(const QString& name, const QString& text);

    // The same with the fraction of the second given exactly, in nanoseconds, instead of the
    // milliseconds a QDateTime holds.
    void SetParamDateTime(const QString& name, const QDateTime& value, qint32 nanoseconds);
    void ClearParams();

    // Runs the statement and positions on its first row (Eof when there is none).
    void Open();
    // Runs the statement without a result.
    void ExecSQL();
    // What the driver said about the last Open or ExecSQL that succeeded with information
    // (SQL_SUCCESS_WITH_INFO, e.g. an object created with compilation errors): one entry per
    // diagnostic record, "[SQLSTATE] (native) text". Empty after a plain success.
    const QStringList& Warnings() const;
    void Close();
    bool Active() const;

    bool Eof() const override;
    void Next() override;
    int FieldCount() const override;
    const TDbField& Field(int index) const override;
    const TDbField& FieldByName(const QString& name) const override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

// Forward-only, read-only reader of a whole table, given only the table's name.
class TDbTable : public TDbRowSet {
public:
    explicit TDbTable(TDbConnection& connection);
    ~TDbTable() override;

    void SetTableName(const QString& name);
    const QString& TableName() const;
    // The select list, as the query needs it; empty reads "*".
    void SetColumns(const QString& select_list);
    void Open();
    void Close();
    bool Active() const;
    // Moves forward over n rows (stops at the end).
    void MoveBy(qint64 n);

    bool Eof() const override;
    void Next() override;
    int FieldCount() const override;
    const TDbField& Field(int index) const override;
    const TDbField& FieldByName(const QString& name) const override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};
