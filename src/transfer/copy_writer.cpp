#include "transfer/copy_writer.h"

#include <QMetaType>
#include <algorithm>

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
// A block past this size holds a huge row: once handed to the sender it is not kept whole
// until the commit, only its values as a refusal would show them (cut, as always).
constexpr qsizetype kKeptBlockBytes = 1024 * 1024;

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
        case TRenderKind::LargeBinary: {
            QByteArray bytes;
            AppendCopyBytea(out, value.BytesView(bytes));
            return;
        }
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
        QByteArray bytes;
        AppendCopyBytea(out, value.BytesView(bytes));
        return;
    }
    AppendCopyText(out, value.StringView(buffer));
}

QString Shown(const TCopyFieldHead& value) {
    if (value.null) {
        return QStringLiteral("NULL");
    }
    if (value.chars <= kShownValueChars) {
        return value.head;
    }
    return value.head + QStringLiteral("… (всего знаков: %1)").arg(value.chars);
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
    sender_.Stop();
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
    bytes_sent_ = 0;
}

void TCopyWriter::Close() {
    sender_.Stop();
    session_.Close();
    in_transaction_ = false;
}

void TCopyWriter::StartPortion(const TTableRec& table, qint64 first_row) {
    // A portion never sent is given up, as it would have been before it streamed.
    if (sender_.Running() || in_transaction_) {
        Rollback();
    }
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
    ClearPortion();
}

void TCopyWriter::ClearPortion() {
    blocks_.clear();
    handed_ = 0;
    rows_ = 0;
    bytes_ = 0;
}

TCopyWriter::TBlock& TCopyWriter::OpenBlock() {
    if (blocks_.size() == handed_) {
        TBlock& block = blocks_.emplace_back();
        block.first_line = rows_ + 1;
        // Room for the row that passes the block's size, mostly.
        block.data.reserve(kBlockBytes + kBlockBytes / 2);
    }
    return blocks_.back();
}

// The block goes to the sender, which begins the portion's transaction with the first one.
void TCopyWriter::HandOver() {
    TBlock& block = blocks_.back();
    QByteArray data = block.data;
    if (data.size() > kKeptBlockBytes) {
        for (size_t i = 0; i < block.starts.size(); ++i) {
            const qsizetype end =
                i + 1 < block.starts.size() ? block.starts[i + 1] - 1 : data.size() - 1;
            block.shown.push_back(
                ShownValues(QByteArrayView(data).sliced(block.starts[i], end - block.starts[i])));
        }
        // Freed as soon as the sender is done with it.
        block.data = QByteArray();
    }
    ++handed_;
    if (!sender_.Running()) {
        in_transaction_ = true;
        sender_.Start(session_, sql_, bytes_sent_);
    }
    sender_.Push(std::move(data));
}

qint64 TCopyWriter::Fill(TDbRowSet& data_from, qint64 max_rows, const TRenderOptions& options) {
    if (data_from.Eof()) {
        return 0;
    }
    if (plan_.empty() && plan_table_ != nullptr) {
        plan_ = PlanCopyColumns(*plan_table_, data_from, options);
    }
    qint64 taken = 0;
    try {
        while (taken < max_rows && !data_from.Eof() && bytes_ < kPortionBytes) {
            TBlock& block = OpenBlock();
            const qsizetype start = block.data.size();
            block.starts.push_back(start);
            AppendCopyRow(block.data, plan_, data_from, options);
            bytes_ += block.data.size() - start;
            ++rows_;
            ++taken;
            data_from.Next();
            if (block.data.size() >= kBlockBytes) {
                HandOver();
            }
        }
    } catch (const TPgError& error) {
        Rollback();
        if (error.Line() > 0 && error.Line() <= Rows()) {
            RaiseRefused(error);
        }
        throw;
    } catch (...) {
        // The portion cannot be completed: what streamed already is rolled back.
        Rollback();
        throw;
    }
    return taken;
}

void TCopyWriter::Send(const QStringList& then) {
    try {
        if (sender_.Running()) {
            // The session comes back in the COPY, in the portion's transaction.
            sender_.Finish();
        } else {
            session_.Exec(QStringLiteral("BEGIN"));
            in_transaction_ = true;
            session_.BeginCopy(sql_);
        }
        for (size_t i = handed_; i < blocks_.size(); ++i) {
            session_.Put(blocks_[i].data);
            bytes_sent_.fetch_add(blocks_[i].data.size());
        }
        handed_ = blocks_.size();
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
    } catch (...) {
        Rollback();
        throw;
    }
    ClearPortion();
}

void TCopyWriter::Rollback() {
    // The session is back on this thread before anything else touches it.
    sender_.Stop();
    if (!session_.Connected()) {
        in_transaction_ = false;
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

QStringList TCopyWriter::ShownValues(QByteArrayView line) const {
    const std::vector<TCopyFieldHead> values = SplitCopyLineHeads(line, kShownValueChars);
    QStringList shown;
    for (size_t i = 0; i < values.size(); ++i) {
        shown << QStringLiteral("%1 = %2").arg(column_names_.value(qsizetype(i)), Shown(values[i]));
    }
    return shown;
}

void TCopyWriter::RaiseRefused(const TPgError& error) const {
    const qint64 line = error.Line();
    // The last block that begins at or before the line.
    const auto after = std::upper_bound(
        blocks_.begin(), blocks_.end(), line,
        [](qint64 wanted, const TBlock& block) { return wanted < block.first_line; });
    const TBlock& block = *std::prev(after);
    const size_t index = size_t(line - block.first_line);
    QStringList shown;
    if (!block.shown.empty()) {
        shown = block.shown[index];
    } else {
        const qsizetype start = block.starts[index];
        const qsizetype end =
            index + 1 < block.starts.size() ? block.starts[index + 1] - 1 : block.data.size() - 1;
        shown = ShownValues(QByteArrayView(block.data).sliced(start, end - start));
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
