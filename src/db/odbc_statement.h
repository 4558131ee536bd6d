#pragma once
// Internals of the ODBC binding: the connection's state and one running statement with its
// result columns. TDbQuery and TDbTable are thin shells around TOdbcStatement. Used on the
// user-interface thread only; not for use outside src/db.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <memory>
#include <vector>

#include "db/odbc.h"
#include "db/odbc_handle.h"

class TOdbcStatement;

// One bound statement parameter ("?" in order).
struct TOdbcParam {
    enum class TKind { Binary, Text, Number, DateTime };
    TKind kind = TKind::Binary;
    QByteArray bytes;  // binary bytes, or UTF-16 text for Text and Number
    SQL_TIMESTAMP_STRUCT timestamp{};
};

struct TDbConnection::TImpl {
    QString connection_string;
    TOdbcHandle env;
    TOdbcHandle dbc;
    bool connected = false;
    bool autocommit = true;
    // What SQLGetData may do besides reading unbound columns in order (SQL_GD_* bits), as the
    // binding uses it: the driver's report, or Oracle's profile (see TDbConnection).
    SQLUINTEGER getdata_extensions = 0;
    bool oracle_capabilities = false;
    // What the driver says the server is (SQL_DBMS_NAME), and what the session was set to.
    QString dbms_name;
    bool oracle_session = false;
    bool emulated_oracle = false;
    // The session's time zone is UTC, so zoned values read without an offset stand in UTC.
    bool utc_session = false;
    // Zoned values are read as text with their offset (the server's driver drops it otherwise).
    bool zoned_as_text = false;
    QString oracle_driver;
    bool log_statements = false;
    QStringList statement_log;
    // Statements that hold a handle of this connection: they lose it when it closes.
    std::vector<TOdbcStatement*> statements;

    void Detach(TOdbcStatement* statement);
};

// One column of a result and how it is fetched.
struct TOdbcColumn {
    // How the fetched value becomes the field's text.
    enum class TForm {
        Text,         // as the driver gives it
        Decimal,      // text checked and normalised to a plain decimal
        FloatText,    // a floating-point value the driver gives as text
        Double,       // SQL_C_DOUBLE
        Real,         // SQL_C_FLOAT
        DateTime,     // SQL_C_TYPE_TIMESTAMP, plain
        ZonedStruct,  // SQL_C_TYPE_TIMESTAMP in the session's zone (UTC)
        ZonedText,    // text with its offset
        Time,         // SQL_C_TYPE_TIME
        Binary,       // SQL_C_BINARY
    };
    QString name;
    // The server's own name of the type (SQL_DESC_TYPE_NAME), e.g. "BINARY_DOUBLE", "float8".
    QString type_name;
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    TFieldCategory category = TFieldCategory::Other;
    TForm form = TForm::Text;
    SQLSMALLINT c_type = SQL_C_WCHAR;
    // Bound columns are fetched a block of rows at a time into `buffer` (width bytes a row);
    // the others (long values) are read with SQLGetData into `value` after each fetch.
    bool bound = false;
    SQLLEN width = 0;
    std::vector<char> buffer;
    std::vector<SQLLEN> indicator;
    // An unbound value of the current row, or a bound one that did not fit its buffer.
    QByteArray value;
    bool value_null = false;
    qint64 value_row = -1;
};

class TOdbcField : public TDbField {
public:
    TOdbcField(const TOdbcStatement* statement, int index) : statement_(statement), index_(index) {}

    QString Name() const override;
    TFieldCategory Category() const override;
    bool IsNull() const override;
    QString AsString() const override;
    QStringView StringView(QString& buffer) const override;
    qint64 AsInteger() const override;
    QDateTime AsDateTime() const override;
    QByteArray AsBytes() const override;
    QByteArrayView BytesView(QByteArray& buffer) const override;
    void SaveToFile(const QString& path) const override;

private:
    const TOdbcStatement* statement_;
    int index_;
};

class TOdbcStatement {
public:
    explicit TOdbcStatement(TDbConnection& connection);
    ~TOdbcStatement();
    TOdbcStatement(const TOdbcStatement&) = delete;
    TOdbcStatement& operator=(const TOdbcStatement&) = delete;

    // Runs the statement with its parameters ("?" in order). With a result wanted, positions
    // on the first row.
    void Execute(const QString& sql, const QList<TOdbcParam>& params, bool want_result);
    // Diagnostics of the last Execute when it succeeded with information.
    const QStringList& Warnings() const { return warnings_; }
    void Close();
    bool Active() const { return active_; }

    bool Eof() const;
    void Next();
    // Moves forward over n rows, stopping at the end.
    void Skip(qint64 n);
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    // Rows a fetch brings (1 when every row is fetched by itself).
    SQLULEN RowsetSize() const { return rowset_size_; }
    const TDbField& Field(int index) const;
    const TDbField& FieldByName(const QString& name) const;

    // The connection closes: its handles are gone.
    void Detach();
    // The connection object itself goes away: the statement can no longer run.
    void Orphan();

    // Field access for TOdbcField.
    const TOdbcColumn& Column(int index) const { return columns_[index]; }
    // The raw value of the current row: UTF-16 text, binary bytes or a date-time structure,
    // as the column's C type says. Null gives nullptr.
    const char* Value(int index, qsizetype* length) const;
    // The connection's session runs in UTC (zoned values without an offset stand in UTC).
    bool UtcSession() const { return connection_ != nullptr && connection_->utc_session; }

private:
    void Describe();
    void Classify(TOdbcColumn& column, bool can_reread) const;
    void Bind();
    void Fetch();
    void ReadUnbound();
    void ReadValue(TOdbcColumn& column, SQLUSMALLINT number) const;
    void RequireConnection() const;

public:
    // ":name" tokens outside quoted literals and comments become "?"; the names, in order of
    // appearance (repeats included), go to *names. "::" casts and ":=" are left alone.
    static QString PositionalParams(const QString& sql, QStringList* names);

private:
    TDbConnection::TImpl* connection_;
    TOdbcHandle stmt_;
    bool active_ = false;
    bool eof_ = true;
    // Mutable: a bound value that did not fit is re-read when first asked for.
    mutable std::vector<TOdbcColumn> columns_;
    mutable std::vector<char> piece_;
    std::vector<std::unique_ptr<TOdbcField>> fields_;
    QHash<QString, int> field_index_;
    SQLULEN rowset_size_ = 1;
    // A bound value longer than its buffer can be read again with SQLGetData.
    bool can_reread_ = false;
    SQLULEN rows_fetched_ = 0;
    SQLULEN row_ = 0;
    // Counts fetched rows so that a cached re-read value belongs to one row only.
    qint64 row_number_ = 0;
    // Parameter values and lengths must outlive the execution.
    QList<TOdbcParam> params_;
    std::vector<SQLLEN> param_lengths_;
    QStringList warnings_;
};
