#include "ddl/target_create.h"

#include <QLocale>
#include <QRegularExpression>
#include <exception>

#include "db/connection_string.h"
#include "db/odbc.h"
#include "db/sql_text.h"
#include "ddl/script_gen.h"
#include "util/error.h"
#include "util/questions.h"
#include "util/secrets.h"
#include "util/text_utils.h"

namespace {

// Where the sequence stands, for the text of a failure: the statement being run, or what is
// being done when no statement is.
class TTrace {
public:
    void Set(const QString& what) { what_ = what; }
    const QString& What() const { return what_; }

private:
    QString what_;
};

// Field 0 of the first row of a query on query_to, or the empty text when there is no row.
QString FirstValue(TDbQuery& query_to, TTrace& trace, const QString& sql) {
    trace.Set(sql);
    query_to.SetText(sql);
    query_to.Open();
    QString value;
    if (!query_to.Eof()) {
        value = query_to.Field(0).AsString();
    }
    query_to.Close();
    return value;
}

// The fields of the first row, or none when there is no row.
QStringList FirstRow(TDbQuery& query_to, TTrace& trace, const QString& sql) {
    trace.Set(sql);
    query_to.SetText(sql);
    query_to.Open();
    QStringList row;
    if (!query_to.Eof()) {
        for (int i = 0; i < query_to.FieldCount(); ++i) {
            row << query_to.Field(i).AsString();
        }
    }
    query_to.Close();
    return row;
}

void Execute(TDbQuery& query_to, TTrace& trace, const QString& sql) {
    trace.Set(sql);
    query_to.SetText(sql);
    query_to.ExecSQL();
}

void Reconnect(TDbConnection& connection_to, TTrace& trace, const QString& what,
               const QString& connection_string) {
    trace.Set(what);
    connection_to.Close();
    connection_to.SetConnectionString(connection_string);
    connection_to.Open();
}

// The script may hold colon-prefixed words (":new." in trigger bodies, casts) that are not
// parameters. Checking is switched back on also when the script fails, so that the next
// statement of the copy binds its large binary values again.
class TParamCheckOff {
public:
    explicit TParamCheckOff(TDbQuery& query) : query_(query) { query_.SetParamCheck(false); }
    ~TParamCheckOff() { query_.SetParamCheck(true); }
    TParamCheckOff(const TParamCheckOff&) = delete;
    TParamCheckOff& operator=(const TParamCheckOff&) = delete;

private:
    TDbQuery& query_;
};

// A failure that names its own cause: the result label shows the text alone.
class TRefusal : public TError {
public:
    using TError::TError;
};

QString Shown(const QString& name) {
    return QStringLiteral("«") + name + QStringLiteral("»");
}

QString SizeText(qint64 bytes) {
    if (bytes < 0) {
        return QStringLiteral("неизвестен");
    }
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    if (bytes < 1024) {
        return QStringLiteral("%1 байт").arg(bytes);
    }
    static const char16_t* const kUnits[] = {u"КБ", u"МБ", u"ГБ", u"ТБ"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return russian.toString(value, 'f', 1) + u' ' + QString::fromUtf16(kUnits[unit]);
}

QString CountText(qint64 count) {
    return count < 0 ? QStringLiteral("неизвестно") : QString::number(count);
}

// What stands on the server under the new name, and whether losing it needs the operator's word.
struct TExisting {
    bool exists = false;
    qint64 tables = -1;  // unknown when the database could not be entered
    qint64 bytes = -1;
};

bool NeedsConsent(const TExisting& existing) {
    return existing.exists && existing.tables != 0;
}

TExisting ProbePostgres(const TTargetSpec& spec, TDbQuery& query_to, TTrace& trace) {
    TExisting existing;
    const QStringList size = FirstRow(query_to, trace, PgDatabaseSizeSql(spec.user));
    if (size.isEmpty()) {
        return existing;
    }
    existing.exists = true;
    existing.bytes = size.first().toLongLong();
    // Tables are seen only from inside the database; one that cannot be entered counts as
    // holding some.
    try {
        TDbConnection probe;
        probe.SetConnectionString(PgTargetConnectionString(spec.connect_to, spec.user));
        probe.Open();
        TDbQuery query(probe);
        query.SetText(kPgTableCountSql);
        query.Open();
        existing.tables = query.Eof() ? 0 : query.Field(0).AsInteger();
    } catch (const TError&) {
        existing.tables = -1;
    }
    return existing;
}

void CheckPostgresName(const TTargetSpec& spec, TDbQuery& query_to, TTrace& trace) {
    const QString stored = TSqlNames(kDbPostgres).Stored(spec.user);
    const QStringList session = FirstRow(query_to, trace, kPgSessionSql);
    if (session.value(0) == stored) {
        throw TRefusal(QStringLiteral("Имя %1 — это база данных, к которой подключена строка "
                                      "подключения конечной БД; её нельзя удалить и создать "
                                      "заново. Укажите другое имя.")
                           .arg(Shown(stored)));
    }
    if (session.value(1) == stored) {
        throw TRefusal(QStringLiteral("Имя %1 — это пользователь строки подключения конечной "
                                      "БД; его нельзя удалить и создать заново. Укажите другое "
                                      "имя.")
                           .arg(Shown(stored)));
    }
    const QString rights = FirstValue(query_to, trace, PgRoleRightsSql(spec.user));
    if (rights == QLatin1String("1") || rights.startsWith(u't', Qt::CaseInsensitive)) {
        throw TRefusal(QStringLiteral("На сервере уже есть роль %1 с правом SUPERUSER или "
                                      "CREATEROLE; такую роль мастер не удаляет. Укажите другое "
                                      "имя.")
                           .arg(Shown(stored)));
    }
}

TExisting CheckOracleName(const TTargetSpec& spec, const QString& version, TDbQuery& query_to,
                          TTrace& trace) {
    const QString name = TargetUserName(kDbOracle, spec.user);
    if (UpperLatin(FirstValue(query_to, trace, kOraLoginSql)) == name) {
        throw TRefusal(QStringLiteral("Имя %1 — это пользователь строки подключения конечной "
                                      "БД; его нельзя удалить и создать заново. Укажите другое "
                                      "имя.")
                           .arg(Shown(name)));
    }
    const QStringList row = FirstRow(query_to, trace, OraExistingUserSql(spec.user, version));
    TExisting existing;
    if (row.isEmpty()) {
        return existing;
    }
    if (UpperLatin(row.value(0)) == QLatin1String("Y")) {
        throw TRefusal(QStringLiteral("Пользователь %1 — служебный пользователь Oracle; его "
                                      "нельзя удалить и создать заново. Укажите другое имя.")
                           .arg(Shown(name)));
    }
    existing.exists = true;
    existing.tables = row.value(1).toLongLong();
    existing.bytes = row.value(2).toLongLong();
    return existing;
}

// True when the drop may go ahead.
bool ConsentToDrop(const TTargetSpec& spec, const TExisting& existing, TQuestions* questions) {
    if (!NeedsConsent(existing) || questions == nullptr) {
        return true;
    }
    const QString name = TargetUserName(spec.db_to, spec.user);
    if (spec.db_to == kDbOracle) {
        return questions->AskOkCancel(
            QStringLiteral("Пользователь уже существует"),
            QStringLiteral("На сервере уже есть пользователь %1: таблиц — %2, размер — %3. "
                           "Удалить его со всеми объектами и создать заново? Все его данные "
                           "будут потеряны.")
                .arg(Shown(name), CountText(existing.tables), SizeText(existing.bytes)));
    }
    return questions->AskOkCancel(
        QStringLiteral("База данных уже существует"),
        QStringLiteral("На сервере уже есть база данных %1: таблиц — %2, размер — %3. Удалить "
                       "её вместе с ролью %1 и создать заново? Все данные в ней будут "
                       "потеряны.")
            .arg(Shown(TSqlNames(kDbPostgres).Stored(spec.user)), CountText(existing.tables),
                 SizeText(existing.bytes)));
}

QString CancelledText(const TTargetSpec& spec) {
    if (spec.db_to == kDbOracle) {
        return QStringLiteral(
                   "Создание нового пользователя отменено: пользователь %1 оставлен "
                   "без изменений.")
            .arg(Shown(TargetUserName(kDbOracle, spec.user)));
    }
    return QStringLiteral("Создание новой БД отменено: база данных %1 оставлена без изменений.")
        .arg(Shown(TSqlNames(kDbPostgres).Stored(spec.user)));
}

// Returns false when the operator declined the drop.
bool CreatePostgres(const TTargetSpec& spec, TDbConnection& connection_to, TDbQuery& query_to,
                    TQuestions* questions, TTrace& trace, TTargetResult& result) {
    result.version = FirstValue(query_to, trace, kPgVersionSql);
    if (const QString problem = NameRuleProblem(kDbPostgres, spec.user, result.version);
        !problem.isEmpty()) {
        throw TRefusal(problem);
    }
    CheckPostgresName(spec, query_to, trace);
    QString locale;
    if (!IsWindowsServer(result.version)) {
        locale = FirstValue(query_to, trace, kPgLocaleSql);
        if (locale.isEmpty()) {
            locale = QStringLiteral("C");
        }
    }
    // Written before anything runs: a password that cannot be written touches nothing.
    trace.Set(QStringLiteral("пароль новой роли"));
    const QStringList create = PgCreateStatements(spec.user, spec.password, locale);
    if (!ConsentToDrop(spec, ProbePostgres(spec, query_to, trace), questions)) {
        return false;
    }
    for (const QString& sql : create) {
        Execute(query_to, trace, sql);
    }
    Reconnect(connection_to, trace, QStringLiteral("подключение к новой базе данных"),
              PgTargetConnectionString(spec.connect_to, spec.user));
    {
        TParamCheckOff off(query_to);
        trace.Set(QStringLiteral("Sql-скрипт новой БД"));
        query_to.SetText(ScriptBeforeCopy(spec.script));
        query_to.ExecSQL();
    }
    Execute(query_to, trace, PgOwnerSql(spec.user));
    for (const QString& sql : PgGrantStatements(spec.user)) {
        Execute(query_to, trace, sql);
    }
    return true;
}

// Switches "_oracle_script" off again on every way out of the user creation.
class TOraScriptSwitch {
public:
    TOraScriptSwitch(TDbQuery& query_to, bool on) : query_(query_to), on_(on) {
        if (on_) {
            Run(kOraScriptOnSql);
        }
    }
    ~TOraScriptSwitch() {
        if (on_) {
            Run(kOraScriptOffSql);
        }
    }
    TOraScriptSwitch(const TOraScriptSwitch&) = delete;
    TOraScriptSwitch& operator=(const TOraScriptSwitch&) = delete;

private:
    void Run(const QString& sql) noexcept {
        try {
            query_.SetText(sql);
            query_.ExecSQL();
        } catch (...) {
            // Without the switch the creation fails with the server's own message.
        }
    }
    TDbQuery& query_;
    bool on_;
};

bool CreateOracle(const TTargetSpec& spec, TDbConnection& connection_to, TDbQuery& query_to,
                  TQuestions* questions, TTrace& trace, TTargetResult& result) {
    result.version = FirstValue(query_to, trace, kOraVersionSql);
    if (const QString problem = NameRuleProblem(kDbOracle, spec.user, result.version);
        !problem.isEmpty()) {
        throw TRefusal(problem);
    }
    trace.Set(QString());  // the password's own message says what is wrong with it
    const QList<TSqlStep> steps = OraCreateUserSteps(spec.user, spec.password, spec.grant_dba);
    if (!ConsentToDrop(spec, CheckOracleName(spec, result.version, query_to, trace), questions)) {
        return false;
    }
    bool in_root = false;
    try {
        in_root = FirstValue(query_to, trace, kOraContainerSql) == QLatin1String("CDB$ROOT");
    } catch (const TError&) {
        // A server without containers.
    }
    {
        TOraScriptSwitch script_switch(query_to, in_root);
        for (const TSqlStep& step : steps) {
            if (!step.ignore_error) {
                Execute(query_to, trace, step.sql);
                continue;
            }
            try {
                Execute(query_to, trace, step.sql);
            } catch (const TError&) {
                // Expected when the object is left from an earlier run or does not exist yet.
            }
        }
    }
    Reconnect(connection_to, trace, QStringLiteral("подключение под новым пользователем"),
              OraTargetConnectionString(spec.connect_to, spec.user, spec.password));
    TParamCheckOff off(query_to);
    for (const QString& sql : SplitOraScript(ScriptBeforeCopy(spec.script))) {
        trace.Set(sql);
        ExecuteScriptStatement(query_to, sql);
    }
    return true;
}

}  // namespace

QString TargetUserName(int db_to, const QString& user) {
    return db_to == kDbOracle ? UpperLatin(user) : user;
}

int MaxNameBytes(int db_to, const QString& version) {
    if (db_to != kDbOracle) {
        return 63;
    }
    static const QRegularExpression kRelease(QStringLiteral("(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch m = kRelease.match(version);
    const int major = m.hasMatch() ? m.captured(1).toInt() : FirstNumber(version);
    const int minor = m.hasMatch() ? m.captured(2).toInt() : 0;
    return major > 12 || (major == 12 && minor >= 2) ? 128 : 30;
}

QString NameRuleProblem(int db_to, const QString& user, const QString& version) {
    const QString what = db_to == kDbOracle ? QStringLiteral("нового пользователя Oracle")
                                            : QStringLiteral("новой базы данных и её владельца");
    if (user.isEmpty()) {
        return QStringLiteral("Не указано имя %1.").arg(what);
    }
    if (!IsPlainIdentifier(user)) {
        return QStringLiteral(
                   "Имя %1 не подходит для %2: имя должно начинаться с латинской "
                   "буквы и состоять только из латинских букв, цифр и знаков «_», "
                   "«$», «#».")
            .arg(Shown(user), what);
    }
    const int limit = MaxNameBytes(db_to, version);
    const QString name = TargetUserName(db_to, user);
    if (name.toUtf8().size() > limit) {
        return QStringLiteral(
                   "Имя %1 длиннее %2 байт: сервер конечной БД принимает имена не "
                   "длиннее %2 байт.")
            .arg(Shown(user))
            .arg(limit);
    }
    if (db_to == kDbOracle) {
        if (OraReservedWords().contains(name)) {
            return QStringLiteral(
                       "Имя %1 — зарезервированное слово Oracle и не может быть "
                       "именем пользователя.")
                .arg(Shown(user));
        }
        if (name == QLatin1String("SYS") || name == QLatin1String("SYSTEM")) {
            return QStringLiteral(
                       "Пользователь %1 — служебный пользователь Oracle; его нельзя "
                       "удалить и создать заново. Укажите другое имя.")
                .arg(Shown(name));
        }
        return QString();
    }
    const QString stored = LowerLatin(TSqlNames(kDbPostgres).Stored(user));
    if (stored == QLatin1String("postgres") || stored == QLatin1String("template0") ||
        stored == QLatin1String("template1")) {
        return QStringLiteral(
                   "Имя %1 занято служебной базой данных сервера (postgres, template0, "
                   "template1); её нельзя удалить и создать заново. Укажите другое "
                   "имя.")
            .arg(Shown(user));
    }
    return QString();
}

bool IsWindowsServer(const QString& version) {
    const QString lower = LowerLatin(version);
    return lower.contains(QLatin1String("windows")) || lower.contains(QLatin1String("mingw")) ||
           lower.contains(QLatin1String("visual c++"));
}

const QString kPgTableCountSql = QStringLiteral(
    "SELECT COUNT(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
    " WHERE c.relkind IN ('r', 'p') AND n.nspname NOT IN ('pg_catalog', 'information_schema')"
    " AND left(n.nspname, 3) <> 'pg_'");

const QString kPgLocaleSql = QStringLiteral(
    "SELECT COALESCE("
    "(SELECT collcollate FROM pg_collation WHERE collprovider = 'c'"
    " AND collencoding = pg_char_to_encoding('UTF8') AND collcollate LIKE 'ru\\_RU%'"
    " ORDER BY collcollate LIMIT 1),"
    "(SELECT datcollate FROM pg_database WHERE datname = 'template0'"
    " AND (encoding = pg_char_to_encoding('UTF8') OR datcollate IN ('C', 'POSIX'))"
    " AND datcollate = datctype),"
    "(SELECT collcollate FROM pg_collation WHERE collprovider = 'c'"
    " AND collencoding = pg_char_to_encoding('UTF8') AND collcollate IN ('C.UTF-8', 'C.utf8')"
    " ORDER BY collcollate LIMIT 1),"
    "'C')");

QString PgRoleRightsSql(const QString& user) {
    return "SELECT rolsuper OR rolcreaterole FROM pg_roles WHERE rolname = " +
           PgLiteral(TSqlNames(kDbPostgres).Stored(user));
}

QString PgDatabaseSizeSql(const QString& user) {
    return "SELECT pg_database_size(oid) FROM pg_database WHERE datname = " +
           PgLiteral(TSqlNames(kDbPostgres).Stored(user));
}

QString PgCreateDatabaseSql(const QString& user, const QString& locale) {
    const QString name = TSqlNames(kDbPostgres).Name(user);
    const QString collation =
        PgLiteral(locale.isEmpty() ? QStringLiteral("Russian_Russia.1251") : locale);
    return "CREATE DATABASE " + name + " WITH OWNER = " + name + " ENCODING = 'UTF8'" +
           " LC_COLLATE = " + collation + " LC_CTYPE = " + collation + " TEMPLATE = template0" +
           " TABLESPACE = pg_default" + " CONNECTION LIMIT = -1";
}

QStringList PgCreateStatements(const QString& user, const QString& password,
                               const QString& locale) {
    const QString name = TSqlNames(kDbPostgres).Name(user);
    return {
        "DROP DATABASE IF EXISTS " + name,
        "DROP ROLE IF EXISTS " + name,
        "CREATE ROLE " + name + " WITH LOGIN NOSUPERUSER INHERIT " +
            "NOCREATEDB NOCREATEROLE NOREPLICATION PASSWORD " + PgLiteral(password),
        PgCreateDatabaseSql(user, locale),
    };
}

QString PgOwnerSql(const QString& user) {
    // Tables first: each takes its indexes and the sequences of its serial and identity columns
    // along; what is left (free sequences, views) goes by its own kind.
    const QString owner = PgLiteral(TSqlNames(kDbPostgres).Stored(user));
    const QString relations =
        "SELECT c.oid::regclass AS name, c.relkind FROM pg_class c"
        " JOIN pg_namespace n ON n.oid = c.relnamespace"
        " WHERE n.nspname NOT IN ('pg_catalog', 'information_schema')"
        " AND left(n.nspname, 3) <> 'pg_' AND c.relowner <> (SELECT oid FROM pg_roles WHERE "
        "rolname = " +
        owner + ") AND c.relkind IN ";
    const QString body =
        "DECLARE r record; BEGIN"
        " FOR r IN " +
        relations +
        "('r', 'p') LOOP"
        " EXECUTE format('ALTER TABLE %s OWNER TO %I', r.name, " +
        owner +
        "); END LOOP;"
        " FOR r IN " +
        relations +
        "('S', 'v', 'm', 'f') LOOP"
        " EXECUTE format(CASE r.relkind WHEN 'S' THEN 'ALTER SEQUENCE %s OWNER TO %I'"
        " WHEN 'v' THEN 'ALTER VIEW %s OWNER TO %I'"
        " WHEN 'm' THEN 'ALTER MATERIALIZED VIEW %s OWNER TO %I'"
        " ELSE 'ALTER FOREIGN TABLE %s OWNER TO %I' END, r.name, " +
        owner + "); END LOOP; END";
    return "DO " + PgLiteral(body);
}

QStringList PgGrantStatements(const QString& user) {
    const QString name = TSqlNames(kDbPostgres).Name(user);
    return {
        "GRANT ALL PRIVILEGES ON DATABASE " + name + " TO " + name,
        "GRANT ALL PRIVILEGES ON ALL TABLES IN SCHEMA public TO " + name,
        "GRANT ALL PRIVILEGES ON ALL SEQUENCES IN SCHEMA public TO " + name,
    };
}

QString PgTargetConnectionString(const QString& connect_to, const QString& user) {
    return SetConnectKey(connect_to, TConnectKey::Database, TSqlNames(kDbPostgres).Stored(user));
}

QString OraExistingUserSql(const QString& user, const QString& version) {
    const QString name = OraLiteral(TargetUserName(kDbOracle, user));
    const int major = FirstNumber(version);
    const QString maintained =
        major >= 12 ? QStringLiteral("u.oracle_maintained") : QStringLiteral("'N'");
    return "SELECT " + maintained +
           ", (SELECT COUNT(*) FROM dba_tables WHERE owner = u.username)"
           ", (SELECT NVL(SUM(bytes), 0) FROM dba_segments WHERE owner = u.username)"
           " FROM dba_users u WHERE u.username = " +
           name;
}

QList<TSqlStep> OraCreateUserSteps(const QString& user, const QString& password, bool grant_dba) {
    const QString name = TSqlNames(kDbOracle).Name(TargetUserName(kDbOracle, user));
    QList<TSqlStep> steps = {
        {"CREATE PROFILE c##qor_prof LIMIT CPU_PER_SESSION UNLIMITED CPU_PER_CALL UNLIMITED "
         "CONNECT_TIME UNLIMITED IDLE_TIME UNLIMITED SESSIONS_PER_USER UNLIMITED "
         "LOGICAL_READS_PER_SESSION UNLIMITED LOGICAL_READS_PER_CALL UNLIMITED PRIVATE_SGA "
         "UNLIMITED COMPOSITE_LIMIT UNLIMITED PASSWORD_LIFE_TIME UNLIMITED PASSWORD_GRACE_TIME "
         "UNLIMITED PASSWORD_REUSE_MAX UNLIMITED PASSWORD_REUSE_TIME UNLIMITED "
         "PASSWORD_VERIFY_FUNCTION NULL FAILED_LOGIN_ATTEMPTS UNLIMITED PASSWORD_LOCK_TIME "
         "UNLIMITED",
         true},
        {"DROP USER " + name + " CASCADE", true},
        {"CREATE USER " + name + " IDENTIFIED BY " + OraPassword(password) +
             " DEFAULT TABLESPACE USERS TEMPORARY TABLESPACE TEMP " + "PROFILE c##qor_prof" +
             " ACCOUNT UNLOCK QUOTA UNLIMITED ON USERS",
         false},
        {"GRANT CREATE SESSION, CREATE TABLE, CREATE SEQUENCE, CREATE TRIGGER, CREATE VIEW, "
         "CREATE PROCEDURE TO " +
             name,
         false},
    };
    if (grant_dba) {
        steps.append({"GRANT DBA TO " + name, false});
        steps.append({"ALTER USER " + name + " DEFAULT ROLE ALL", false});
    }
    return steps;
}

QString OraTargetConnectionString(const QString& connect_to, const QString& user,
                                  const QString& password) {
    // As typed: Oracle folds an unquoted login itself (and so does nothing else the string may
    // reach, such as the dictionary emulation on PostgreSQL).
    const QString with_user = SetConnectKey(connect_to, TConnectKey::User, user);
    return SetConnectKey(with_user, TConnectKey::Password, password);
}

QStringList SplitOraScript(const QString& script) {
    QStringList parts = script.split(QLatin1Char('%'));
    parts.removeLast();  // the text after the last "%" (or the whole text without one)
    return parts;
}

void ExecuteScriptStatement(TDbQuery& query_to, const QString& sql) {
    query_to.SetText(sql);
    query_to.ExecSQL();
    if (!query_to.Warnings().isEmpty()) {
        throw TError(query_to.Warnings().join(u'\n'));
    }
}

TTargetResult CreateTarget(const TTargetSpec& spec, TDbConnection& connection_to,
                           TDbQuery& query_to, const std::function<void()>& prepare_copy,
                           TQuestions* questions) {
    TTargetResult result;
    TTrace trace;
    QString message;
    try {
        Reconnect(connection_to, trace, QStringLiteral("подключение к серверу конечной БД"),
                  spec.connect_to);
        bool go_on = true;
        if (spec.db_to == kDbPostgres) {
            go_on = CreatePostgres(spec, connection_to, query_to, questions, trace, result);
        } else if (spec.db_to == kDbOracle) {
            go_on = CreateOracle(spec, connection_to, query_to, questions, trace, result);
        }
        if (!go_on) {
            result.cancelled = true;
            result.error = CancelledText(spec);
            return result;
        }
        // The preparation's own message says what failed.
        trace.Set(QString());
        if (prepare_copy) {
            prepare_copy();
        }
        result.after_copy = ScriptAfterCopy(spec.script);
        result.ok = true;
        return result;
    } catch (const TRefusal& e) {
        result.error = MaskSecrets(e.Message());
        return result;
    } catch (const TError& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    }
    result.error = MaskSecrets(
        trace.What().isEmpty() ? message : message + QStringLiteral(": ") + trace.What());
    return result;
}
