#include "transfer/copy_writer.h"

#include <QMetaType>

#include "db/connection_string.h"
#include "db/copy_text.h"
#include "db/date_time_text.h"
#include "db/db_field.h"
#include "db/odbc.h"
#include "db/sql_text.h"
#include "ddl/type_mapping.h"
#include "transfer/copy_statements.h"
#include "util/error.h"
#include "util/text_utils.h"

namespace {

// A value shown on the error page is cut here: a row may hold megabytes.
constexpr qsizetype kShownValueChars = 200;

void AppendValue(QByteArray& out, const TCopyColumn& column, const TDbField& value,
                 const TRenderOptions& options) {
    if (value.IsNull()) {
        AppendCopyNull(out);
        return;
    }
    QString buffer;
    switch (column.rule.kind) {
        case TRenderKind::Number:
            AppendCopyAscii(out, NumberText(column.rule, value, options, buffer));
            return;
        case TRenderKind::Float:
            // NaN and the infinities read as the words the binding gives.
            AppendCopyAscii(out, ReplaceDecimalPoint(value.AsString().trimmed(), QLatin1Char('.')));
            return;
        case TRenderKind::LargeBinary:
            AppendCopyBytea(out, value.AsBytes());
            return;
        case TRenderKind::Raw:
            AppendCopyHex(out, RawHex(value));
            return;
        case TRenderKind::Date:
        case TRenderKind::Timestamp:
        case TRenderKind::TimestampTz: {
            // A year before 1 in the form PostgreSQL reads: year -N is N BC.
            const QString text = value.AsString();
            TDateTimeParts parts;
            if (NeedsPgEraForm(text) && ParseDateTimeText(text, parts)) {
                AppendCopyText(out, PgDateTimeText(parts));
            } else {
                AppendCopyText(out, text);
            }
            return;
        }
        case TRenderKind::Text:
            if (value.Category() != TFieldCategory::LargeBinary) {
                const QStringView text = value.StringView(buffer);
                if (text.contains(QChar(0))) {
                    throw TNulCharError(QStringLiteral("Таблица %1, столбец %2: %3")
                                            .arg(options.table_name, column.rule.field->name,
                                                 TNulCharError::Reason()),
                                        column.rule.field->name);
                }
                AppendCopyText(out, text);
                return;
            }
            break;
    }
    if (value.Category() == TFieldCategory::LargeBinary) {
        // A binary type not known by name: its bytes, as the statements bind them.
        AppendCopyBytea(out, value.AsBytes());
        return;
    }
    AppendCopyText(out, value.StringView(buffer));
}

QString Shown(const QString& value) {
    if (value.size() <= kShownValueChars) {
        return value;
    }
    return value.left(kShownValueChars) + QStringLiteral("… (всего знаков: %1)").arg(value.size());
}

}  // namespace

QList<const TFieldRec*> CopyFields(const TTableRec& table) {
    QList<const TFieldRec*> fields;
    for (const TFieldRec& field : table.fields) {
        if (!TargetComputes(field, table.fields, kDbPostgres)) {
            fields.append(&field);
        }
    }
    return fields;
}

QString CopyInSql(const TTableRec& table) {
    const TSqlNames names(kDbPostgres);
    QStringList columns;
    for (const TFieldRec* field : CopyFields(table)) {
        columns << field->TargetName();
    }
    return "COPY " + names.Name(table.name) + " (" + names.List(columns) + ") FROM STDIN";
}

std::vector<TCopyColumn> PlanCopyColumns(const TTableRec& table, const TDbRowSet& data_from,
                                         const TRenderOptions& options) {
    std::vector<TCopyColumn> plan;
    for (const TFieldRec* field : CopyFields(table)) {
        plan.push_back({PlanColumn(*field, options), ColumnIndex(data_from, field->name)});
    }
    return plan;
}

void AppendCopyRow(QByteArray& out, const std::vector<TCopyColumn>& plan,
                   const TDbRowSet& data_from, const TRenderOptions& options) {
    bool first = true;
    for (const TCopyColumn& column : plan) {
        if (!first) {
            out.append('\t');
        }
        first = false;
        AppendValue(out, column, data_from.Field(column.index), options);
    }
    out.append('\n');
}

void TCopyWriter::Open(const QString& odbc_connection_string) {
    try {
        session_.Open(
            PgConnInfoFromOdbc(TranslateConnectString(odbc_connection_string, InstalledOdbc())));
    } catch (const TError& error) {
        throw TError(error.Message() +
                     QStringLiteral("\nДанные не записаны. Проверьте адрес сервера в строке "
                                    "подключения конечной БД или выберите способ записи "
                                    "INSERT на странице настроек миграции."));
    }
    in_transaction_ = false;
}

void TCopyWriter::Close() {
    session_.Close();
    in_transaction_ = false;
}

void TCopyWriter::StartPortion(const TTableRec& table, qint64 first_row) {
    if (plan_table_ != &table || table_name_ != table.name) {
        plan_.clear();
        plan_table_ = &table;
        table_name_ = table.name;
        sql_ = CopyInSql(table);
        column_names_.clear();
        for (const TFieldRec* field : CopyFields(table)) {
            column_names_ << field->TargetName();
        }
    }
    first_row_ = first_row;
    buffer_.clear();
    line_starts_.clear();
}

qint64 TCopyWriter::Fill(TDbRowSet& data_from, qint64 max_rows, const TRenderOptions& options) {
    if (data_from.Eof()) {
        return 0;
    }
    if (plan_.empty() && plan_table_ != nullptr) {
        plan_ = PlanCopyColumns(*plan_table_, data_from, options);
    }
    if (buffer_.capacity() < kPortionBytes / 4) {
        buffer_.reserve(kPortionBytes / 4);
    }
    qint64 taken = 0;
    while (taken < max_rows && !data_from.Eof() && buffer_.size() < kPortionBytes) {
        line_starts_.push_back(buffer_.size());
        AppendCopyRow(buffer_, plan_, data_from, options);
        ++taken;
        data_from.Next();
    }
    return taken;
}

void TCopyWriter::Send(const QStringList& then) {
    try {
        session_.Exec(QStringLiteral("BEGIN"));
        in_transaction_ = true;
        session_.BeginCopy(sql_);
        session_.Put(buffer_);
        session_.End();
        for (const QString& sql : then) {
            session_.Exec(sql);
        }
        session_.Exec(QStringLiteral("COMMIT"));
        in_transaction_ = false;
    } catch (const TPgError& error) {
        Rollback();
        if (error.Line() > 0 && error.Line() <= Rows()) {
            RaiseRefused(error);
        }
        throw;
    }
    buffer_.clear();
    line_starts_.clear();
}

void TCopyWriter::Rollback() {
    if (!session_.Connected()) {
        return;
    }
    try {
        if (session_.InCopy()) {
            session_.Abort(QStringLiteral("копирование прервано"));
        }
        if (in_transaction_) {
            session_.Exec(QStringLiteral("ROLLBACK"));
        }
    } catch (const TError&) {
        // A session that cannot roll back is lost; the server has rolled back on its side.
        session_.Close();
    }
    in_transaction_ = false;
}

void TCopyWriter::RaiseRefused(const TPgError& error) const {
    const qint64 line = error.Line();
    const qsizetype start = line_starts_[size_t(line - 1)];
    const qsizetype end = line < Rows() ? line_starts_[size_t(line)] - 1 : buffer_.size() - 1;
    const QStringList values =
        SplitCopyLine(buffer_.mid(start, end - start), QStringLiteral("NULL"));
    QStringList shown;
    for (qsizetype i = 0; i < values.size(); ++i) {
        shown << QStringLiteral("%1 = %2").arg(column_names_.value(i), Shown(values[i]));
    }
    const QString message =
        QStringLiteral(
            "Таблица %1: сервер отклонил строку %2 (по порядку чтения из исходной "
            "БД; строка %3 потока COPY): %4\nЗначения строки:\n%5")
            .arg(table_name_)
            .arg(first_row_ + line - 1)
            .arg(line)
            .arg(error.Message(), shown.join(u'\n'));
    throw TPgError(message, error.SqlState(), error.Diagnostics(), line);
}
