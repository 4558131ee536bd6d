#include <QFile>
#include <QTimeZone>
#include <algorithm>
#include <cstring>

#include "db/odbc_statement.h"
#include "util/error.h"
#include "util/text_file.h"

namespace {

// A pure time of day stands on the day the date-time numbering starts from.
const QDate kTimeOnlyDate(1899, 12, 30);

QDateTime DecodeDateTime(const TOdbcColumn& column, const char* data) {
    if (column.c_type == SQL_C_TYPE_TIME) {
        SQL_TIME_STRUCT t;
        std::memcpy(&t, data, sizeof t);
        return QDateTime(kTimeOnlyDate, QTime(t.hour, t.minute, t.second), QTimeZone::utc());
    }
    SQL_TIMESTAMP_STRUCT t;
    std::memcpy(&t, data, sizeof t);
    // The fraction is in nanoseconds.
    return QDateTime(QDate(t.year, t.month, t.day),
                     QTime(t.hour, t.minute, t.second, static_cast<int>(t.fraction / 1000000)),
                     QTimeZone::utc());
}

void AppendDigits(QString& text, int value, int width) {
    char digits[12];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    text.append(QLatin1StringView(digits, width));
}

// Formatted by hand: the copy renders every date-time value this way, and the general
// formatter costs more than fetching the row.
QString DateTimeText(const TOdbcColumn& column, const char* data) {
    QString text;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (column.c_type == SQL_C_TYPE_TIME) {
        SQL_TIME_STRUCT t;
        std::memcpy(&t, data, sizeof t);
        hour = t.hour;
        minute = t.minute;
        second = t.second;
    } else {
        SQL_TIMESTAMP_STRUCT t;
        std::memcpy(&t, data, sizeof t);
        if (t.year < 1 || t.year > 9999) {
            return DecodeDateTime(column, data).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        AppendDigits(text, t.year, 4);
        text += u'-';
        AppendDigits(text, t.month, 2);
        text += u'-';
        AppendDigits(text, t.day, 2);
        if (t.hour == 0 && t.minute == 0 && t.second == 0) {
            return text;
        }
        text += u' ';
        hour = t.hour;
        minute = t.minute;
        second = t.second;
    }
    AppendDigits(text, hour, 2);
    text += u':';
    AppendDigits(text, minute, 2);
    text += u':';
    AppendDigits(text, second, 2);
    return text;
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
    switch (column.c_type) {
        case SQL_C_WCHAR:
            return OdbcString(reinterpret_cast<const SQLWCHAR*>(data),
                              length / static_cast<qsizetype>(sizeof(SQLWCHAR)));
        case SQL_C_BINARY:
            // One character per byte, so that no byte is lost or merged.
            return QString::fromLatin1(data, length);
        default:
            return DateTimeText(column, data);
    }
}

QStringView TOdbcField::StringView(QString& buffer) const {
    const TOdbcColumn& column = statement_->Column(index_);
    if (column.c_type != SQL_C_WCHAR) {
        return TDbField::StringView(buffer);
    }
    qsizetype length = 0;
    const char* data = statement_->Value(index_, &length);
    if (data == nullptr) {
        return QStringView();
    }
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    return QStringView(reinterpret_cast<const char16_t*>(data),
                       length / static_cast<qsizetype>(sizeof(SQLWCHAR)));
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
        return DecodeDateTime(column, data);
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

void TOdbcField::SaveToFile(const QString& path) const {
    // Source data handed to the target through a file: nobody else may read it.
    WriteFileBytes(path, AsBytes());
}
