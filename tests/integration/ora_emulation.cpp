#include "ora_emulation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace {

QProcessEnvironment PsqlEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QFile file(QDir(qEnvironmentVariable("SKERROW_TESTBED")).filePath("testbed.env"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QByteArray& raw : file.readAll().split('\n')) {
            QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(QLatin1String("export "))) {
                line = line.mid(7).trimmed();
            }
            const qsizetype eq = line.indexOf(u'=');
            if (eq > 0) {
                env.insert(line.left(eq), line.mid(eq + 1));
            }
        }
    }
    return env;
}

QString PsqlProgram() {
    QString program = QStandardPaths::findExecutable(QStringLiteral("psql"));
    if (program.isEmpty()) {
        program = QStringLiteral("/usr/lib/postgresql/15/bin/psql");
    }
    return program;
}

// Returns the error text, empty on success; the output goes to *out.
QString RunPsql(const QStringList& args, QString* out = nullptr) {
    QProcess process;
    process.setProcessEnvironment(PsqlEnvironment());
    process.start(PsqlProgram(), QStringList{"-X", "-q", "-v", "ON_ERROR_STOP=1"} + args);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("psql did not finish: ") + process.errorString();
    }
    if (out != nullptr) {
        *out = QString::fromUtf8(process.readAllStandardOutput());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return QStringLiteral("psql failed (%1): %2")
            .arg(process.exitCode())
            .arg(QString::fromUtf8(process.readAllStandardError()));
    }
    return QString();
}

}  // namespace

bool OraEmulTestbedAvailable() {
    if (qEnvironmentVariableIsEmpty("SKERROW_TESTBED")) {
        return false;
    }
    // The driver manager must see the test bed's data sources even when only the test bed
    // folder reached the environment.
    const QDir dir(qEnvironmentVariable("SKERROW_TESTBED"));
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI")) {
        qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("ODBCINI")) {
        qputenv("ODBCINI", dir.filePath("odbc.ini").toLocal8Bit());
    }
    return true;
}

QString OraEmulTestbedValue(const QString& key) {
    return PsqlEnvironment().value(key);
}

QString OraEmulLoad() {
    QString exists;
    QString error = RunPsql(
        {"-d", "postgres", "-tAc", "SELECT 1 FROM pg_database WHERE datname = 'ora_src'"}, &exists);
    if (!error.isEmpty()) {
        return error;
    }
    if (exists.trimmed() != QLatin1String("1")) {
        error = RunPsql({"-d", "postgres", "-c", "CREATE DATABASE ora_src"});
        if (!error.isEmpty()) {
            return error;
        }
    }
    return RunPsql({"-d", "ora_src", "-f",
                    QDir(QStringLiteral(SKERROW_FIXTURES_DIR)).filePath("oracle_emulation.sql")});
}

QString OraEmulExec(const QString& sql) {
    return RunPsql({"-d", "ora_src", "-c", sql});
}

QString OraEmulConnectString(const TOraEmulUser& user, const char* dsn) {
    return QStringLiteral(
               "Provider=OraOLEDB.Oracle.1;Persist Security Info=False;User ID=%1;"
               "Data Source=%3;Password=%2")
        .arg(QLatin1String(user.user), QLatin1String(user.password), QLatin1String(dsn));
}

QString OraEmulConnectStringWithoutUser(const char* dsn) {
    return QStringLiteral("Provider=OraOLEDB.Oracle.1;Persist Security Info=False;Data Source=") +
           QLatin1String(dsn);
}
