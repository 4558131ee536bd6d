#include "db/connect_string_builder.h"

#include <sql.h>
#include <sqlext.h>

#include <QSettings>

#include "db/sql_text.h"
#include "util/text_utils.h"

QString BuildConnectString(const TConnectStringFields& f) {
    // Typed values as they are, unless one would end its pair (a ';', a brace, an '=', blanks
    // at its ends): then in braces, which the translation and the driver both read.
    switch (f.provider) {
        case kProviderOraOleDb:
            return QStringLiteral(
                       "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=") +
                   OdbcValue(f.user_oracle) + QStringLiteral(";Data Source=") +
                   OdbcValue(f.db_oracle) + QStringLiteral(";Password=") +
                   OdbcValue(f.password_oracle);
        case kProviderMsDaOra:
            return QStringLiteral("Provider=MSDAORA.1;Password=") + OdbcValue(f.password_oracle) +
                   QStringLiteral(";User ID=") + OdbcValue(f.user_oracle) +
                   QStringLiteral(";Data Source=") + OdbcValue(f.db_oracle);
        case kProviderPostgres: {
            QString s = QStringLiteral("DSN=") + OdbcValue(f.source) + QStringLiteral(";SERVER=") +
                        OdbcValue(f.server) + QStringLiteral(";PORT=") + OdbcValue(f.port) +
                        QStringLiteral(";UID=") + OdbcValue(f.user_postgres);
            if (!f.password_postgres.isEmpty()) {
                s += QStringLiteral(";PASSWORD=") + OdbcValue(f.password_postgres);
            }
            // Fixed options of the PostgreSQL ODBC driver, passed through unchanged.
            s += QStringLiteral(";DATABASE=postgres;SSLmode=disable;ReadOnly=0;");
            s += QStringLiteral("Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;");
            s += QStringLiteral("RowVersioning=0;ShowSystemTables=0;Fetch=100;");
            s += QStringLiteral("UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;");
            s += QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;");
            s += QStringLiteral("UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;");
            s += QStringLiteral("ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;");
            s += QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;");
            s += QStringLiteral("UseServerSidePrepare=1;LowerCaseIdentifier=0;D6=-101;");
            s += QStringLiteral("OptionalErrors=0;FetchRefcursors=0;XaOpt=1");
            // The ODBC string is one quoted value of the provider's string.
            return QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended "
                                  "Properties=") +
                   ConnectQuoted(s, u'"');
        }
        default:
            return QString();
    }
}

bool ButtonOkEnabled(const TConnectStringFields& f) {
    switch (f.provider) {
        case kProviderOraOleDb:
        case kProviderMsDaOra:
            return !f.db_oracle.isEmpty() && !f.user_oracle.isEmpty();
        case kProviderPostgres:
            return !f.source.isEmpty() && !f.user_postgres.isEmpty() && !f.port.isEmpty() &&
                   !f.server.isEmpty();
        default:
            return false;
    }
}

void LoadZentor(QSettings& settings, TConnectStringFields& f) {
    const QString provider_key = QStringLiteral("oracle_provider");
    if (settings.contains(provider_key) &&
        settings.value(provider_key).toString().contains(QLatin1String("MSDAORA"))) {
        f.provider = kProviderMsDaOra;
    }
    const QString pass_key = QStringLiteral("Pass");
    if (settings.contains(pass_key)) {
        f.password_oracle = settings.value(pass_key).toString();
    }
    const QString user_key = QStringLiteral("User");
    if (settings.contains(user_key)) {
        f.user_oracle = settings.value(user_key).toString();
    }
    const QString db_key = QStringLiteral("DB");
    if (settings.contains(db_key)) {
        f.db_oracle = settings.value(db_key).toString();
    }
}

namespace {

// Frees the environment handle on every way out.
class TEnvHandle {
public:
    TEnvHandle() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_))) {
            handle_ = SQL_NULL_HENV;
        }
    }
    ~TEnvHandle() {
        if (handle_ != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, handle_);
        }
    }
    TEnvHandle(const TEnvHandle&) = delete;
    TEnvHandle& operator=(const TEnvHandle&) = delete;
    SQLHENV Get() const { return handle_; }

private:
    SQLHENV handle_ = SQL_NULL_HENV;
};

}  // namespace

QStringList LoadOdbcList() {
    QStringList result;
    TEnvHandle env;
    if (env.Get() == SQL_NULL_HENV) {
        return result;
    }
    SQLSetEnvAttr(env.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  SQL_IS_INTEGER);
    SQLCHAR name[1024];
    SQLCHAR description[1024];
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT name_length = 0;
        SQLSMALLINT description_length = 0;
        const SQLRETURN ret = SQLDataSources(env.Get(), direction, name, sizeof(name), &name_length,
                                             description, sizeof(description), &description_length);
        // SQL_NO_DATA ends the list; a failure ends it too, or the loop would never stop.
        if (!SQL_SUCCEEDED(ret)) {
            break;
        }
        direction = SQL_FETCH_NEXT;
        // The description of a data source is the name of its driver.
        const QString driver = QString::fromLocal8Bit(reinterpret_cast<const char*>(description));
        if (UpperLatin(driver).contains(QLatin1String("POSTGRE"))) {
            result.append(QString::fromLocal8Bit(reinterpret_cast<const char*>(name)));
        }
    }
    return result;
}

bool ComboSourceEnabled(const QStringList& sources) {
    return sources.size() > 1;
}
