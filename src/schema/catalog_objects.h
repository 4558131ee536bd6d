#pragma once
// The parts of the catalog read that come after the keys: row counts with the profile of the
// number columns, checks, indexes, comments and sequences. Called by ReadStructFrom only;
// user-interface thread.

#include <QList>
#include <QString>
#include <functional>

#include "schema/table_model.h"

class TDbQuery;

// The model's table of a catalog row's table name, or null for a table not in the model.
using TFindTable = std::function<TTableRec*(const QString&)>;
// Whether a catalog row's owner is ours.
using TOwnerPasses = std::function<bool(const QString&)>;

// Counts the table's rows and, in the same statement, profiles its columns whose entry in
// `profiled` is true: whether a value has a fraction, and the largest absolute value.
void CountAndProfile(TDbQuery& query, TTableRec& table, const QList<bool>& profiled);

// Check constraints of any state, without the NOT NULL checks Oracle keeps for NOT NULL
// columns.
void ReadChecks(TDbQuery& query, const TFindTable& find_table);

// Indexes that no primary or unique key made, with their columns and expressions.
void ReadIndexes(TDbQuery& query, const TOwnerPasses& owned, const TFindTable& find_table);

// Comments of tables and columns.
void ReadComments(TDbQuery& query, const TFindTable& find_table);

// Standalone sequences; from release 12 on, those of identity columns are left out.
TSequences ReadSequences(TDbQuery& query, int release);
