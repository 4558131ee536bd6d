#include "db/odbc_statement.h"

#include <algorithm>
#include <cstring>

#include "util/error.h"
#include "util/text_utils.h"

namespace {

// Bound row blocks stay around this size; long values are never bound.
constexpr SQLLEN kBlockBytes = 1 << 20;
constexpr SQLULEN kMaxRowset = 500;
// Text columns declared up to this many characters are bound; longer ones are read in pieces.
constexpr SQLULEN kMaxBoundChars = 4000;
constexpr SQLULEN kMaxBoundBytes = 8000;
constexpr SQLLEN kPieceBytes = 64 * 1024;
constexpr SQLLEN kLongPrefixBytes = 512;
// Room for any decimal text a driver writes for NUMBER (38 digits, sign, point, an exponent
// such as "E-130"), whatever precision the column reports.
constexpr SQLULEN kMinNumberChars = 80;
// The zoned text "-YYYY-MM-DD HH:MM:SS.fffffffff +HH:MM BC" with room to spare.
constexpr SQLLEN kZonedTextBytes = 64 * sizeof(SQLWCHAR);
// SQLGetData on any column in any order, on bound columns and inside blocks of rows.
constexpr SQLUINTEGER kAllGetData =
    SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND | SQL_GD_BLOCK;

bool IsLongType(SQLSMALLINT sql_type) {
    return sql_type == SQL_LONGVARCHAR || sql_type == SQL_WLONGVARCHAR ||
           sql_type == SQL_LONGVARBINARY;
}

// The server's name of a zoned timestamp type: Oracle's "TIMESTAMP(6) WITH TIME ZONE" and
// "... WITH LOCAL TIME ZONE", PostgreSQL's "timestamptz" / "timestamp with time zone".
bool IsZonedTypeName(const QString& upper) {
    return upper.contains(QLatin1String("WITH TIME ZONE")) ||
           upper.contains(QLatin1String("WITH LOCAL TIME ZONE")) ||
           upper.startsWith(QLatin1String("TIMESTAMPTZ"));
}

}  // namespace

// The C type a column is fetched as and whether it is bound. can_reread says whether a bound
// value that does not fit its buffer can be read again with SQLGetData; without it, buffers
// take the longest value the declared size allows.
void TOdbcStatement::Classify(TOdbcColumn& column, bool can_reread) const {
    const QString type = UpperLatin(column.type_name);
    auto set = [&](TFieldCategory category, TOdbcColumn::TForm form, SQLSMALLINT c_type,
                   SQLLEN width) {
        column.category = category;
        column.form = form;
        column.c_type = c_type;
        column.bound = width > 0;
        column.width = width;
    };
    auto number_width = [&] {
        return static_cast<SQLLEN>(std::max<SQLULEN>(column.size + 4, kMinNumberChars) *
                                   sizeof(SQLWCHAR));
    };
    if (IsZonedTypeName(type)) {
        if (connection_->zoned_as_text) {
            set(TFieldCategory::DateTime, TOdbcColumn::TForm::ZonedText, SQL_C_WCHAR,
                kZonedTextBytes);
        } else {
            set(TFieldCategory::DateTime, TOdbcColumn::TForm::ZonedStruct, SQL_C_TYPE_TIMESTAMP,
                sizeof(SQL_TIMESTAMP_STRUCT));
        }
        return;
    }
    switch (column.sql_type) {
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            // Only true binary types go through a C double: a decimal FLOAT or NUMBER that a
            // driver reports as double has more digits than a double keeps.
            if (type == QLatin1String("BINARY_DOUBLE") || type == QLatin1String("FLOAT8") ||
                type == QLatin1String("DOUBLE PRECISION")) {
                set(TFieldCategory::Float, TOdbcColumn::TForm::Double, SQL_C_DOUBLE,
                    sizeof(double));
            } else if (type == QLatin1String("BINARY_FLOAT") || type == QLatin1String("FLOAT4") ||
                       type == QLatin1String("REAL")) {
                set(TFieldCategory::Float, TOdbcColumn::TForm::Real, SQL_C_FLOAT, sizeof(float));
            } else {
                set(TFieldCategory::Float, TOdbcColumn::TForm::FloatText, SQL_C_WCHAR,
                    number_width());
            }
            return;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIGINT:
            set(TFieldCategory::Other, TOdbcColumn::TForm::Decimal, SQL_C_WCHAR, number_width());
            return;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            set(TFieldCategory::DateTime, TOdbcColumn::TForm::DateTime, SQL_C_TYPE_TIMESTAMP,
                sizeof(SQL_TIMESTAMP_STRUCT));
            return;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            set(TFieldCategory::DateTime, TOdbcColumn::TForm::Time, SQL_C_TYPE_TIME,
                sizeof(SQL_TIME_STRUCT));
            return;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: {
            const bool bound =
                !IsLongType(column.sql_type) && column.size > 0 && column.size <= kMaxBoundBytes;
            set(TFieldCategory::LargeBinary, TOdbcColumn::TForm::Binary, SQL_C_BINARY,
                bound ? static_cast<SQLLEN>(column.size) : 0);
            return;
        }
        default: {
            const bool bound =
                !IsLongType(column.sql_type) && column.size > 0 && column.size <= kMaxBoundChars;
            // A declared character can take two UTF-16 units (outside the basic plane).
            const SQLULEN units = can_reread ? column.size + 4 : 2 * column.size + 1;
            set(TFieldCategory::Other, TOdbcColumn::TForm::Text, SQL_C_WCHAR,
                bound ? static_cast<SQLLEN>(units * sizeof(SQLWCHAR)) : 0);
            return;
        }
    }
}

void TDbConnection::TImpl::Detach(TOdbcStatement* statement) {
    statements.erase(std::remove(statements.begin(), statements.end(), statement),
                     statements.end());
}

TOdbcStatement::TOdbcStatement(TDbConnection& connection) : connection_(&connection.Impl()) {
    connection_->statements.push_back(this);
}

TOdbcStatement::~TOdbcStatement() {
    Close();
    if (connection_ != nullptr) {
        connection_->Detach(this);
    }
}

void TOdbcStatement::Detach() {
    // The driver manager frees a connection's statements with the connection.
    stmt_.Free();
    Close();
}

void TOdbcStatement::Orphan() {
    Close();
    connection_ = nullptr;
}

void TOdbcStatement::RequireConnection() const {
    if (connection_ == nullptr || !connection_->connected) {
        throw TDbError(QStringLiteral("Нет соединения с базой данных."), QString(), QStringList());
    }
}

void TOdbcStatement::Close() {
    stmt_.Free();
    active_ = false;
    eof_ = true;
    fields_.clear();
    columns_.clear();
    field_index_.clear();
    params_.clear();
    param_lengths_.clear();
    rows_fetched_ = 0;
    row_ = 0;
}

void TOdbcStatement::Execute(const QString& sql, const QList<TOdbcParam>& params,
                             bool want_result) {
    Close();
    RequireConnection();
    TOdbcHandle stmt = TOdbcHandle::Allocate(SQL_HANDLE_STMT, connection_->dbc.Get());
    params_ = params;
    param_lengths_.assign(params_.size(), 0);
    static char empty_byte = 0;
    for (qsizetype i = 0; i < params_.size(); ++i) {
        TOdbcParam& param = params_[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc = SQL_SUCCESS;
        if (param.kind == TOdbcParam::TKind::DateTime) {
            param_lengths_[i] = sizeof param.timestamp;
            // Microseconds, the finest PostgreSQL keeps; nanoseconds where the value has them
            // (Oracle's TIMESTAMP(9)).
            const SQLSMALLINT digits = param.timestamp.fraction % 1000 != 0 ? 9 : 6;
            rc = SQLBindParameter(stmt.Get(), number, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                  SQL_TYPE_TIMESTAMP, 20 + digits, digits, &param.timestamp,
                                  sizeof param.timestamp, &param_lengths_[i]);
        } else {
            QByteArray& bytes = param.bytes;
            param_lengths_[i] = bytes.size();
            SQLPOINTER data = bytes.isEmpty() ? &empty_byte : bytes.data();
            const bool binary = param.kind == TOdbcParam::TKind::Binary;
            const SQLULEN chars = binary ? SQLULEN(bytes.size()) : SQLULEN(bytes.size() / 2);
            SQLSMALLINT sql_type = SQL_LONGVARBINARY;
            if (param.kind == TOdbcParam::TKind::Number) {
                sql_type = SQL_DECIMAL;
            } else if (param.kind == TOdbcParam::TKind::Text) {
                sql_type = chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            }
            rc = SQLBindParameter(
                stmt.Get(), number, SQL_PARAM_INPUT, binary ? SQL_C_BINARY : SQL_C_WCHAR, sql_type,
                std::max<SQLULEN>(chars, 1), 0, data, bytes.size(), &param_lengths_[i]);
        }
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt.Get(), "SQLBindParameter");
    }
    // The statement goes to the server as written: escape clauses are not ours, and a driver
    // that scans for them could change braces in the text.
    SQLSetStmtAttr(stmt.Get(), SQL_ATTR_NOSCAN, reinterpret_cast<SQLPOINTER>(SQL_NOSCAN_ON), 0);
    QString text = sql;
    if (connection_->log_statements) {
        connection_->statement_log.append(text);
    }
    warnings_.clear();
    // An UPDATE or DELETE that touches no row answers SQL_NO_DATA: that is success.
    const SQLRETURN rc =
        OdbcCheck(SQLExecDirectW(stmt.Get(), OdbcText(text), static_cast<SQLINTEGER>(text.size())),
                  SQL_HANDLE_STMT, stmt.Get(), "SQLExecDirect");
    if (rc == SQL_SUCCESS_WITH_INFO) {
        warnings_ = OdbcDiagnostics(SQL_HANDLE_STMT, stmt.Get(), nullptr, nullptr);
    }
    stmt_ = std::move(stmt);
    if (!want_result) {
        Close();
        return;
    }
    active_ = true;
    Describe();
    if (columns_.empty()) {
        return;
    }
    Bind();
    Fetch();
}

void TOdbcStatement::Describe() {
    SQLSMALLINT count = 0;
    OdbcCheck(SQLNumResultCols(stmt_.Get(), &count), SQL_HANDLE_STMT, stmt_.Get(),
              "SQLNumResultCols");
    columns_.resize(count);
    for (SQLSMALLINT i = 0; i < count; ++i) {
        TOdbcColumn& column = columns_[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLWCHAR name[512] = {};
        SQLSMALLINT name_length = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        OdbcCheck(SQLDescribeColW(stmt_.Get(), number, name, 512, &name_length, &column.sql_type,
                                  &column.size, &digits, &nullable),
                  SQL_HANDLE_STMT, stmt_.Get(), "SQLDescribeCol");
        column.name = OdbcString(name, std::min<SQLSMALLINT>(name_length, 511));
        // Tells binary floating point and zoned timestamps from the decimal and plain types
        // that drivers report under the same SQL type; a driver without it gets the safe forms.
        SQLWCHAR type_name[256] = {};
        SQLSMALLINT type_bytes = 0;
        if (SQL_SUCCEEDED(SQLColAttributeW(stmt_.Get(), number, SQL_DESC_TYPE_NAME, type_name,
                                           sizeof type_name, &type_bytes, nullptr))) {
            column.type_name =
                OdbcString(type_name, std::min<qsizetype>(type_bytes / sizeof(SQLWCHAR), 255));
        }
    }
    // The first of equally named columns answers FieldByName.
    for (int i = count - 1; i >= 0; --i) {
        field_index_.insert(UpperLatin(columns_[i].name), i);
    }
    for (int i = 0; i < count; ++i) {
        fields_.push_back(std::make_unique<TOdbcField>(this, i));
    }
}

// Which columns are bound and how many rows a fetch brings, by what the driver allows:
// - with every SQLGetData extension (the PostgreSQL driver), all columns are bound, long ones
//   with a prefix that is re-read whole when a value does not fit, in blocks of rows;
// - without SQL_GD_ANY_COLUMN, SQLGetData reads only columns after the last bound one, in
//   increasing order: the columns before the first long one are bound, it and all after it
//   are read with SQLGetData;
// - without SQL_GD_BLOCK, SQLGetData works on single-row fetches only, so blocks are used only
//   when every column is bound (Oracle's driver fetches arrays on a forward-only cursor).
void TOdbcStatement::Bind() {
    const SQLUINTEGER ext = connection_->getdata_extensions;
    const bool full = (ext & kAllGetData) == kAllGetData;
    for (TOdbcColumn& column : columns_) {
        Classify(column, full);
        if (full && !column.bound) {
            // Long values are mostly short: the prefix brings them with the block.
            column.bound = true;
            column.width = kLongPrefixBytes;
        }
    }
    if (!(ext & SQL_GD_ANY_COLUMN)) {
        bool after_long = false;
        for (TOdbcColumn& column : columns_) {
            after_long = after_long || !column.bound;
            column.bound = column.bound && !after_long;
        }
    }
    const bool has_unbound = std::any_of(columns_.begin(), columns_.end(),
                                         [](const TOdbcColumn& c) { return !c.bound; });
    SQLLEN row_width = 0;
    for (const TOdbcColumn& column : columns_) {
        if (column.bound) {
            row_width += column.width + static_cast<SQLLEN>(sizeof(SQLLEN));
        }
    }
    rowset_size_ = 1;
    if (!has_unbound || (ext & SQL_GD_BLOCK)) {
        rowset_size_ =
            std::clamp<SQLULEN>(kBlockBytes / std::max<SQLLEN>(row_width, 1), 1, kMaxRowset);
    }
    if (rowset_size_ > 1) {
        SQLSetStmtAttr(stmt_.Get(), SQL_ATTR_ROW_BIND_TYPE,
                       reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
        const SQLRETURN rc = SQLSetStmtAttr(stmt_.Get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                            reinterpret_cast<SQLPOINTER>(rowset_size_), 0);
        if (rc == SQL_SUCCESS_WITH_INFO) {
            // The driver may have lowered the size.
            SQLULEN actual = 1;
            SQLGetStmtAttr(stmt_.Get(), SQL_ATTR_ROW_ARRAY_SIZE, &actual, 0, nullptr);
            rowset_size_ = std::max<SQLULEN>(actual, 1);
        } else if (!SQL_SUCCEEDED(rc)) {
            // A driver without arrays of rows still fetches one at a time.
            rowset_size_ = 1;
        }
    }
    OdbcCheck(SQLSetStmtAttr(stmt_.Get(), SQL_ATTR_ROWS_FETCHED_PTR, &rows_fetched_, 0),
              SQL_HANDLE_STMT, stmt_.Get(), "SQLSetStmtAttr");
    can_reread_ = full || ((ext & (SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND)) ==
                               (SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND) &&
                           rowset_size_ == 1);
    for (size_t i = 0; i < columns_.size(); ++i) {
        TOdbcColumn& column = columns_[i];
        if (!column.bound) {
            continue;
        }
        column.buffer.assign(static_cast<size_t>(column.width) * rowset_size_, 0);
        column.indicator.assign(rowset_size_, 0);
        OdbcCheck(SQLBindCol(stmt_.Get(), static_cast<SQLUSMALLINT>(i + 1), column.c_type,
                             column.buffer.data(), column.width, column.indicator.data()),
                  SQL_HANDLE_STMT, stmt_.Get(), "SQLBindCol");
    }
}

void TOdbcStatement::Fetch() {
    row_ = 0;
    rows_fetched_ = 0;
    const SQLRETURN rc = OdbcCheck(SQLFetch(stmt_.Get()), SQL_HANDLE_STMT, stmt_.Get(), "SQLFetch");
    if (rc == SQL_NO_DATA || rows_fetched_ == 0) {
        eof_ = true;
        return;
    }
    eof_ = false;
    ++row_number_;
    ReadUnbound();
}

void TOdbcStatement::ReadUnbound() {
    bool positioned = rowset_size_ == 1;
    for (size_t i = 0; i < columns_.size(); ++i) {
        TOdbcColumn& column = columns_[i];
        if (!column.bound) {
            if (!positioned) {
                // SQLGetData reads from one row of the block at a time.
                OdbcCheck(SQLSetPos(stmt_.Get(), static_cast<SQLSETPOSIROW>(row_ + 1), SQL_POSITION,
                                    SQL_LOCK_NO_CHANGE),
                          SQL_HANDLE_STMT, stmt_.Get(), "SQLSetPos");
                positioned = true;
            }
            ReadValue(column, static_cast<SQLUSMALLINT>(i + 1));
            column.value_row = row_number_;
        }
    }
}

// Reads the whole value of a column of the current row, piece by piece for long values.
void TOdbcStatement::ReadValue(TOdbcColumn& column, SQLUSMALLINT number) const {
    // Keeps the capacity: the next row's value usually has a similar size.
    column.value.resize(0);
    column.value_null = false;
    const bool is_text = column.c_type == SQL_C_WCHAR;
    const SQLLEN fixed =
        column.c_type == SQL_C_WCHAR || column.c_type == SQL_C_BINARY ? 0 : column.width;
    // One buffer for every read: a fresh 64 KB per value costs more than the read itself.
    std::vector<char>& piece = piece_;
    if (piece.size() < static_cast<size_t>(kPieceBytes)) {
        piece.resize(kPieceBytes);
    }
    while (true) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = OdbcCheck(SQLGetData(stmt_.Get(), number, column.c_type, piece.data(),
                                                  static_cast<SQLLEN>(piece.size()), &indicator),
                                       SQL_HANDLE_STMT, stmt_.Get(), "SQLGetData");
        if (rc == SQL_NO_DATA) {
            return;
        }
        if (indicator == SQL_NULL_DATA) {
            column.value_null = true;
            return;
        }
        if (fixed > 0) {
            column.value.append(piece.data(), fixed);
            return;
        }
        // A piece that did not hold the rest is full, less the text terminator.
        const SQLLEN room = static_cast<SQLLEN>(piece.size()) - (is_text ? sizeof(SQLWCHAR) : 0);
        const bool partial = indicator == SQL_NO_TOTAL || indicator > room;
        column.value.append(piece.data(), partial ? room : indicator);
        if (!partial) {
            return;
        }
    }
}

bool TOdbcStatement::Eof() const {
    return !active_ || eof_;
}

void TOdbcStatement::Next() {
    if (Eof()) {
        return;
    }
    if (++row_ < rows_fetched_) {
        ++row_number_;
        ReadUnbound();
        return;
    }
    Fetch();
}

void TOdbcStatement::Skip(qint64 n) {
    for (qint64 i = 0; i < n && !Eof(); ++i) {
        Next();
    }
}

const TDbField& TOdbcStatement::Field(int index) const {
    if (index < 0 || index >= FieldCount()) {
        throw TError(QStringLiteral("Нет поля с номером %1: в наборе данных %2 полей.")
                         .arg(index)
                         .arg(FieldCount()));
    }
    return *fields_[index];
}

const TDbField& TOdbcStatement::FieldByName(const QString& name) const {
    const auto it = field_index_.constFind(UpperLatin(name));
    if (it == field_index_.constEnd()) {
        throw TError(QStringLiteral("Поле «%1» не найдено в наборе данных.").arg(name));
    }
    return *fields_[it.value()];
}

const char* TOdbcStatement::Value(int index, qsizetype* length) const {
    if (Eof()) {
        throw TError(
            QStringLiteral("Нет текущей записи: набор данных пуст или прочитан до конца."));
    }
    TOdbcColumn& column = columns_[index];
    if (column.bound) {
        const SQLLEN indicator = column.indicator[row_];
        if (indicator == SQL_NULL_DATA) {
            return nullptr;
        }
        const bool is_text = column.c_type == SQL_C_WCHAR;
        const SQLLEN room = column.width - (is_text ? sizeof(SQLWCHAR) : 0);
        const bool fixed = column.c_type != SQL_C_WCHAR && column.c_type != SQL_C_BINARY;
        if (fixed || (indicator != SQL_NO_TOTAL && indicator <= room)) {
            *length = fixed ? column.width : indicator;
            return column.buffer.data() + static_cast<size_t>(column.width) * row_;
        }
        // Longer than the driver declared: read the whole value of this row again.
        if (!can_reread_) {
            throw TDbError(QStringLiteral("Значение поля %1 длиннее, чем объявил драйвер "
                                          "(%2 символов), а драйвер не позволяет прочитать "
                                          "его ещё раз: значение не может быть прочитано "
                                          "целиком.")
                               .arg(column.name)
                               .arg(column.size),
                           QString(), QStringList());
        }
        if (column.value_row != row_number_) {
            if (rowset_size_ > 1) {
                OdbcCheck(SQLSetPos(stmt_.Get(), static_cast<SQLSETPOSIROW>(row_ + 1), SQL_POSITION,
                                    SQL_LOCK_NO_CHANGE),
                          SQL_HANDLE_STMT, stmt_.Get(), "SQLSetPos");
            }
            ReadValue(column, static_cast<SQLUSMALLINT>(index + 1));
            column.value_row = row_number_;
        }
    }
    if (column.value_null) {
        return nullptr;
    }
    *length = column.value.size();
    return column.value.constData();
}
