#include "ddl/script_gen.h"

#include "ddl/type_mapping.h"
#include "schema/table_sort.h"
#include "util/text_utils.h"

namespace {

// Tables whose triggers keep the older naming, TRIGGER_ before the table name.
bool HasLegacyTriggerName(const QString& table_name) {
    const QString upper = UpperLatin(table_name);
    return upper == "KOLVANS" || upper == "TERP_USER" || upper == "ROTA_117_03" ||
           upper == "NODE_ALERTS";
}

// Key column lists hold source column names; a renamed column must appear under its new name
// or the constraint would name a column the target table does not have. Only a list in the
// "(A,B)" form is rewritten, and only entries equal to a column's source name.
QString RenameColumns(const QString& list, const QList<TFieldRec>& fields) {
    if (list.size() < 2 || !list.startsWith('(') || !list.endsWith(')')) {
        return list;
    }
    QStringList names = list.mid(1, list.size() - 2).split(',');
    bool changed = false;
    for (QString& name : names) {
        for (const TFieldRec& field : fields) {
            if (field.name == name) {
                if (!field.change_name.isEmpty()) {
                    name = field.change_name;
                    changed = true;
                }
                break;
            }
        }
    }
    return changed ? "(" + names.join(',') + ")" : list;
}

// A resolved reference reads "TABLE(COLS)"; its columns are renamed after the referenced
// table's columns. A bare constraint name (a key outside the model) stays as it is.
QString RenameReference(const QString& pk_name, const TTables& tables) {
    const qsizetype open = pk_name.indexOf('(');
    if (open <= 0 || !pk_name.endsWith(')')) {
        return pk_name;
    }
    const QString table_name = pk_name.left(open);
    for (const TTableRec& table : tables) {
        if (table.name == table_name) {
            return table_name + RenameColumns(pk_name.mid(open), table.fields);
        }
    }
    return pk_name;
}

// A reference resolved in the model reads "TABLE(COLS)"; an unresolved one is the bare name of
// a constraint outside the schema, which no REFERENCES clause can name.
bool IsResolvedReference(const QString& pk_name) {
    const qsizetype open = pk_name.indexOf('(');
    return open > 0 && pk_name.endsWith(')');
}

}  // namespace

QStringList MakeScriptNew(TTables& tables, const TScriptOptions& options) {
    SortTables(tables);
    const bool to_oracle = options.db_to == kDbOracle;
    QStringList script;
    for (const TTableRec& tb : tables) {
        QStringList block;
        block << "CREATE TABLE " + tb.name + " (";
        for (const TFieldRec& field : tb.fields) {
            block << field.TargetName() + " " +
                         GetTypeField(field, options.db_from, options.db_to,
                                      options.int_type_index);
        }
        if (!tb.primary_key.name.isEmpty()) {
            block << "CONSTRAINT " + tb.primary_key.name + " PRIMARY KEY" +
                         RenameColumns(tb.primary_key.column_names, tb.fields) + ",";
        }
        for (const TUniqueKey& key : tb.unique_key) {
            block << "CONSTRAINT " + key.name + " UNIQUE" +
                         RenameColumns(key.column_names, tb.fields) + ",";
        }
        // A key that references a key of another owner has nothing to refer to in the new
        // database and could only fail the script; it stays visible to the operator as a
        // comment after the table.
        QStringList left_out;
        for (const TForeignKey& key : tb.f_key) {
            const QString constraint = "CONSTRAINT " + key.name + " FOREIGN KEY" +
                                       RenameColumns(key.fields, tb.fields) + " REFERENCES " +
                                       RenameReference(key.pk_name, tables);
            if (IsResolvedReference(key.pk_name)) {
                block << constraint + ",";
            } else {
                left_out << "-- " + constraint +
                                " (не создается: ключ ссылается на ограничение вне переносимой "
                                "схемы)";
            }
        }
        if (block.last().endsWith(',')) {
            block.last().chop(1);
        }
        block << (to_oracle ? ") TABLESPACE USERS STORAGE (INITIAL 64K MAXEXTENTS UNLIMITED) "
                              "LOGGING%"
                            : ");");
        block << left_out;
        block << QString();
        AddOraTrig(tb, block, options);
        script << block;
    }
    return script;
}

void AddOraTrig(const TTableRec& tb, QStringList& list, const TScriptOptions& options) {
    if (options.db_to != kDbOracle) {
        return;
    }
    const TFieldRec* column = nullptr;
    for (const TFieldRec& field : tb.fields) {
        if (field.autoinc) {
            column = &field;
            break;
        }
    }
    if (column == nullptr) {
        return;
    }
    const QString trigger_name = HasLegacyTriggerName(tb.name)
                                     ? options.user + ".TRIGGER_" + tb.name
                                     : options.user + "." + tb.name + "_TRIGGER";
    // The trigger fills the column of the target table, which carries the new name.
    const QString& column_name = column->TargetName();
    const QString head = "CREATE OR REPLACE TRIGGER " + trigger_name + " BEFORE INSERT ON " +
                         tb.name + " FOR EACH ROW " + "BEGIN IF :new." + column_name +
                         " IS NULL THEN  SELECT ";
    const QString tail = " INTO :new." + column_name + " FROM DUAL; END IF; END;%";

    list << QString();
    if (column->data_type == "DATE") {
        list << head + "sysdate" + tail;
    } else {
        list << "CREATE SEQUENCE " + options.user + ".SEQ_" + tb.name + "%";
        list << head + "SEQ_" + tb.name + ".NEXTVAL" + tail;
    }
    list << QString();
}
