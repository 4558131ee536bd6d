#pragma once
// The in-memory picture of the source schema: plain value records, filled by the catalog
// reader, edited by the table-list commands and read by the script generator, the copy and the
// export. Records never point at each other; tables refer to each other by name. Used on the
// user-interface thread only.

#include <QList>
#include <QString>
#include <QStringList>

#include "db/server_kind.h"

// What the rows of a NUMBER column declared without a scale hold, read from the source when
// the schema is read: the type mapping picks an integer type only for data that fits it.
struct TNumberProfile {
    bool read = false;          // the column was profiled
    bool has_fraction = false;  // some value has digits after the decimal point
    QString max_abs;            // the largest absolute value as decimal text; empty: no rows
    bool operator==(const TNumberProfile&) const = default;
};

struct TFieldRec {
    QString name;       // source column name, also when the column is renamed in the target
    QString data_type;  // catalog type, upper-cased: NUMBER, VARCHAR2, DATE, BLOB, ...
    int size = 0;       // precision (NUMBER, FLOAT), characters (VARCHAR2), else bytes
    int scale = 0;      // digits after the decimal point of a NUMBER ("data_scale")
    bool is_null = false;
    QString default_;  // trimmed default expression; empty when there is none
    bool autoinc = false;
    QString change_name;  // new name in the target; empty keeps `name`
    // Character types: "C" when the declared length counts characters, "B" when it counts
    // bytes (the catalog's char_used); empty for other types.
    QString char_used;
    bool identity = false;  // filled by an identity generator (Oracle 12c and later)
    // A virtual column: computed from virtual_expr, never copied.
    bool is_virtual = false;
    QString virtual_expr;
    TNumberProfile profile;  // NUMBER without a scale only
    QString comment;

    // The name the column has in the target.
    const QString& TargetName() const { return change_name.isEmpty() ? name : change_name; }

    bool operator==(const TFieldRec&) const = default;
};

// Oracle keeps constraints that it does not enforce: disabled ones, and enabled ones that were
// not validated against the rows already there (ENABLE NOVALIDATE).
struct TPrimaryKey {
    QString name;          // empty when the table has no enabled primary key
    QString column_names;  // "(A,B)"
    bool validated = true;
    bool operator==(const TPrimaryKey&) const = default;
};

struct TUniqueKey {
    QString name;
    QString column_names;  // "(A,B)"
    bool enabled = true;
    bool validated = true;
    bool operator==(const TUniqueKey&) const = default;
};

struct TForeignKey {
    QString name;
    QString fields;   // referencing columns, "(A,B)"
    QString pk_name;  // "TABLE(COLS)" when resolved in the model, else the constraint name
    bool enabled = true;
    bool validated = true;
    // What a delete of the referenced row does (the catalog's delete_rule): "CASCADE",
    // "SET NULL", or empty for NO ACTION.
    QString delete_rule = {};
    bool operator==(const TForeignKey&) const = default;
};

// A check constraint other than the NOT NULL checks the catalog generates.
struct TCheckRec {
    QString name;
    QString condition;  // search_condition as the catalog stores it
    bool enabled = true;
    bool validated = true;
    bool operator==(const TCheckRec&) const = default;
};

// An index that no key constraint made.
struct TIndexRec {
    QString name;
    bool unique = false;
    QString column_names;  // "(A,B)" in column-position order
    // Function-based indexes: the expressions of its columns, in position order; empty for a
    // plain index.
    QStringList expressions;
    bool operator==(const TIndexRec&) const = default;
};

struct TTableRec {
    QString name;
    qint64 rows = 0;  // counted when the schema was read
    QList<TFieldRec> fields;
    TPrimaryKey primary_key;
    QList<TUniqueKey> unique_key;
    QList<TForeignKey> f_key;
    QStringList master_tables;  // tables referenced by resolved foreign keys, duplicates kept
    QString query_addi;         // extra line of the source query
    QString file_copy;          // data file to bulk-load from instead of copying
    QList<TCheckRec> checks;
    QList<TIndexRec> indexes;
    QString comment;

    bool operator==(const TTableRec&) const = default;
};

using TTables = QList<TTableRec>;

// A standalone sequence of the source schema.
struct TSequenceRec {
    QString name;
    QString min_value;  // decimal texts, as the catalog gives them
    QString max_value;
    QString increment_by;
    QString last_number;  // the next value the sequence hands out
    QString cache_size;   // "0" for NOCACHE
    bool cycle = false;
    bool operator==(const TSequenceRec&) const = default;
};

using TSequences = QList<TSequenceRec>;
