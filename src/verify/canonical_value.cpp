#include "verify/canonical_value.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include "db/db_field.h"
#include "db/sql_text.h"
#include "util/text_utils.h"

namespace {

// Exponents of the numbers a NUMBER or a binary floating-point column can hold are far below
// this; beyond it the text is no number of ours and is left as it is.
constexpr int kMaxExponent = 1000;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsHex(const QString& text) {
    for (const QChar c : text) {
        if (!IsDigit(c) && !(c >= u'a' && c <= u'f') && !(c >= u'A' && c <= u'F')) {
            return false;
        }
    }
    return text.size() % 2 == 0;
}

QString Padded(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

quint64 BigEndian64(const char* bytes) {
    quint64 value = 0;
    for (int i = 0; i < 8; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

}  // namespace

TCheckKind CheckKindOf(const TFieldRec& field) {
    if (field.is_virtual) {
        return TCheckKind::None;
    }
    const QString type = UpperLatin(field.data_type.trimmed());
    static const QRegularExpression timestamp(
        QStringLiteral("^TIMESTAMP(\\(\\d+\\))?( WITH (LOCAL )?TIME ZONE)?$"));
    if (type == QLatin1String("NUMBER") || type == QLatin1String("FLOAT") ||
        type == QLatin1String("BINARY_FLOAT") || type == QLatin1String("BINARY_DOUBLE") ||
        type == QLatin1String("INTEGER") || type == QLatin1String("DECIMAL")) {
        return TCheckKind::Number;
    }
    if (type.contains(QLatin1String("VARCHAR")) || type == QLatin1String("CLOB") ||
        type == QLatin1String("NCLOB") || type == QLatin1String("LONG") ||
        type == QLatin1String("ROWID") || type == QLatin1String("UROWID")) {
        return TCheckKind::Text;
    }
    if (type == QLatin1String("CHAR") || type == QLatin1String("NCHAR")) {
        return TCheckKind::Char;
    }
    if (type == QLatin1String("BLOB") || type == QLatin1String("RAW") ||
        type == QLatin1String("LONG RAW")) {
        return TCheckKind::Binary;
    }
    if (type == QLatin1String("DATE")) {
        return TCheckKind::DateTime;
    }
    if (const auto m = timestamp.match(type); m.hasMatch()) {
        // A local-time-zone value reads in the session's zone, which nothing ties to the
        // zone the target reads it in.
        if (!m.captured(3).isEmpty()) {
            return TCheckKind::None;
        }
        return m.captured(2).isEmpty() ? TCheckKind::DateTime : TCheckKind::ZonedDateTime;
    }
    return TCheckKind::None;
}

QString CanonicalNumber(const QString& text) {
    QString t = text.trimmed();
    t.replace(u',', u'.');
    const QString lower = t.toLower();
    if (lower == QLatin1String("nan")) {
        return QStringLiteral("NaN");
    }
    if (lower == QLatin1String("inf") || lower == QLatin1String("infinity") ||
        lower == QLatin1String("+inf") || lower == QLatin1String("+infinity")) {
        return QStringLiteral("Infinity");
    }
    if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity")) {
        return QStringLiteral("-Infinity");
    }
    qsizetype i = 0;
    const qsizetype n = t.size();
    bool negative = false;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    QString int_part;
    QString frac_part;
    while (i < n && IsDigit(t[i])) {
        int_part += t[i++];
    }
    if (i < n && t[i] == u'.') {
        ++i;
        while (i < n && IsDigit(t[i])) {
            frac_part += t[i++];
        }
    }
    if (int_part.isEmpty() && frac_part.isEmpty()) {
        return text;
    }
    int exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool exp_negative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) {
            exp_negative = t[i] == u'-';
            ++i;
        }
        const qsizetype start = i;
        while (i < n && IsDigit(t[i]) && exponent <= kMaxExponent) {
            exponent = exponent * 10 + (t[i++].unicode() - '0');
        }
        if (i == start || exponent > kMaxExponent) {
            return text;
        }
        exponent = exp_negative ? -exponent : exponent;
    }
    if (i != n) {
        return text;
    }
    // The decimal point moves on the digit string: no binary floating point in between.
    QString digits = int_part + frac_part;
    qsizetype point = int_part.size() + exponent;
    if (point < 0) {
        digits = QString(-point, u'0') + digits;
        point = 0;
    } else if (point > digits.size()) {
        digits += QString(point - digits.size(), u'0');
    }
    QString whole = digits.left(point);
    QString fraction = digits.mid(point);
    while (whole.startsWith(u'0')) {
        whole.remove(0, 1);
    }
    while (fraction.endsWith(u'0')) {
        fraction.chop(1);
    }
    if (whole.isEmpty() && fraction.isEmpty()) {
        return QStringLiteral("0");
    }
    QString result = negative ? QStringLiteral("-") : QString();
    result += whole.isEmpty() ? QStringLiteral("0") : whole;
    if (!fraction.isEmpty()) {
        result += u'.' + fraction;
    }
    return result;
}

QString CanonicalDateTime(const QString& text, bool zoned) {
    // The layer's forms: "YYYY-MM-DD", optionally " HH:MM:SS" and a fraction, an offset
    // ("+03:00", "+0300", "+03", "+02:30:17", "Z") and " BC"; a year before 1 may also come as
    // "-YYYY".
    static const QRegularExpression form(QStringLiteral(
        "^([+-])?(\\d+)-(\\d{1,2})-(\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2}))?"
        "(?:[.,](\\d+))?)?\\s*(Z|[+-]\\d{2}(?::?\\d{2}(?::?\\d{2})?)?)?(\\s*BC)?$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch()) {
        return text;
    }
    int year = m.captured(2).toInt();
    bool bc = m.captured(1) == QLatin1String("-") || !m.captured(10).isEmpty();
    int month = m.captured(3).toInt();
    int day = m.captured(4).toInt();
    int hour = m.captured(5).toInt();
    int minute = m.captured(6).toInt();
    int second = m.captured(7).toInt();
    QString fraction = m.captured(8);
    while (fraction.endsWith(u'0')) {
        fraction.chop(1);
    }
    QString offset = m.captured(9);
    if (zoned) {
        int seconds_ahead = 0;
        if (!offset.isEmpty() && offset != QLatin1String("Z")) {
            const QString digits = offset.mid(1).remove(u':');
            seconds_ahead = digits.left(2).toInt() * 3600 + digits.mid(2, 2).toInt() * 60 +
                            digits.mid(4, 2).toInt();
            seconds_ahead = offset.startsWith(u'-') ? -seconds_ahead : seconds_ahead;
        }
        if (seconds_ahead != 0) {
            // Qt counts years before 1 as negative numbers without a year 0, as " BC" does.
            const QDateTime local(QDate(bc ? -year : year, month, day), QTime(hour, minute, second),
                                  QTimeZone(seconds_ahead));
            if (!local.isValid()) {
                return text;
            }
            const QDateTime utc = local.toUTC();
            bc = utc.date().year() < 0;
            year = bc ? -utc.date().year() : utc.date().year();
            month = utc.date().month();
            day = utc.date().day();
            hour = utc.time().hour();
            minute = utc.time().minute();
            second = utc.time().second();
        }
        offset = QStringLiteral("+00:00");
    } else if (!offset.isEmpty()) {
        // An offset on a plain date-time is kept, so that it shows as a difference.
        offset = u' ' + offset;
    }
    QString result = QStringLiteral("%1-%2-%3 %4:%5:%6")
                         .arg(Padded(year, 4), Padded(month, 2), Padded(day, 2), Padded(hour, 2),
                              Padded(minute, 2), Padded(second, 2));
    if (!fraction.isEmpty()) {
        result += u'.' + fraction;
    }
    if (bc) {
        result += QLatin1String(" BC");
    }
    return result + offset;
}

QString CanonicalChar(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ') {
        --end;
    }
    return text.left(end);
}

QString CanonicalHex(const QString& text) {
    QString hex = text;
    if (hex.startsWith(QLatin1String("\\x")) || hex.startsWith(QLatin1String("0x"))) {
        hex.remove(0, 2);
    }
    if (IsHex(hex)) {
        return hex.toLower();
    }
    return QString::fromLatin1(text.toUtf8().toHex());
}

QString CanonicalValue(TCheckKind kind, const TDbField& field) {
    switch (kind) {
        case TCheckKind::Number:
            return CanonicalNumber(field.AsString());
        case TCheckKind::Char:
            return CanonicalChar(field.AsString());
        case TCheckKind::DateTime:
            return CanonicalDateTime(field.AsString(), false);
        case TCheckKind::ZonedDateTime:
            return CanonicalDateTime(field.AsString(), true);
        case TCheckKind::Binary: {
            if (field.Category() == TFieldCategory::LargeBinary) {
                return QString::fromLatin1(field.AsBytes().toHex());
            }
            // Read as text, a binary value comes as its hexadecimal digits; anything else is
            // taken as the bytes of the text, as the copy takes it.
            QString hex = field.AsString();
            if (hex.startsWith(QLatin1String("\\x"))) {
                hex.remove(0, 2);
            }
            return IsHex(hex) ? hex.toLower() : QString::fromLatin1(field.AsBytes().toHex());
        }
        case TCheckKind::Text:
        case TCheckKind::None:
            break;
    }
    return field.AsString();
}

QString TChecksum::Text() const {
    return QStringLiteral("%1:%2:%3").arg(rows).arg(sum_a).arg(sum_b);
}

void TRowText::AddNull() {
    if (!first_) {
        text_ += u'|';
    }
    first_ = false;
    text_ += QLatin1String("\\N");
}

void TRowText::Add(TCheckKind kind, const QString& canonical) {
    if (!first_) {
        text_ += u'|';
    }
    first_ = false;
    if (kind != TCheckKind::Text && kind != TCheckKind::Char) {
        // Numbers, date-times and hexadecimal digits hold neither "\" nor "|".
        text_ += canonical;
        return;
    }
    for (const QChar c : canonical) {
        if (c == u'\\' || c == u'|') {
            text_ += u'\\';
        }
        text_ += c;
    }
}

void AddRow(TChecksum& checksum, const QString& row_text) {
    const QByteArray hash = QCryptographicHash::hash(row_text.toUtf8(), QCryptographicHash::Md5);
    ++checksum.rows;
    // Unsigned sums wrap modulo 2^64, as the target's sums are reduced.
    checksum.sum_a += BigEndian64(hash.constData());
    checksum.sum_b += BigEndian64(hash.constData() + 8);
}

QString PgCanonicalExpr(TCheckKind kind, const QString& column) {
    const QString text = "CAST(" + column + " AS text)";
    const auto escaped = [](const QString& value) {
        return "replace(replace(" + value + ", chr(92), chr(92) || chr(92)), '|', chr(92) || '|')";
    };
    QString expr;
    switch (kind) {
        case TCheckKind::Number:
            // Through numeric, which reads every text form (also "1e-10") and writes it as a
            // plain decimal; the trailing zeros of the scale go.
            expr = "CASE WHEN " + text + " IN ('NaN', 'Infinity', '-Infinity') THEN " + text +
                   " ELSE regexp_replace(CAST(CAST(" + text + " AS numeric) AS text), " +
                   PgLiteral(QStringLiteral("(\\.[0-9]*[1-9])0+$|\\.0+$")) + ", " +
                   PgLiteral(QStringLiteral("\\1")) + ") END";
            break;
        case TCheckKind::Char:
            expr = escaped("rtrim(" + text + ", ' ')");
            break;
        case TCheckKind::DateTime:
        case TCheckKind::ZonedDateTime: {
            const QString value =
                kind == TCheckKind::ZonedDateTime ? "(" + column + " AT TIME ZONE 'UTC')" : column;
            expr = "regexp_replace(to_char(" + value + ", 'YYYY-MM-DD HH24:MI:SS.US'), " +
                   PgLiteral(QStringLiteral("\\.?0+$")) + ", '') || CASE WHEN to_char(" + value +
                   ", 'BC') = 'BC' THEN ' BC' ELSE '' END";
            if (kind == TCheckKind::ZonedDateTime) {
                expr += " || '+00:00'";
            }
            break;
        }
        case TCheckKind::Binary:
            expr = "encode(" + column + ", 'hex')";
            break;
        case TCheckKind::Text:
        case TCheckKind::None:
            expr = escaped(text);
            break;
    }
    return "coalesce(" + expr + ", chr(92) || 'N')";
}

QString PgChecksumSql(const QString& table, const QStringList& columns,
                      const QList<TCheckKind>& kinds) {
    QStringList parts;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        parts << PgCanonicalExpr(kinds.value(i, TCheckKind::Text), columns[i]);
    }
    const auto sum = [](int from) {
        const QString modulus = QStringLiteral("18446744073709551616");
        return "(coalesce(sum(CAST(CAST('x' || substr(h, " + QString::number(from) +
               ", 16) AS bit(64)) AS bigint)), 0) % " + modulus + " + " + modulus + ") % " +
               modulus;
    };
    return "SELECT count(*), " + sum(1) + ", " + sum(17) + " FROM (SELECT md5(convert_to(" +
           parts.join(QStringLiteral(" || '|' || ")) + ", 'UTF8')) AS h FROM " + table + ") AS s";
}
