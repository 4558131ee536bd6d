#include "ddl/target_create.h"

#include <exception>

#include "db/odbc.h"
#include "ddl/script_gen.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

const QString kQuote = QStringLiteral("\"");

QString Quoted(const QString& text) {
    return QLatin1Char('\'') + DoubleChar(text, QLatin1Char('\'')) + QLatin1Char('\'');
}

// Field 0 of the first row of a query on query_to, or the empty text when there is no row.
QString FirstValue(TDbQuery& query_to, const QString& sql) {
    query_to.SetText(sql);
    query_to.Open();
    QString value;
    if (!query_to.Eof()) {
        value = query_to.Field(0).AsString();
    }
    query_to.Close();
    return value;
}

void Execute(TDbQuery& query_to, const QString& sql) {
    query_to.SetText(sql);
    query_to.ExecSQL();
}

void Reconnect(TDbConnection& connection_to, const QString& connection_string) {
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

void CreatePostgres(const TTargetSpec& spec, TDbConnection& connection_to, TDbQuery& query_to,
                    TTargetResult& result) {
    result.version = FirstValue(query_to, kPgVersionSql);
    QString locale;
    if (!IsWindowsServer(result.version)) {
        locale = FirstValue(query_to, kPgLocaleSql);
        if (locale.isEmpty()) {
            locale = QStringLiteral("C");
        }
    }
    for (const QString& sql : PgCreateStatements(spec.user, spec.password, locale)) {
        Execute(query_to, sql);
    }
    Reconnect(connection_to, PgTargetConnectionString(spec.connect_to, spec.user));
    {
        TParamCheckOff off(query_to);
        Execute(query_to, SplitAfterCopy(spec.script).before_copy);
    }
    for (const QString& sql : PgGrantStatements(spec.user)) {
        Execute(query_to, sql);
    }
}

void CreateOracle(const TTargetSpec& spec, TDbConnection& connection_to, TDbQuery& query_to,
                  TTargetResult& result) {
    result.version = FirstValue(query_to, kOraVersionSql);
    for (const TSqlStep& step : OraCreateUserSteps(spec.user, spec.password)) {
        if (!step.ignore_error) {
            Execute(query_to, step.sql);
            continue;
        }
        try {
            Execute(query_to, step.sql);
        } catch (const TError&) {
            // Expected when the object is left from an earlier run or does not exist yet.
        }
    }
    Reconnect(connection_to, OraTargetConnectionString(spec.connect_to, spec.user, spec.password));
    TParamCheckOff off(query_to);
    for (const QString& sql : SplitOraScript(SplitAfterCopy(spec.script).before_copy)) {
        Execute(query_to, sql);
    }
}

}  // namespace

bool IsWindowsServer(const QString& version) {
    const QString lower = LowerLatin(version);
    return lower.contains(QLatin1String("windows")) || lower.contains(QLatin1String("mingw")) ||
           lower.contains(QLatin1String("visual c++"));
}

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

QString PgCreateDatabaseSql(const QString& user, const QString& locale) {
    if (locale.isEmpty()) {
        return "CREATE DATABASE " + user + " WITH OWNER = " + user + " ENCODING = 'UTF8'" +
               " LC_COLLATE = 'Russian_Russia.1251'" + " LC_CTYPE = 'Russian_Russia.1251'" +
               " TABLESPACE = pg_default" + " CONNECTION LIMIT = -1";
    }
    return "CREATE DATABASE " + user + " WITH OWNER = " + user + " ENCODING = 'UTF8'" +
           " LC_COLLATE = " + Quoted(locale) + " LC_CTYPE = " + Quoted(locale) +
           " TEMPLATE = template0" + " TABLESPACE = pg_default" + " CONNECTION LIMIT = -1";
}

QStringList PgCreateStatements(const QString& user, const QString& password,
                               const QString& locale) {
    return {
        "DROP DATABASE IF EXISTS " + user,
        "DROP ROLE IF EXISTS " + user,
        "CREATE ROLE " + user + " WITH LOGIN NOSUPERUSER INHERIT " +
            "NOCREATEDB NOCREATEROLE NOREPLICATION PASSWORD '" + password + "'",
        PgCreateDatabaseSql(user, locale),
    };
}

QStringList PgGrantStatements(const QString& user) {
    return {
        "GRANT ALL PRIVILEGES ON DATABASE " + user + " TO " + user,
        "GRANT ALL PRIVILEGES ON ALL TABLES IN SCHEMA public TO " + user,
        "GRANT ALL PRIVILEGES ON ALL SEQUENCES IN SCHEMA public TO " + user,
    };
}

QString PgTargetConnectionString(const QString& connect_to, const QString& user) {
    return ReplaceAll(connect_to, QStringLiteral("DATABASE=postgres"),
                      "DATABASE=" + LowerLatin(user));
}

QList<TSqlStep> OraCreateUserSteps(const QString& user, const QString& password) {
    return {
        {"alter session set " + kQuote + "_oracle_script" + kQuote + "=true", true},
        {"CREATE PROFILE c##qor_prof LIMIT CPU_PER_SESSION UNLIMITED CPU_PER_CALL UNLIMITED "
         "CONNECT_TIME UNLIMITED IDLE_TIME UNLIMITED SESSIONS_PER_USER UNLIMITED "
         "LOGICAL_READS_PER_SESSION UNLIMITED LOGICAL_READS_PER_CALL UNLIMITED PRIVATE_SGA "
         "UNLIMITED COMPOSITE_LIMIT UNLIMITED PASSWORD_LIFE_TIME UNLIMITED PASSWORD_GRACE_TIME "
         "UNLIMITED PASSWORD_REUSE_MAX UNLIMITED PASSWORD_REUSE_TIME UNLIMITED "
         "PASSWORD_VERIFY_FUNCTION NULL FAILED_LOGIN_ATTEMPTS UNLIMITED PASSWORD_LOCK_TIME "
         "UNLIMITED",
         true},
        {"DROP USER " + user + " CASCADE", true},
        {"CREATE USER " + user + " IDENTIFIED BY " + kQuote + password + kQuote +
             " DEFAULT TABLESPACE USERS TEMPORARY TABLESPACE TEMP " + "PROFILE c##qor_prof" +
             " ACCOUNT UNLOCK QUOTA UNLIMITED ON USERS",
         false},
        {"GRANT CREATE SESSION TO " + user, false},
        {"GRANT UNLIMITED TABLESPACE TO " + user, false},
        {"GRANT DBA TO " + user, false},
        {"ALTER USER " + user + " DEFAULT ROLE ALL", false},
    };
}

QString OraTargetConnectionString(const QString& connect_to, const QString& user,
                                  const QString& password) {
    const QChar semicolon = QLatin1Char(';');
    const QString with_user = SetKeyValue(connect_to, QStringLiteral("User ID="), user, semicolon);
    return SetKeyValue(with_user, QStringLiteral("Password="), password, semicolon);
}

QStringList SplitOraScript(const QString& script) {
    QStringList parts = script.split(QLatin1Char('%'));
    parts.removeLast();  // the text after the last "%" (or the whole text without one)
    return parts;
}

TScriptParts SplitAfterCopy(const QString& script) {
    const QString marker = kAfterCopyMarker.trimmed();
    qsizetype start = 0;
    while (start <= script.size()) {
        qsizetype end = script.indexOf(u'\n', start);
        if (end < 0) {
            end = script.size();
        }
        if (QStringView(script).mid(start, end - start).trimmed() == marker) {
            return {script.left(start), script.mid(std::min(end + 1, script.size()))};
        }
        start = end + 1;
    }
    return {script, QString()};
}

TTargetResult CreateTarget(const TTargetSpec& spec, TDbConnection& connection_to,
                           TDbQuery& query_to, const std::function<void()>& prepare_copy) {
    TTargetResult result;
    QString message;
    try {
        Reconnect(connection_to, spec.connect_to);
        if (spec.db_to == kDbPostgres) {
            CreatePostgres(spec, connection_to, query_to, result);
        } else if (spec.db_to == kDbOracle) {
            CreateOracle(spec, connection_to, query_to, result);
        }
        if (prepare_copy) {
            prepare_copy();
        }
        result.after_copy = SplitAfterCopy(spec.script).after_copy;
        result.ok = true;
        return result;
    } catch (const TError& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    }
    result.error = spec.db_to == kDbOracle ? message + ": " + query_to.Text() : message;
    return result;
}
