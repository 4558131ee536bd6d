#include "schema/structure_browser.h"

#include <algorithm>

QList<QStringList> TableListRows(const TTables& tables) {
    QList<QStringList> rows;
    rows.reserve(tables.size());
    for (const TTableRec& table : tables) {
        rows.append({table.name, QString::number(table.rows), table.primary_key.column_names});
    }
    return rows;
}

qint64 SumRows(const TTables& tables) {
    qint64 sum = 0;
    for (const TTableRec& table : tables) {
        sum += table.rows;
    }
    return sum;
}

QList<QStringList> KeyRows(const TTables& tables) {
    QList<QStringList> rows;
    for (const TTableRec& table : tables) {
        if (!table.primary_key.name.isEmpty()) {
            rows.append({table.primary_key.name, QStringLiteral("PK"), table.name});
        }
        for (const TUniqueKey& key : table.unique_key) {
            rows.append({key.name, QStringLiteral("UK"), table.name});
        }
        for (const TForeignKey& key : table.f_key) {
            if (!key.name.isEmpty()) {
                rows.append({key.name, QStringLiteral("FK"), table.name});
            }
        }
    }
    // Stable, so keys of the same name keep the order of their tables.
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList& a, const QStringList& b) {
        return QString::compare(a[0], b[0], Qt::CaseInsensitive) < 0;
    });
    return rows;
}

QList<QStringList> FieldRows(const TTableRec& table) {
    QList<QStringList> rows;
    rows.reserve(table.fields.size());
    for (const TFieldRec& field : table.fields) {
        rows.append({field.name, field.data_type, QString::number(field.size),
                     field.is_null ? QStringLiteral("NULL") : QString(), field.default_,
                     field.autoinc ? QStringLiteral("Да") : QString(), field.change_name});
    }
    return rows;
}

QList<QStringList> UniqueKeyRows(const TTableRec& table) {
    QList<QStringList> rows;
    for (const TUniqueKey& key : table.unique_key) {
        rows.append({key.name, key.column_names});
    }
    return rows;
}

QList<QStringList> ForeignKeyRows(const TTableRec& table) {
    QList<QStringList> rows;
    for (const TForeignKey& key : table.f_key) {
        rows.append({key.name, key.fields, key.pk_name});
    }
    return rows;
}

int FindTable(const TTables& tables, const QString& name) {
    for (int i = 0; i < tables.size(); ++i) {
        if (tables[i].name == name) {
            return i;
        }
    }
    return -1;
}
