#include "testbed.h"

#include <QFile>
#include <QHash>
#include <QTextStream>
#include <stdexcept>

#include "db/odbc.h"

namespace testbed {
namespace {

// The driver manager must find the test bed's odbcinst.ini and odbc.ini. The ctest fixture
// sets these, but with CMake 3.25 only the first variable of the discovered tests' environment
// list arrives, so they are derived from the test-bed folder when missing.
const bool kOdbcPathsSet = [] {
    const QByteArray dir = qgetenv("SKERROW_TESTBED");
    if (!dir.isEmpty()) {
        if (qgetenv("ODBCSYSINI").isEmpty()) {
            qputenv("ODBCSYSINI", dir);
        }
        if (qgetenv("ODBCINI").isEmpty()) {
            qputenv("ODBCINI", dir + "/odbc.ini");
        }
    }
    return true;
}();

QHash<QString, QString> ReadEnv() {
    const QString dir = qEnvironmentVariable("SKERROW_TESTBED");
    if (dir.isEmpty()) {
        throw std::runtime_error(
            "SKERROW_TESTBED is not set: run the database tests through "
            "ctest, which starts the test bed");
    }
    QFile file(dir + QStringLiteral("/testbed.env"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        throw std::runtime_error("no testbed.env in " + dir.toStdString() +
                                 ": is the test bed started?");
    }
    QHash<QString, QString> values;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0) {
            values.insert(line.left(eq), line.mid(eq + 1));
        }
    }
    return values;
}

const QHash<QString, QString>& Env() {
    static const QHash<QString, QString> env = ReadEnv();
    return env;
}

}  // namespace

int Port() {
    return Env().value(QStringLiteral("PGPORT")).toInt();
}

QString Password() {
    return Env().value(QStringLiteral("PGPASSWORD"));
}

QString BridgeString(const QString& data_source, const QString& database, const QString& password) {
    QString text =
        QStringLiteral(
            "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DSN=") +
        data_source + QStringLiteral(";SERVER=127.0.0.1;PORT=") + QString::number(Port()) +
        QStringLiteral(";UID=postgres");
    if (!password.isEmpty()) {
        text += QStringLiteral(";PASSWORD=") + password;
    }
    text += QStringLiteral(
        ";DATABASE=postgres;SSLmode=disable;ReadOnly=0;"
        "Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;"
        "RowVersioning=0;ShowSystemTables=0;Fetch=100;"
        "UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;"
        "Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;"
        "UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;"
        "ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;"
        "TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;"
        "UseServerSidePrepare=1;LowerCaseIdentifier=0;D6=-101;"
        "OptionalErrors=0;FetchRefcursors=0;XaOpt=1\"");
    // Other databases are reached the way the wizard does it: by replacing this one text.
    text.replace(QStringLiteral("DATABASE=postgres"), QStringLiteral("DATABASE=") + database);
    return text;
}

QString OraOleDbString(const QString& data_source, const QString& user, const QString& password) {
    return QStringLiteral("Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=") +
           user + QStringLiteral(";Data Source=") + data_source + QStringLiteral(";Password=") +
           password;
}

QString MsdaoraString(const QString& data_source, const QString& user, const QString& password) {
    return QStringLiteral("Provider=MSDAORA.1;Password=") + password + QStringLiteral(";User ID=") +
           user + QStringLiteral(";Data Source=") + data_source;
}

void AdminExec(const QString& sql, const QString& database) {
    TDbConnection connection;
    connection.SetConnectionString(BridgeString(QStringLiteral("PostgreSQL_Test"), database));
    connection.Open();
    TDbQuery query(connection);
    query.SetText(sql);
    query.ExecSQL();
}

void CreateDatabase(const QString& name) {
    DropDatabase(name);
    AdminExec(QStringLiteral("CREATE DATABASE ") + name);
}

void DropDatabase(const QString& name) {
    AdminExec(QStringLiteral("DROP DATABASE IF EXISTS ") + name + QStringLiteral(" WITH (FORCE)"));
}

}  // namespace testbed
