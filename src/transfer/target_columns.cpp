#include "transfer/target_columns.h"

#include "db/odbc.h"
#include "schema/table_model.h"
#include "util/text_utils.h"

TTargetKind PgTargetKind(const QString& type_name) {
    const QString type = LowerLatin(type_name.trimmed());
    if (type == QLatin1String("int2") || type == QLatin1String("int4") ||
        type == QLatin1String("int8")) {
        return TTargetKind::Integer;
    }
    if (type == QLatin1String("numeric")) {
        return TTargetKind::Exact;
    }
    if (type == QLatin1String("float4") || type == QLatin1String("float8")) {
        return TTargetKind::Float;
    }
    return type.isEmpty() ? TTargetKind::Unknown : TTargetKind::Other;
}

TTargetKind OraTargetKind(const QString& data_type, const QString& data_scale) {
    const QString type = UpperLatin(data_type.trimmed());
    if (type == QLatin1String("NUMBER")) {
        bool ok = false;
        const int scale = data_scale.trimmed().toInt(&ok);
        // NUMBER(p) and INTEGER have scale 0 (a negative one rounds to tens, hundreds, ...);
        // a NUMBER without precision has none and takes any number.
        return ok && scale <= 0 ? TTargetKind::Integer : TTargetKind::Exact;
    }
    if (type == QLatin1String("FLOAT")) {
        return TTargetKind::Exact;
    }
    if (type == QLatin1String("BINARY_FLOAT") || type == QLatin1String("BINARY_DOUBLE")) {
        return TTargetKind::Float;
    }
    return type.isEmpty() ? TTargetKind::Unknown : TTargetKind::Other;
}

QString TargetColumnsSql(int db_to, const QString& table_name, const TSqlNames& names) {
    if (db_to == kDbOracle) {
        return QStringLiteral(
                   "SELECT column_name, data_type, data_scale FROM user_tab_columns WHERE "
                   "table_name = ") +
               OraLiteral(names.Stored(table_name));
    }
    // A domain counts as its base type.
    return QStringLiteral(
               "SELECT a.attname, CASE WHEN t.typtype = 'd' THEN b.typname ELSE t.typname END "
               "FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid "
               "LEFT JOIN pg_type b ON b.oid = t.typbasetype "
               "WHERE a.attrelid = to_regclass(") +
           PgLiteral(names.Name(table_name)) +
           QStringLiteral(") AND a.attnum > 0 AND NOT a.attisdropped");
}

TTargetColumns ReadTargetColumns(TDbQuery& query_to, int db_to, const QString& table_name,
                                 const TSqlNames& names) {
    TTargetColumns columns;
    query_to.Close();
    query_to.ClearParams();
    query_to.SetParamCheck(false);
    query_to.SetText(TargetColumnsSql(db_to, table_name, names));
    query_to.Open();
    for (; !query_to.Eof(); query_to.Next()) {
        const QString name = query_to.Field(0).AsString();
        const QString type = query_to.Field(1).AsString();
        columns.Set(name, db_to == kDbOracle ? OraTargetKind(type, query_to.Field(2).AsString())
                                             : PgTargetKind(type));
    }
    query_to.Close();
    return columns;
}

const TTargetColumns& TTargetColumnCache::For(TDbQuery& query_to, int db_to, const TTableRec& table,
                                              const TSqlNames& names) {
    auto found = tables_.constFind(table.name);
    if (found == tables_.constEnd()) {
        found = tables_.insert(table.name, ReadTargetColumns(query_to, db_to, table.name, names));
    }
    return *found;
}
