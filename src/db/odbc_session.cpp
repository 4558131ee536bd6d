#include "db/odbc_session.h"

#include "db/odbc.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

// Values are fetched in forms that do not depend on these (numbers as checked text, date-times
// as structures); the settings make what the server itself converts to text unambiguous as
// well, and make key comparisons and ordering agree byte by byte. The zone makes values with
// the session's local zone read as UTC.
const QStringList& OracleStatements() {
    static const QStringList statements = {
        QStringLiteral("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'"),
        QStringLiteral("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'"),
        QStringLiteral("ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF6'"),
        QStringLiteral(
            "ALTER SESSION SET NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF6 TZH:TZM'"),
        QStringLiteral("ALTER SESSION SET NLS_SORT = BINARY"),
        QStringLiteral("ALTER SESSION SET NLS_COMP = BINARY"),
        QStringLiteral("ALTER SESSION SET TIME_ZONE = '+00:00'"),
    };
    return statements;
}

// The emulation's equivalents on PostgreSQL. Its sort order is the database's collation, which
// no session setting changes; the emulation's databases use a bytewise one.
const QStringList& EmulationStatements() {
    static const QStringList statements = {
        QStringLiteral("SET lc_numeric = 'C'"),
        QStringLiteral("SET DateStyle = 'ISO, YMD'"),
        QStringLiteral("SET TIME ZONE 'UTC'"),
    };
    return statements;
}

// Every PostgreSQL session runs in UTC: its driver delivers zoned values in the session's zone
// without an offset, and that zone must be known to write them back with one.
const QStringList& PostgresStatements() {
    static const QStringList statements = {QStringLiteral("SET TIME ZONE 'UTC'")};
    return statements;
}

}  // namespace

bool OracleCapabilitiesRequested() {
    const QString value = qEnvironmentVariable(kOdbcCapsVariable).trimmed();
    if (value.isEmpty()) {
        return false;
    }
    if (UpperLatin(value) == QLatin1String("ORACLE")) {
        return true;
    }
    throw TError(QStringLiteral("Неизвестное значение переменной окружения %1: «%2» "
                                "(допустимо только «oracle»).")
                     .arg(QLatin1String(kOdbcCapsVariable), value));
}

TSessionSetup SessionSetup(bool oracle_session, const QString& dbms_name) {
    const QString dbms = UpperLatin(dbms_name);
    const bool postgres = dbms.contains(QLatin1String("POSTGRES"));
    TSessionSetup setup;
    if (oracle_session && postgres) {
        setup.statements = EmulationStatements();
        setup.logged = OracleStatements();
        setup.utc = true;
        setup.emulated_oracle = true;
    } else if (oracle_session) {
        setup.statements = OracleStatements();
        setup.logged = OracleStatements();
        setup.utc = true;
    } else if (postgres) {
        setup.statements = PostgresStatements();
        setup.logged = PostgresStatements();
        setup.utc = true;
    }
    return setup;
}

void PrepareOracleClientEnvironment() {
    // The client's character set decides how Oracle's client converts text; anything but
    // UTF-8 loses the characters it does not hold. Language and territory stay the user's.
    const QString value = qEnvironmentVariable("NLS_LANG").trimmed();
    if (value.isEmpty()) {
        qputenv("NLS_LANG", "AMERICAN_AMERICA.AL32UTF8");
        return;
    }
    const qsizetype dot = value.lastIndexOf(u'.');
    const QString charset = dot < 0 ? QString() : UpperLatin(value.mid(dot + 1));
    if (charset == QLatin1String("AL32UTF8") || charset == QLatin1String("UTF8")) {
        return;
    }
    const QString language = dot < 0 ? value : value.left(dot);
    qputenv("NLS_LANG", (language + QStringLiteral(".AL32UTF8")).toLocal8Bit());
}
