#pragma once
// The in-memory picture of the source schema: plain value records, filled by the catalog
// reader, edited by the table-list commands and read by the script generator, the copy and the
// export. Records never point at each other; tables refer to each other by name. Used on the
// user-interface thread only.

#include <QList>
#include <QString>
#include <QStringList>

struct TFieldRec {
    QString name;       // source column name, also when the column is renamed in the target
    QString data_type;  // catalog type, upper-cased: NUMBER, VARCHAR2, DATE, BLOB, ...
    int size = 0;       // precision (NUMBER, FLOAT), characters (VARCHAR2), else bytes
    int scale = 0;      // digits after the decimal point of a NUMBER ("data_scale")
    bool is_null = false;
    QString default_;   // trimmed default expression; empty when there is none
    bool autoinc = false;
    QString change_name;  // new name in the target; empty keeps `name`

    // The name the column has in the target.
    const QString& TargetName() const { return change_name.isEmpty() ? name : change_name; }

    bool operator==(const TFieldRec&) const = default;
};

struct TPrimaryKey {
    QString name;          // empty when the table has no enabled primary key
    QString column_names;  // "(A,B)"
    bool operator==(const TPrimaryKey&) const = default;
};

struct TUniqueKey {
    QString name;
    QString column_names;  // "(A,B)"
    bool operator==(const TUniqueKey&) const = default;
};

struct TForeignKey {
    QString name;
    QString fields;   // referencing columns, "(A,B)"
    QString pk_name;  // "TABLE(COLS)" when resolved in the model, else the constraint name
    bool operator==(const TForeignKey&) const = default;
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

    bool operator==(const TTableRec&) const = default;
};

using TTables = QList<TTableRec>;

// Server kind codes decided from a connection string.
enum TDbKind : int { kDbUnknown = 0, kDbOracle = 1, kDbPostgres = 2 };
