// Checks, indexes, comments and sequences of the source schema.

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "schema/catalog_objects.h"
#include "schema/catalog_query.h"
#include "schema/ora_number_text.h"

namespace {

bool HasField(const TTableRec& table, const QString& name) {
    for (const TFieldRec& field : table.fields) {
        if (field.name == name) {
            return true;
        }
    }
    return false;
}

TFieldRec* FindField(TTableRec& table, const QString& name) {
    for (TFieldRec& field : table.fields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

// Index kinds that are no index of their own in a target: the top of an index-organized
// table (its primary key), LOB indexes, cluster indexes, domain indexes (text search and the
// like, also function-based ones).
bool IsOwnIndexType(const QString& type) {
    return type != QLatin1String("IOT - TOP") && type != QLatin1String("LOB") &&
           type != QLatin1String("CLUSTER") && !type.contains(QLatin1String("DOMAIN"));
}

}  // namespace

void ReadChecks(TDbQuery& query, const TFindTable& find_table) {
    // Oracle keeps every NOT NULL column as a check of the form "COLUMN" IS NOT NULL; the
    // column's nullability already carries it.
    static const QRegularExpression kNotNull(QStringLiteral("^\"([^\"]+)\" IS NOT NULL$"),
                                             QRegularExpression::CaseInsensitiveOption);
    // search_condition is a LONG: last.
    ForEachRow(query,
               QStringLiteral("SELECT constraint_name,table_name,status,validated,"
                              "search_condition FROM user_constraints WHERE constraint_type = "
                              "'C' ORDER BY table_name,constraint_name"),
               [&] {
                   TTableRec* table = find_table(Text(query, "table_name"));
                   if (table == nullptr) {
                       return;
                   }
                   TCheckRec check;
                   check.condition = Text(query, "search_condition").trimmed();
                   const QRegularExpressionMatch not_null = kNotNull.match(check.condition);
                   if (not_null.hasMatch() && HasField(*table, not_null.captured(1))) {
                       return;
                   }
                   check.name = Text(query, "constraint_name");
                   check.enabled = Text(query, "status") == QLatin1String("ENABLED");
                   check.validated = Text(query, "validated") == QLatin1String("VALIDATED");
                   table->checks.append(check);
               });
}

void ReadIndexes(TDbQuery& query, const TOwnerPasses& owned, const TFindTable& find_table) {
    // The indexes that enforce a primary or unique key come with the key.
    QSet<QString> key_indexes;
    ForEachRow(query,
               QStringLiteral("SELECT index_name FROM user_constraints WHERE constraint_type IN "
                              "('P','U') AND index_name IS NOT NULL"),
               [&] { key_indexes.insert(Text(query, "index_name")); });

    struct TPlace {
        TTableRec* table;
        qsizetype position;
    };
    QHash<QString, TPlace> place_of;
    // An index of ours may stand on another owner's table of the same name.
    ForEachRow(query,
               QStringLiteral("SELECT index_name,table_owner,table_name,index_type,uniqueness "
                              "FROM user_indexes ORDER BY table_name,index_name"),
               [&] {
                   const QString name = Text(query, "index_name");
                   if (!owned(Text(query, "table_owner")) || key_indexes.contains(name) ||
                       !IsOwnIndexType(Text(query, "index_type"))) {
                       return;
                   }
                   TTableRec* table = find_table(Text(query, "table_name"));
                   if (table == nullptr) {
                       return;
                   }
                   TIndexRec index;
                   index.name = name;
                   index.unique = Text(query, "uniqueness") == QLatin1String("UNIQUE");
                   table->indexes.append(index);
                   place_of.insert(name, TPlace{table, table->indexes.size() - 1});
               });
    if (place_of.isEmpty()) {
        return;
    }
    auto index_of = [&](const QString& name) -> TIndexRec* {
        const auto it = place_of.constFind(name);
        return it == place_of.constEnd() ? nullptr : &it->table->indexes[it->position];
    };
    QHash<QString, QStringList> columns_of;
    ForEachRow(query,
               QStringLiteral("SELECT index_name,column_name,column_position FROM "
                              "user_ind_columns ORDER BY index_name,column_position"),
               [&] {
                   const QString name = Text(query, "index_name");
                   if (index_of(name) != nullptr) {
                       columns_of[name].append(Text(query, "column_name"));
                   }
               });
    for (auto it = columns_of.cbegin(); it != columns_of.cend(); ++it) {
        index_of(it.key())->column_names = u'(' + it.value().join(u',') + u')';
    }
    // column_expression is a LONG: last.
    ForEachRow(query,
               QStringLiteral("SELECT index_name,column_position,column_expression FROM "
                              "user_ind_expressions ORDER BY index_name,column_position"),
               [&] {
                   TIndexRec* index = index_of(Text(query, "index_name"));
                   const int position = Integer(query, "column_position");
                   if (index == nullptr || position < 1) {
                       return;
                   }
                   const qsizetype columns = columns_of.value(index->name).size();
                   while (index->expressions.size() < std::max<qsizetype>(columns, position)) {
                       index->expressions.append(QString());
                   }
                   index->expressions[position - 1] = Text(query, "column_expression").trimmed();
               });
}

void ReadComments(TDbQuery& query, const TFindTable& find_table) {
    ForEachRow(query,
               QStringLiteral("SELECT table_name,comments FROM user_tab_comments WHERE "
                              "comments IS NOT NULL"),
               [&] {
                   if (TTableRec* table = find_table(Text(query, "table_name"))) {
                       table->comment = Text(query, "comments");
                   }
               });
    ForEachRow(query,
               QStringLiteral("SELECT table_name,column_name,comments FROM user_col_comments "
                              "WHERE comments IS NOT NULL"),
               [&] {
                   TTableRec* table = find_table(Text(query, "table_name"));
                   TFieldRec* field =
                       table == nullptr ? nullptr : FindField(*table, Text(query, "column_name"));
                   if (field != nullptr) {
                       field->comment = Text(query, "comments");
                   }
               });
}

TSequences ReadSequences(TDbQuery& query, int release) {
    // An identity column's generator is a sequence of the system's, named ISEQ$$_<object id>;
    // it goes with the column.
    QSet<QString> identity;
    if (release >= 12) {
        ForEachRow(query, QStringLiteral("SELECT sequence_name FROM user_tab_identity_cols"),
                   [&] { identity.insert(Text(query, "sequence_name")); });
    }
    TSequences sequences;
    ForEachRow(
        query,
        QStringLiteral("SELECT sequence_name,min_value,max_value,increment_by,cycle_flag,"
                       "cache_size,last_number FROM user_sequences ORDER BY "
                       "sequence_name"),
        [&] {
            TSequenceRec seq;
            seq.name = Text(query, "sequence_name");
            if (identity.contains(seq.name) || seq.name.startsWith(QLatin1String("ISEQ$$_"))) {
                return;
            }
            auto number = [&](const char* column) {
                return OraNumberText(Text(query, column), seq.name + u'.' + QLatin1String(column));
            };
            seq.min_value = number("min_value");
            seq.max_value = number("max_value");
            seq.increment_by = number("increment_by");
            seq.last_number = number("last_number");
            seq.cache_size = number("cache_size");
            seq.cycle = Text(query, "cycle_flag") == QLatin1String("Y");
            sequences.append(seq);
        });
    return sequences;
}
