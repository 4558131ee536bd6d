#pragma once
// Building connection strings for the three providers from a few fields, importing the Oracle
// fields from the related application's settings, and listing the ODBC data sources of
// PostgreSQL drivers. The dialog owns one TConnectStringFields and keeps it between uses.
// User-interface thread.

#include <QString>
#include <QStringList>

class QSettings;

// Provider indexes, in the order of the dialog's list.
enum TConnectProvider : int { kProviderOraOleDb = 0, kProviderMsDaOra = 1, kProviderPostgres = 2 };

struct TConnectStringFields {
    int provider = kProviderOraOleDb;
    QString db_oracle;  // becomes "Data Source"
    QString user_oracle;
    QString password_oracle;
    QString source;  // ODBC data source name
    QString server = QStringLiteral("localhost");
    QString port = QStringLiteral("5432");
    QString user_postgres = QStringLiteral("postgres");
    QString password_postgres;
};

// The connection string of the chosen provider. Texts go in as typed, except that a value that
// would end its pair is written in braces (OdbcValue) and the ODBC string of the PostgreSQL form
// has its double quotes doubled. Other parts of the program later find "DATABASE=", "User ID=",
// "Password=" and "Data Source" in it, so the keys are spelled exactly as here.
QString BuildConnectString(const TConnectStringFields& f);

// Whether the fields are complete enough to build a string; passwords may be empty.
bool ButtonOkEnabled(const TConnectStringFields& f);

// Takes the Oracle provider, user, password and database from the related application's
// settings ("oracle_provider", "User", "Pass", "DB"); missing values leave the fields alone.
// Reads only.
void LoadZentor(QSettings& settings, TConnectStringFields& f);

// Names of the ODBC data sources (user and system) whose driver is a PostgreSQL driver, in the
// order the driver manager lists them. Enumeration stops at the first failure; what was found
// until then is returned.
QStringList LoadOdbcList();

// The data-source list can be changed only when it offers a choice.
bool ComboSourceEnabled(const QStringList& sources);
