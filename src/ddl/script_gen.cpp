#include "ddl/script_gen.h"

#include "ddl/script_parts.h"
#include "ddl/target_names.h"
#include "ddl/type_mapping.h"
#include "schema/table_sort.h"

namespace {

// The sequence the PostgreSQL script makes for a sequence column that is no integer, named as
// the server names those of serial columns, and kept apart from the standalone sequences and
// from each other.
QString OwnSequenceName(const TTableRec& table, const TFieldRec& field, const TScriptParts& parts,
                        QStringList& taken) {
    const QString base = table.name + "_" + field.TargetName() + "_SEQ";
    QString name = base;
    for (int n = 1; parts.HasSequence(name) || taken.contains(parts.Names().Stored(name)); ++n) {
        name = base + QString::number(n);
    }
    taken << parts.Names().Stored(name);
    return name;
}

QStringList TableBlock(const TTableRec& tb, const TScriptParts& parts,
                       const TScriptOptions& options, QStringList& own_sequences) {
    const TSqlNames& names = parts.Names();
    const QString table_name = names.Name(tb.name);
    const TFieldRec* sequence_field = SequenceField(tb);

    TColumnContext context;
    context.db_from = options.db_from;
    context.db_to = options.db_to;
    context.int_type_index = options.int_type_index;
    context.names = &names;
    context.table_name = tb.name;
    context.fields = &tb.fields;
    context.sequences = parts.SequenceNames();

    QStringList head;
    QStringList block;
    QStringList tail;
    QStringList notes;
    block << "CREATE TABLE " + table_name + " (";
    for (const TFieldRec& field : tb.fields) {
        TColumnContext column = context;
        column.sequence_column = &field == sequence_field;
        if (NeedsOwnSequence(field, column)) {
            column.own_sequence = OwnSequenceName(tb, field, parts, own_sequences);
            head << "CREATE SEQUENCE " + names.Name(column.own_sequence) + ";";
            tail << "ALTER SEQUENCE " + names.Name(column.own_sequence) + " OWNED BY " +
                        table_name + "." + names.Name(field.TargetName()) + ";";
        }
        const TColumnDef def = ColumnDefinition(field, column);
        block << names.Name(field.TargetName()) + " " + def.text;
        notes << def.notes;
    }
    if (!tb.primary_key.name.isEmpty() && tb.primary_key.validated) {
        block << "CONSTRAINT " + names.Name(tb.primary_key.name) + " PRIMARY KEY" +
                     parts.KeyList(tb.primary_key.column_names, tb.fields) + ",";
    }
    for (const TUniqueKey& key : tb.unique_key) {
        const QString list = parts.KeyList(key.column_names, tb.fields);
        if (!key.enabled) {
            notes << parts.Comment("Ограничение " + key.name + " UNIQUE" + list +
                                   " отключено в источнике и не создается");
        } else if (key.validated) {
            block << "CONSTRAINT " + names.Name(key.name) + " UNIQUE" + list + ",";
        }
    }
    if (block.last().endsWith(',')) {
        block.last().chop(1);
    }
    block << (parts.ToOracle() ? ") TABLESPACE USERS STORAGE (INITIAL 64K MAXEXTENTS UNLIMITED) "
                                 "LOGGING%"
                               : ");");
    return head + block + tail + parts.Comments(tb) + notes;
}

QString SectionOf(const QString& script, bool after) {
    const QStringList lines = script.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() == kAfterCopyMarker) {
            return after ? lines.mid(i + 1).join(u'\n') : lines.mid(0, i).join(u'\n');
        }
    }
    return after ? QString() : script;
}

}  // namespace

QStringList MakeScriptNew(TTables& tables, const TScriptOptions& options) {
    SortTables(tables);
    const TScriptParts parts(tables, options);
    QStringList script = parts.Sequences();
    QStringList own_sequences;
    TAfterCopy after;
    for (const TTableRec& tb : tables) {
        QStringList block = TableBlock(tb, parts, options, own_sequences);
        block << QString();
        AddOraTrig(tb, block, options);
        script << block;
        parts.AfterCopy(tb, after);
    }
    script << kAfterCopyMarker << after.keys << after.indexes << after.foreign_keys << after.checks;
    return script;
}

void AddOraTrig(const TTableRec& tb, QStringList& list, const TScriptOptions& options) {
    if (options.db_to != kDbOracle) {
        return;
    }
    const TTables none;
    const TScriptParts parts(none, options);
    const TSqlNames& names = parts.Names();
    const TFieldRec* sequence_field = SequenceField(tb);
    // An identity column needs no trigger; its generator is part of the column.
    const bool by_sequence = sequence_field != nullptr && !sequence_field->identity;
    const QString sequence = OraSequenceName(tb.name);

    QString body;
    for (const TFieldRec& field : tb.fields) {
        QString value;
        if (by_sequence && &field == sequence_field) {
            value = names.Name(sequence) + ".NEXTVAL";
        } else if (field.autoinc && !field.is_virtual && field.data_type == "DATE") {
            value = QStringLiteral("sysdate");
        } else {
            continue;
        }
        // The trigger fills the column of the target table, which carries the new name.
        const QString column = ":new." + names.Name(field.TargetName());
        body += "IF " + column + " IS NULL THEN  SELECT " + value + " INTO " + column +
                " FROM DUAL; END IF; ";
    }
    if (body.isEmpty()) {
        return;
    }
    list << QString();
    // A standalone sequence of that name (often the one the source's trigger used) is created
    // with the standalone sequences already.
    if (by_sequence && !parts.HasSequence(sequence)) {
        list << "CREATE SEQUENCE " + parts.Owned(sequence) + "%";
    }
    list << "CREATE OR REPLACE TRIGGER " + parts.Owned(OraTriggerName(tb.name)) +
                " BEFORE INSERT ON " + names.Name(tb.name) + " FOR EACH ROW BEGIN " + body +
                "END;%";
    list << QString();
}

QString ScriptBeforeCopy(const QString& script) {
    return SectionOf(script, false);
}

QString ScriptAfterCopy(const QString& script) {
    return SectionOf(script, true);
}
