#include "transfer/copy_statements.h"

#include "ddl/target_names.h"
#include "ddl/type_mapping.h"

#include <algorithm>
#include <vector>

#include "db/db_field.h"
#include "db/sql_text.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

// Oracle counts the values of all INTO clauses of one INSERT ALL together.
constexpr int kOraInsertAllValues = 999;

// The columns of a table as the copy renders them: the position of each in the row set, found
// once per statement rather than by name for every value, and how its values are written.
struct TColumnPlan {
    TColumnRule rule;
    int index;
};

}  // namespace

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

namespace {

// Virtual columns the target computes get no value; one the target could not take as a
// computed column was created as a plain one and gets the source's values.
std::vector<TColumnPlan> PlanColumns(const TTableRec& table, const TDbRowSet& data_from,
                                     const TRenderOptions& options) {
    std::vector<TColumnPlan> plan;
    plan.reserve(table.fields.size());
    for (const TFieldRec& field : table.fields) {
        if (!TargetComputes(field, table.fields, options.db_to)) {
            plan.push_back({PlanColumn(field, options), ColumnIndex(data_from, field.name)});
        }
    }
    return plan;
}

// The current row for a message: its primary key's values, or its number in the table.
QString RowRef(const TTableRec& table, const TDbRowSet& data_from, qint64 number) {
    QStringList key;
    try {
        for (const QString& name : SplitKeyList(table.primary_key.column_names)) {
            const TDbField& field = data_from.FieldByName(name);
            QString value = field.IsNull() ? QStringLiteral("null") : field.AsString();
            if (value.size() > 60) {
                value = value.left(60) + QStringLiteral("...");
            }
            key << name + u'=' + value;
        }
    } catch (const TError&) {
        key.clear();
    }
    if (key.isEmpty()) {
        return QStringLiteral("строка %1").arg(number);
    }
    return QStringLiteral("строка с ключом ") + key.join(QStringLiteral(", "));
}

// Appends the values of the current row, and drops the final comma (dropped as a character,
// so a row whose columns all render empty loses the opening bracket, as it always has).
void AppendValues(QString& sql, const TTableRec& table, const TDbRowSet& data_from,
                  const std::vector<TColumnPlan>& plan, const TRenderOptions& options,
                  TParamFiles& params, qint64 row_number) {
    try {
        for (const TColumnPlan& column : plan) {
            AppendFieldValue(sql, column.rule, data_from.Field(column.index), options, params);
        }
    } catch (const TNulCharError& error) {
        throw TConvertError(QStringLiteral("Таблица %1, %2, столбец %3: %4")
                                .arg(table.name, RowRef(table, data_from, row_number),
                                     error.Column(), TNulCharError::Reason()));
    }
    sql.chop(1);
}

// After the first row the statement's size is foreseeable: one allocation instead of many, and
// never more than the size a statement may have.
void ReserveFor(QString& sql, qsizetype head_size, int rows, qsizetype limit) {
    const qsizetype row = sql.size() - head_size;
    sql.reserve(std::min(sql.size() + row * (rows - 1) + row / 8 + 64, limit + 64));
}

}  // namespace

TInsertForm InsertFormFor(int db_to, const QString& oracle_vers) {
    return db_to == kDbOracle && FirstNumber(oracle_vers) < 23 ? TInsertForm::InsertAll
                                                               : TInsertForm::Values;
}

TBuiltInsert BuildInsert(TInsertForm form, const TTableRec& table, TDbRowSet& data_from,
                         int portion_write, const TRenderOptions& options, TParamFiles& params) {
    params.Reset();
    TBuiltInsert built;
    const TSqlNames names = TargetNames(options);
    const QString into = names.Name(table.name) + GetFields(table, names);
    QString& sql = built.sql;
    std::vector<TColumnPlan> plan;
    if (!data_from.Eof()) {
        plan = PlanColumns(table, data_from, options);
    }
    const qsizetype limit = options.max_statement_chars;
    const auto row_number = [&] { return options.first_row + built.rows + 1; };
    if (form == TInsertForm::InsertAll) {
        const int columns = std::max<int>(1, int(plan.size()));
        const int rows_max = std::clamp(kOraInsertAllValues / columns, 1, portion_write);
        const QString head = into + QStringLiteral(" VALUES (");
        // " SELECT * FROM dual" and the row's ") ".
        constexpr qsizetype kTail = 21;
        sql = QStringLiteral("INSERT ALL ");
        const qsizetype head_size = sql.size();
        for (int pass = 0; pass < rows_max && !data_from.Eof(); ++pass) {
            const qsizetype mark = sql.size();
            const qsizetype params_mark = params.Size();
            sql += QLatin1String(" INTO ");
            sql += head;
            const qsizetype values_at = sql.size();
            AppendValues(sql, table, data_from, plan, options, params, row_number());
            const bool binds = params.Size() > params_mark;
            if (pass > 0 && (binds || sql.size() + kTail > limit)) {
                // The row goes into the next statement.
                sql.truncate(mark);
                params.Truncate(params_mark);
                break;
            }
            if (binds || columns > kOraInsertAllValues) {
                // Oracle refuses a LOB bound inside INSERT ALL, and more values than it counts:
                // such a row goes alone, as a plain INSERT.
                sql = QStringLiteral("INSERT INTO ") + into + QStringLiteral(" VALUES (") +
                      sql.mid(values_at) + u')';
                ++built.rows;
                data_from.Next();
                return built;
            }
            sql += QLatin1String(") ");
            ++built.rows;
            data_from.Next();
            if (!table.query_addi.isEmpty()) {
                break;
            }
            if (pass == 0) {
                ReserveFor(sql, head_size, rows_max, limit);
            }
        }
        sql += QLatin1String(" SELECT * FROM dual");
        return built;
    }
    sql = QStringLiteral("INSERT INTO ") + into + QStringLiteral(" VALUES ");
    const qsizetype head_size = sql.size();
    for (int pass = 0; pass < portion_write && !data_from.Eof(); ++pass) {
        const qsizetype mark = sql.size();
        const qsizetype params_mark = params.Size();
        sql += u'(';
        AppendValues(sql, table, data_from, plan, options, params, row_number());
        if (pass > 0 && sql.size() + 1 > limit) {
            sql.truncate(mark);
            params.Truncate(params_mark);
            break;
        }
        sql += QLatin1String("),");
        ++built.rows;
        data_from.Next();
        if (!params.Empty()) {
            break;
        }
        if (pass == 0) {
            ReserveFor(sql, head_size, portion_write, limit);
        }
    }
    sql.chop(1);
    return built;
}

QString PgCopySql(const QString& table_name, const QStringList& columns, const QString& file_copy) {
    const TSqlNames names(kDbPostgres);
    const QString list = columns.isEmpty() ? QString() : " (" + names.List(columns) + u')';
    return "COPY " + names.Name(table_name) + list + " FROM " + PgLiteral(file_copy) +
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
    const TFieldRec* field = SequenceField(table);
    if (field == nullptr) {
        return false;
    }
    // The target knows the column, and the sequence of its serial type, by the column's target
    // name: the source name of a renamed column is not there.
    seq_name = table.name + "_" + field->TargetName() + "_SEQ";
    field_autoinc = field->TargetName();
    return true;
}

bool PgSerialColumn(const TTableRec& table, QString& column) {
    const TFieldRec* field = SequenceField(table);
    if (field == nullptr) {
        return false;
    }
    column = field->TargetName();
    return true;
}

QString PgSetvalSql(const QString& table_name, const QString& column) {
    const TSqlNames names(kDbPostgres);
    const QString table = names.Name(table_name);
    const QString field = names.Name(column);
    // The table argument is read as SQL names are (quotes and folding); the column argument
    // is taken as stored. The cast keeps a fractional largest value below the next one.
    return "SELECT setval(pg_get_serial_sequence(" + PgLiteral(table) + ", " +
           PgLiteral(names.Stored(column)) + "), CAST(GREATEST(MAX(" + field +
           "), 0) + 1 AS bigint), false) FROM " + table;
}

QString OraMaxSql(const QString& field_autoinc, const QString& table_name) {
    const TSqlNames names(kDbOracle);
    return "SELECT MAX(" + names.Name(field_autoinc) + ") FROM " + names.Name(table_name);
}

bool OraCanRestartSequence(const QString& oracle_vers) {
    return FirstNumber(oracle_vers) >= 18;
}

QString OraRestartSql(const QString& table_name, qint64 next_value) {
    return "ALTER SEQUENCE " + TSqlNames(kDbOracle).Name(OraSequenceName(table_name)) +
           " RESTART START WITH " + QString::number(next_value);
}

QString OraNextvalSql(const QString& table_name) {
    return "SELECT " + TSqlNames(kDbOracle).Name(OraSequenceName(table_name)) +
           ".NEXTVAL FROM dual";
}

QString OraIncrementSql(const QString& table_name, qint64 increment) {
    return "ALTER SEQUENCE " + TSqlNames(kDbOracle).Name(OraSequenceName(table_name)) +
           " INCREMENT BY " + QString::number(increment);
}

QString OraIdentityRestartSql(const QString& table_name, const QString& column) {
    const TSqlNames names(kDbOracle);
    return "ALTER TABLE " + names.Name(table_name) + " MODIFY (" + names.Name(column) +
           " GENERATED BY DEFAULT AS IDENTITY (START WITH LIMIT VALUE))";
}
