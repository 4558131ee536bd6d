#include "db/connect_string_fields.h"

#include "db/connection_string.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

const TConnectPair* Find(const QList<TConnectPair>& pairs, const QStringList& keys) {
    for (const TConnectPair& pair : pairs) {
        const QString key = UpperLatin(pair.key.simplified());
        for (const QString& wanted : keys) {
            if (key == UpperLatin(wanted)) {
                return &pair;
            }
        }
    }
    return nullptr;
}

void Take(const QList<TConnectPair>& pairs, const QStringList& keys, QString& field) {
    if (const TConnectPair* pair = Find(pairs, keys)) {
        field = pair->value;
    }
}

}  // namespace

bool ReadConnectStringFields(const QString& text, TConnectStringFields& fields) {
    TConnectStringFields read = fields;
    try {
        const QList<TConnectPair> pairs = ParseConnectString(text);
        const TConnectPair* provider = Find(pairs, {QStringLiteral("Provider")});
        if (provider == nullptr) {
            return false;
        }
        const QString name = UpperLatin(provider->value.trimmed());
        if (name.startsWith(QStringLiteral("ORAOLEDB"))) {
            read.provider = kProviderOraOleDb;
        } else if (name.startsWith(QStringLiteral("MSDAORA"))) {
            read.provider = kProviderMsDaOra;
        } else if (name.startsWith(QStringLiteral("MSDASQL"))) {
            read.provider = kProviderPostgres;
        } else {
            return false;
        }
        if (read.provider != kProviderPostgres) {
            Take(pairs, {QStringLiteral("User ID")}, read.user_oracle);
            Take(pairs, {QStringLiteral("Password")}, read.password_oracle);
            Take(pairs, {QStringLiteral("Data Source")}, read.db_oracle);
        } else {
            // The ODBC string stands in Extended Properties; a string typed without it holds
            // its pairs among the bridge's own.
            const TConnectPair* extended = Find(pairs, {QStringLiteral("Extended Properties")});
            const QList<TConnectPair> odbc =
                extended != nullptr ? ParseConnectString(extended->value) : pairs;
            Take(odbc, {QStringLiteral("DSN")}, read.source);
            Take(odbc, {QStringLiteral("SERVER")}, read.server);
            Take(odbc, {QStringLiteral("PORT")}, read.port);
            Take(odbc, {QStringLiteral("UID"), QStringLiteral("User ID")}, read.user_postgres);
            read.password_postgres.clear();
            Take(odbc, {QStringLiteral("PASSWORD"), QStringLiteral("PWD")}, read.password_postgres);
        }
    } catch (const TError&) {
        return false;
    }
    fields = read;
    return true;
}
