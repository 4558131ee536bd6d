#pragma once
// The database access layer over the ODBC driver manager: connections opened from the three
// connection-string forms, statements with SQL lines and one kind of parameter (a large binary
// loaded from a file), and a forward-only whole-table reader. Every handle is owned by an
// object whose destructor frees it; every failing call raises TDbError with all diagnostics.
// Used on the user-interface thread only.

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
