#include "export/table_export.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>

#include "db/copy_text.h"
#include "db/sql_text.h"
#include "util/error.h"
#include "util/text_file.h"
#include "util/text_utils.h"

namespace {

// The length a text of a large object may have in the data file. The loader sizes its buffers
// by the declared lengths, so this is a bound, not "unlimited".
constexpr qint64 kLoaderLobBytes = 10 * 1024 * 1024;

bool HoldsLineBreakOrTab(const QString& text) {
    for (QChar c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            return true;
        }
    }
    return false;
}

[[noreturn]] void ThrowValueError(const QString& table_name, qint64 row_number,
                                  const TDbField& field, const QString& what) {
    throw TError(QStringLiteral("%1: таблица %2, строка %3, столбец %4")
                     .arg(what, table_name)
                     .arg(row_number)
                     .arg(field.Name()));
}

// A date-time value in the form its column's type has in the control file (the loader layout)
// or as COPY reads it.
QString DateTimeText(const TDbField& field, const TLineFormat& format, TDateTimeKind kind,
                     const QString& table_name, qint64 row_number) {
    const QString text = field.AsString();
    const bool oracle = format.db_type == kDbOracle;
    if (!oracle && !NeedsPgEraForm(text)) {
        return text;
    }
    TDateTimeParts parts;
    if (!ParseDateTimeText(text, parts)) {
        ThrowValueError(table_name, row_number, field,
                        QStringLiteral("Значение «%1» не является датой").arg(text));
    }
    if (!oracle) {
        return PgDateTimeText(parts);
    }
    if (kind == TDateTimeKind::None) {
        kind = parts.has_offset            ? TDateTimeKind::TimestampTz
               : !parts.fraction.isEmpty() ? TDateTimeKind::Timestamp
                                           : TDateTimeKind::Date;
    }
    if (kind == TDateTimeKind::TimestampTz && !parts.has_offset) {
        ThrowValueError(
            table_name, row_number, field,
            QStringLiteral("Значение «%1» не содержит смещения часового пояса").arg(text));
    }
    try {
        return OraDateTimeText(parts, kind != TDateTimeKind::Date,
                               kind == TDateTimeKind::TimestampTz);
    } catch (const TConvertError& error) {
        ThrowValueError(table_name, row_number, field, error.Message());
    }
}

// The text of one field of the current row, before the COPY escapes.
QString FieldText(const TDbField& field, const TLineFormat& format, TDateTimeKind kind,
                  const QString& table_name, qint64 row_number) {
    const bool oracle = format.db_type == kDbOracle;
    switch (field.Category()) {
        case TFieldCategory::Float:
            // COPY reads floats with the point only; the separator is the loader's choice.
            return ReplaceDecimalPoint(field.AsString(),
                                       oracle ? format.deci_sep : QLatin1Char('.'));
        case TFieldCategory::DateTime:
            return DateTimeText(field, format, kind, table_name, row_number);
        case TFieldCategory::LargeBinary:
            // The hex input form of bytea, whose backslash the COPY text format doubles; the
            // loader reads hex text into a RAW column.
            if (!oracle) {
                return QStringLiteral("\\\\x") + QString::fromLatin1(field.AsBytes().toHex());
            }
            return QString::fromLatin1(field.AsBytes().toHex().toUpper());
        case TFieldCategory::Other:
            break;
    }
    if (kind != TDateTimeKind::None) {
        return DateTimeText(field, format, kind, table_name, row_number);
    }
    return field.AsString();
}

// The loader's field of a column of the table.
QString ControlField(const TFieldRec& field, const TSqlNames& names) {
    const QString name = names.Name(field.TargetName());
    if (field.is_virtual) {
        return name + QStringLiteral(" FILLER");
    }
    const QString type = UpperLatin(field.data_type.trimmed());
    switch (DateTimeKindOf(type)) {
        case TDateTimeKind::Date: {
            const QString mask = OraDateTimeMask(true, false, false);
            return name + QStringLiteral(" DATE(%1) \"%2\"").arg(mask.size()).arg(mask);
        }
        case TDateTimeKind::Timestamp:
            return name +
                   QStringLiteral(" TIMESTAMP \"%1\"").arg(OraDateTimeMask(true, true, false));
        case TDateTimeKind::TimestampTz:
            return name + (type.contains(QLatin1String("LOCAL"))
                               ? QStringLiteral(" TIMESTAMP WITH LOCAL TIME ZONE \"%1\"")
                               : QStringLiteral(" TIMESTAMP WITH TIME ZONE \"%1\""))
                              .arg(OraDateTimeMask(true, true, true));
        case TDateTimeKind::None:
            break;
    }
    if (type == QLatin1String("CLOB") || type == QLatin1String("NCLOB") ||
        type == QLatin1String("LONG")) {
        return name + QStringLiteral(" CHAR(%1)").arg(kLoaderLobBytes);
    }
    if (field.size > 0) {
        if (type == QLatin1String("VARCHAR2") || type == QLatin1String("NVARCHAR2") ||
            type == QLatin1String("CHAR") || type == QLatin1String("NCHAR") ||
            type == QLatin1String("VARCHAR")) {
            // The loader counts bytes of the UTF-8 file: up to four a character.
            return name + QStringLiteral(" CHAR(%1)").arg(qint64(field.size) * 4);
        }
        if (type == QLatin1String("RAW")) {
            return name + QStringLiteral(" CHAR(%1)").arg(qint64(field.size) * 2);
        }
    }
    return name;
}

}  // namespace

QString EscapeCopyText(const QString& value) {
    // The copy into a PostgreSQL target writes through the same encoder.
    return CopyTextEscaped(value);
}

void AppendCopyTextField(QString& out, const TDbField& value, TDateTimeKind kind,
                         const QString& table_name, qint64 row_number) {
    if (value.IsNull()) {
        out += QLatin1String("\\N");
        return;
    }
    TLineFormat format;
    format.db_type = kDbPostgres;
    const QString text = FieldText(value, format, kind, table_name, row_number);
    if (value.Category() == TFieldCategory::LargeBinary) {
        // The bytea form is escaped already.
        out += text;
        return;
    }
    if (text.contains(QChar(0))) {
        ThrowValueError(table_name, row_number, value,
                        QStringLiteral("Текст содержит символ с кодом 0, который PostgreSQL не "
                                       "принимает"));
    }
    out += EscapeCopyText(text);
}

QString BuildDataLine(const TDbRowSet& row, const TLineFormat& format, const QString& table_name,
                      qint64 row_number) {
    const bool oracle = format.db_type == kDbOracle;
    QString line;
    const int count = row.FieldCount();
    for (int i = 0; i < count; ++i) {
        const TDbField& field = row.Field(i);
        if (i > 0) {
            line += u'\t';
        }
        const TDateTimeKind kind = format.date_kinds.value(i, TDateTimeKind::None);
        if (!oracle) {
            AppendCopyTextField(line, field, kind, table_name, row_number);
            continue;
        }
        if (field.IsNull()) {
            continue;
        }
        const QString text = FieldText(field, format, kind, table_name, row_number);
        // The loader's layout has no escapes: such a value would split the row or shift its
        // fields, so the export stops instead of writing a file that loads wrong.
        if (HoldsLineBreakOrTab(text)) {
            throw TError(QStringLiteral("Значение с табуляцией или переводом строки нельзя "
                                        "записать в файл для Oracle: таблица %1, строка %2, "
                                        "столбец %3")
                             .arg(table_name)
                             .arg(row_number)
                             .arg(field.Name()));
        }
        line += text;
    }
    return line;
}

QString BuildControlLine(const TTableRec& table, const QString& data_file) {
    const TSqlNames names(kDbOracle);
    QStringList columns;
    for (const TFieldRec& field : table.fields) {
        columns << ControlField(field, names);
    }
    return QStringLiteral("LOAD DATA CHARACTERSET UTF8 INFILE '") + data_file +
           QStringLiteral("' INTO TABLE ") + names.Name(table.name) +
           QStringLiteral(" FIELDS TERMINATED BY '\\t' TRAILING NULLCOLS (") + columns.join(u',') +
           u')';
}

QString OracleUnloadableColumn(const TTableRec& table) {
    for (const TFieldRec& field : table.fields) {
        const QString type = UpperLatin(field.data_type.trimmed());
        if (!field.is_virtual &&
            (type == QLatin1String("BLOB") || type == QLatin1String("LONG RAW") ||
             type == QLatin1String("BFILE"))) {
            return field.name;
        }
    }
    return QString();
}

namespace {

TTableRec WithoutAddition(const TTableRec& table) {
    TTableRec whole = table;
    whole.query_addi.clear();
    return whole;
}

}  // namespace

TReadPlan ExportReadPlan(const TTableRec& table, int db_type, const QStringList& target_computes) {
    // The portion size only matters to a query addition, which the export has none of.
    TReadPlan plan = PlanReading(WithoutAddition(table), 1);
    if (db_type != kDbOracle) {
        for (const QString& column : target_computes) {
            plan.columns.removeAll(column);
        }
    }
    return plan;
}

QStringList PgDataFileColumns(const TTableRec& table, const QStringList& target_computes) {
    QStringList columns;
    for (const TFieldRec& field : table.fields) {
        if (!target_computes.contains(field.name)) {
            columns << field.TargetName();
        }
    }
    return columns;
}

QChar GetDeciSep(int combo_index) {
    switch (combo_index) {
        case 0:
            return QLatin1Char('.');
        case 1:
            return QLatin1Char(',');
        default: {
            const QString point = QLocale::system().decimalPoint();
            return point.isEmpty() ? QLatin1Char('.') : point.front();
        }
    }
}

QString RandomDataFileName(const QString& control_file) {
    const QString folder = QFileInfo(control_file).absolutePath();
    QString name;
    // A name already taken (another export's data file) would be overwritten.
    do {
        const quint32 number = QRandomGenerator::global()->bounded(2147483647u);
        name = QDir::toNativeSeparators(folder + u'/' + QString::number(number) +
                                        QStringLiteral(".dat"));
    } while (QFileInfo::exists(name));
    return name;
}

void GrantReadAccess(const QString& path) {
#ifdef Q_OS_WIN
    // The server may run under another account; the result is not waited for.
    QProcess::startDetached(
        QStringLiteral("icacls"),
        {QDir::toNativeSeparators(path), QStringLiteral("/grant"), QStringLiteral("*S-1-1-0:(R)")});
#else
    QFile::setPermissions(
        path, QFile::permissions(path) | QFileDevice::ReadGroup | QFileDevice::ReadOther);
#endif
}

TTableExport::TTableExport(TDbConnection& source, const TTableRec& table, int db_type,
                           const QStringList& target_computes, const TCodePage& code_page)
    : table_(table),
      read_table_(WithoutAddition(table)),
      db_type_(db_type),
      plan_(ExportReadPlan(table, db_type, target_computes)),
      code_page_(code_page),
      query_from_(std::make_unique<TDbQuery>(source)),
      table_from_(std::make_unique<TDbTable>(source)),
      reader_(*query_from_, *table_from_) {}

TTableExport::~TTableExport() {
    try {
        Abort();
    } catch (...) {
        // A reader that cannot be closed any more is freed with its handle.
    }
}

void TTableExport::Start(const QString& file_name) {
    if (started_) {
        throw TError(QStringLiteral("Экспорт таблицы ") + table_.name +
                     QStringLiteral(" уже запущен"));
    }
    file_name_ = file_name;
    if (db_type_ == kDbOracle) {
        const QString binary = OracleUnloadableColumn(table_);
        if (!binary.isEmpty()) {
            throw TError(QStringLiteral("Таблицу %1 нельзя выгрузить в файл для Oracle: столбец %2 "
                                        "хранит двоичные данные, которые загрузчик из такого "
                                        "файла не прочитает без искажений. Перенесите эту "
                                        "таблицу копированием")
                             .arg(table_.name, binary));
        }
        data_file_name_ = RandomDataFileName(file_name);
        // The loader's files keep the rights they always had (the data file is widened for it).
        WriteTextLines(file_name, {BuildControlLine(table_, data_file_name_)}, code_page_,
                       TFileAccess::Default);
    } else {
        data_file_name_ = file_name;
    }
    copy_off_ = 0;

    query_from_->Close();
    query_from_->SetText(QStringLiteral("SELECT COUNT(*) FROM ") + OraSourceName(table_.name));
    query_from_->Open();
    total_ = query_from_->Eof() ? 0 : query_from_->Field(0).AsInteger();
    query_from_->Close();

    stream_.setFileName(data_file_name_);
    if (!stream_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw TFileError(QStringLiteral("Не удалось создать файл ") + data_file_name_ +
                         QStringLiteral(": ") + stream_.errorString());
    }
    started_ = true;
    finished_ = false;
    aborted_ = false;
    time_start_ = QDateTime::currentDateTime();
}

bool TTableExport::CopyData() {
    if (finished_) {
        return true;
    }
    if (!started_ || aborted_) {
        throw TError(QStringLiteral("Экспорт таблицы ") + table_.name +
                     QStringLiteral(" не запущен"));
    }
    // A reader opened in this unit that yields nothing means the source holds fewer rows than
    // were counted: reopening it would never reach the count.
    bool fresh = false;
    if (!reader_.IsOpen()) {
        // Each portion starts after the key of the last row written, so portions neither
        // overlap nor skip rows, whatever the server's order of rows without one.
        const QStringList after = reader_.LastKey();
        reader_.Open(read_table_, plan_, after, portion_read);
        fresh = true;
        PlanKinds();
    }

    TLineFormat format;
    format.db_type = db_type_;
    format.deci_sep = deci_sep;
    format.date_kinds = date_kinds_;

    bool source_done = false;
    if (reader_.Eof()) {
        source_done = fresh || reader_.TableEnds();
        reader_.Close();
    } else {
        const int portion = portion_write < 1 ? 1 : portion_write;
        for (int i = 0; i < portion; ++i) {
            if (reader_.Eof()) {
                source_done = reader_.TableEnds();
                reader_.Close();
                break;
            }
            AddToStream(BuildDataLine(reader_, format, table_.name, copy_off_ + 1));
            ++copy_off_;
            reader_.Next();
        }
    }
    if (source_done || copy_off_ >= total_) {
        Finish();
    }
    return finished_;
}

void TTableExport::AddToStream(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.append("\r\n", 2);
    if (stream_.write(bytes) != bytes.size()) {
        throw TFileError(QStringLiteral("Не удалось записать в файл ") + data_file_name_ +
                         QStringLiteral(": ") + stream_.errorString());
    }
}

// The columns of the row set by position, found by name among the table's columns.
void TTableExport::PlanKinds() {
    date_kinds_.clear();
    for (int i = 0; i < reader_.FieldCount(); ++i) {
        const QString name = UpperLatin(reader_.Field(i).Name());
        TDateTimeKind kind = TDateTimeKind::None;
        for (const TFieldRec& field : table_.fields) {
            if (UpperLatin(field.name) == name) {
                kind = DateTimeKindOf(field.data_type);
                break;
            }
        }
        date_kinds_.append(kind);
    }
}

void TTableExport::CloseReaders() {
    reader_.Close();
    if (query_from_->Active()) {
        query_from_->Close();
    }
}

void TTableExport::Finish() {
    CloseReaders();
    if (stream_.isOpen()) {
        const bool flushed = stream_.flush();
        const QString error = stream_.errorString();
        stream_.close();
        if (!flushed) {
            throw TFileError(QStringLiteral("Не удалось записать в файл ") + data_file_name_ +
                             QStringLiteral(": ") + error);
        }
    }
    finished_ = true;
}

void TTableExport::Abort() {
    aborted_ = true;
    if (stream_.isOpen()) {
        stream_.close();
    }
    CloseReaders();
}

uint32_t TTableExport::ElapsedSeconds() const {
    if (!time_start_.isValid()) {
        return 0;
    }
    const qint64 ms = time_start_.msecsTo(QDateTime::currentDateTime());
    return ms <= 0 ? 0u : uint32_t((ms + 500) / 1000);
}
