#include "db/odbc.h"

#include <QFile>
#include <QMap>
#include <QTimeZone>

#include "db/connection_string.h"
#include "db/odbc_session.h"
#include "db/odbc_statement.h"
#include "db/odbc_value_text.h"
#include "db/server_kind.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

bool IsNameStart(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool IsNameChar(QChar c) {
    return IsNameStart(c) || (c >= u'0' && c <= u'9');
}

TOdbcInstalled Installed(SQLHENV env) {
    TOdbcInstalled installed;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (true) {
        SQLWCHAR name[1024] = {};
        SQLWCHAR driver[1024] = {};
        SQLSMALLINT name_length = 0;
        SQLSMALLINT driver_length = 0;
        const SQLRETURN rc =
            SQLDataSourcesW(env, direction, name, 1024, &name_length, driver, 1024, &driver_length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        direction = SQL_FETCH_NEXT;
        const TOdbcDataSource ds{OdbcString(name, std::min<SQLSMALLINT>(name_length, 1023)),
                                 OdbcString(driver, std::min<SQLSMALLINT>(driver_length, 1023))};
        // A name in both the user and the system list is one data source (the user's wins).
        bool known = false;
        for (const TOdbcDataSource& other : installed.data_sources) {
            known = known || UpperLatin(other.name) == UpperLatin(ds.name);
        }
        if (!known) {
            installed.data_sources.append(ds);
        }
    }
    direction = SQL_FETCH_FIRST;
    while (true) {
        SQLWCHAR name[1024] = {};
        SQLWCHAR attributes_text[2048] = {};
        SQLSMALLINT name_length = 0;
        SQLSMALLINT attributes_length = 0;
        const SQLRETURN rc = SQLDriversW(env, direction, name, 1024, &name_length, attributes_text,
                                         2048, &attributes_length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        direction = SQL_FETCH_NEXT;
        const QString driver = OdbcString(name, std::min<SQLSMALLINT>(name_length, 1023));
        if (!installed.drivers.contains(driver)) {
            installed.drivers.append(driver);
        }
        // The attributes come as "key=value" texts, each ended by a zero character.
        const QStringList attributes =
            OdbcString(attributes_text, std::min<SQLSMALLINT>(attributes_length, 2047))
                .split(QChar(u'\0'), Qt::SkipEmptyParts);
        for (const QString& attribute : attributes) {
            if (attribute.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive)) {
                installed.driver_libraries.insert(driver, attribute.mid(7).trimmed());
            }
        }
    }
    return installed;
}

QByteArray ReadParamFile(const QString& name, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw TFileError(QStringLiteral("Не удалось прочитать файл «%1» параметра «%2»: %3")
                             .arg(path, name, file.errorString()));
    }
    return file.readAll();
}

}  // namespace

TOdbcInstalled InstalledOdbc() {
    const TOdbcHandle env = OdbcEnvironment();
    return Installed(env.Get());
}

QString TOdbcStatement::PositionalParams(const QString& sql, QStringList* names) {
    QString result;
    result.reserve(sql.size());
    const qsizetype size = sql.size();
    qsizetype pos = 0;
    auto copy_until = [&](const QString& end) {
        const qsizetype stop = sql.indexOf(end, pos);
        const qsizetype next = stop < 0 ? size : stop + end.size();
        result += QStringView(sql).mid(pos, next - pos);
        pos = next;
    };
    while (pos < size) {
        const QChar c = sql[pos];
        if (c == u'\'' || c == u'"') {
            // A doubled quote inside a literal reads as its end and a new start: same result.
            result += c;
            ++pos;
            copy_until(QString(c));
        } else if (c == u'-' && pos + 1 < size && sql[pos + 1] == u'-') {
            copy_until(QStringLiteral("\n"));
        } else if (c == u'/' && pos + 1 < size && sql[pos + 1] == u'*') {
            result += QStringLiteral("/*");
            pos += 2;
            copy_until(QStringLiteral("*/"));
        } else if (c == u':' && pos + 1 < size && sql[pos + 1] == u':') {
            result += QStringLiteral("::");
            pos += 2;
        } else if (c == u':' && pos + 1 < size && IsNameStart(sql[pos + 1])) {
            qsizetype end = pos + 1;
            while (end < size && IsNameChar(sql[end])) {
                ++end;
            }
            names->append(sql.mid(pos + 1, end - pos - 1));
            result += u'?';
            pos = end;
        } else {
            result += c;
            ++pos;
        }
    }
    return result;
}

// ---- connection ---------------------------------------------------------------------------

TDbConnection::TDbConnection() : impl_(std::make_unique<TImpl>()) {}

TDbConnection::~TDbConnection() {
    Close();
    for (TOdbcStatement* statement : impl_->statements) {
        statement->Orphan();
    }
}

TDbConnection::TImpl& TDbConnection::Impl() const {
    return *impl_;
}

void TDbConnection::SetConnectionString(const QString& text) {
    impl_->connection_string = text;
}

const QString& TDbConnection::ConnectionString() const {
    return impl_->connection_string;
}

bool TDbConnection::Connected() const {
    return impl_->connected;
}

namespace {

QString DbmsNameOf(SQLHDBC dbc) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &bytes))) {
        return QString();
    }
    return OdbcString(name, std::min<qsizetype>(bytes / sizeof(SQLWCHAR), 255));
}

// A driver manager that cannot load the driver's library says so in these states.
bool IsDriverLoadFailure(const TDbError& e) {
    const QString state = e.SqlState();
    return state == QLatin1String("IM002") || state == QLatin1String("IM003") ||
           state == QLatin1String("IM004") ||
           e.Message().contains(QLatin1String("Can't open lib"), Qt::CaseInsensitive);
}

void RunSessionStatement(SQLHDBC dbc, const QString& sql) {
    TOdbcHandle stmt = TOdbcHandle::Allocate(SQL_HANDLE_STMT, dbc);
    QString text = sql;
    try {
        OdbcCheck(SQLExecDirectW(stmt.Get(), OdbcText(text), static_cast<SQLINTEGER>(text.size())),
                  SQL_HANDLE_STMT, stmt.Get(), "SQLExecDirect");
    } catch (const TDbError& e) {
        throw TDbError(QStringLiteral("Не удалось настроить сеанс (%1): %2").arg(sql, e.Message()),
                       e.SqlState(), e.Diagnostics());
    }
}

}  // namespace

void TDbConnection::Open() {
    Close();
    if (impl_->connection_string.trimmed().isEmpty()) {
        throw TError(QStringLiteral("Строка подключения пуста."));
    }
    const bool oracle_caps = OracleCapabilitiesRequested();
    TOdbcHandle env = OdbcEnvironment();
    const TOdbcInstalled installed = Installed(env.Get());
    const TOdbcTranslation translation = TranslateConnect(impl_->connection_string, installed);
    const QString& odbc = translation.odbc;
    TOdbcHandle dbc = TOdbcHandle::Allocate(SQL_HANDLE_DBC, env.Get());
    SQLSetConnectAttrW(dbc.Get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
    SQLWCHAR completed[2048] = {};
    SQLSMALLINT completed_length = 0;
    try {
        OdbcCheck(SQLDriverConnectW(dbc.Get(), nullptr, OdbcText(odbc),
                                    static_cast<SQLSMALLINT>(odbc.size()), completed, 2048,
                                    &completed_length, SQL_DRIVER_NOPROMPT),
                  SQL_HANDLE_DBC, dbc.Get(), "SQLDriverConnect");
    } catch (const TDbError& e) {
        if (translation.oracle_driver.isEmpty() || !IsDriverLoadFailure(e)) {
            throw;
        }
        throw TDbError(
            e.Message() + u'\n' +
                OracleDriverHint(translation.oracle_driver,
                                 installed.driver_libraries.value(translation.oracle_driver)),
            e.SqlState(), e.Diagnostics());
    }
    // From here on the connection is open: a failure below must disconnect it again.
    struct TDisconnect {
        SQLHDBC dbc;
        bool armed = true;
        ~TDisconnect() {
            if (armed) {
                SQLDisconnect(dbc);
            }
        }
    } disconnect{dbc.Get()};
    const QString dbms = DbmsNameOf(dbc.Get());
    const bool oracle_server = UpperLatin(dbms).contains(QLatin1String("ORACLE"));
    const bool oracle_session = translation.oracle_form || oracle_server ||
                                GetTypeDb(impl_->connection_string) == kDbOracle;
    SQLUINTEGER extensions = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.Get(), SQL_GETDATA_EXTENSIONS, &extensions,
                                   sizeof extensions, nullptr))) {
        extensions = 0;
    }
    const bool oracle_profile = oracle_caps || oracle_server;
    if (oracle_profile) {
        extensions = kOracleGetDataExtensions;
    }
    // Autocommit is still on: settings made now are not undone by a rollback.
    const TSessionSetup setup = SessionSetup(oracle_session, dbms);
    for (const QString& statement : setup.statements) {
        RunSessionStatement(dbc.Get(), statement);
    }
    if (!impl_->autocommit) {
        OdbcCheck(SQLSetConnectAttrW(dbc.Get(), SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
                  SQL_HANDLE_DBC, dbc.Get(), "SQLSetConnectAttr");
    }
    disconnect.armed = false;
    impl_->env = std::move(env);
    impl_->dbc = std::move(dbc);
    impl_->getdata_extensions = extensions;
    impl_->oracle_capabilities = oracle_profile;
    impl_->dbms_name = dbms;
    impl_->oracle_session = oracle_session;
    impl_->emulated_oracle = setup.emulated_oracle;
    impl_->utc_session = setup.utc;
    // PostgreSQL's driver drops the offset of a zoned value read as text; every other server
    // (Oracle's under its session's format) writes it.
    impl_->zoned_as_text = !UpperLatin(dbms).contains(QLatin1String("POSTGRES"));
    impl_->oracle_driver = translation.oracle_driver;
    impl_->statement_log.append(setup.logged);
    impl_->connected = true;
}

QString TDbConnection::DbmsName() const {
    return impl_->dbms_name;
}

bool TDbConnection::OracleSession() const {
    return impl_->oracle_session;
}

bool TDbConnection::EmulatedOracle() const {
    return impl_->emulated_oracle;
}

QString TDbConnection::OracleDriver() const {
    return impl_->oracle_driver;
}

bool TDbConnection::OracleCapabilities() const {
    return impl_->oracle_capabilities;
}

void TDbConnection::SetStatementLog(bool on) {
    impl_->log_statements = on;
}

const QStringList& TDbConnection::StatementLog() const {
    return impl_->statement_log;
}

void TDbConnection::ClearStatementLog() {
    impl_->statement_log.clear();
}

void TDbConnection::Close() {
    for (TOdbcStatement* statement : impl_->statements) {
        statement->Detach();
    }
    if (impl_->connected) {
        SQLDisconnect(impl_->dbc.Get());
    }
    impl_->connected = false;
    impl_->dbc.Free();
    impl_->env.Free();
}

void TDbConnection::SetAutoCommit(bool on) {
    if (impl_->connected && on != impl_->autocommit) {
        // Switching autocommit on commits what is open, as ODBC defines it.
        const SQLPOINTER value =
            reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
        OdbcCheck(SQLSetConnectAttrW(impl_->dbc.Get(), SQL_ATTR_AUTOCOMMIT, value, 0),
                  SQL_HANDLE_DBC, impl_->dbc.Get(), "SQLSetConnectAttr");
    }
    impl_->autocommit = on;
}

int TDbConnection::ActiveStatements() const {
    int active = 0;
    for (const TOdbcStatement* statement : impl_->statements) {
        active += statement->Active() ? 1 : 0;
    }
    return active;
}

bool TDbConnection::AutoCommit() const {
    return impl_->autocommit;
}

void TDbConnection::Commit() {
    if (!impl_->connected) {
        throw TDbError(QStringLiteral("Нет соединения с базой данных."), QString(), QStringList());
    }
    OdbcCheck(SQLEndTran(SQL_HANDLE_DBC, impl_->dbc.Get(), SQL_COMMIT), SQL_HANDLE_DBC,
              impl_->dbc.Get(), "SQLEndTran");
}

void TDbConnection::Rollback() {
    if (!impl_->connected) {
        return;
    }
    OdbcCheck(SQLEndTran(SQL_HANDLE_DBC, impl_->dbc.Get(), SQL_ROLLBACK), SQL_HANDLE_DBC,
              impl_->dbc.Get(), "SQLEndTran");
}

// ---- statement ----------------------------------------------------------------------------

struct TDbQuery::TImpl {
    explicit TImpl(TDbConnection& connection) : statement(connection) {}

    // A named parameter: a value, or a file read when the statement runs.
    struct TParam {
        TOdbcParam value;
        QString path;  // empty: the value is given
    };

    TOdbcStatement statement;
    QStringList lines;
    bool param_check = false;
    // Parameters by upper-cased name.
    QMap<QString, TParam> params;

    void Run(bool want_result) {
        QString sql = lines.join(u'\n');
        QList<TOdbcParam> bound;
        if (param_check) {
            QStringList names;
            sql = TOdbcStatement::PositionalParams(sql, &names);
            QMap<QString, TOdbcParam> loaded;
            for (const QString& name : names) {
                const QString key = UpperLatin(name);
                if (!loaded.contains(key)) {
                    const auto param = params.constFind(key);
                    if (param == params.constEnd()) {
                        throw TError(
                            QStringLiteral("Не задано значение параметра «%1».").arg(name));
                    }
                    TOdbcParam value = param->value;
                    if (!param->path.isEmpty()) {
                        value.bytes = ReadParamFile(name, param->path);
                        if (value.kind == TOdbcParam::TKind::Text) {
                            const QString text = QString::fromUtf8(value.bytes);
                            value.bytes = QByteArray(reinterpret_cast<const char*>(text.utf16()),
                                                     text.size() * 2);
                        }
                    }
                    loaded.insert(key, value);
                }
                bound.append(loaded.value(key));
            }
        }
        statement.Execute(sql, bound, want_result);
    }

    void Set(const QString& name, TOdbcParam::TKind kind, const QString& path, QByteArray bytes) {
        TParam param;
        param.value.kind = kind;
        param.value.bytes = std::move(bytes);
        param.path = path;
        params.insert(UpperLatin(name), param);
    }
};

namespace {

QByteArray Utf16Bytes(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

}  // namespace

TDbQuery::TDbQuery(TDbConnection& connection) : impl_(std::make_unique<TImpl>(connection)) {}

TDbQuery::~TDbQuery() = default;

void TDbQuery::Clear() {
    impl_->lines.clear();
}

void TDbQuery::Add(const QString& line) {
    impl_->lines.append(line);
}

void TDbQuery::SetText(const QString& text) {
    impl_->lines = text.isEmpty() ? QStringList() : text.split(u'\n');
}

QString TDbQuery::Text() const {
    return impl_->lines.join(u'\n');
}

const QStringList& TDbQuery::Lines() const {
    return impl_->lines;
}

void TDbQuery::SetParamCheck(bool on) {
    impl_->param_check = on;
}

bool TDbQuery::ParamCheck() const {
    return impl_->param_check;
}

void TDbQuery::SetParamFile(const QString& name, const QString& path) {
    impl_->Set(name, TOdbcParam::TKind::Binary, path, QByteArray());
}

void TDbQuery::SetParamTextFile(const QString& name, const QString& path) {
    impl_->Set(name, TOdbcParam::TKind::Text, path, QByteArray());
}

void TDbQuery::SetParamText(const QString& name, const QString& value) {
    impl_->Set(name, TOdbcParam::TKind::Text, QString(), Utf16Bytes(value));
}

void TDbQuery::SetParamNumber(const QString& name, const QString& decimal_text) {
    impl_->Set(name, TOdbcParam::TKind::Number, QString(), Utf16Bytes(decimal_text));
}

void TDbQuery::SetParamBytes(const QString& name, const QByteArray& value) {
    impl_->Set(name, TOdbcParam::TKind::Binary, QString(), value);
}

void TDbQuery::SetParamDateTime(const QString& name, const QDateTime& value) {
    SetParamDateTime(name, value, value.time().msec() * 1000000);
}

void TDbQuery::SetParamDateTime(const QString& name, const QDateTime& value, qint32 nanoseconds) {
    TDbQuery::TImpl::TParam param;
    param.value.kind = TOdbcParam::TKind::DateTime;
    const QDate date = value.date();
    const QTime time = value.time();
    SQL_TIMESTAMP_STRUCT& t = param.value.timestamp;
    t.year = static_cast<SQLSMALLINT>(date.year());
    t.month = static_cast<SQLUSMALLINT>(date.month());
    t.day = static_cast<SQLUSMALLINT>(date.day());
    t.hour = static_cast<SQLUSMALLINT>(time.hour());
    t.minute = static_cast<SQLUSMALLINT>(time.minute());
    t.second = static_cast<SQLUSMALLINT>(time.second());
    t.fraction = static_cast<SQLUINTEGER>(nanoseconds);
    impl_->params.insert(UpperLatin(name), param);
}

void TDbQuery::SetParamDateTimeText(const QString& name, const QString& text) {
    TDateTimeValue value;
    if (!ParseDateTimeText(text, &value)) {
        throw TConvertError(
            QStringLiteral("Значение «%1» параметра «%2» не является датой.").arg(text, name));
    }
    if (value.zoned) {
        // Offsets are whole minutes or seconds: the fraction stays as it is.
        const QDateTime utc = QDateTime(QDate(value.year, value.month, value.day),
                                        QTime(value.hour, value.minute, value.second),
                                        QTimeZone(value.offset_seconds))
                                  .toUTC();
        value.year = utc.date().year();
        value.month = utc.date().month();
        value.day = utc.date().day();
        value.hour = utc.time().hour();
        value.minute = utc.time().minute();
        value.second = utc.time().second();
    }
    TDbQuery::TImpl::TParam param;
    param.value.kind = TOdbcParam::TKind::DateTime;
    SQL_TIMESTAMP_STRUCT& t = param.value.timestamp;
    t.year = static_cast<SQLSMALLINT>(value.year);
    t.month = static_cast<SQLUSMALLINT>(value.month);
    t.day = static_cast<SQLUSMALLINT>(value.day);
    t.hour = static_cast<SQLUSMALLINT>(value.hour);
    t.minute = static_cast<SQLUSMALLINT>(value.minute);
    t.second = static_cast<SQLUSMALLINT>(value.second);
    t.fraction = value.nanoseconds;
    impl_->params.insert(UpperLatin(name), param);
}

void TDbQuery::ClearParams() {
    impl_->params.clear();
}

void TDbQuery::Open() {
    impl_->Run(true);
}

void TDbQuery::ExecSQL() {
    impl_->Run(false);
}

const QStringList& TDbQuery::Warnings() const {
    return impl_->statement.Warnings();
}

void TDbQuery::Close() {
    impl_->statement.Close();
}

bool TDbQuery::Active() const {
    return impl_->statement.Active();
}

bool TDbQuery::Eof() const {
    return impl_->statement.Eof();
}

void TDbQuery::Next() {
    impl_->statement.Next();
}

int TDbQuery::FieldCount() const {
    return impl_->statement.FieldCount();
}

const TDbField& TDbQuery::Field(int index) const {
    return impl_->statement.Field(index);
}

const TDbField& TDbQuery::FieldByName(const QString& name) const {
    return impl_->statement.FieldByName(name);
}

// ---- whole table --------------------------------------------------------------------------

struct TDbTable::TImpl {
    explicit TImpl(TDbConnection& connection) : statement(connection) {}

    TOdbcStatement statement;
    QString name;
    QString columns;
};

TDbTable::TDbTable(TDbConnection& connection) : impl_(std::make_unique<TImpl>(connection)) {}

TDbTable::~TDbTable() = default;

void TDbTable::SetTableName(const QString& name) {
    impl_->name = name;
}

const QString& TDbTable::TableName() const {
    return impl_->name;
}

void TDbTable::SetColumns(const QString& select_list) {
    impl_->columns = select_list;
}

void TDbTable::Open() {
    if (impl_->name.trimmed().isEmpty()) {
        throw TError(QStringLiteral("Не задано имя таблицы."));
    }
    // The cursor is forward-only and read-only by default; the driver streams it in blocks
    // when its data source says so.
    const QString columns = impl_->columns.isEmpty() ? QStringLiteral("*") : impl_->columns;
    impl_->statement.Execute(
        QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + impl_->name, {}, true);
}

void TDbTable::Close() {
    impl_->statement.Close();
}

bool TDbTable::Active() const {
    return impl_->statement.Active();
}

void TDbTable::MoveBy(qint64 n) {
    impl_->statement.Skip(n);
}

bool TDbTable::Eof() const {
    return impl_->statement.Eof();
}

void TDbTable::Next() {
    impl_->statement.Next();
}

int TDbTable::FieldCount() const {
    return impl_->statement.FieldCount();
}

const TDbField& TDbTable::Field(int index) const {
    return impl_->statement.Field(index);
}

const TDbField& TDbTable::FieldByName(const QString& name) const {
    return impl_->statement.FieldByName(name);
}
