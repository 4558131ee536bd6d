#include "schema/catalog_reader.h"

#include <QHash>

#include "db/odbc.h"
#include "util/text_utils.h"

namespace {

// Runs one dictionary query and hands every row to on_row. The statement is closed on every
// way out, so that a failure leaves no open cursor on the source connection for the next try.
template <class F>
void ForEachRow(TDbQuery& query, const QString& sql, F&& on_row) {
    query.SetText(sql);
    query.Open();
    try {
        while (!query.Eof()) {
            on_row();
            query.Next();
        }
    } catch (...) {
        try {
            query.Close();
        } catch (...) {
        }
        throw;
    }
    query.Close();
}

QString Text(const TDbQuery& query, const char* column) {
    return query.FieldByName(QLatin1String(column)).AsString();
}

int Integer(const TDbQuery& query, const char* column) {
    return static_cast<int>(query.FieldByName(QLatin1String(column)).AsInteger());
}

// The catalog's own rows only: the owner must be named in the connection string. A plain
// substring test, as the connection string is all we know about the connecting user.
class TOwnerTest {
public:
    explicit TOwnerTest(const QString& connect_text) : connect_lower_(LowerLatin(connect_text)) {}
    bool Passes(const QString& owner) const {
        return !owner.isEmpty() && connect_lower_.contains(LowerLatin(owner));
    }

private:
    QString connect_lower_;
};

// Constraint names are unique per owner only: a schema copied under another owner (an archive,
// a test copy) has the same names, and joining on the name alone would give every key column
// twice, or take a disabled key of ours for the enabled one of theirs.
constexpr QLatin1String kConsJoin(
    "user_cons_columns.constraint_name = all_constraints.constraint_name AND "
    "user_cons_columns.owner = all_constraints.owner AND ");

QString DropLast(const QString& text) {
    return text.isEmpty() ? text : text.chopped(1);
}

// Key lists are gathered as "A,B,"; a referenced key is "TABLE(A,B)".
QString CloseList(const QString& list) {
    return QLatin1Char('(') + DropLast(list) + QLatin1Char(')');
}
QString Reference(const QString& table_name, const QString& list) {
    return table_name + CloseList(list);
}

}  // namespace

void AddType(QStringList& types, const QString& str) {
    if (!types.contains(str)) {
        types.append(str);
    }
}

void ReadStructFrom(TDbQuery& query_from, int db_from, const QString& connect_from_text,
                    TStructRead& result) {
    result.types.clear();
    result.tables.clear();
    result.version_read = false;
    result.disable_portion_read = false;
    if (db_from != kDbOracle) {
        return;
    }
    TTables& tables = result.tables;
    const TOwnerTest owner_test(connect_from_text);

    QString version;
    bool first_row_read = false;
    ForEachRow(query_from,
               QStringLiteral("SELECT * FROM v$version WHERE LOWER(banner) LIKE 'oracle%'"), [&] {
                   if (!first_row_read) {
                       version = query_from.Field(0).AsString();
                       first_row_read = true;
                   }
               });
    result.oracle_vers = version;
    result.version_read = true;
    if (FirstNumber(result.oracle_vers) < 12) {
        result.disable_portion_read = true;
    }

    ForEachRow(query_from, QStringLiteral("SELECT * FROM user_tables ORDER BY table_name"), [&] {
        TTableRec table;
        table.name = Text(query_from, "table_name");
        tables.append(table);
    });
    // First record of a name wins, as a front-to-back search would find it.
    QHash<QString, int> index_of;
    for (int i = tables.size() - 1; i >= 0; --i) {
        index_of.insert(tables[i].name, i);
    }
    auto find_table = [&](const QString& name) -> TTableRec* {
        const auto it = index_of.constFind(name);
        return it == index_of.constEnd() ? nullptr : &tables[it.value()];
    };
    // The table of the current catalog row, when its owner passes the owner test.
    auto owned_table = [&](const char* owner_column) -> TTableRec* {
        if (!owner_test.Passes(Text(query_from, owner_column))) {
            return nullptr;
        }
        return find_table(Text(query_from, "table_name"));
    };

    for (TTableRec& table : tables) {
        // The name goes in as stored: a name that needs quotes makes the statement fail, and
        // the read stops with the server's error.
        bool counted = false;
        ForEachRow(query_from, QStringLiteral("SELECT COUNT(*) FROM ") + table.name, [&] {
            if (!counted) {
                table.rows = query_from.Field(0).AsInteger();
                counted = true;
            }
        });
    }

    // Both lists are in name order, so one walk pairs the column rows with the tables; rows of
    // views and other objects fall in between and are skipped.
    int current = 0;
    ForEachRow(query_from,
               QStringLiteral("SELECT * FROM user_tab_columns ORDER BY table_name,column_id"), [&] {
                   if (tables.isEmpty()) {
                       return;
                   }
                   const QString table_name = Text(query_from, "table_name");
                   if (table_name != tables[current].name) {
                       if (current + 1 < tables.size() && table_name == tables[current + 1].name) {
                           ++current;
                       } else {
                           return;
                       }
                   }
                   TFieldRec field;
                   field.name = Text(query_from, "column_name");
                   field.data_type = UpperLatin(Text(query_from, "data_type"));
                   if (field.data_type == QLatin1String("NUMBER") ||
                       field.data_type == QLatin1String("FLOAT")) {
                       field.size = Integer(query_from, "data_precision");
                       if (field.size == 0) {
                           field.size = 38;
                       }
                       field.scale = Integer(query_from, "data_scale");
                   } else if (field.data_type == QLatin1String("VARCHAR2") ||
                              field.data_type == QLatin1String("NVARCHAR2")) {
                       field.size = Integer(query_from, "char_col_decl_length");
                   } else if (field.data_type == QLatin1String("CHAR") ||
                              field.data_type == QLatin1String("NCHAR")) {
                       // A fixed-length column pads every value to its length, so it must be
                       // declared in characters: in a multi-byte character set the byte length
                       // is several times larger and would pad the copied values with blanks.
                       field.size = Integer(query_from, "char_col_decl_length");
                       if (field.size <= 0) {
                           field.size = Integer(query_from, "data_length");
                       }
                   } else {
                       field.size = Integer(query_from, "data_length");
                   }
                   field.is_null = Text(query_from, "nullable") == QLatin1String("Y");
                   tables[current].fields.append(field);
                   AddType(result.types, field.data_type);
               });

    ForEachRow(query_from,
               QStringLiteral("SELECT col.owner AS schema_name,col.table_name,col.column_name,"
                              "col.column_id,col.data_default AS default_definition "
                              "FROM sys.all_tab_columns col WHERE NOT col.data_default IS NULL"),
               [&] {
                   TTableRec* table = owned_table("schema_name");
                   if (table == nullptr) {
                       return;
                   }
                   const QString column_name = Text(query_from, "column_name");
                   const QString default_text = TrimControl(Text(query_from, "default_definition"));
                   for (TFieldRec& field : table->fields) {
                       if (field.name == column_name) {
                           field.default_ = default_text;
                       }
                   }
               });

    // A before-insert row trigger that assigns :new.<column> first marks that column as fed by
    // a sequence (or, for a date, by the current time).
    ForEachRow(query_from,
               QStringLiteral("SELECT * FROM user_triggers WHERE triggering_event = 'INSERT' AND "
                              "trigger_type = 'BEFORE EACH ROW' "),
               [&] {
                   TTableRec* table = owned_table("table_owner");
                   if (table == nullptr) {
                       return;
                   }
                   QString body = Text(query_from, "trigger_body");
                   const QString token = LowerLatin(
                       ExtractBetween(QStringLiteral(":new."), QStringLiteral(" "), body));
                   if (token.isEmpty()) {
                       return;
                   }
                   for (TFieldRec& field : table->fields) {
                       if (LowerLatin(field.name) == token) {
                           field.autoinc = true;
                       }
                   }
               });

    ForEachRow(query_from,
               QStringLiteral("SELECT user_cons_columns.* FROM user_cons_columns,all_constraints "
                              "WHERE ") +
                   kConsJoin +
                   QStringLiteral("all_constraints.constraint_type = 'P' AND "
                                  "all_constraints.status = 'ENABLED' ORDER BY "
                                  "user_cons_columns.table_name,user_cons_columns.position"),
               [&] {
                   TTableRec* table = owned_table("owner");
                   if (table == nullptr) {
                       return;
                   }
                   table->primary_key.name = Text(query_from, "constraint_name");
                   table->primary_key.column_names +=
                       Text(query_from, "column_name") + QLatin1Char(',');
               });

    // Disabled unique keys are read as well.
    ForEachRow(
        query_from,
        QStringLiteral("SELECT user_cons_columns.* FROM user_cons_columns,all_constraints WHERE ") +
            kConsJoin +
            QStringLiteral("all_constraints.constraint_type = 'U' "
                           "ORDER BY user_cons_columns.table_name,user_cons_columns.position"),
        [&] {
            TTableRec* table = owned_table("owner");
            if (table == nullptr) {
                return;
            }
            const QString constraint_name = Text(query_from, "constraint_name");
            TUniqueKey* key = nullptr;
            for (TUniqueKey& uk : table->unique_key) {
                if (uk.name == constraint_name) {
                    key = &uk;
                    break;
                }
            }
            if (key == nullptr) {
                table->unique_key.append(TUniqueKey{constraint_name, QString()});
                key = &table->unique_key.last();
            }
            key->column_names += Text(query_from, "column_name") + QLatin1Char(',');
        });

    // Foreign keys, disabled ones too. Key lists of steps above still end with their comma,
    // which the reference drops.
    ForEachRow(query_from,
               QStringLiteral("SELECT user_cons_columns.*,all_constraints.r_constraint_name,"
                              "all_constraints.r_owner FROM "
                              "user_cons_columns,all_constraints WHERE ") +
                   kConsJoin +
                   QStringLiteral("all_constraints.constraint_type = 'R' ORDER BY "
                                  "all_constraints.constraint_name,user_cons_columns.position"),
               [&] {
                   TTableRec* table = owned_table("owner");
                   if (table == nullptr) {
                       return;
                   }
                   const QString constraint_name = Text(query_from, "constraint_name");
                   const QString column_name = Text(query_from, "column_name");
                   if (Integer(query_from, "position") == 1) {
                       const QString r_constraint_name = Text(query_from, "r_constraint_name");
                       TForeignKey key{constraint_name, column_name, r_constraint_name};
                       QStringList masters;
                       // An empty reference would match every table without a primary key,
                       // and a key of another owner is never one of our tables' keys, even
                       // when it has the same name.
                       const QString r_owner = Text(query_from, "r_owner");
                       if (!r_constraint_name.isEmpty() &&
                           (r_owner.isEmpty() || r_owner == Text(query_from, "owner"))) {
                           for (const TTableRec& master : tables) {
                               if (master.primary_key.name == r_constraint_name) {
                                   key.pk_name =
                                       Reference(master.name, master.primary_key.column_names);
                                   masters.append(master.name);
                               }
                               for (const TUniqueKey& uk : master.unique_key) {
                                   if (uk.name == r_constraint_name) {
                                       key.pk_name = Reference(master.name, uk.column_names);
                                       masters.append(master.name);
                                   }
                               }
                           }
                       }
                       table->f_key.append(key);
                       table->master_tables.append(masters);
                   } else {
                       for (TForeignKey& key : table->f_key) {
                           if (key.name == constraint_name) {
                               key.fields += QLatin1Char(',') + column_name;
                           }
                       }
                   }
               });

    for (TTableRec& table : tables) {
        if (!table.primary_key.column_names.isEmpty()) {
            table.primary_key.column_names = CloseList(table.primary_key.column_names);
        }
        for (TUniqueKey& uk : table.unique_key) {
            uk.column_names = CloseList(uk.column_names);
        }
        for (TForeignKey& fk : table.f_key) {
            fk.fields = QLatin1Char('(') + fk.fields + QLatin1Char(')');
        }
    }
}
