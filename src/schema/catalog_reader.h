#pragma once
// Reading the structure of an Oracle source schema out of its data dictionary into the table
// model: tables with exact row counts, columns, defaults, autoincrement columns found in
// insert triggers, primary, unique and foreign keys. Runs on the user-interface thread, one
// statement after another on the source statement object.

#include <QString>
#include <QStringList>

#include "schema/table_model.h"

class TDbQuery;

struct TStructRead {
    TTables tables;
    // Distinct column types, in the order they were first met.
    QStringList types;
    // The source's version banner; set only when version_read.
    QString oracle_vers;
    bool version_read = false;
    // Servers before 12 know no OFFSET ... FETCH NEXT, so portioned reading must be switched off.
    bool disable_portion_read = false;
};

// Builds `result` from nothing. Only an Oracle source (db_from == 1) is read; for any other
// kind no statement is issued and the model stays empty. Catalog rows of other owners are
// dropped unless their owner's name occurs in connect_from_text (the source connection
// string, which names the connecting user). A failing statement raises the database error;
// `result` then holds what was built up to that point.
void ReadStructFrom(TDbQuery& query_from, int db_from, const QString& connect_from_text,
                    TStructRead& result);

// Appends str unless it is there already (exact comparison).
void AddType(QStringList& types, const QString& str);
