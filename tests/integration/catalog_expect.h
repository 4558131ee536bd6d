#pragma once
// Expected models for the catalog reader's tests against the dictionary emulation, and their
// text form: a table compared as text shows in a failure exactly what differs.

#include <QStringList>
#include <string>

#include "schema/catalog_reader.h"

// A column; the optional parts are set on the result (fluent), e.g.
// F("NAME", "VARCHAR2", 100, false).Chars("C").
struct TF {
    TFieldRec f;
    TF(const char* name, const char* type, int size, bool is_null, int scale = 0) {
        f.name = QString::fromUtf8(name);
        f.data_type = QLatin1String(type);
        f.size = size;
        f.scale = scale;
        f.is_null = is_null;
    }
    TF& Default(const char* text) {
        f.default_ = QString::fromUtf8(text);
        return *this;
    }
    TF& Autoinc() {
        f.autoinc = true;
        return *this;
    }
    TF& Chars(const char* used) {
        f.char_used = QLatin1String(used);
        return *this;
    }
    TF& Identity() {
        f.identity = true;
        return *this;
    }
    TF& Virtual(const char* expr) {
        f.is_virtual = true;
        f.virtual_expr = QString::fromUtf8(expr);
        return *this;
    }
    // The profile of a number column: whether a value has a fraction, the largest absolute
    // value ("" when there are no values).
    TF& Profile(bool has_fraction, const char* max_abs) {
        f.profile.read = true;
        f.profile.has_fraction = has_fraction;
        f.profile.max_abs = QLatin1String(max_abs);
        return *this;
    }
    TF& Comment(const char* text) {
        f.comment = QString::fromUtf8(text);
        return *this;
    }
    operator TFieldRec() const { return f; }
};

inline TUniqueKey UK(const char* name, const char* columns, bool enabled = true,
                     bool validated = true) {
    TUniqueKey k;
    k.name = QLatin1String(name);
    k.column_names = QLatin1String(columns);
    k.enabled = enabled;
    k.validated = validated;
    return k;
}

inline TForeignKey FK(const char* name, const char* fields, const char* pk_name,
                      bool enabled = true, bool validated = true, const char* delete_rule = "") {
    TForeignKey k;
    k.delete_rule = QLatin1String(delete_rule);
    k.name = QLatin1String(name);
    k.fields = QLatin1String(fields);
    k.pk_name = QLatin1String(pk_name);
    k.enabled = enabled;
    k.validated = validated;
    return k;
}

inline TCheckRec CK(const char* name, const char* condition, bool enabled = true,
                    bool validated = true) {
    TCheckRec c;
    c.name = QLatin1String(name);
    c.condition = QString::fromUtf8(condition);
    c.enabled = enabled;
    c.validated = validated;
    return c;
}

inline TIndexRec IX(const char* name, const char* columns, bool unique = false,
                    QStringList expressions = {}) {
    TIndexRec i;
    i.name = QLatin1String(name);
    i.column_names = QLatin1String(columns);
    i.unique = unique;
    i.expressions = expressions;
    return i;
}

struct TT {
    TTableRec t;
    TT(const char* name, qint64 rows, QList<TFieldRec> fields) {
        t.name = QString::fromUtf8(name);
        t.rows = rows;
        t.fields = fields;
    }
    TT& Pk(const char* name, const char* columns) {
        t.primary_key.name = QLatin1String(name);
        t.primary_key.column_names = QString::fromUtf8(columns);
        return *this;
    }
    TT& Uk(QList<TUniqueKey> keys) {
        t.unique_key = keys;
        return *this;
    }
    TT& Fk(QList<TForeignKey> keys, QStringList masters) {
        t.f_key = keys;
        t.master_tables = masters;
        return *this;
    }
    TT& Checks(QList<TCheckRec> checks) {
        t.checks = checks;
        return *this;
    }
    TT& Indexes(QList<TIndexRec> indexes) {
        t.indexes = indexes;
        return *this;
    }
    TT& Comment(const char* text) {
        t.comment = QString::fromUtf8(text);
        return *this;
    }
    operator TTableRec() const { return t; }
};

inline TSequenceRec SEQ(const char* name, const char* min_value, const char* max_value,
                        const char* increment_by, const char* last_number, const char* cache_size,
                        bool cycle) {
    TSequenceRec s;
    s.name = QLatin1String(name);
    s.min_value = QLatin1String(min_value);
    s.max_value = QLatin1String(max_value);
    s.increment_by = QLatin1String(increment_by);
    s.last_number = QLatin1String(last_number);
    s.cache_size = QLatin1String(cache_size);
    s.cycle = cycle;
    return s;
}

// Every field of a table, one line per part.
inline std::string Dump(const TTableRec& t) {
    QStringList lines;
    lines << QStringLiteral("table %1 rows=%2 comment=%3").arg(t.name).arg(t.rows).arg(t.comment);
    for (const TFieldRec& f : t.fields) {
        lines << QStringLiteral(
                     "  %1 %2 size=%3 scale=%4 null=%5 default=[%6] autoinc=%7 rename=[%8] "
                     "chars=%9 identity=%10 virtual=%11[%12] profile=%13/%14/%15 comment=[%16]")
                     .arg(f.name, f.data_type)
                     .arg(f.size)
                     .arg(f.scale)
                     .arg(f.is_null)
                     .arg(f.default_)
                     .arg(f.autoinc)
                     .arg(f.change_name, f.char_used)
                     .arg(f.identity)
                     .arg(f.is_virtual)
                     .arg(f.virtual_expr)
                     .arg(f.profile.read)
                     .arg(f.profile.has_fraction)
                     .arg(f.profile.max_abs, f.comment);
    }
    lines << QStringLiteral("  pk %1 %2 validated=%3")
                 .arg(t.primary_key.name, t.primary_key.column_names)
                 .arg(t.primary_key.validated);
    for (const TUniqueKey& k : t.unique_key) {
        lines << QStringLiteral("  uk %1 %2 enabled=%3 validated=%4")
                     .arg(k.name, k.column_names)
                     .arg(k.enabled)
                     .arg(k.validated);
    }
    for (const TForeignKey& k : t.f_key) {
        lines << QStringLiteral("  fk %1 %2 -> %3 enabled=%4 validated=%5")
                     .arg(k.name, k.fields, k.pk_name)
                     .arg(k.enabled)
                     .arg(k.validated);
    }
    lines << QStringLiteral("  masters %1").arg(t.master_tables.join(u','));
    for (const TCheckRec& c : t.checks) {
        lines << QStringLiteral("  check %1 [%2] enabled=%3 validated=%4")
                     .arg(c.name, c.condition)
                     .arg(c.enabled)
                     .arg(c.validated);
    }
    for (const TIndexRec& i : t.indexes) {
        lines << QStringLiteral("  index %1 %2 unique=%3 expressions=[%4]")
                     .arg(i.name, i.column_names)
                     .arg(i.unique)
                     .arg(i.expressions.join(QStringLiteral("|")));
    }
    lines << QStringLiteral("  addi=[%1] file=[%2]").arg(t.query_addi, t.file_copy);
    return lines.join(u'\n').toStdString();
}

inline std::string Dump(const TSequences& sequences) {
    QStringList lines;
    for (const TSequenceRec& s : sequences) {
        lines << QStringLiteral("%1 min=%2 max=%3 by=%4 last=%5 cache=%6 cycle=%7")
                     .arg(s.name, s.min_value, s.max_value, s.increment_by, s.last_number,
                          s.cache_size)
                     .arg(s.cycle);
    }
    return lines.join(u'\n').toStdString();
}

inline QStringList Names(const TTables& tables) {
    QStringList names;
    for (const TTableRec& t : tables) {
        names << t.name;
    }
    return names;
}
