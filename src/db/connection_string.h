#pragma once
// Translation of the three connection-string forms the operator types or builds (an ODBC
// bridge string with its ODBC string in "Extended Properties", and two Oracle provider forms)
// into one ODBC connection string for the driver manager. Pure text work: what is installed is
// passed in. Used on the user-interface thread.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include "db/sql_text.h"

struct TOdbcDataSource {
    QString name;
    // The name of the data source's driver, as the driver manager describes it.
    QString driver;
};

// What the ODBC driver manager knows: data sources (user and system) and driver names.
struct TOdbcInstalled {
    QList<TOdbcDataSource> data_sources;
    QStringList drivers;
    // The library file of a driver by its name (the "Driver" line of odbcinst.ini), where known.
    QHash<QString, QString> driver_libraries;
};

// Asks the driver manager for its data sources and drivers (the binding implements it).
TOdbcInstalled InstalledOdbc();

// One key/value pair of a connection string, the key as written and the value unquoted.
struct TConnectPair {
    QString key;
    QString value;
};

// Splits "key=value;key=value" into pairs. Blanks and line breaks around pairs are dropped;
// a value may be quoted with '"' or '\'' (the quote doubled inside) or, in ODBC strings, with
// braces. Raises TError on an unbalanced quote or brace.
QList<TConnectPair> ParseConnectString(const QString& text);

// What a connection string becomes for the driver manager.
struct TOdbcTranslation {
    QString odbc;
    // The text is one of the Oracle provider forms.
    bool oracle_form = false;
    // The installed Oracle driver the text is handed to, when no data source of that name
    // exists (for the journal: which of several drivers was taken).
    QString oracle_driver;
};

// The ODBC connection string for the text. Raises TError (in the operator's language) when the
// text is malformed, names no or an unknown provider, or needs an Oracle driver that is not
// installed.
TOdbcTranslation TranslateConnect(const QString& text, const TOdbcInstalled& installed);
QString TranslateConnectString(const QString& text, const TOdbcInstalled& installed);

// The login and database values a connection string can be given.
enum class TConnectKey { Database = 0, User = 1, Password = 2 };

// The connection string with one value set, the rest of the text as written: in the bridge
// form inside the ODBC string of "Extended Properties" (DATABASE, UID or PWD, any spelling
// the driver takes; the ODBC string stays in its quotes, with them doubled inside), or among
// the bridge's own pairs when it has none; in the Oracle forms "User ID" or "Password" (an
// Oracle string has no database to set and is left alone for it). A key that is missing is
// added. Values are written by OdbcValue. A text without a provider is returned unchanged.
// Raises TError when the text is malformed.
QString SetConnectKey(const QString& text, TConnectKey key, const QString& value);

// The value of the first pair of that key (any letter case), unquoted; empty when there is
// none. Raises TError when the text is malformed.
QString ConnectValue(const QString& text, const QString& key);

// Of the drivers whose name contains "Oracle" (any letter case), the one of the highest version
// in its name ("Oracle 19 ODBC driver" is 19, "Oracle in instantclient_21_12" is 21.12); the
// first listed among equals; empty when there is none.
QString NewestOracleDriver(const QStringList& drivers);

// What to check when an installed Oracle driver does not load (its library, libaio, the
// odbcinst.ini entry), for the message of the failed connection.
QString OracleDriverHint(const QString& driver, const QString& library);
