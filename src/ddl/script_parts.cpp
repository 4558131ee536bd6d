#include "ddl/script_parts.h"

#include <QRegularExpression>

#include "ddl/ora_expr.h"

namespace {

const QString kInt64Min = QStringLiteral("-9223372036854775808");
const QString kInt64Max = QStringLiteral("9223372036854775807");

bool IsInteger(const QString& text) {
    static const QRegularExpression integer(QStringLiteral("^-?\\d+$"));
    return integer.match(text).hasMatch();
}

// Compares two integer texts by value.
int CompareIntegers(QString a, QString b) {
    const bool a_neg = a.startsWith(u'-');
    const bool b_neg = b.startsWith(u'-');
    if (a_neg != b_neg) {
        return a_neg ? -1 : 1;
    }
    if (a_neg) {
        a.remove(0, 1);
        b.remove(0, 1);
    }
    while (a.size() > 1 && a.startsWith(u'0')) {
        a.remove(0, 1);
    }
    while (b.size() > 1 && b.startsWith(u'0')) {
        b.remove(0, 1);
    }
    const int magnitude =
        a.size() != b.size() ? (a.size() < b.size() ? -1 : 1) : (a < b ? -1 : (a == b ? 0 : 1));
    return a_neg ? -magnitude : magnitude;
}

bool FitsInt64(const QString& text) {
    return IsInteger(text) && CompareIntegers(text, kInt64Min) >= 0 &&
           CompareIntegers(text, kInt64Max) <= 0;
}

// A bound of an Oracle sequence on PostgreSQL, whose sequences are 64-bit: Oracle's default
// bounds (28 digits) become the 64-bit ones.
QString ClampInt64(const QString& text) {
    if (CompareIntegers(text, kInt64Min) < 0) {
        return kInt64Min;
    }
    if (CompareIntegers(text, kInt64Max) > 0) {
        return kInt64Max;
    }
    return text;
}

}  // namespace

TScriptParts::TScriptParts(const TTables& tables, const TScriptOptions& options)
    : tables_(tables), options_(options), names_(options.db_to) {
    if (options.db_to == kDbPostgres && !options.pg_reserved_words.isEmpty()) {
        names_.SetPgReservedWords(options.pg_reserved_words);
    }
    for (const TSequenceRec& sequence : options.sequences) {
        sequence_names_ << sequence.name;
    }
}

QString TScriptParts::Comment(const QString& text) const {
    return CommentText("-- " + text, options_.db_to);
}

QString TScriptParts::Owned(const QString& name) const {
    if (!ToOracle() || options_.user.isEmpty()) {
        return names_.Name(name);
    }
    return names_.Qualified(options_.user, name);
}

QString TScriptParts::KeyList(const QString& list, const QList<TFieldRec>& fields) const {
    QStringList columns = SplitKeyList(list);
    if (columns.isEmpty()) {
        return list;
    }
    for (QString& column : columns) {
        for (const TFieldRec& field : fields) {
            if (field.name == column) {
                column = field.TargetName();
                break;
            }
        }
    }
    return "(" + names_.List(columns) + ")";
}

const TTableRec* TScriptParts::ReferencedTable(const QString& pk_name) const {
    const TTableRec* found = nullptr;
    for (const TTableRec& table : tables_) {
        const bool names_it = pk_name.startsWith(table.name + "(") && pk_name.endsWith(u')');
        if (names_it && (found == nullptr || table.name.size() > found->name.size())) {
            found = &table;
        }
    }
    return found;
}

bool TScriptParts::HasSequence(const QString& name) const {
    const QString stored = names_.Stored(name);
    for (const QString& sequence : sequence_names_) {
        if (names_.Stored(sequence) == stored) {
            return true;
        }
    }
    return false;
}

QStringList TScriptParts::SequenceStatement(const TSequenceRec& s) const {
    const bool oracle = ToOracle();
    const auto valid = [&](const QString& text) {
        return oracle ? IsInteger(text) : FitsInt64(text);
    };
    if (!valid(s.last_number) || (!s.increment_by.isEmpty() && !valid(s.increment_by)) ||
        s.increment_by == "0") {
        return {Comment("Последовательность " + s.name +
                        " не создается: ее значения не помещаются в последовательность целевой "
                        "БД (следующее значение " +
                        s.last_number + ", шаг " + s.increment_by + ")")};
    }
    QString sql = "CREATE SEQUENCE " + Owned(s.name);
    if (!s.increment_by.isEmpty()) {
        sql += " INCREMENT BY " + s.increment_by;
    }
    if (IsInteger(s.min_value)) {
        sql += " MINVALUE " + (oracle ? s.min_value : ClampInt64(s.min_value));
    }
    if (IsInteger(s.max_value)) {
        sql += " MAXVALUE " + (oracle ? s.max_value : ClampInt64(s.max_value));
    }
    sql += " START WITH " + s.last_number;
    if (IsInteger(s.cache_size)) {
        // Oracle caches at least 2 values or none; PostgreSQL at least 1.
        const bool none = CompareIntegers(s.cache_size, QStringLiteral("1")) <= 0;
        if (oracle) {
            sql += none ? QStringLiteral(" NOCACHE") : " CACHE " + s.cache_size;
        } else {
            sql += " CACHE " + (none ? QStringLiteral("1") : s.cache_size);
        }
    }
    sql += s.cycle ? QStringLiteral(" CYCLE") : (oracle ? " NOCYCLE" : " NO CYCLE");
    return {sql + End()};
}

QStringList TScriptParts::Sequences() const {
    QStringList lines;
    for (const TSequenceRec& sequence : options_.sequences) {
        lines << SequenceStatement(sequence);
    }
    if (!lines.isEmpty()) {
        lines << QString();
    }
    return lines;
}

QString TScriptParts::CommentOn(const QString& what, const QString& text) const {
    if (!ToOracle()) {
        return "COMMENT ON " + what + " IS " + PgLiteral(text) + ";";
    }
    const QString sql = "COMMENT ON " + what + " IS " + OraLiteral(text);
    if (!sql.contains(u'%')) {
        return sql + "%";
    }
    // COMMENT ON takes a literal only; a "%" in it would split the statement.
    return "BEGIN EXECUTE IMMEDIATE " + OraScriptLiteral(sql) + "; END;%";
}

QStringList TScriptParts::Comments(const TTableRec& table) const {
    QStringList lines;
    const QString table_name = names_.Name(table.name);
    if (!table.comment.isEmpty()) {
        lines << CommentOn("TABLE " + table_name, table.comment);
    }
    for (const TFieldRec& field : table.fields) {
        if (!field.comment.isEmpty()) {
            lines << CommentOn("COLUMN " + table_name + "." + names_.Name(field.TargetName()),
                               field.comment);
        }
    }
    return lines;
}

void TScriptParts::AfterCopy(const TTableRec& table, TAfterCopy& after) const {
    const QString alter = "ALTER TABLE " + names_.Name(table.name) + " ADD CONSTRAINT ";
    // Keys the source holds without having checked the rows already there: created after the
    // data, where a violating row stops that statement and not the copy. Oracle keeps them
    // unchecked over a non-unique index, as the source does.
    const auto unchecked_key = [&](const QString& name, const QString& kind,
                                   const QString& columns) {
        const QString list = KeyList(columns, table.fields);
        after.keys << Comment(name +
                              ": в источнике ключ не проверен на имеющихся строках "
                              "(NOVALIDATE)");
        if (ToOracle()) {
            after.keys << alter + names_.Name(name) + " " + kind + list +
                              " USING INDEX (CREATE INDEX " + names_.Name(name) + " ON " +
                              names_.Name(table.name) + list + ") ENABLE NOVALIDATE%";
        } else {
            after.keys << alter + names_.Name(name) + " " + kind + list + ";";
        }
    };
    if (!table.primary_key.name.isEmpty() && !table.primary_key.validated) {
        unchecked_key(table.primary_key.name, "PRIMARY KEY", table.primary_key.column_names);
    }
    for (const TUniqueKey& key : table.unique_key) {
        if (key.enabled && !key.validated) {
            unchecked_key(key.name, "UNIQUE", key.column_names);
        }
    }

    for (const TIndexRec& index : table.indexes) {
        if (!index.expressions.isEmpty()) {
            after.indexes << Comment("Индекс " + index.name +
                                     " по выражению не создается: " + names_.Name(table.name) +
                                     "(" + index.expressions.join(", ") + ")");
            continue;
        }
        after.indexes << QString(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                             names_.Name(index.name) + " ON " + names_.Name(table.name) +
                             KeyList(index.column_names, table.fields) + End();
    }
    ForeignKeys(table, after);
    Checks(table, after);
}

void TScriptParts::ForeignKeys(const TTableRec& table, TAfterCopy& after) const {
    for (const TForeignKey& key : table.f_key) {
        const QString columns = KeyList(key.fields, table.fields);
        const TTableRec* target = ReferencedTable(key.pk_name);
        if (target == nullptr) {
            const qsizetype open = key.pk_name.indexOf(u'(');
            const bool resolved = open > 0 && key.pk_name.endsWith(u')');
            // A key of another owner has nothing to refer to in the new database; a table the
            // operator took out of the list is not created.
            after.foreign_keys << Comment(
                "CONSTRAINT " + key.name + " FOREIGN KEY" + columns + " REFERENCES " + key.pk_name +
                (resolved ? " (не создается: таблица " + key.pk_name.left(open) + " не переносится)"
                          : QStringLiteral(" (не создается: ключ ссылается на ограничение вне "
                                           "переносимой схемы)")));
            continue;
        }
        const QString reference = names_.Name(target->name) +
                                  KeyList(key.pk_name.mid(target->name.size()), target->fields);
        const QString constraint =
            names_.Name(key.name) + " FOREIGN KEY" + columns + " REFERENCES " + reference;
        if (!key.enabled) {
            after.foreign_keys << Comment("Ограничение " + key.name + " FOREIGN KEY" + columns +
                                          " REFERENCES " + reference +
                                          " отключено в источнике и не создается");
            continue;
        }
        QString sql = "ALTER TABLE " + names_.Name(table.name) + " ADD CONSTRAINT " + constraint;
        if (key.delete_rule == "CASCADE" || key.delete_rule == "SET NULL") {
            sql += " ON DELETE " + key.delete_rule;
        }
        if (!key.validated) {
            sql += ToOracle() ? " ENABLE NOVALIDATE" : " NOT VALID";
        }
        after.foreign_keys << sql + End();
    }
}

void TScriptParts::Checks(const TTableRec& table, TAfterCopy& after) const {
    for (const TCheckRec& check : table.checks) {
        const QString head = check.name.isEmpty()
                                 ? QStringLiteral("CHECK")
                                 : "CONSTRAINT " + names_.Name(check.name) + " CHECK";
        if (!check.enabled) {
            after.checks << Comment("Ограничение " + check.name + " CHECK (" + check.condition +
                                    ") отключено в источнике и не создается");
            continue;
        }
        QString condition;
        if (ToOracle()) {
            condition = OraExpression(check.condition, table.fields, names_).trimmed();
        } else if (!PgExpression(check.condition, table.fields, names_, condition)) {
            after.checks << Comment("Ограничение " + check.name + " CHECK (" + check.condition +
                                    ") не создается: условие не переводится для PostgreSQL");
            continue;
        }
        QString sql =
            "ALTER TABLE " + names_.Name(table.name) + " ADD " + head + " (" + condition + ")";
        if (!check.validated) {
            sql += ToOracle() ? " ENABLE NOVALIDATE" : " NOT VALID";
        }
        after.checks << sql + End();
    }
}
