#include "ddl/type_mapping.h"

#include <QRegularExpression>

#include "ddl/default_rules.h"
#include "ddl/ora_expr.h"
#include "ddl/target_names.h"
#include "util/text_utils.h"

namespace {

QString WithSize(const QString& type, int size) {
    return type + "(" + QString::number(size) + ")";
}

// Fixed-length character types keep their length; a missing length (0) leaves the bare name,
// which the targets read as length 1 rather than rejecting.
QString CharType(const QString& type, int size) {
    return size > 0 ? WithSize(type, size) : type;
}

QString Numeric(const QString& type, const TFieldRec& field) {
    return type + "(" + QString::number(field.size) + "," + QString::number(field.scale) + ")";
}

// Oracle types that PostgreSQL does not know, given as their nearest equivalent there. Empty
// when the type is not one of them.
QString PostgresEquivalent(const QString& type) {
    if (type == "CLOB" || type == "NCLOB" || type == "LONG") {
        return "TEXT";
    }
    if (type == "RAW") {
        return "BYTEA";
    }
    if (type == "BINARY_FLOAT") {
        return "REAL";
    }
    if (type == "BINARY_DOUBLE") {
        return "DOUBLE PRECISION";
    }
    if (type == "ROWID" || type == "UROWID") {
        return "VARCHAR";
    }
    if (type == "XMLTYPE") {
        return "XML";
    }
    static const QRegularExpression local_tz(
        QStringLiteral("^(TIMESTAMP(?:\\(\\d+\\))?) WITH LOCAL TIME ZONE$"));
    if (const auto m = local_tz.match(type); m.hasMatch()) {
        return m.captured(1) + " WITH TIME ZONE";
    }
    // PostgreSQL takes no leading-field precision on intervals; the seconds' precision stays.
    static const QRegularExpression year_month(
        QStringLiteral("^INTERVAL YEAR(?:\\(\\d+\\))? TO MONTH$"));
    if (year_month.match(type).hasMatch()) {
        return "INTERVAL YEAR TO MONTH";
    }
    static const QRegularExpression day_second(
        QStringLiteral("^INTERVAL DAY(?:\\(\\d+\\))? TO SECOND(\\(\\d+\\))?$"));
    if (const auto m = day_second.match(type); m.hasMatch()) {
        return "INTERVAL DAY TO SECOND" + m.captured(1);
    }
    return QString();
}

enum class TIntFit { Int32, Int64, Beyond };

// Where the largest absolute value of a column lies. Anything but plain digits counts as
// beyond 64 bits, which keeps the column exact.
TIntFit FitOf(const QString& max_abs) {
    QString digits = max_abs.trimmed();
    if (digits.startsWith(u'+')) {
        digits.remove(0, 1);
    }
    static const QRegularExpression plain(QStringLiteral("^\\d+$"));
    if (!plain.match(digits).hasMatch()) {
        return TIntFit::Beyond;
    }
    while (digits.size() > 1 && digits.startsWith(u'0')) {
        digits.remove(0, 1);
    }
    const auto within = [&](const QString& limit) {
        return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
    };
    // The sign is not known, so -2147483648 counts as 64-bit.
    if (within(QStringLiteral("2147483647"))) {
        return TIntFit::Int32;
    }
    if (within(QStringLiteral("9223372036854775807"))) {
        return TIntFit::Int64;
    }
    return TIntFit::Beyond;
}

// A NUMBER column on PostgreSQL. A declared scale gives NUMERIC(p,s); otherwise the data read
// at step 2 decide: integers that fit get an integer type, anything else NUMERIC, which holds
// every Oracle number exactly. Without a profile, the declared integer rule holds, except for a
// virtual column, whose values nothing checked: it stays exact.
QString PgNumber(const TFieldRec& field, bool wide) {
    if (field.scale > 0) {
        return Numeric("NUMERIC", field);
    }
    const auto exact = [&] {
        return field.size > 0 && field.size < 38 ? WithSize("NUMERIC", field.size)
                                                 : QStringLiteral("NUMERIC");
    };
    if (field.profile.read && !field.profile.max_abs.isEmpty()) {
        if (field.profile.has_fraction) {
            return "NUMERIC";
        }
        switch (FitOf(field.profile.max_abs)) {
            case TIntFit::Int32:
                return wide ? "BIGINT" : "INTEGER";
            case TIntFit::Int64:
                return "BIGINT";
            case TIntFit::Beyond:
                return exact();
        }
    }
    if (field.is_virtual) {
        return exact();
    }
    return wide ? "BIGINT" : "INTEGER";
}

// Oracle's FLOAT(n) counts binary digits and keeps ceil(n * 0.30103) decimal digits. A double
// keeps every decimal of up to 15 digits, which FLOAT(49) does not exceed.
QString PgFloat(int binary_precision) {
    return binary_precision > 0 && binary_precision <= 49 ? "DOUBLE PRECISION" : "NUMERIC";
}

QString OraType(const TFieldRec& field) {
    const QString& type = field.data_type;
    const bool chars = field.char_used == QLatin1String("C");
    if (type == "NUMBER") {
        if (field.scale != 0) {
            return Numeric("NUMBER", field);
        }
        // Data with fractions can only come from a NUMBER without precision: NUMBER(38) would
        // round them. A computed column has the type of its expression unless declared.
        if ((field.profile.read && field.profile.has_fraction) ||
            (field.is_virtual && !field.profile.read && field.size >= 38)) {
            return "NUMBER";
        }
        return WithSize(type, field.size);
    }
    if (type == "VARCHAR2") {
        return chars ? "VARCHAR2(" + QString::number(field.size) + " CHAR)"
                     : WithSize(type, field.size);
    }
    if (type == "FLOAT" || type == "NVARCHAR2") {
        return WithSize(type, field.size);
    }
    if (type == "CHAR" && chars && field.size > 0) {
        return "CHAR(" + QString::number(field.size) + " CHAR)";
    }
    if (type == "CHAR" || type == "NCHAR" || type == "RAW") {
        return CharType(type, field.size);
    }
    return type;
}

QString PgType(const TFieldRec& field, bool wide) {
    const QString& type = field.data_type;
    if (type == "NUMBER") {
        return PgNumber(field, wide);
    }
    if (type == "FLOAT") {
        return PgFloat(field.size);
    }
    if (type == "DATE") {
        return "TIMESTAMP";
    }
    if (type.contains("VARCHAR")) {
        return WithSize("VARCHAR", field.size);
    }
    if (type == "BLOB" || type == "LONG RAW") {
        return "BYTEA";
    }
    if (type == "CHAR" || type == "NCHAR") {
        return CharType("CHAR", field.size);
    }
    const QString equivalent = PostgresEquivalent(type);
    return equivalent.isEmpty() ? type : equivalent;
}

bool IsPgInteger(const QString& type) {
    return type == "INTEGER" || type == "BIGINT";
}

QString Note(const TColumnContext& context, const TFieldRec& field, const QString& text) {
    return CommentText("-- " + context.table_name + "." + field.TargetName() + ": " + text,
                       context.db_to);
}

}  // namespace

QString TargetType(const TFieldRec& field, const TColumnContext& context) {
    if (context.db_from != kDbOracle) {
        return field.data_type;
    }
    if (context.db_to == kDbPostgres) {
        return PgType(field, context.int_type_index == 0);
    }
    if (context.db_to == kDbOracle) {
        return OraType(field);
    }
    return field.data_type;
}

bool NeedsOwnSequence(const TFieldRec& field, const TColumnContext& context) {
    return context.sequence_column && context.db_from == kDbOracle &&
           context.db_to == kDbPostgres && !IsPgInteger(TargetType(field, context));
}

TColumnDef ColumnDefinition(const TFieldRec& field, const TColumnContext& context) {
    const TSqlNames fallback(context.db_to);
    const TSqlNames& names = context.names != nullptr ? *context.names : fallback;
    const QList<TFieldRec> alone{field};
    const QList<TFieldRec>& fields = context.fields != nullptr ? *context.fields : alone;
    const bool to_postgres = context.db_from == kDbOracle && context.db_to == kDbPostgres;
    const bool to_oracle = context.db_from == kDbOracle && context.db_to == kDbOracle;

    TColumnDef def;
    const QString type = TargetType(field, context);
    QString& result = def.text;
    result = type;
    // Set when the column's values come from the target itself, so that no default applies.
    bool generated = false;
    // The current time for a DATE column the source's trigger fills, unless a default of its
    // own says otherwise (it is what the source inserts when the column is omitted, before the
    // trigger looks at it).
    bool now_default = false;

    if (field.is_virtual) {
        generated = true;
        QString expr;
        if (to_postgres && PgExpression(field.virtual_expr, fields, names, expr)) {
            result += " GENERATED ALWAYS AS (" + expr + ") STORED";
        } else if (to_oracle) {
            result += " GENERATED ALWAYS AS (" +
                      OraExpression(field.virtual_expr, fields, names).trimmed() + ") VIRTUAL";
        } else if (to_postgres) {
            def.notes << Note(context, field,
                              "вычисляемый столбец создан как обычный (выражение не "
                              "переводится для PostgreSQL): " +
                                  field.virtual_expr);
        }
    } else if (context.sequence_column && (to_postgres || to_oracle)) {
        generated = field.identity || to_postgres;
        if (to_postgres && !context.own_sequence.isEmpty() && NeedsOwnSequence(field, context)) {
            result += " DEFAULT nextval(" + PgLiteral(names.Name(context.own_sequence)) + ")";
        } else if (field.identity) {
            // BY DEFAULT, so that the copy can write the source's values.
            result += " GENERATED BY DEFAULT AS IDENTITY";
        } else if (to_postgres && IsPgInteger(type)) {
            result = type == "INTEGER" ? "SERIAL" : "BIGSERIAL";
        }
    } else if (field.identity || (field.autoinc && field.data_type == "NUMBER")) {
        if (to_postgres || to_oracle) {
            def.notes << Note(context, field,
                              "в источнике значения выдавал генератор; в целевой БД "
                              "последовательность создается только для одного столбца "
                              "таблицы, этот столбец заполняется только копированием");
        }
    } else if (field.autoinc && field.data_type == "DATE" && to_postgres) {
        now_default = true;
    }

    if (!generated && !field.identity && !field.default_.isEmpty() && (to_postgres || to_oracle)) {
        TDefaultContext dc;
        dc.db_to = context.db_to;
        dc.target_type = type;
        dc.names = &names;
        dc.sequences = context.sequences;
        const TDefaultText translated = TranslateDefault(field.default_, dc);
        if (translated.outcome == TDefaultOutcome::Written) {
            result += " DEFAULT " + translated.text;
            now_default = false;
        } else if (translated.outcome == TDefaultOutcome::Untranslated) {
            def.notes << Note(context, field,
                              "значение по умолчанию не перенесено (в целевой БД у него нет "
                              "равнозначного выражения): " +
                                  field.default_);
        }
    } else if (!field.default_.isEmpty() && !to_postgres && !to_oracle) {
        result += " DEFAULT " + field.default_;
    }
    if (now_default) {
        result += " DEFAULT now()";
    }
    if (!field.is_null) {
        result += " NOT NULL";
    }
    result += ",";
    return def;
}

QString GetTypeField(const TFieldRec& field, int db_from, int db_to, int int_type_index) {
    TTableRec table;
    table.fields = {field};
    TColumnContext context;
    context.db_from = db_from;
    context.db_to = db_to;
    context.int_type_index = int_type_index;
    context.sequence_column = SequenceField(table) != nullptr;
    return ColumnDefinition(field, context).text;
}

bool TargetComputes(const TFieldRec& field, const QList<TFieldRec>& fields, int db_to) {
    if (!field.is_virtual) {
        return false;
    }
    if (db_to == kDbOracle) {
        return true;
    }
    QString expr;
    return PgExpression(field.virtual_expr, fields, TSqlNames(db_to), expr);
}

QStringList TargetComputedColumns(const QList<TFieldRec>& fields, int db_to) {
    QStringList columns;
    for (const TFieldRec& field : fields) {
        if (TargetComputes(field, fields, db_to)) {
            columns << field.name;
        }
    }
    return columns;
}
