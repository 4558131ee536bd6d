#pragma once
// A PostgreSQL session for the COPY protocol, through libpq: the ODBC driver cannot send COPY
// data, so rows bound for a PostgreSQL target stream through a session of their own, opened from
// the same connection string as the ODBC connection. Everything else stays on ODBC. One thread
// uses a session at a time (the copy worker that owns it).

#include <QByteArray>
#include <QString>

#include "db/db_error.h"

struct pg_conn;
struct pg_cancel;

// Where a PostgreSQL server is and how to log in, as libpq takes it.
struct TPgConnInfo {
    QString host;
    QString port;
    QString user;
    QString password;
    QString dbname;
    QString sslmode;
    bool operator==(const TPgConnInfo&) const = default;

    // keyword='value' pairs, each value quoted for libpq; empty values are left out.
    QString ToConninfo() const;
};

// Reads the address out of an ODBC connection string (the form TranslateConnectString gives):
// a DSN is resolved through the driver manager's data-source settings (odbc.ini), and the
// string's own SERVER / PORT / UID / PWD / DATABASE / SSLMODE keys win over the DSN's. Raises
// TError when no server can be found.
TPgConnInfo PgConnInfoFromOdbc(const QString& odbc);

// A failure the server reported; for a COPY, the line of the stream it stopped at (from the
// error's context), 0 when it names none.
class TPgError : public TDbError {
public:
    TPgError(const QString& message, const QString& sql_state, const QStringList& diagnostics,
             qint64 line)
        : TDbError(message, sql_state, diagnostics), line_(line) {}
    qint64 Line() const { return line_; }

private:
    qint64 line_;
};

class TPgCopySession {
public:
    TPgCopySession() = default;
    ~TPgCopySession();
    TPgCopySession(const TPgCopySession&) = delete;
    TPgCopySession& operator=(const TPgCopySession&) = delete;

    // Connects (closing an open session first); the client encoding is UTF8. Raises TPgError.
    void Open(const TPgConnInfo& info);
    void Close();
    bool Connected() const { return conn_ != nullptr; }

    // A statement without rows (BEGIN, COMMIT, an UPDATE). Raises TPgError.
    void Exec(const QString& sql);
    // The first column of the first row of a query; empty without rows. Raises TPgError.
    QString Value(const QString& sql);

    // Starts "COPY ... FROM STDIN"; then Put the stream in any pieces and End it (a long piece
    // goes to libpq in slices, so that its buffer does not grow to the piece's size). A failure of
    // the server shows at the latest at End, as TPgError with the line it stopped at; after a
    // failure the session is out of the COPY and the open transaction is aborted.
    void BeginCopy(const QString& copy_sql);
    void Put(const QByteArray& data);
    // Ends the stream; returns the rows the server took.
    qint64 End();
    // Ends the stream with an error of ours, so that the server discards it.
    void Abort(const QString& reason);
    bool InCopy() const { return in_copy_; }

private:
    friend class TPgCancel;
    [[noreturn]] void Fail(const QString& what);
    void CheckResult(void* result, int expected, const QString& sql);

    pg_conn* conn_ = nullptr;
    bool in_copy_ = false;
};

// Asks the server to cancel what a session runs. Made on the thread that uses the session;
// Cancel may be called from any thread and touches no state of the session.
class TPgCancel {
public:
    explicit TPgCancel(const TPgCopySession& session);
    ~TPgCancel();
    TPgCancel(const TPgCancel&) = delete;
    TPgCancel& operator=(const TPgCancel&) = delete;

    // Best effort: false when the request did not reach the server.
    bool Cancel() const;

private:
    pg_cancel* cancel_ = nullptr;
};
