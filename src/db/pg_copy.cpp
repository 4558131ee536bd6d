#include "db/pg_copy.h"

#include <libpq-fe.h>
#include <odbcinst.h>

#include <QRegularExpression>
#include <algorithm>
#include <optional>

#include "db/connection_string.h"
#include "db/odbc_handle.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

QString LibpqQuoted(const QString& value) {
    QString quoted = value;
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + quoted + u'\'';
}

// The first of the keys the pairs hold (ODBC keys are matched without case).
QString PairValue(const QList<TConnectPair>& pairs, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        for (const TConnectPair& pair : pairs) {
            if (UpperLatin(pair.key) == UpperLatin(QString::fromLatin1(key))) {
                return pair.value;
            }
        }
    }
    return QString();
}

// A value of a data source's settings, the first of the names the driver knows it by.
QString DsnValue(const QString& dsn, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        SQLWCHAR buffer[1024] = {};
        const QString name = QString::fromLatin1(key);
        const int length = SQLGetPrivateProfileStringW(
            reinterpret_cast<LPCWSTR>(dsn.utf16()), reinterpret_cast<LPCWSTR>(name.utf16()),
            reinterpret_cast<LPCWSTR>(u""), buffer, 1024, reinterpret_cast<LPCWSTR>(u"odbc.ini"));
        if (length > 0) {
            return OdbcString(buffer, std::min(length, 1023));
        }
    }
    return QString();
}

// "COPY t, line 3, column x: ..." - the stream's line the server stopped at.
qint64 LineOfContext(const char* context) {
    if (context == nullptr) {
        return 0;
    }
    static const QRegularExpression line(QStringLiteral("\\bline (\\d+)"));
    const QRegularExpressionMatch match = line.match(QString::fromUtf8(context));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

}  // namespace

QString TPgConnInfo::ToConninfo() const {
    QStringList pairs;
    const std::pair<const char*, const QString*> fields[] = {
        {"host", &host},         {"port", &port},     {"user", &user},
        {"password", &password}, {"dbname", &dbname}, {"sslmode", &sslmode}};
    for (const auto& [key, value] : fields) {
        if (!value->isEmpty()) {
            pairs << QString::fromLatin1(key) + u'=' + LibpqQuoted(*value);
        }
    }
    pairs << QStringLiteral("client_encoding='UTF8'");
    return pairs.join(u' ');
}

TPgConnInfo PgConnInfoFromOdbc(const QString& odbc) {
    const QList<TConnectPair> pairs = ParseConnectString(odbc);
    TPgConnInfo info;
    const QString dsn = PairValue(pairs, {"DSN"});
    if (!dsn.isEmpty()) {
        info.host = DsnValue(dsn, {"Servername", "Server", "Host"});
        info.port = DsnValue(dsn, {"Port"});
        info.user = DsnValue(dsn, {"Username", "UID", "User"});
        info.password = DsnValue(dsn, {"Password", "PWD"});
        info.dbname = DsnValue(dsn, {"Database"});
        info.sslmode = DsnValue(dsn, {"SSLmode", "SSLMode", "sslmode"});
    }
    const auto take = [&pairs](QString& field, std::initializer_list<const char*> keys) {
        const QString value = PairValue(pairs, keys);
        if (!value.isEmpty()) {
            field = value;
        }
    };
    take(info.host, {"SERVER", "SERVERNAME", "HOST"});
    take(info.port, {"PORT"});
    take(info.user, {"UID", "USERNAME", "USER"});
    take(info.password, {"PWD", "PASSWORD"});
    take(info.dbname, {"DATABASE", "DBNAME"});
    take(info.sslmode, {"SSLMODE"});
    if (info.host.isEmpty()) {
        throw TError(
            QStringLiteral(
                "Не удалось определить сервер PostgreSQL для записи командой COPY: в строке "
                "подключения нет сервера (SERVER), и источник данных ODBC «%1» его не называет")
                .arg(dsn));
    }
    return info;
}

TPgCopySession::~TPgCopySession() {
    Close();
}

void TPgCopySession::Fail(const QString& what) {
    const QString message = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    throw TPgError(QStringLiteral("%1: %2").arg(what, message), QString(), {message}, 0);
}

void TPgCopySession::Open(const TPgConnInfo& info) {
    Close();
    conn_ = PQconnectdb(info.ToConninfo().toUtf8().constData());
    if (conn_ == nullptr) {
        throw TPgError(QStringLiteral("Не удалось открыть соединение libpq для записи COPY"),
                       QString(), {}, 0);
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString message = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
        Close();
        throw TPgError(
            QStringLiteral("Не удалось подключиться к PostgreSQL для записи COPY: %1").arg(message),
            QStringLiteral("08001"), {message}, 0);
    }
}

void TPgCopySession::Close() {
    if (conn_ != nullptr) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
    in_copy_ = false;
}

void TPgCopySession::CheckResult(void* result_ptr, int expected, const QString& sql) {
    PGresult* result = static_cast<PGresult*>(result_ptr);
    const ExecStatusType status = result != nullptr ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == expected) {
        return;
    }
    QString message;
    QString state;
    qint64 line = 0;
    if (result != nullptr) {
        message = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
        state = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        line = LineOfContext(PQresultErrorField(result, PG_DIAG_CONTEXT));
        PQclear(result);
    } else {
        message = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    }
    if (message.isEmpty()) {
        message = QStringLiteral("Сервер не выполнил запрос: %1").arg(sql);
    }
    throw TPgError(message, state, {QStringLiteral("[%1] %2").arg(state, message)}, line);
}

void TPgCopySession::Exec(const QString& sql) {
    if (conn_ == nullptr) {
        throw TPgError(QStringLiteral("Нет соединения libpq с базой данных"), QString(), {}, 0);
    }
    PGresult* result = PQexec(conn_, sql.toUtf8().constData());
    CheckResult(result, PGRES_COMMAND_OK, sql);
    PQclear(result);
}

QString TPgCopySession::Value(const QString& sql) {
    if (conn_ == nullptr) {
        throw TPgError(QStringLiteral("Нет соединения libpq с базой данных"), QString(), {}, 0);
    }
    PGresult* result = PQexec(conn_, sql.toUtf8().constData());
    CheckResult(result, PGRES_TUPLES_OK, sql);
    QString value;
    if (PQntuples(result) > 0 && PQnfields(result) > 0 && !PQgetisnull(result, 0, 0)) {
        value = QString::fromUtf8(PQgetvalue(result, 0, 0));
    }
    PQclear(result);
    return value;
}

void TPgCopySession::BeginCopy(const QString& copy_sql) {
    if (conn_ == nullptr) {
        throw TPgError(QStringLiteral("Нет соединения libpq с базой данных"), QString(), {}, 0);
    }
    PGresult* result = PQexec(conn_, copy_sql.toUtf8().constData());
    CheckResult(result, PGRES_COPY_IN, copy_sql);
    PQclear(result);
    in_copy_ = true;
}

void TPgCopySession::Put(const QByteArray& data) {
    if (!in_copy_) {
        throw TPgError(QStringLiteral("Поток COPY не открыт"), QString(), {}, 0);
    }
    // libpq copies a piece into its output buffer whole and keeps that buffer's size for the
    // rest of the session: a row of 100 MB would cost 100 MB more until the session closes.
    constexpr qsizetype kSlice = 256 * 1024;
    for (qsizetype at = 0; at < data.size(); at += kSlice) {
        const int size = static_cast<int>(std::min(kSlice, data.size() - at));
        if (PQputCopyData(conn_, data.constData() + at, size) != 1) {
            in_copy_ = false;
            Fail(QStringLiteral("Не удалось передать данные COPY"));
        }
    }
}

qint64 TPgCopySession::End() {
    if (!in_copy_) {
        throw TPgError(QStringLiteral("Поток COPY не открыт"), QString(), {}, 0);
    }
    in_copy_ = false;
    if (PQputCopyEnd(conn_, nullptr) != 1) {
        Fail(QStringLiteral("Не удалось завершить поток COPY"));
    }
    qint64 rows = 0;
    std::optional<TPgError> error;
    // The result of the COPY itself, then nothing; every result is taken so that the session
    // is ready for the next statement also after a failure.
    while (PGresult* result = PQgetResult(conn_)) {
        if (PQresultStatus(result) == PGRES_COMMAND_OK) {
            rows = QByteArray(PQcmdTuples(result)).toLongLong();
            PQclear(result);
            continue;
        }
        try {
            CheckResult(result, PGRES_COMMAND_OK, QStringLiteral("COPY"));
        } catch (const TPgError& e) {
            if (!error) {
                error = e;
            }
        }
    }
    if (error) {
        throw *error;
    }
    return rows;
}

void TPgCopySession::Abort(const QString& reason) {
    if (!in_copy_) {
        return;
    }
    in_copy_ = false;
    PQputCopyEnd(conn_, reason.toUtf8().constData());
    while (PGresult* result = PQgetResult(conn_)) {
        PQclear(result);
    }
}

TPgCancel::TPgCancel(const TPgCopySession& session)
    : cancel_(session.conn_ != nullptr ? PQgetCancel(session.conn_) : nullptr) {}

TPgCancel::~TPgCancel() {
    if (cancel_ != nullptr) {
        PQfreeCancel(cancel_);
    }
}

bool TPgCancel::Cancel() const {
    char error[256] = {};
    return cancel_ != nullptr && PQcancel(cancel_, error, int(sizeof error)) == 1;
}
