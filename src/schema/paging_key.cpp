#include "schema/paging_key.h"

#include <QRegularExpression>

#include "db/odbc.h"
#include "db/sql_text.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

// How values of a column of this catalog type compare, or false when they do not compare
// exactly the same way on the server and through their text (floating point, zoned times,
// large and binary values).
bool KeyTypeOf(const TFieldRec& field, TKeyType& type) {
    const QString t = UpperLatin(field.data_type);
    if (t == QLatin1String("NUMBER") || t == QLatin1String("INTEGER") ||
        t == QLatin1String("DECIMAL") || t == QLatin1String("NUMERIC") ||
        t == QLatin1String("SMALLINT") || t == QLatin1String("INT")) {
        type = TKeyType::Number;
        return true;
    }
    if (t == QLatin1String("VARCHAR2") || t == QLatin1String("VARCHAR") ||
        t == QLatin1String("CHAR")) {
        type = TKeyType::Text;
        return true;
    }
    if (t == QLatin1String("NVARCHAR2") || t == QLatin1String("NCHAR")) {
        type = TKeyType::NationalText;
        return true;
    }
    if (t == QLatin1String("DATE") ||
        (t.startsWith(QLatin1String("TIMESTAMP")) && !t.contains(QLatin1String("TIME ZONE")))) {
        type = TKeyType::DateTime;
        return true;
    }
    return false;
}

const TFieldRec* FindField(const TTableRec& table, const QString& name) {
    for (const TFieldRec& field : table.fields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

// The key over these columns, or the reason it cannot be one.
TPagingKey KeyOver(const TTableRec& table, const QString& constraint, const QString& list,
                   bool need_not_null, QString& why_not) {
    TPagingKey key;
    const QStringList columns = SplitKeyList(list);
    if (columns.isEmpty()) {
        why_not = QStringLiteral("список столбцов ключа %1 не прочитан").arg(constraint);
        return key;
    }
    for (const QString& column : columns) {
        const TFieldRec* field = FindField(table, column);
        TKeyType type = TKeyType::Number;
        if (field == nullptr || field->is_virtual) {
            why_not = QStringLiteral("столбец %1 ключа %2 не переносится").arg(column, constraint);
            return {};
        }
        if (need_not_null && field->is_null) {
            why_not = QStringLiteral("столбец %1 уникального ключа %2 допускает NULL")
                          .arg(column, constraint);
            return {};
        }
        if (!KeyTypeOf(*field, type)) {
            why_not = QStringLiteral(
                          "столбец %1 ключа %2 имеет тип %3, значения которого "
                          "нельзя сравнивать точно")
                          .arg(column, constraint, field->data_type);
            return {};
        }
        key.columns << field->name;
        key.target_columns << field->TargetName();
        key.types << type;
    }
    key.constraint = constraint;
    return key;
}

QString Literal(int db_kind, TKeyType type, const QString& value) {
    const QString literal = SqlLiteral(db_kind, value);
    return type == TKeyType::NationalText && db_kind == kDbOracle ? u'N' + literal : literal;
}

QList<TKeyTerm> Terms(int db_kind, const QStringList& columns, const TPagingKey& key,
                      const QStringList& values, QList<TKeyParam>& params, const QString& prefix) {
    if (values.size() != key.types.size()) {
        throw TError(QStringLiteral("Значений ключа %1, а столбцов в нём %2")
                         .arg(values.size())
                         .arg(key.types.size()));
    }
    QList<TKeyTerm> terms;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const TKeyType type = key.types[i];
        if (type == TKeyType::Text || type == TKeyType::NationalText) {
            terms.append({columns[i], Literal(db_kind, type, values[i])});
            continue;
        }
        const QString name = prefix + QString::number(i + 1);
        params.append({name, type, values[i]});
        terms.append({columns[i], u':' + name});
    }
    return terms;
}

QString AfterFrom(const QList<TKeyTerm>& terms, qsizetype i) {
    const TKeyTerm& t = terms[i];
    if (i + 1 == terms.size()) {
        return t.column + QStringLiteral(" > ") + t.value;
    }
    return t.column + QStringLiteral(" >= ") + t.value + QStringLiteral(" AND (") + t.column +
           QStringLiteral(" > ") + t.value + QStringLiteral(" OR ") + AfterFrom(terms, i + 1) +
           u')';
}

}  // namespace

TPagingKey ChoosePagingKey(const TTableRec& table, QString* why_not) {
    QStringList reasons;
    QString why;
    const TPrimaryKey& pk = table.primary_key;
    if (pk.column_names.isEmpty()) {
        reasons << QStringLiteral("нет первичного ключа");
    } else if (!pk.validated) {
        // Rows that break an unvalidated key may share a key value, and "after the last key"
        // would then pass over the rest of them.
        reasons << QStringLiteral("первичный ключ %1 включён без проверки строк (NOVALIDATE)")
                       .arg(pk.name);
    } else {
        TPagingKey key = KeyOver(table, pk.name, pk.column_names, false, why);
        if (key.Usable()) {
            return key;
        }
        reasons << why;
    }
    bool any_unique = false;
    for (const TUniqueKey& uk : table.unique_key) {
        any_unique = true;
        if (!uk.enabled) {
            reasons << QStringLiteral("уникальный ключ %1 отключён").arg(uk.name);
            continue;
        }
        if (!uk.validated) {
            reasons << QStringLiteral("уникальный ключ %1 включён без проверки строк (NOVALIDATE)")
                           .arg(uk.name);
            continue;
        }
        TPagingKey key = KeyOver(table, uk.name, uk.column_names, true, why);
        if (key.Usable()) {
            return key;
        }
        reasons << why;
    }
    if (!any_unique) {
        reasons << QStringLiteral("нет уникального ключа");
    }
    if (why_not != nullptr) {
        *why_not = reasons.join(QStringLiteral("; "));
    }
    return {};
}

QList<TKeyTerm> SourceKeyTerms(const TPagingKey& key, const QStringList& values,
                               QList<TKeyParam>& params, const QString& prefix) {
    QStringList columns;
    for (const QString& column : key.columns) {
        columns << OraSourceName(column);
    }
    // An Oracle literal reads the same on the emulated source, whose strings are standard
    // conforming: a backslash stands for itself there too.
    return Terms(kDbOracle, columns, key, values, params, prefix);
}

QList<TKeyTerm> TargetKeyTerms(int db_to, const TPagingKey& key, const QStringList& values,
                               QList<TKeyParam>& params, const QString& prefix) {
    const TSqlNames names(db_to);
    QStringList columns;
    for (qsizetype i = 0; i < key.target_columns.size(); ++i) {
        QString column = names.Name(key.target_columns[i]);
        const bool text =
            key.types.value(i) == TKeyType::Text || key.types.value(i) == TKeyType::NationalText;
        if (text && db_to == kDbPostgres) {
            // The source orders text by its bytes (binary sort); the new database's collation
            // may not, and the rows "after" the last key must be the same rows on both sides.
            column += QStringLiteral(" COLLATE \"C\"");
        }
        columns << column;
    }
    return Terms(db_to, columns, key, values, params, prefix);
}

QString KeyAfterCondition(const QList<TKeyTerm>& terms) {
    return terms.isEmpty() ? QString() : u'(' + AfterFrom(terms, 0) + u')';
}

QString KeyEqualCondition(const QList<TKeyTerm>& terms) {
    QStringList parts;
    for (const TKeyTerm& t : terms) {
        parts << t.column + QStringLiteral(" = ") + t.value;
    }
    return u'(' + parts.join(QStringLiteral(" AND ")) + u')';
}

void BindKeyParams(TDbQuery& query, const QList<TKeyParam>& params) {
    static const QRegularExpression kDateTime(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2}):(\d{2})(?:\.(\d{1,9}))?)?$)"));
    for (const TKeyParam& param : params) {
        if (param.type == TKeyType::Number) {
            query.SetParamNumber(param.name, param.value.trimmed());
            continue;
        }
        const QRegularExpressionMatch m = kDateTime.match(param.value.trimmed());
        const QDate date = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(),
                                                m.captured(3).toInt())
                                        : QDate();
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!date.isValid() || !time.isValid()) {
            // A date before year 1 or one the row set writes in a form of its own: a wrong
            // value here would silently pass over rows.
            throw TConvertError(QStringLiteral("Значение ключа «%1» нельзя передать серверу как "
                                               "дату и время без потери точности")
                                    .arg(param.value));
        }
        const QString fraction = m.captured(7).leftJustified(9, u'0');
        query.SetParamDateTime(param.name, QDateTime(date, time), fraction.toInt());
    }
    if (!params.isEmpty()) {
        query.SetParamCheck(true);
    }
}

QString KeyValuesText(const QStringList& values) {
    return values.join(QStringLiteral(", "));
}
