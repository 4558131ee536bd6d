#pragma once
// Internals of the ODBC binding: handle owners, the one checked-call function and the text
// conversions between QString and SQLWCHAR. Not for use outside src/db.

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <utility>

#include "db/db_error.h"

// Raises TDbError with every diagnostic record of the handle when rc is a failure.
// SQL_SUCCESS_WITH_INFO counts as success; SQL_NO_DATA is returned to the caller to judge.
SQLRETURN OdbcCheck(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const char* what);

// The diagnostic records of a handle as "[SQLSTATE] (native) text"; the first state goes to
// *first_state.
QStringList OdbcDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle, QString* first_state,
                            QStringList* texts);

// SQLWCHAR is UTF-16 on every driver manager we build for (unixODBC and Windows).
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be UTF-16");

inline SQLWCHAR* OdbcText(const QString& text) {
    return reinterpret_cast<SQLWCHAR*>(const_cast<QChar*>(text.constData()));
}

inline QString OdbcString(const SQLWCHAR* text, qsizetype chars) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), chars);
}

// Owns one ODBC handle; frees it on destruction. Moving transfers ownership.
class TOdbcHandle {
public:
    TOdbcHandle() = default;
    TOdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
    ~TOdbcHandle() { Free(); }
    TOdbcHandle(const TOdbcHandle&) = delete;
    TOdbcHandle& operator=(const TOdbcHandle&) = delete;
    TOdbcHandle(TOdbcHandle&& other) noexcept
        : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
    TOdbcHandle& operator=(TOdbcHandle&& other) noexcept {
        if (this != &other) {
            Free();
            type_ = other.type_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    // Allocates a handle of the type under the parent (SQL_NULL_HANDLE for an environment).
    static TOdbcHandle Allocate(SQLSMALLINT type, SQLHANDLE parent);

    SQLHANDLE Get() const { return handle_; }
    SQLSMALLINT Type() const { return type_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    void Free() noexcept;
    // Forgets the handle without freeing it (the driver manager already freed it).
    void Release() noexcept { handle_ = SQL_NULL_HANDLE; }

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// An environment declared for ODBC 3.
TOdbcHandle OdbcEnvironment();
