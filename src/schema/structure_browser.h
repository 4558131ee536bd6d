#pragma once
// Display rows of the structure browser, rebuilt from the table model every time: the browser
// keeps no data of its own. Pure functions; user-interface thread.

#include <QList>
#include <QStringList>

#include "schema/table_model.h"

// One row per table: name, row count, primary-key column list.
QList<QStringList> TableListRows(const TTables& tables);
// Sum of the row counts. Kept 64-bit so that large schemas do not wrap into a negative total.
qint64 SumRows(const TTables& tables);
// Rows "name, PK|UK|FK, table" for every named key of every table, sorted by key name.
QList<QStringList> KeyRows(const TTables& tables);
// Details of one table: its columns, unique keys and foreign keys.
QList<QStringList> FieldRows(const TTableRec& table);
QList<QStringList> UniqueKeyRows(const TTableRec& table);
QList<QStringList> ForeignKeyRows(const TTableRec& table);

// Position of the first table with exactly this name, or -1. The lists find their tables by
// name because the model is reordered later while the rows stay.
int FindTable(const TTables& tables, const QString& name);
