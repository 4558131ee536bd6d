#pragma once
// Query helpers of the target-creation and copy tests, on top of the test bed's own helpers:
// statements and queries run as the superuser through our own database layer.

#include <QString>
#include <QStringList>

#include "testbed.h"

// Whether the tests run with a test bed (ctest sets SKERROW_TESTBED).
bool CopyTestbedAvailable();

// Runs statements one by one in a database as the superuser; raises TDbError.
void PgExec(const QString& database, const QStringList& statements);

// Field 0 of every row of a query, as text.
QStringList PgColumn(const QString& database, const QString& sql);
QString PgValue(const QString& database, const QString& sql);
