#include "app/demo_settings.h"

#include <QFile>
#include <QRegularExpression>

#include "db/connect_string_builder.h"
#include "util/error.h"

namespace {

// The server part of a string built for the demo's PostgreSQL data source; the port follows.
QRegularExpression DemoPortPattern() {
    return QRegularExpression(QStringLiteral("(DSN=") +
                                  QRegularExpression::escape(QLatin1String(kDemoPgSource)) +
                                  QStringLiteral(";SERVER=127\\.0\\.0\\.1;PORT=)(\\d*)"),
                              QRegularExpression::CaseInsensitiveOption);
}

}  // namespace

TDemoServer ReadDemoServer(const QString& env_file) {
    QFile file(env_file);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        throw TFileError(QStringLiteral("The demo is not started: cannot read ") + env_file);
    }
    TDemoServer server;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            continue;
        }
        const QString key = line.left(eq);
        if (key == QLatin1String("PGPORT")) {
            server.port = line.mid(eq + 1).toInt();
        } else if (key == QLatin1String("PGPASSWORD")) {
            server.admin_password = line.mid(eq + 1);
        }
    }
    if (server.port <= 0 || server.port > 65535) {
        throw TFileError(QStringLiteral("No server port in ") + env_file);
    }
    return server;
}

TSettingsValues DemoSettingsValues(const TDemoServer& server) {
    TConnectStringFields source;
    source.provider = kProviderOraOleDb;
    source.db_oracle = QLatin1String(kDemoOraSource);
    source.user_oracle = QLatin1String(kDemoOraUser);
    source.password_oracle = QLatin1String(kDemoOraPassword);

    TConnectStringFields target;
    target.provider = kProviderPostgres;
    target.source = QLatin1String(kDemoPgSource);
    // The server listens on the loopback address only.
    target.server = QStringLiteral("127.0.0.1");
    target.port = QString::number(server.port);
    target.user_postgres = QLatin1String(kDemoPgAdmin);
    target.password_postgres = server.admin_password;

    TSettingsValues values;
    values.connect_from = BuildConnectString(source);
    values.connect_to = BuildConnectString(target);
    values.user = QLatin1String(kDemoTargetUser);
    values.password = QLatin1String(kDemoTargetPassword);
    return values;
}

bool PointsAtDemo(const TSettingsValues& values) {
    const QRegularExpression ora_source(
        QStringLiteral("Data Source\\s*=\\s*") +
            QRegularExpression::escape(QLatin1String(kDemoOraSource)) + QStringLiteral("\\s*(;|$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression pg_source(
        QStringLiteral("DSN\\s*=\\s*") + QRegularExpression::escape(QLatin1String(kDemoPgSource)) +
            QStringLiteral("\\s*(;|\"|$)"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString* text : {&values.connect_from, &values.connect_to}) {
        if (ora_source.match(*text).hasMatch() || pg_source.match(*text).hasMatch()) {
            return true;
        }
    }
    return false;
}

bool RefreshDemoPort(TSettingsValues& values, int port) {
    QString text = values.connect_to;
    text.replace(DemoPortPattern(), QStringLiteral("\\1") + QString::number(port));
    if (text == values.connect_to) {
        return false;
    }
    values.connect_to = text;
    return true;
}
