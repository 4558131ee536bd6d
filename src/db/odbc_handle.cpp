#include "db/odbc_handle.h"

#include <vector>

QStringList OdbcDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle, QString* first_state,
                            QStringList* texts) {
    QStringList records;
    if (handle == SQL_NULL_HANDLE) {
        return records;
    }
    std::vector<SQLWCHAR> text(1024);
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            // The message did not fit: ask again for the same record with room for all of it.
            text.resize(length + 1);
            rc = SQLGetDiagRecW(handle_type, handle, record, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        const QString sql_state = OdbcString(state, 5);
        const QString message =
            OdbcString(text.data(), std::min<qsizetype>(length, text.size() - 1)).trimmed();
        if (first_state != nullptr && record == 1) {
            *first_state = sql_state;
        }
        if (texts != nullptr) {
            texts->append(message);
        }
        records.append(QStringLiteral("[%1] (%2) %3").arg(sql_state).arg(native).arg(message));
    }
    return records;
}

SQLRETURN OdbcCheck(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, const char* what) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) {
        return rc;
    }
    QString state;
    QStringList texts;
    const QStringList records = OdbcDiagnostics(handle_type, handle, &state, &texts);
    QString message = texts.join(u'\n');
    if (message.isEmpty()) {
        message = rc == SQL_INVALID_HANDLE
                      ? QStringLiteral("Ошибка ODBC (%1): недопустимый дескриптор.")
                            .arg(QString::fromLatin1(what))
                      : QStringLiteral("Ошибка ODBC (%1), код %2, без диагностики драйвера.")
                            .arg(QString::fromLatin1(what))
                            .arg(rc);
    }
    throw TDbError(message, state, records);
}

TOdbcHandle TOdbcHandle::Allocate(SQLSMALLINT type, SQLHANDLE parent) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
        // A failed allocation reports its diagnostics on the parent handle.
        const SQLSMALLINT parent_type = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
        if (parent != SQL_NULL_HANDLE) {
            OdbcCheck(rc, parent_type, parent, "SQLAllocHandle");
        }
        throw TDbError(QStringLiteral("Не удалось получить дескриптор ODBC: диспетчер драйверов "
                                      "ODBC недоступен."),
                       QString(), QStringList());
    }
    return TOdbcHandle(type, handle);
}

void TOdbcHandle::Free() noexcept {
    if (handle_ != SQL_NULL_HANDLE) {
        SQLFreeHandle(type_, handle_);
        handle_ = SQL_NULL_HANDLE;
    }
}

TOdbcHandle OdbcEnvironment() {
    TOdbcHandle env = TOdbcHandle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    OdbcCheck(SQLSetEnvAttr(env.Get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_OV_ODBC3)), 0),
              SQL_HANDLE_ENV, env.Get(), "SQLSetEnvAttr");
    return env;
}
