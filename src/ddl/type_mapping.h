#pragma once
// Translation of one source column into its definition in the target's CREATE TABLE. Pure
// functions of the column, its table and the options; called on the user-interface thread.

#include <QList>
#include <QString>
#include <QStringList>

#include "db/sql_text.h"
#include "schema/table_model.h"

// What the definition of a column depends on beyond the column itself.
struct TColumnContext {
    int db_from = kDbOracle;
    int db_to = kDbPostgres;
    // The integer-width choice: 0 maps integer NUMBER columns to the 64-bit types, any other
    // value to the 32-bit ones where their data fit.
    int int_type_index = 0;
    const TSqlNames* names = nullptr;  // null: the kept rules of db_to
    QString table_name;                // for the notes
    // The columns of the table (virtual expressions refer to them); null: the column alone.
    const QList<TFieldRec>* fields = nullptr;
    QStringList sequences;  // standalone sequences the script creates (defaults may call them)
    // The column is its table's SequenceField: it gets the serial type, the identity or the
    // sequence. Other autoincrement NUMBER columns become plain columns.
    bool sequence_column = false;
    // PostgreSQL: the sequence the script creates for a sequence column whose type is no
    // integer type (see NeedsOwnSequence); written as its default.
    QString own_sequence;
};

struct TColumnDef {
    QString text;       // the definition after the column's name, ending with ","
    QStringList notes;  // "--" lines for what the target does not get as the source has it
};

// The target type alone ("BIGINT", "VARCHAR2(100 CHAR)", ...).
QString TargetType(const TFieldRec& field, const TColumnContext& context);

// True for a PostgreSQL sequence column whose values are no integers (NUMBER(10,2), or data
// with fractions or beyond 64 bits): serial and identity types are integers only, so the
// column keeps its numeric type and takes its values from a sequence of its own.
bool NeedsOwnSequence(const TFieldRec& field, const TColumnContext& context);

// Type, then the identity, generation or DEFAULT clause, then " NOT NULL" when the column takes
// no nulls, then ",". A default is written only when the target reads it as the source does;
// a virtual or identity column never gets one.
TColumnDef ColumnDefinition(const TFieldRec& field, const TColumnContext& context);

// ColumnDefinition of the column taken alone, as the first column of a table of its own.
QString GetTypeField(const TFieldRec& field, int db_from, int db_to, int int_type_index);

// True when the target computes the column itself (a virtual column whose expression the
// target takes), so that no value may be written into it; false for a virtual column created
// as a plain one, which then holds the source's values.
bool TargetComputes(const TFieldRec& field, const QList<TFieldRec>& fields, int db_to);
// The source names of the columns of fields that the target computes, in order.
QStringList TargetComputedColumns(const QList<TFieldRec>& fields, int db_to);
