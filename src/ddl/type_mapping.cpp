#include "ddl/type_mapping.h"

#include <QRegularExpression>

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

}  // namespace

QString GetTypeField(const TFieldRec& field, int db_from, int db_to, int int_type_index) {
    const QString& data_type = field.data_type;
    const bool to_postgres = db_from == kDbOracle && db_to == kDbPostgres;
    const bool to_oracle = db_from == kDbOracle && db_to == kDbOracle;
    const bool wide_int = int_type_index == 0;

    QString type = data_type;
    // A DATE column filled with the current date on insert. When it also has a default of its
    // own, that default wins (it is what the source inserts when the column is omitted, before
    // the trigger looks at it), so the column gets one DEFAULT clause only.
    bool date_now_default = false;
    if (to_postgres) {
        if (data_type == "NUMBER") {
            // An autoincrement column stays serial even with a scale: its values come from the
            // sequence, and the sequence the server creates for it is reset after the copy.
            if (field.autoinc) {
                type = wide_int ? "BIGSERIAL" : "SERIAL";
            } else if (field.scale > 0) {
                type = Numeric("NUMERIC", field);
            } else {
                type = wide_int ? "BIGINT" : "INTEGER";
            }
        } else if (data_type == "DATE") {
            type = "TIMESTAMP";
            date_now_default = field.autoinc && field.default_.isEmpty();
        } else if (data_type.contains("VARCHAR")) {
            type = WithSize("VARCHAR", field.size);
        } else if (data_type == "BLOB" || data_type == "LONG RAW") {
            type = "BYTEA";
        } else if (data_type == "CHAR" || data_type == "NCHAR") {
            type = CharType("CHAR", field.size);
        } else if (const QString equivalent = PostgresEquivalent(data_type);
                   !equivalent.isEmpty()) {
            type = equivalent;
        }
    } else if (to_oracle) {
        if (data_type == "NUMBER" && field.scale > 0) {
            type = Numeric("NUMBER", field);
        } else if (data_type == "NUMBER" || data_type == "FLOAT" || data_type == "NVARCHAR2" ||
                   data_type == "VARCHAR2") {
            type = WithSize(data_type, field.size);
        } else if (data_type == "CHAR" || data_type == "NCHAR") {
            type = CharType(data_type, field.size);
        }
    }

    QString result = type;
    if (date_now_default) {
        result += " DEFAULT now()";
    }
    if (!field.default_.isEmpty()) {
        QString value = field.default_;
        if (to_postgres && LowerLatin(value) == "sysdate") {
            value = "now()";
        }
        // The catalog keeps string defaults with their own apostrophes ('N'); wrapping those
        // again would give ''N'', which no server parses.
        const bool quoted = value.size() >= 2 && value.startsWith('\'') && value.endsWith('\'');
        if (data_type.contains("CHAR") && !quoted) {
            result += " DEFAULT '" + value + "'";
        } else {
            result += " DEFAULT " + value;
        }
    }
    if (!field.is_null) {
        result += " NOT NULL";
    }
    result += ",";
    return result;
}
