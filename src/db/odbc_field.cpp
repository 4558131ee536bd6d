#include <QFile>
#include <QTimeZone>
#include <algorithm>
#include <cstring>

#include "db/odbc_statement.h"
#include "db/odbc_value_text.h"
#include "util/error.h"
#include "util/text_file.h"

namespace {

using TForm = TOdbcColumn::TForm;

// A pure time of day stands on the day the date-time numbering starts from.
const QDate kTimeOnlyDate(1899, 12, 30);

QStringView TextOf(const char* data, qsizetype length) {
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    return QStringView(reinterpret_cast<const char16_t*>(data),
                       length / static_cast<qsizetype>(sizeof(SQLWCHAR)));
}

TDateTimeValue FromStruct(const char* data) {
    SQL_TIMESTAMP_STRUCT t;
    std::memcpy(&t, data, sizeof t);
    TDateTimeValue value;
    value.year = t.year;
    value.month = t.month;
    value.day = t.day;
    value.hour = t.hour;
    value.minute = t.minute;
    value.second = t.second;
    value.nanoseconds = t.fraction;
    return value;
}

// A date-time value of the current row of a date-time column.
TDateTimeValue DecodeValue(const TOdbcColumn& column, const char* data, qsizetype length,
                           bool utc_session) {
    switch (column.form) {
        case TForm::Time: {
            SQL_TIME_STRUCT t;
            std::memcpy(&t, data, sizeof t);
            TDateTimeValue value;
            value.year = kTimeOnlyDate.year();
            value.month = kTimeOnlyDate.month();
            value.day = kTimeOnlyDate.day();
            value.hour = t.hour;
            value.minute = t.minute;
            value.second = t.second;
            return value;
        }
        case TForm::ZonedStruct: {
            // The driver gives the value in the session's zone without it; the binding fixed
            // that zone to UTC when it opened the connection.
            TDateTimeValue value = FromStruct(data);
            value.zoned = utc_session;
            return value;
        }
        case TForm::ZonedText: {
            TDateTimeValue value;
            const QStringView text = TextOf(data, length);
            // A value with the session's local zone comes without an offset: the session's
            // zone is UTC.
            if (!ParseZonedText(text, 0, &value)) {
                throw TConvertError(
                    QStringLiteral("Значение «%1» поля %2 не является датой со смещением часового "
                                   "пояса.")
                        .arg(text.toString(), column.name));
            }
            return value;
        }
        default:
            return FromStruct(data);
    }
}

QDateTime ToDateTime(const TDateTimeValue& v, const QString& column) {
    // Qt counts years as we do: no year 0, -44 is 44 BC.
    const QDate date(v.year, v.month, v.day);
    const QTime time(v.hour, v.minute, v.second, static_cast<int>(v.nanoseconds / 1000000));
    if (!date.isValid() || !time.isValid()) {
        throw TConvertError(
            QStringLiteral("Значение поля %1 не является допустимой датой.").arg(column));
    }
    return QDateTime(date, time, v.zoned ? QTimeZone(v.offset_seconds) : QTimeZone::utc());
}

}  // namespace

QString TOdbcField::Name() const {
    return statement_->Column(index_).name;
}

TFieldCategory TOdbcField::Category() const {
    return statement_->Column(index_).category;
}

bool TOdbcField::IsNull() const {
    qsizetype length = 0;
    return statement_->Value(index_, &length) == nullptr;
}

QString TOdbcField::AsString() const {
    qsizetype length = 0;
    const char* data = statement_->Value(index_, &length);
    if (data == nullptr) {
        return QString();
    }
    const TOdbcColumn& column = statement_->Column(index_);
    switch (column.form) {
        case TForm::Text:
            return TextOf(data, length).toString();
        case TForm::Decimal:
            return PlainDecimal(TextOf(data, length), column.name);
        case TForm::FloatText:
            return FloatTextFromDriver(TextOf(data, length), column.name);
        case TForm::Double: {
            double value = 0;
            std::memcpy(&value, data, sizeof value);
            return FloatText(value);
        }
        case TForm::Real: {
            float value = 0;
            std::memcpy(&value, data, sizeof value);
            return FloatText(value);
        }
        case TForm::Binary:
            // One character per byte, so that no byte is lost or merged.
            return QString::fromLatin1(data, length);
        case TForm::Time: {
            SQL_TIME_STRUCT t;
            std::memcpy(&t, data, sizeof t);
            return QTime(t.hour, t.minute, t.second).toString(QStringLiteral("HH:mm:ss"));
        }
        case TForm::DateTime:
        case TForm::ZonedStruct:
        case TForm::ZonedText:
            break;
    }
    return DateTimeText(DecodeValue(column, data, length, statement_->UtcSession()), column.name);
}

QStringView TOdbcField::StringView(QString& buffer) const {
    const TOdbcColumn& column = statement_->Column(index_);
    if (column.form != TForm::Text && column.form != TForm::Decimal) {
        return TDbField::StringView(buffer);
    }
    qsizetype length = 0;
    const char* data = statement_->Value(index_, &length);
    if (data == nullptr) {
        return QStringView();
    }
    const QStringView text = TextOf(data, length);
    if (column.form == TForm::Decimal && !IsPlainDecimal(text)) {
        buffer = PlainDecimal(text, column.name);
        return buffer;
    }
    return text;
}

qint64 TOdbcField::AsInteger() const {
    if (IsNull()) {
        return 0;
    }
    const QString text = AsString().trimmed();
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (ok) {
        return value;
    }
    // Whole numbers of a decimal type may come with a zero fraction ("12.000").
    const qsizetype point = text.indexOf(u'.');
    if (point > 0) {
        const QStringView fraction = QStringView(text).mid(point + 1);
        const bool zeros =
            std::all_of(fraction.begin(), fraction.end(), [](QChar c) { return c == u'0'; });
        const qint64 whole_value = QStringView(text).left(point).toLongLong(&ok);
        if (zeros && ok) {
            return whole_value;
        }
    }
    throw TConvertError(
        QStringLiteral("Значение «%1» поля %2 не является целым числом.").arg(text, Name()));
}

QDateTime TOdbcField::AsDateTime() const {
    qsizetype length = 0;
    const char* data = statement_->Value(index_, &length);
    if (data == nullptr) {
        return QDateTime();
    }
    const TOdbcColumn& column = statement_->Column(index_);
    if (column.category == TFieldCategory::DateTime) {
        return ToDateTime(DecodeValue(column, data, length, statement_->UtcSession()), column.name);
    }
    const QString text = AsString().trimmed();
    QDateTime value = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!value.isValid()) {
        value = QDateTime(QDate::fromString(text, Qt::ISODate), QTime(0, 0));
    }
    if (!value.isValid()) {
        throw TConvertError(
            QStringLiteral("Значение «%1» поля %2 не является датой.").arg(text, Name()));
    }
    value.setTimeZone(QTimeZone::utc());
    return value;
}

QByteArray TOdbcField::AsBytes() const {
    qsizetype length = 0;
    const char* data = statement_->Value(index_, &length);
    if (data == nullptr) {
        return QByteArray();
    }
    if (statement_->Column(index_).c_type == SQL_C_BINARY) {
        return QByteArray(data, length);
    }
    return AsString().toUtf8();
}

QByteArrayView TOdbcField::BytesView(QByteArray& buffer) const {
    qsizetype length = 0;
    const char* data = statement_->Value(index_, &length);
    if (data != nullptr && statement_->Column(index_).c_type == SQL_C_BINARY) {
        return QByteArrayView(data, length);
    }
    buffer = AsBytes();
    return buffer;
}

void TOdbcField::SaveToFile(const QString& path) const {
    // Source data handed to the target through a file: nobody else may read it.
    WriteFileBytes(path, AsBytes());
}
