#pragma once
// The DDL script of the new database: one CREATE TABLE per table in dependency order, with its
// keys as table constraints, plus a sequence and a before-insert trigger per autoincrement
// table on an Oracle target. Pure functions of the table model and the options; called on the
// user-interface thread.

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
    int int_type_index = 0;  // integer width choice, see GetTypeField
    QString user;            // the new target user; owns the sequences and triggers
};

// Orders tables in place (SortTables) and returns the script lines. Oracle statements end
// with "%", the separator the script is split on before it runs.
QStringList MakeScriptNew(TTables& tables, const TScriptOptions& options);

// Appends the sequence and trigger lines for the first autoincrement column of tb; nothing
// unless the target is Oracle.
void AddOraTrig(const TTableRec& tb, QStringList& list, const TScriptOptions& options);
