#include "schema/structure_browser.h"

#include <algorithm>

#include "db/sql_text.h"

QString ConstraintState(bool enabled, bool validated) {
    if (!enabled) {
        return QStringLiteral("отключено");
    }
    return validated ? QString() : QStringLiteral("не проверено");
}

QString ProfileText(const TNumberProfile& profile) {
    if (!profile.read) {
        return QString();
    }
    if (profile.max_abs.isEmpty()) {
        return QStringLiteral("нет значений");
    }
    return (profile.has_fraction ? QStringLiteral("дробные, до ") : QStringLiteral("целые, до ")) +
           profile.max_abs;
}

QList<QStringList> TableListRows(const TTables& tables) {
    QList<QStringList> rows;
    rows.reserve(tables.size());
    for (const TTableRec& table : tables) {
        rows.append({table.name, QString::number(table.rows), table.primary_key.column_names,
                     table.comment});
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
            rows.append({table.primary_key.name, QStringLiteral("PK"), table.name,
                         ConstraintState(true, table.primary_key.validated)});
        }
        for (const TUniqueKey& key : table.unique_key) {
            rows.append({key.name, QStringLiteral("UK"), table.name,
                         ConstraintState(key.enabled, key.validated)});
        }
        for (const TForeignKey& key : table.f_key) {
            if (!key.name.isEmpty()) {
                rows.append({key.name, QStringLiteral("FK"), table.name,
                             ConstraintState(key.enabled, key.validated)});
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
        const QString generated = field.autoinc    ? QStringLiteral("Да")
                                  : field.identity ? QStringLiteral("identity")
                                                   : QString();
        const QString default_text = field.is_virtual
                                         ? QStringLiteral("вычисляется: ") + field.virtual_expr
                                         : field.default_;
        rows.append({field.name, field.data_type, QString::number(field.size),
                     field.is_null ? QStringLiteral("NULL") : QString(), default_text, generated,
                     field.change_name, ProfileText(field.profile), field.comment});
    }
    return rows;
}

QList<QStringList> UniqueKeyRows(const TTableRec& table) {
    QList<QStringList> rows;
    for (const TUniqueKey& key : table.unique_key) {
        rows.append({key.name, key.column_names, ConstraintState(key.enabled, key.validated)});
    }
    return rows;
}

QList<QStringList> ForeignKeyRows(const TTableRec& table) {
    QList<QStringList> rows;
    for (const TForeignKey& key : table.f_key) {
        rows.append(
            {key.name, key.fields, key.pk_name, ConstraintState(key.enabled, key.validated)});
    }
    return rows;
}

QList<QStringList> IndexRows(const TTableRec& table) {
    QList<QStringList> rows;
    for (const TIndexRec& index : table.indexes) {
        // A function-based index shows its expressions where the catalog names the hidden
        // columns that hold them.
        QStringList columns = SplitKeyList(index.column_names);
        for (qsizetype i = 0; i < columns.size() && i < index.expressions.size(); ++i) {
            if (!index.expressions[i].isEmpty()) {
                columns[i] = index.expressions[i];
            }
        }
        rows.append({index.name, index.unique ? QStringLiteral("Да") : QString(),
                     u'(' + columns.join(u',') + u')'});
    }
    return rows;
}

QList<QStringList> CheckRows(const TTableRec& table) {
    QList<QStringList> rows;
    for (const TCheckRec& check : table.checks) {
        rows.append({check.name, check.condition, ConstraintState(check.enabled, check.validated)});
    }
    return rows;
}

QList<QStringList> SequenceRows(const TSequences& sequences) {
    QList<QStringList> rows;
    for (const TSequenceRec& seq : sequences) {
        rows.append({seq.name, seq.last_number, seq.increment_by, seq.min_value, seq.max_value,
                     seq.cycle ? QStringLiteral("Да") : QString(), seq.cache_size});
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
