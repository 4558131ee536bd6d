#include "verify/table_check.h"

#include "db/odbc.h"
#include "db/sql_text.h"
#include "util/error.h"

namespace {

qint64 CountOf(TDbConnection& connection, const QString& sql) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.Open();
    if (query.Eof()) {
        throw TError(QStringLiteral("Запрос числа строк не вернул ни одной строки"));
    }
    const qint64 rows = query.Field(0).AsInteger();
    query.Close();
    return rows;
}

// The table as the copy reads it: through the query addition, when there is one.
QString SourceFrom(const TTableRec& table) {
    const QString name = OraSourceName(table.name);
    if (table.query_addi.trimmed().isEmpty()) {
        return name;
    }
    // An inline view keeps an addition with ORDER BY legal under COUNT(*).
    return "(SELECT * FROM " + name + "\n" + table.query_addi + "\n) Q";
}

QList<TCheckKind> KindsOf(const QList<const TFieldRec*>& fields) {
    QList<TCheckKind> kinds;
    for (const TFieldRec* field : fields) {
        kinds << CheckKindOf(*field);
    }
    return kinds;
}

QString ColumnList(const QList<const TFieldRec*>& fields, bool target, const TSqlNames& names) {
    QStringList columns;
    for (const TFieldRec* field : fields) {
        columns << (target ? names.Name(field->TargetName()) : OraSourceName(field->name));
    }
    return columns.join(u',');
}

QString MismatchText(const TTableCheck& check) {
    switch (check.status) {
        case TCheckStatus::CountMismatch:
            return QStringLiteral("строк в источнике %1, в целевой БД %2")
                .arg(check.source_rows)
                .arg(check.target_rows);
        case TCheckStatus::ChecksumMismatch:
            return QStringLiteral("строк %1 = %2, но контрольные суммы различаются")
                .arg(check.source_rows)
                .arg(check.target_rows);
        case TCheckStatus::Failed:
            return QStringLiteral("проверка не выполнена: ") + check.error;
        case TCheckStatus::Match:
            break;
    }
    return QString();
}

}  // namespace

QString TTableCheck::JournalLine() const {
    if (!Ok()) {
        return (status == TCheckStatus::Failed ? QString() : QStringLiteral("расхождение: ")) +
               MismatchText(*this);
    }
    QString line = QStringLiteral("проверено: %1 = %2").arg(source_rows).arg(target_rows);
    if (checksum_done) {
        line += QStringLiteral(", контрольные суммы совпадают");
    }
    if (filtered) {
        line += QStringLiteral(" (строки источника с учетом довеска к запросу)");
    }
    if (!unchecked_columns.isEmpty()) {
        line += QStringLiteral("; без контрольной суммы: ") + unchecked_columns.join(", ");
    }
    return line;
}

QString SourceCountSql(const TTableRec& table) {
    return "SELECT COUNT(*) FROM " + SourceFrom(table);
}

QString SourceRowsSql(const TTableRec& table, const QList<const TFieldRec*>& fields) {
    return "SELECT " + ColumnList(fields, false, TSqlNames(kDbOracle)) + " FROM " +
           SourceFrom(table);
}

TChecksum ReadChecksum(TDbConnection& connection, const QString& sql,
                       const QList<TCheckKind>& kinds) {
    TDbQuery query(connection);
    query.SetText(sql);
    query.Open();
    TChecksum checksum;
    TRowText row;
    for (; !query.Eof(); query.Next()) {
        row.Clear();
        for (int i = 0; i < kinds.size(); ++i) {
            const TDbField& field = query.Field(i);
            if (field.IsNull()) {
                row.AddNull();
            } else {
                row.Add(kinds[i], CanonicalValue(kinds[i], field));
            }
        }
        AddRow(checksum, row.Text());
    }
    query.Close();
    return checksum;
}

QString TargetChecksumSql(const TSqlNames& names, const TTableRec& table,
                          const QList<const TFieldRec*>& fields) {
    if (names.Kind() != kDbPostgres) {
        return "SELECT " + ColumnList(fields, true, names) + " FROM " + names.Name(table.name);
    }
    QStringList columns;
    for (const TFieldRec* field : fields) {
        columns << names.Name(field->TargetName());
    }
    return PgChecksumSql(names.Name(table.name), columns, KindsOf(fields));
}

TChecksum TargetChecksum(TDbConnection& to, const TSqlNames& names, const TTableRec& table,
                         const QList<const TFieldRec*>& fields) {
    const QString sql = TargetChecksumSql(names, table, fields);
    if (names.Kind() != kDbPostgres) {
        return ReadChecksum(to, sql, KindsOf(fields));
    }
    TDbQuery query(to);
    query.SetText(sql);
    query.Open();
    TChecksum checksum;
    if (!query.Eof()) {
        checksum.rows = query.Field(0).AsInteger();
        checksum.sum_a = query.Field(1).AsString().trimmed().toULongLong();
        checksum.sum_b = query.Field(2).AsString().trimmed().toULongLong();
    }
    query.Close();
    return checksum;
}

QList<const TFieldRec*> ChecksumFields(const TTableRec& table) {
    QList<const TFieldRec*> fields;
    for (const TFieldRec& field : table.fields) {
        if (CheckKindOf(field) != TCheckKind::None) {
            fields << &field;
        }
    }
    return fields;
}

TTableCheck ValidateTable(const TTableRec& table, TDbConnection& from, TDbConnection& to,
                          const TValidateOptions& options) {
    TTableCheck check;
    check.table = table.name;
    check.filtered = !table.query_addi.trimmed().isEmpty();
    TSqlNames names(options.db_to);
    if (!options.pg_reserved_words.isEmpty()) {
        names.SetPgReservedWords(options.pg_reserved_words);
    }
    QString sql;
    try {
        sql = SourceCountSql(table);
        check.source_rows = CountOf(from, sql);
        sql = "SELECT COUNT(*) FROM " + names.Name(table.name);
        check.target_rows = CountOf(to, sql);
        if (options.checksum) {
            const QList<const TFieldRec*> fields = ChecksumFields(table);
            for (const TFieldRec& field : table.fields) {
                if (!fields.contains(&field)) {
                    check.unchecked_columns << field.name + " (" + field.data_type + ")";
                }
            }
            if (!fields.isEmpty()) {
                sql = SourceRowsSql(table, fields);
                check.source_checksum = ReadChecksum(from, sql, KindsOf(fields));
                sql = TargetChecksumSql(names, table, fields);
                check.target_checksum = TargetChecksum(to, names, table, fields);
                check.checksum_done = true;
            }
        }
    } catch (const TError& e) {
        check.status = TCheckStatus::Failed;
        check.error = e.Message();
        check.sql = sql;
        return check;
    } catch (const std::exception& e) {
        check.status = TCheckStatus::Failed;
        check.error = QString::fromLocal8Bit(e.what());
        check.sql = sql;
        return check;
    }
    if (check.source_rows != check.target_rows) {
        check.status = TCheckStatus::CountMismatch;
    } else if (check.checksum_done && !(check.source_checksum == check.target_checksum)) {
        check.status = TCheckStatus::ChecksumMismatch;
    } else {
        check.status = TCheckStatus::Match;
    }
    return check;
}

QString MismatchSummary(const QList<TTableCheck>& checks) {
    QStringList parts;
    for (const TTableCheck& check : checks) {
        if (!check.Ok()) {
            parts << check.table + " (" + MismatchText(check) + ")";
        }
    }
    if (parts.isEmpty()) {
        return QString();
    }
    return QStringLiteral("Проверка после копирования нашла расхождения: ") +
           parts.join(QStringLiteral("; ")) + u'.';
}

QString CompletionMessage(const QList<TTableCheck>& checks) {
    const QString summary = MismatchSummary(checks);
    if (summary.isEmpty()) {
        return QStringLiteral("Миграция завершена успешно.");
    }
    return QStringLiteral(
               "Миграция завершена, но данные в целевой БД не совпадают с "
               "исходными.\n") +
           summary;
}
