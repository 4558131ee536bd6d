#pragma once
// The throwaway PostgreSQL server the database tests run against (started by scripts/testbed.sh
// through the ctest fixture): its address, connection strings of the three forms the
// connection-string dialog builds, and a few administrative helpers.

#include <QString>

namespace testbed {

// Read from $SKERROW_TESTBED/testbed.env; a missing test bed fails the calling test.
int Port();
QString Password();

// The ODBC bridge form, exactly as the dialog builds it, for an ODBC data source of the test
// bed ("PostgreSQL_Test" reads whole results, "PostgreSQL_Stream" streams through a cursor).
// An empty password leaves out the password part, as the dialog does.
QString BridgeString(const QString& data_source = QStringLiteral("PostgreSQL_Test"),
                     const QString& database = QStringLiteral("postgres"),
                     const QString& password = Password());
// The Oracle provider forms; "ORA_PG" is a data source of the test bed on database postgres.
QString OraOleDbString(const QString& data_source = QStringLiteral("ORA_PG"),
                       const QString& user = QStringLiteral("postgres"),
                       const QString& password = Password());
QString MsdaoraString(const QString& data_source = QStringLiteral("ORA_PG"),
                      const QString& user = QStringLiteral("postgres"),
                      const QString& password = Password());

// Runs statements as the superuser on a database of the test bed, through our own binding.
void AdminExec(const QString& sql, const QString& database = QStringLiteral("postgres"));
// A fresh, empty database (dropped first when it exists).
void CreateDatabase(const QString& name);
void DropDatabase(const QString& name);

}  // namespace testbed
