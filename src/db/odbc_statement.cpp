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

void Classify(TOdbcColumn& column) {
    switch (column.sql_type) {
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            column.category = TFieldCategory::Float;
            column.c_type = SQL_C_WCHAR;
            column.bound = true;
            column.width = 64 * sizeof(SQLWCHAR);
            return;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            column.category = TFieldCategory::DateTime;
            column.c_type = SQL_C_TYPE_TIMESTAMP;
            column.bound = true;
            column.width = sizeof(SQL_TIMESTAMP_STRUCT);
            return;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            column.category = TFieldCategory::DateTime;
            column.c_type = SQL_C_TYPE_TIME;
            column.bound = true;
            column.width = sizeof(SQL_TIME_STRUCT);
            return;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            column.category = TFieldCategory::LargeBinary;
            column.c_type = SQL_C_BINARY;
            column.bound = column.sql_type != SQL_LONGVARBINARY && column.size > 0 &&
                           column.size <= kMaxBoundBytes;
            column.width = column.bound ? static_cast<SQLLEN>(column.size) : 0;
            return;
        case SQL_LONGVARCHAR:
        case SQL_WLONGVARCHAR:
            column.category = TFieldCategory::Other;
            column.c_type = SQL_C_WCHAR;
            column.bound = false;
            return;
        default:
            column.category = TFieldCategory::Other;
            column.c_type = SQL_C_WCHAR;
            column.bound = column.size > 0 && column.size <= kMaxBoundChars;
            // Room for a sign, a decimal point and the terminator besides the digits.
            column.width = column.bound ? static_cast<SQLLEN>(column.size + 4) * 2 : 0;
            return;
    }
}

}  // namespace

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
            // 26 characters and 6 digits: microseconds, the finest both servers keep.
            rc = SQLBindParameter(stmt.Get(), number, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                  SQL_TYPE_TIMESTAMP, 26, 6, &param.timestamp,
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
    QString text = sql;
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
        SQLWCHAR name[512] = {};
        SQLSMALLINT name_length = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        OdbcCheck(SQLDescribeColW(stmt_.Get(), static_cast<SQLUSMALLINT>(i + 1), name, 512,
                                  &name_length, &column.sql_type, &column.size, &digits, &nullable),
                  SQL_HANDLE_STMT, stmt_.Get(), "SQLDescribeCol");
        column.name = OdbcString(name, std::min<SQLSMALLINT>(name_length, 511));
        Classify(column);
    }
    // The first of equally named columns answers FieldByName.
    for (int i = count - 1; i >= 0; --i) {
        field_index_.insert(UpperLatin(columns_[i].name), i);
    }
    for (int i = 0; i < count; ++i) {
        fields_.push_back(std::make_unique<TOdbcField>(this, i));
    }
}

void TOdbcStatement::Bind() {
    const SQLUINTEGER ext = connection_->getdata_extensions;
    const SQLUINTEGER any = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND | SQL_GD_BLOCK;
    if ((ext & any) == any) {
        // Long values are mostly short: a bound prefix fetches them with the block, and the
        // few that do not fit are re-read whole when asked for.
        for (TOdbcColumn& column : columns_) {
            if (!column.bound) {
                column.bound = true;
                column.width = kLongPrefixBytes;
            }
        }
    }
    const bool has_long = std::any_of(columns_.begin(), columns_.end(),
                                      [](const TOdbcColumn& c) { return !c.bound; });
    // Mixing bound and unbound columns needs SQLGetData on any column in any order; a value
    // too long for its buffer is re-read, which needs SQLGetData on bound columns; with blocks
    // of rows, long values are read after positioning on each row of the block.
    const SQLUINTEGER mixed = SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND;
    if (has_long && (ext & mixed) != mixed) {
        for (TOdbcColumn& column : columns_) {
            column.bound = false;
        }
    }
    SQLLEN row_width = 0;
    for (const TOdbcColumn& column : columns_) {
        if (column.bound) {
            row_width += column.width + static_cast<SQLLEN>(sizeof(SQLLEN));
        }
    }
    rowset_size_ = 1;
    const SQLUINTEGER block = SQL_GD_BLOCK | SQL_GD_BOUND | (has_long ? mixed : 0);
    if ((ext & block) == block) {
        rowset_size_ =
            std::clamp<SQLULEN>(kBlockBytes / std::max<SQLLEN>(row_width, 1), 1, kMaxRowset);
    }
    if (rowset_size_ > 1) {
        OdbcCheck(SQLSetStmtAttr(stmt_.Get(), SQL_ATTR_ROW_BIND_TYPE,
                                 reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
                  SQL_HANDLE_STMT, stmt_.Get(), "SQLSetStmtAttr");
        const SQLRETURN rc = SQLSetStmtAttr(stmt_.Get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                            reinterpret_cast<SQLPOINTER>(rowset_size_), 0);
        if (rc == SQL_SUCCESS_WITH_INFO) {
            // The driver may have lowered the size.
            SQLULEN actual = 1;
            SQLGetStmtAttr(stmt_.Get(), SQL_ATTR_ROW_ARRAY_SIZE, &actual, 0, nullptr);
            rowset_size_ = std::max<SQLULEN>(actual, 1);
        } else {
            OdbcCheck(rc, SQL_HANDLE_STMT, stmt_.Get(), "SQLSetStmtAttr");
        }
    }
    OdbcCheck(SQLSetStmtAttr(stmt_.Get(), SQL_ATTR_ROWS_FETCHED_PTR, &rows_fetched_, 0),
              SQL_HANDLE_STMT, stmt_.Get(), "SQLSetStmtAttr");
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
    const SQLLEN fixed = column.c_type == SQL_C_TYPE_TIMESTAMP ? sizeof(SQL_TIMESTAMP_STRUCT)
                         : column.c_type == SQL_C_TYPE_TIME    ? sizeof(SQL_TIME_STRUCT)
                                                               : 0;
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
