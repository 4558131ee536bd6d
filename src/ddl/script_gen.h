#pragma once
// The DDL script of the new database: the source's standalone sequences, one CREATE TABLE per
// table in dependency order with its primary and unique keys, comments, and on an Oracle target
// a sequence and a before-insert trigger per autoincrement table; then, after kAfterCopyMarker,
// what is faster or only possible once the rows are in: foreign keys, check constraints,
// secondary indexes and keys the source never validated. Pure functions of the table model and
// the options; called on the user-interface thread.

#include <QSet>
#include <QString>
#include <QStringList>

#include "schema/table_model.h"

// The script's last section begins with this comment line. Target creation runs the script up
// to it; the copy runs the rest when its last table is done (foreign keys and whatever the
// generator or the operator put there), so that rows load in any order.
inline const QString kAfterCopyMarker =
    QStringLiteral("-- После копирования данных (выполняется после переноса всех таблиц)");

struct TScriptOptions {
    int db_from = kDbOracle;
    int db_to = kDbPostgres;
    int int_type_index = 0;  // integer width choice, see TColumnContext
    QString user;            // the new target user; owns the sequences and triggers
    // PostgreSQL key words of the target server (ReadPgReservedWords); empty: the kept list.
    QSet<QString> pg_reserved_words = {};
    TSequences sequences = {};  // the source's standalone sequences
};

// Orders tables in place (SortTables) and returns the script lines. Oracle statements end
// with "%", the separator the script is split on before it runs; PostgreSQL ones with ";".
QStringList MakeScriptNew(TTables& tables, const TScriptOptions& options);

// Appends the sequence and trigger lines of tb (its SequenceField when that is an
// autoincrement column, and its autoincrement DATE columns); nothing unless the target is
// Oracle.
void AddOraTrig(const TTableRec& tb, QStringList& list, const TScriptOptions& options);

// The script up to the line kAfterCopyMarker, and what follows that line; a script without the
// line is all before the copy.
QString ScriptBeforeCopy(const QString& script);
QString ScriptAfterCopy(const QString& script);
