#include "schema/catalog_reader.h"

#include <QHash>

#include "db/connection_string.h"
#include "db/sql_text.h"
#include "schema/catalog_objects.h"
#include "schema/catalog_query.h"
#include "util/text_utils.h"

namespace {

// The catalog's own rows only: the owner must be the connected user. Oracle stores user names
// in upper case unless they were created in quotes, and the connection string may spell them
// in any case.
class TOwnerTest {
public:
    explicit TOwnerTest(const QString& owner) : owner_(UpperLatin(owner)) {}
    bool Passes(const QString& owner) const {
        return !owner.isEmpty() && UpperLatin(owner) == owner_;
    }

private:
    QString owner_;
};

// Constraint names are unique per owner only: a schema copied under another owner (an archive,
// a test copy) has the same names, and joining on the name alone would give every key column
// twice, or take a disabled key of ours for the enabled one of theirs.
constexpr QLatin1String kConsJoin(
    "user_cons_columns.constraint_name = all_constraints.constraint_name AND "
    "user_cons_columns.owner = all_constraints.owner AND ");

// Key columns with the constraint's state, in an order that does not depend on the view.
constexpr QLatin1String kConsColumns(
    "SELECT user_cons_columns.owner,user_cons_columns.constraint_name,"
    "user_cons_columns.table_name,user_cons_columns.column_name,user_cons_columns.position,"
    "all_constraints.status,all_constraints.validated");

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

bool IsCharType(const QString& type) {
    return type == QLatin1String("VARCHAR2") || type == QLatin1String("NVARCHAR2") ||
           type == QLatin1String("CHAR") || type == QLatin1String("NCHAR");
}

// The columns statement. Hidden columns are the system's (the expressions of function-based
// indexes, unused columns); from 12c on the user's invisible columns are hidden too and are
// kept. Virtual columns exist from 11g on, identity columns from 12c on; before, the column
// is unknown and must not be named. data_default is a LONG: last, after every column read by
// position or bound.
QString ColumnsSql(int release) {
    const bool identity = release >= 12;
    return QStringLiteral(
               "SELECT table_name,column_name,data_type,data_length,data_precision,data_scale,"
               "nullable,char_length,char_used,") +
           (release >= 11 ? QStringLiteral("virtual_column,") : QString()) +
           (identity ? QStringLiteral("identity_column,") : QString()) +
           QStringLiteral("data_default FROM user_tab_cols WHERE ") +
           (identity ? QStringLiteral("(hidden_column = 'NO' OR user_generated = 'YES')")
                     : QStringLiteral("hidden_column = 'NO'")) +
           QStringLiteral(" ORDER BY table_name,column_id");
}

}  // namespace

void AddType(QStringList& types, const QString& str) {
    if (!types.contains(str)) {
        types.append(str);
    }
}

QString UserFromConnectString(const QString& connect_text) {
    QString user;
    try {
        for (const TConnectPair& pair : ParseConnectString(connect_text)) {
            if (UpperLatin(pair.key) == QLatin1String("USER ID")) {
                user = pair.value.trimmed();
                break;
            }
        }
    } catch (const TError&) {
        return QString();
    }
    if (user.endsWith(u']')) {
        const qsizetype open = user.indexOf(u'[');
        if (open >= 0) {
            user = user.mid(open + 1, user.size() - open - 2).trimmed();
        }
    }
    return user == QLatin1String("/") ? QString() : user;
}

void ReadStructFrom(TDbQuery& query_from, int db_from, const QString& connect_from_text,
                    TStructRead& result) {
    // The banner of an earlier read stays until a new one is read.
    const QString kept_version = result.oracle_vers;
    result = TStructRead();
    result.oracle_vers = kept_version;
    if (db_from != kDbOracle) {
        return;
    }
    TTables& tables = result.tables;

    QString note;
    result.oracle_vers = ReadOraVersion(query_from, note);
    result.version_read = true;
    if (!note.isEmpty()) {
        result.notes.append(note);
    }
    const int release = FirstNumber(result.oracle_vers);
    if (release < 12) {
        result.disable_portion_read = true;
    }

    result.owner = UserFromConnectString(connect_from_text);
    if (result.owner.isEmpty()) {
        ForEachRow(query_from, QStringLiteral("SELECT USER FROM dual"), [&] {
            if (result.owner.isEmpty()) {
                result.owner = query_from.Field(0).AsString().trimmed();
            }
        });
        result.notes.append(
            QStringLiteral(
                "Строка подключения не называет пользователя (User ID): владелец схемы %1 взят "
                "у сервера (SELECT USER FROM dual).")
                .arg(result.owner));
    }
    const TOwnerTest owner_test(result.owner);

    // Secondary objects are listed among the tables but cannot be read by a query: IOT
    // overflow segments, nested tables, the tables of text indexes, and dropped tables waiting
    // in the recycle bin (partitioned tables have no value in "dropped").
    ForEachRow(query_from,
               QStringLiteral("SELECT table_name FROM user_tables WHERE "
                              "(iot_type IS NULL OR iot_type <> 'IOT_OVERFLOW') AND "
                              "(nested IS NULL OR nested <> 'YES') AND "
                              "(secondary IS NULL OR secondary <> 'Y') AND "
                              "(dropped IS NULL OR dropped <> 'YES') ORDER BY table_name"),
               [&] {
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

    // Both lists are in name order, so one walk pairs the column rows with the tables; rows of
    // views and other objects fall in between and are skipped.
    int current = 0;
    QList<QList<bool>> profiled(tables.size());
    ForEachRow(query_from, ColumnsSql(release), [&] {
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
        bool profile = false;
        if (field.data_type == QLatin1String("NUMBER") ||
            field.data_type == QLatin1String("FLOAT")) {
            field.size = Integer(query_from, "data_precision");
            if (field.size == 0) {
                field.size = 38;
            }
            field.scale = Integer(query_from, "data_scale");
            // Integers by declaration (scale 0 or below) and numbers without a scale: what
            // their rows hold decides the target type.
            profile = field.data_type == QLatin1String("NUMBER") &&
                      (IsNull(query_from, "data_scale") || field.scale <= 0);
        } else if (IsCharType(field.data_type)) {
            // The declared length in its own unit: char_col_decl_length is derived from the
            // byte length and the character set, so a VARCHAR2(100 BYTE) of a multi-byte
            // database reads 25 there.
            field.size = Integer(query_from, "char_length");
            if (field.size <= 0) {
                field.size = Integer(query_from, "data_length");
            }
            field.char_used = Text(query_from, "char_used");
        } else {
            field.size = Integer(query_from, "data_length");
        }
        field.is_null = Text(query_from, "nullable") == QLatin1String("Y");
        field.is_virtual =
            release >= 11 && Text(query_from, "virtual_column") == QLatin1String("YES");
        field.identity =
            release >= 12 && Text(query_from, "identity_column") == QLatin1String("YES");
        // An identity column's default is its generator's sequence call, a virtual column's
        // its expression: neither is a default of the column.
        const QString default_text = TrimControl(Text(query_from, "data_default"));
        if (field.is_virtual) {
            field.virtual_expr = default_text;
        } else if (!field.identity) {
            field.default_ = default_text;
        }
        tables[current].fields.append(field);
        profiled[current].append(profile);
        AddType(result.types, field.data_type);
    });

    // Row counts, with the profile of the number columns in the same pass over the rows.
    for (int i = 0; i < tables.size(); ++i) {
        CountAndProfile(query_from, tables[i], profiled[i]);
    }

    // A before-insert row trigger that assigns :new.<column> first marks that column as fed by
    // a sequence (or, for a date, by the current time). trigger_body is a LONG: last.
    ForEachRow(query_from,
               QStringLiteral("SELECT table_owner,table_name,trigger_body FROM user_triggers "
                              "WHERE triggering_event = 'INSERT' AND "
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
               kConsColumns + QStringLiteral(" FROM user_cons_columns,all_constraints WHERE ") +
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
                   table->primary_key.validated =
                       Text(query_from, "validated") == QLatin1String("VALIDATED");
               });

    // Disabled unique keys are read as well, with their state.
    ForEachRow(query_from,
               kConsColumns + QStringLiteral(" FROM user_cons_columns,all_constraints WHERE ") +
                   kConsJoin +
                   QStringLiteral("all_constraints.constraint_type = 'U' ORDER BY "
                                  "user_cons_columns.table_name,user_cons_columns.position"),
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
                       TUniqueKey added;
                       added.name = constraint_name;
                       added.enabled = Text(query_from, "status") == QLatin1String("ENABLED");
                       added.validated =
                           Text(query_from, "validated") == QLatin1String("VALIDATED");
                       table->unique_key.append(added);
                       key = &table->unique_key.last();
                   }
                   key->column_names += Text(query_from, "column_name") + QLatin1Char(',');
               });

    // Foreign keys, disabled ones too. Key lists of steps above still end with their comma,
    // which the reference drops.
    ForEachRow(query_from,
               kConsColumns +
                   QStringLiteral(",all_constraints.r_constraint_name,all_constraints.r_owner,"
                                  "all_constraints.delete_rule "
                                  "FROM user_cons_columns,all_constraints WHERE ") +
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
                       key.enabled = Text(query_from, "status") == QLatin1String("ENABLED");
                       key.validated = Text(query_from, "validated") == QLatin1String("VALIDATED");
                       // NO ACTION is what a key does unless it says otherwise.
                       const QString rule = Text(query_from, "delete_rule");
                       if (rule == QLatin1String("CASCADE") || rule == QLatin1String("SET NULL")) {
                           key.delete_rule = rule;
                       }
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

    ReadChecks(query_from, find_table);
    ReadIndexes(
        query_from, [&](const QString& owner) { return owner_test.Passes(owner); }, find_table);
    ReadComments(query_from, find_table);
    result.sequences = ReadSequences(query_from, release);

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
