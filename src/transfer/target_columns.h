#pragma once
// The column types of a target table as the target server has them, read once per table at
// the start of its copy. Value rendering decides by them how a number is written: the script
// may have been edited by the operator (a BIGINT made NUMERIC), and what counts is the column
// the value goes into, not the source's declaration. Used on the thread of the copy.

#include <QHash>
#include <QString>

#include "db/sql_text.h"

class TDbQuery;
struct TTableRec;

// What a target column takes, as far as the writing of numbers is concerned.
enum class TTargetKind {
    Unknown,  // not read, or no such column
    Integer,  // integers only: a fraction would be rounded by the server
    Exact,    // any decimal number, exactly (NUMERIC, NUMBER without an integer scale)
    Float,    // binary floating point
    Other,    // text, dates, binaries: the server converts a literal it can read
};

// PostgreSQL type name (pg_type.typname of the column's base type).
TTargetKind PgTargetKind(const QString& type_name);
// Oracle user_tab_columns.data_type and data_scale (empty for null).
TTargetKind OraTargetKind(const QString& data_type, const QString& data_scale);

class TTargetColumns {
public:
    // stored_name as the server stores it (TSqlNames::Stored).
    void Set(const QString& stored_name, TTargetKind kind) { kinds_.insert(stored_name, kind); }
    TTargetKind KindOf(const QString& stored_name) const {
        return kinds_.value(stored_name, TTargetKind::Unknown);
    }
    bool Empty() const { return kinds_.isEmpty(); }

private:
    QHash<QString, TTargetKind> kinds_;
};

// The query that lists a target table's columns: name as stored, type, and on Oracle the scale.
// PostgreSQL resolves the table as the INSERT does (to_regclass of the written name), so a
// table the operator moved by search_path is still found.
QString TargetColumnsSql(int db_to, const QString& table_name, const TSqlNames& names);

// Runs TargetColumnsSql on the target. A table the query does not find gives no columns (every
// kind Unknown). Raises the database error.
TTargetColumns ReadTargetColumns(TDbQuery& query_to, int db_to, const QString& table_name,
                                 const TSqlNames& names);

// The columns of each table, read on first use and kept until Clear (a new target).
class TTargetColumnCache {
public:
    const TTargetColumns& For(TDbQuery& query_to, int db_to, const TTableRec& table,
                              const TSqlNames& names);
    void Clear() { tables_.clear(); }

private:
    QHash<QString, TTargetColumns> tables_;
};
