#pragma once
// Translation of the three connection-string forms the operator types or builds (an ODBC
// bridge string with its ODBC string in "Extended Properties", and two Oracle provider forms)
// into one ODBC connection string for the driver manager. Pure text work: what is installed is
// passed in. Used on the user-interface thread.

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

// The ODBC connection string for the text. Raises TError (in the operator's language) when the
// text is malformed, names no or an unknown provider, or needs an Oracle driver that is not
// installed.
QString TranslateConnectString(const QString& text, const TOdbcInstalled& installed);
