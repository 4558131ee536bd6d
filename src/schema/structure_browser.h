#pragma once
// Display rows of the structure browser, rebuilt from the table model every time: the browser
// keeps no data of its own. Pure functions; user-interface thread.

#include <QList>
#include <QStringList>

#include "schema/table_model.h"

// One row per table: name, row count, primary-key column list, comment.
QList<QStringList> TableListRows(const TTables& tables);
// Sum of the row counts. Kept 64-bit so that large schemas do not wrap into a negative total.
qint64 SumRows(const TTables& tables);
// Rows "name, PK|UK|FK, table, state" for every named key of every table, sorted by key name.
QList<QStringList> KeyRows(const TTables& tables);
// Details of one table: its columns (name, type, size, null, default or the expression of a
// virtual column, autoincrement or identity, new name, what the rows hold, comment), unique
// keys (name, columns, state), foreign keys (name, columns, reference, state), indexes (name,
// unique, columns with the expressions in place) and checks (name, condition, state).
QList<QStringList> FieldRows(const TTableRec& table);
QList<QStringList> UniqueKeyRows(const TTableRec& table);
QList<QStringList> ForeignKeyRows(const TTableRec& table);
QList<QStringList> IndexRows(const TTableRec& table);
QList<QStringList> CheckRows(const TTableRec& table);
// One row per sequence: name, next value, increment, minimum, maximum, cycle, cache.
QList<QStringList> SequenceRows(const TSequences& sequences);

// A constraint Oracle does not enforce: "отключено" (disabled), "не проверено" (enabled
// without checking the rows already there); empty for an enforced one.
QString ConstraintState(bool enabled, bool validated);
// What the rows of a profiled number column hold, e.g. "целые, до 12" or "дробные, до 3.75";
// empty for a column that was not profiled.
QString ProfileText(const TNumberProfile& profile);

// Position of the first table with exactly this name, or -1. The lists find their tables by
// name because the model is reordered later while the rows stay.
int FindTable(const TTables& tables, const QString& name);
