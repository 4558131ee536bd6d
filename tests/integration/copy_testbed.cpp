#include "copy_testbed.h"

#include "db/odbc.h"

bool CopyTestbedAvailable() {
    return !qEnvironmentVariableIsEmpty("SKERROW_TESTBED");
}

void PgExec(const QString& database, const QStringList& statements) {
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", database));
    connection.Open();
    TDbQuery query(connection);
    for (const QString& sql : statements) {
        query.SetText(sql);
        query.ExecSQL();
    }
}

QStringList PgColumn(const QString& database, const QString& sql) {
    TDbConnection connection;
    connection.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", database));
    connection.Open();
    TDbQuery query(connection);
    query.SetText(sql);
    query.Open();
    QStringList values;
    for (; !query.Eof(); query.Next()) {
        values << query.Field(0).AsString();
    }
    return values;
}

QString PgValue(const QString& database, const QString& sql) {
    const QStringList values = PgColumn(database, sql);
    return values.isEmpty() ? QString() : values.first();
}
