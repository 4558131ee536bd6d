#include "transfer/copy_statements.h"

#include <algorithm>

#include "db/db_field.h"
#include "util/text_utils.h"

namespace {

// The values of the current row joined, without the final comma (dropped as a character, so
// a row whose columns all render empty loses the opening bracket, as it always has).
QString RowValues(const QString& head, const TTableRec& table, const TDbRowSet& data_from,
                  const TRenderOptions& options, TParamFiles& params) {
    QString text = head;
    for (const TFieldRec& field : table.fields) {
        text += LoadFieldValue(field, data_from, options, params);
    }
    text.chop(1);
    return text;
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
    if (form == TInsertForm::InsertAll) {
        built.sql = QStringLiteral("INSERT ALL ");
        for (int pass = 0; pass < portion_write && !data_from.Eof(); ++pass) {
            built.sql +=
                RowValues(" INTO " + into + " VALUES (", table, data_from, options, params) + ") ";
            ++built.rows;
            data_from.Next();
            if (!params.Empty() || !table.query_addi.isEmpty()) {
                break;
            }
        }
        built.sql += QStringLiteral(" SELECT * FROM dual");
        return built;
    }
    built.sql = "INSERT INTO " + into + " VALUES ";
    for (int pass = 0; pass < portion_write && !data_from.Eof(); ++pass) {
        built.sql += RowValues(QStringLiteral("("), table, data_from, options, params) + "),";
        ++built.rows;
        data_from.Next();
        if (!params.Empty()) {
            break;
        }
    }
    built.sql.chop(1);
    return built;
}

QString PgCopySql(const QString& table_name, const QString& file_copy) {
    return "COPY " + table_name + " FROM '" + DoubleChar(file_copy, QLatin1Char('\'')) + "'";
}

QString FolderOf(const QString& path) {
    const qsizetype pos =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return pos < 0 ? QString() : path.left(pos + 1);
}

QStringList LoaderArguments(const QString& user, const QString& password,
                            const QString& data_source, const QString& file_copy,
                            const QString& table_name) {
    return {
        "userid=" + user + "/" + password + "@" + data_source,
        "control=" + file_copy,
        QStringLiteral("errors=100"),
        "bad=" + FolderOf(file_copy) + table_name + ".log",
    };
}

bool IsAutoincrement(const TTableRec& table, QString& seq_name, QString& field_autoinc) {
    for (const TFieldRec& field : table.fields) {
        if (field.autoinc && field.data_type == QLatin1String("NUMBER")) {
            seq_name = table.name + "_" + field.name + "_SEQ";
            field_autoinc = field.name;
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
