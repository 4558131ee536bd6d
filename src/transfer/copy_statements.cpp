#include "transfer/copy_statements.h"

#include <algorithm>
#include <vector>

#include "db/db_field.h"
#include "db/sql_text.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

// The columns of a table as the copy renders them: the position of each in the row set, found
// once per statement rather than by name for every value, and how its values are written.
struct TColumnPlan {
    const TFieldRec* field;
    int index;
    TRenderKind kind;
};

// The position of the column FieldByName finds: the first of that name, Latin letters compared
// without case, or whichever the row set's own rule picks. A name the row set does not have
// raises FieldByName's own error.
int ColumnIndex(const TDbRowSet& data_from, const QString& name) {
    const QString wanted = UpperLatin(name);
    for (int i = 0; i < data_from.FieldCount(); ++i) {
        if (UpperLatin(data_from.Field(i).Name()) == wanted) {
            return i;
        }
    }
    const TDbField* found = &data_from.FieldByName(name);
    for (int i = 0; i < data_from.FieldCount(); ++i) {
        if (&data_from.Field(i) == found) {
            return i;
        }
    }
    throw TError(QStringLiteral("Поле «%1» не найдено в наборе данных.").arg(name));
}

std::vector<TColumnPlan> PlanColumns(const TTableRec& table, const TDbRowSet& data_from) {
    std::vector<TColumnPlan> plan;
    plan.reserve(table.fields.size());
    for (const TFieldRec& field : table.fields) {
        plan.push_back({&field, ColumnIndex(data_from, field.name), RenderKindOf(field)});
    }
    return plan;
}

// Appends the values of the current row after head, and drops the final comma (dropped as a
// character, so a row whose columns all render empty loses the opening bracket, as it always
// has).
void AppendRow(QString& sql, QLatin1String head_start, const QString& head_rest,
               const TDbRowSet& data_from, const std::vector<TColumnPlan>& plan,
               const TRenderOptions& options, TParamFiles& params) {
    sql += head_start;
    sql += head_rest;
    for (const TColumnPlan& column : plan) {
        AppendFieldValue(sql, *column.field, column.kind, data_from.Field(column.index), options,
                         params);
    }
    sql.chop(1);
}

// After the first row the statement's size is foreseeable: one allocation instead of many.
void ReserveFor(QString& sql, qsizetype head_size, int portion_write) {
    const qsizetype row = sql.size() - head_size;
    sql.reserve(sql.size() + row * (portion_write - 1) + row / 8 + 64);
}

}  // namespace

bool AdditionOrders(const TTableRec& table) {
    return UpperLatin(table.query_addi).contains(QLatin1String("ORDER BY"));
}

bool UsesWholeTableReader(const TTableRec& table, qint64 portion_read) {
    return !AdditionOrders(table) && portion_read <= 0;
}

QStringList PortionQueryLines(const TTableRec& table, qint64 copy_off, qint64 portion_read) {
    QStringList lines;
    lines << "SELECT * FROM " + table.name;
    lines << table.query_addi;
    const QString& key = table.primary_key.column_names;
    if (!AdditionOrders(table) && !key.isEmpty()) {
        lines << "ORDER BY " + key.mid(1, key.size() - 2);
    }
    if (portion_read > 0) {
        lines << "OFFSET " + QString::number(copy_off) + " ROWS FETCH NEXT " +
                     QString::number(portion_read) + " ROWS ONLY";
    }
    return lines;
}

TInsertForm InsertFormFor(int db_to, const QString& oracle_vers) {
    return db_to == kDbOracle && FirstNumber(oracle_vers) < 23 ? TInsertForm::InsertAll
                                                               : TInsertForm::Values;
}

TBuiltInsert BuildInsert(TInsertForm form, const TTableRec& table, TDbRowSet& data_from,
                         int portion_write, const TRenderOptions& options, TParamFiles& params) {
    params.Reset();
    TBuiltInsert built;
    const QString into = table.name + GetFields(table);
    QString& sql = built.sql;
    std::vector<TColumnPlan> plan;
    if (!data_from.Eof()) {
        plan = PlanColumns(table, data_from);
    }
    if (form == TInsertForm::InsertAll) {
        const QString head = into + QStringLiteral(" VALUES (");
        sql = QStringLiteral("INSERT ALL ");
        const qsizetype head_size = sql.size();
        for (int pass = 0; pass < portion_write && !data_from.Eof(); ++pass) {
            AppendRow(sql, QLatin1String(" INTO "), head, data_from, plan, options, params);
            sql += QLatin1String(") ");
            ++built.rows;
            data_from.Next();
            if (!params.Empty() || !table.query_addi.isEmpty()) {
                break;
            }
            if (pass == 0) {
                ReserveFor(sql, head_size, portion_write);
            }
        }
        sql += QLatin1String(" SELECT * FROM dual");
        return built;
    }
    sql = "INSERT INTO " + into + " VALUES ";
    const qsizetype head_size = sql.size();
    for (int pass = 0; pass < portion_write && !data_from.Eof(); ++pass) {
        AppendRow(sql, QLatin1String("("), QString(), data_from, plan, options, params);
        sql += QLatin1String("),");
        ++built.rows;
        data_from.Next();
        if (!params.Empty()) {
            break;
        }
        if (pass == 0) {
            ReserveFor(sql, head_size, portion_write);
        }
    }
    sql.chop(1);
    return built;
}

QString PgCopySql(const QString& table_name, const QString& file_copy) {
    return "COPY " + TSqlNames(kDbPostgres).Name(table_name) + " FROM " + PgLiteral(file_copy) +
           " WITH (ENCODING 'UTF8')";
}

QString FolderOf(const QString& path) {
    const qsizetype pos =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return pos < 0 ? QString() : path.left(pos + 1);
}

QStringList LoaderArguments(const QString& par_file, const QString& file_copy,
                            const QString& table_name) {
    return {
        "parfile=" + par_file,
        "control=" + file_copy,
        QStringLiteral("errors=100"),
        "bad=" + FolderOf(file_copy) + table_name + ".log",
    };
}

QString LoaderParFileText(const QString& user, const QString& password,
                          const QString& data_source) {
    for (const QString* value : {&user, &password, &data_source}) {
        if (value->contains(u'\n') || value->contains(u'\r')) {
            throw TError(
                QStringLiteral("Имя пользователя, пароль или источник данных для "
                               "загрузчика содержит перевод строки"));
        }
    }
    // A resumed copy reaches here without target creation's check of the name.
    if (!IsPlainIdentifier(user)) {
        throw TError(QStringLiteral("Имя пользователя «%1» для загрузчика должно начинаться с "
                                    "латинской буквы и состоять из латинских букв, цифр и знаков "
                                    "«_», «$», «#»")
                         .arg(user));
    }
    QString text = "userid=" + user + u'/' + OraPassword(password);
    if (!data_source.isEmpty()) {
        text += u'@' + data_source;
    }
    return text + u'\n';
}

bool IsAutoincrement(const TTableRec& table, QString& seq_name, QString& field_autoinc) {
    for (const TFieldRec& field : table.fields) {
        if (field.autoinc && field.data_type == QLatin1String("NUMBER")) {
            // The target knows the column, and the sequence of its serial type, by the
            // column's target name: the source name of a renamed column is not there.
            seq_name = table.name + "_" + field.TargetName() + "_SEQ";
            field_autoinc = field.TargetName();
            return true;
        }
    }
    return false;
}

QString PgSetvalSql(const QString& seq_name, const QString& field_autoinc,
                    const QString& table_name) {
    return "SELECT setval('" + seq_name + "',MAX(" + field_autoinc + ")) FROM " + table_name;
}

QString OraMaxSql(const QString& field_autoinc, const QString& table_name) {
    return "SELECT MAX(" + field_autoinc + ") FROM " + table_name;
}

QString OraRestartSql(const QString& table_name, qint64 next_value) {
    return "ALTER SEQUENCE SEQ_" + table_name + " RESTART START WITH " +
           QString::number(next_value);
}
