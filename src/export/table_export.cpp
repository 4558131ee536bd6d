#include "export/table_export.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>

#include "util/error.h"
#include "util/text_file.h"
#include "util/text_utils.h"

namespace {

bool HoldsLineBreakOrTab(const QString& text) {
    for (QChar c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            return true;
        }
    }
    return false;
}

// The text of one field of the current row, before the COPY escapes.
QString FieldText(const TDbField& field, const TLineFormat& format) {
    const bool oracle = format.db_type == kDbOracle;
    switch (field.Category()) {
        case TFieldCategory::Float:
            return ReplaceDecimalPoint(field.AsString(), format.deci_sep);
        case TFieldCategory::DateTime:
            if (oracle) {
                return OraTime(FormatDateTime(format.ora_time_format, field.AsDateTime(),
                                              format.format_settings));
            }
            return field.AsString();
        case TFieldCategory::LargeBinary:
            // The hex input form of bytea; the COPY text format needs its backslash doubled.
            if (!oracle) {
                return QStringLiteral("\\\\x") + QString::fromLatin1(field.AsBytes().toHex());
            }
            return field.AsString();
        case TFieldCategory::Other:
            break;
    }
    return field.AsString();
}

}  // namespace

QString EscapeCopyText(const QString& value) {
    QString result;
    result.reserve(value.size() + 8);
    for (QChar c : value) {
        switch (c.unicode()) {
            case u'\\':
                result += QStringLiteral("\\\\");
                break;
            case u'\t':
                result += QStringLiteral("\\t");
                break;
            case u'\n':
                result += QStringLiteral("\\n");
                break;
            case u'\r':
                result += QStringLiteral("\\r");
                break;
            default:
                result += c;
        }
    }
    return result;
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
        if (field.IsNull()) {
            if (!oracle) {
                line += QStringLiteral("\\N");
            }
            continue;
        }
        const QString text = FieldText(field, format);
        if (!oracle) {
            // The bytea form is escaped already.
            line += field.Category() == TFieldCategory::LargeBinary ? text : EscapeCopyText(text);
            continue;
        }
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

QString BuildControlLine(const TTableRec& table, const QString& data_file,
                         const QString& ora_date_format) {
    QStringList columns;
    for (const TFieldRec& field : table.fields) {
        if (field.data_type == QLatin1String("DATE")) {
            columns << field.name + QStringLiteral(" DATE(") +
                           QString::number(ora_date_format.size()) + QStringLiteral(") \"") +
                           ora_date_format + u'"';
        } else {
            columns << field.name;
        }
    }
    return QStringLiteral("LOAD DATA INFILE '") + data_file + QStringLiteral("' INTO TABLE ") +
           table.name + QStringLiteral(" FIELDS TERMINATED BY '\\t' TRAILING NULLCOLS (") +
           columns.join(u',') + u')';
}

QString ExportQueryText(const TTableRec& table) {
    QString text = QStringLiteral("SELECT * FROM ") + table.name;
    const QString& key = table.primary_key.column_names;
    if (!key.isEmpty()) {
        text += QStringLiteral(" ORDER BY ") + key.mid(1, key.size() - 2);
    }
    return text;
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

TTableExport::TTableExport(TDbConnection& source, const TTableRec& table, const QString& query_text,
                           int db_type, const TCodePage& code_page)
    : table_(table),
      query_text_(query_text),
      db_type_(db_type),
      code_page_(code_page),
      query_from_(std::make_unique<TDbQuery>(source)),
      table_from_(std::make_unique<TDbTable>(source)) {}

TTableExport::~TTableExport() {
    try {
        Abort();
    } catch (...) {
        // A reader that cannot be closed any more is freed with its handle.
    }
}

void TTableExport::Start(const QString& file_name, const QString& ora_date_format) {
    if (started_) {
        throw TError(QStringLiteral("Экспорт таблицы ") + table_.name +
                     QStringLiteral(" уже запущен"));
    }
    file_name_ = file_name;
    if (db_type_ == kDbOracle) {
        data_file_name_ = RandomDataFileName(file_name);
        // The loader's files keep the rights they always had (the data file is widened for it).
        WriteTextLines(file_name, {BuildControlLine(table_, data_file_name_, ora_date_format)},
                       code_page_, TFileAccess::Default);
        ora_time_format_ = ConvertOraTimeFormat(ora_date_format);
    } else {
        data_file_name_ = file_name;
        ora_time_format_.clear();
    }
    copy_off_ = 0;

    query_from_->Close();
    query_from_->SetText(QStringLiteral("SELECT COUNT(*) FROM ") + table_.name);
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
    const bool whole = portion_read <= 0;
    if (whole) {
        if (query_from_->Active()) {
            query_from_->Close();
        }
        if (!table_from_->Active()) {
            table_from_->SetTableName(table_.name);
            table_from_->Open();
            // Only after the read mode was switched during the export.
            if (copy_off_ > 0) {
                table_from_->MoveBy(copy_off_);
            }
            fresh = true;
        }
        data_from_ = table_from_.get();
    } else {
        if (table_from_->Active()) {
            table_from_->Close();
        }
        if (!query_from_->Active()) {
            query_from_->SetText(query_text_);
            query_from_->Add(QStringLiteral("OFFSET ") + QString::number(copy_off_) +
                             QStringLiteral(" ROWS FETCH NEXT ") + QString::number(portion_read) +
                             QStringLiteral(" ROWS ONLY"));
            query_from_->Open();
            fresh = true;
        }
        data_from_ = query_from_.get();
    }

    TLineFormat format;
    format.db_type = db_type_;
    format.deci_sep = deci_sep;
    format.ora_time_format = ora_time_format_;
    format.format_settings = format_settings;

    bool source_done = false;
    if (data_from_->Eof()) {
        CloseReaders();
        // A whole-table reader was read in one pass; reopening it would start over.
        source_done = fresh || whole;
    } else {
        const int portion = portion_write < 1 ? 1 : portion_write;
        for (int i = 0; i < portion; ++i) {
            if (data_from_->Eof()) {
                CloseReaders();
                source_done = whole;
                break;
            }
            AddToStream(BuildDataLine(*data_from_, format, table_.name, copy_off_ + 1));
            ++copy_off_;
            data_from_->Next();
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

void TTableExport::CloseReaders() {
    if (query_from_->Active()) {
        query_from_->Close();
    }
    if (table_from_->Active()) {
        table_from_->Close();
    }
    data_from_ = nullptr;
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
