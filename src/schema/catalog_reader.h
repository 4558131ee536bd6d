#pragma once
// Reading the structure of an Oracle source schema out of its data dictionary into the table
// model: tables with exact row counts, columns (with their length semantics, identity and
// virtual columns, and for numbers without a scale what their rows hold), defaults,
// autoincrement columns found in insert triggers, primary, unique and foreign keys with their
// states, checks, indexes, comments, and the standalone sequences. Runs on the user-interface
// thread, one statement after another on the source statement object.

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
    // The owner whose catalog rows are ours: the user of the connection string, or the
    // session's user when the string names none.
    QString owner;
    // Standalone sequences in name order; those that feed identity columns are left out.
    TSequences sequences;
    // What the read had to take from elsewhere than usual (the version from another view, the
    // owner from the server), in the operator's language, for the structure page and the copy
    // journal.
    QStringList notes;
};

// Builds `result` from nothing. Only an Oracle source (db_from == 1) is read; for any other
// kind no statement is issued and the model stays empty. Catalog rows of other owners are
// dropped: a row is ours when its owner is, in any letter case, the user named by "User ID="
// in connect_from_text (the source connection string), or, when the string names none, the
// user the server reports for the session. A failing statement raises the database error;
// `result` then holds what was built up to that point.
//
// Indexes are those no key constraint made. A function-based index keeps the catalog's column
// names (the hidden columns of its expressions) in column_names and, in expressions, one entry
// per column position: the expression, or the empty text for a plain column.
void ReadStructFrom(TDbQuery& query_from, int db_from, const QString& connect_from_text,
                    TStructRead& result);

// Appends str unless it is there already (exact comparison).
void AddType(QStringList& types, const QString& str);

// The user a connection string logs in as: the value of "User ID" (of the proxy form
// "proxy[user]" the user in brackets). Empty when the string names none, names "/" (the
// operating system's login) or cannot be read.
QString UserFromConnectString(const QString& connect_text);

// The version banner of an Oracle server: the first "Oracle..." line of V$VERSION; when that
// view is refused (it needs a grant many users lack), built from PRODUCT_COMPONENT_VERSION,
// which every user may read, or else from V$INSTANCE. `note` then says which was used. When
// every view is refused, the error of V$VERSION is raised.
QString ReadOraVersion(TDbQuery& query, QString& note);
