#include "db/odbc_value_text.h"

#include <charconv>
#include <cmath>

#include "util/error.h"

namespace {

// Far beyond what NUMBER (1e-130 .. 1e126) or a double (5e-324 .. 2e308) needs, and small
// enough that the exact expansion stays short.
constexpr int kMaxExponent = 400;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Blanks a driver may put around a value, including the no-break spaces of regional forms.
bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == QChar(0x00A0) ||
           c == QChar(0x2007) || c == QChar(0x202F);
}

QStringView Trimmed(QStringView text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && IsBlank(text[from])) {
        ++from;
    }
    while (to > from && IsBlank(text[to - 1])) {
        --to;
    }
    return text.mid(from, to - from);
}

[[noreturn]] void ThrowNotDecimal(QStringView text, const QString& column) {
    throw TConvertError(QStringLiteral("Значение «%1» поля %2 не является десятичным числом: "
                                       "его нельзя прочитать однозначно.")
                            .arg(text.toString(), column));
}

// Parses [sign] digits [mark digits] [E [sign] digits] with '.' or ',' as the one decimal mark
// and writes the exact plain form. False when the text is something else.
bool NormaliseDecimal(QStringView text, bool keep_negative_zero, QString* out) {
    const QStringView t = Trimmed(text);
    const qsizetype n = t.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    QString int_digits;
    QString frac_digits;
    while (i < n && IsDigit(t[i])) {
        int_digits += t[i++];
    }
    const bool has_mark = i < n && (t[i] == u'.' || t[i] == u',');
    if (has_mark) {
        ++i;
        while (i < n && IsDigit(t[i])) {
            frac_digits += t[i++];
        }
    }
    if (int_digits.isEmpty() && frac_digits.isEmpty()) {
        return false;
    }
    bool has_exponent = false;
    int exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        has_exponent = true;
        ++i;
        bool exp_negative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) {
            exp_negative = t[i] == u'-';
            ++i;
        }
        const qsizetype start = i;
        while (i < n && IsDigit(t[i])) {
            exponent = exponent * 10 + (t[i++].unicode() - u'0');
            if (exponent > kMaxExponent) {
                return false;
            }
        }
        if (i == start) {
            return false;
        }
        if (exp_negative) {
            exponent = -exponent;
        }
    }
    if (i != n) {
        return false;
    }
    if (has_exponent) {
        // Move the point on the digit string: exact, no binary value in between.
        QString digits = int_digits + frac_digits;
        qsizetype point = int_digits.size() + exponent;
        if (point < 0) {
            digits.prepend(QString(-point, u'0'));
            point = 0;
        } else if (point > digits.size()) {
            digits.append(QString(point - digits.size(), u'0'));
        }
        int_digits = digits.left(point);
        frac_digits = digits.mid(point);
        while (frac_digits.endsWith(u'0')) {
            frac_digits.chop(1);
        }
    }
    qsizetype lead = 0;
    while (lead < int_digits.size() && int_digits[lead] == u'0') {
        ++lead;
    }
    int_digits.remove(0, lead);
    const bool zero = int_digits.isEmpty() && frac_digits.count(u'0') == frac_digits.size();
    QString result;
    if (negative && (!zero || keep_negative_zero)) {
        result += u'-';
    }
    result += int_digits.isEmpty() ? QStringLiteral("0") : int_digits;
    if (!frac_digits.isEmpty()) {
        result += u'.';
        result += frac_digits;
    }
    *out = result;
    return true;
}

template <typename T>
QString ShortestText(T value) {
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// By hand: the copy formats every date-time value, and the general formatter costs more than
// fetching the row.
void AppendDigits(QString& text, qint64 value, int width) {
    char digits[24];
    int count = 0;
    do {
        digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && count < 20);
    while (count < width) {
        digits[sizeof digits - 1 - count++] = '0';
    }
    text.append(QLatin1StringView(digits + sizeof digits - count, count));
}

// Reads 1..max_digits digits at pos into *value.
bool ReadNumber(QStringView t, qsizetype& pos, int max_digits, int* value) {
    const qsizetype start = pos;
    int number = 0;
    while (pos < t.size() && IsDigit(t[pos]) && pos - start < max_digits) {
        number = number * 10 + (t[pos++].unicode() - u'0');
    }
    *value = number;
    return pos > start;
}

bool Expect(QStringView t, qsizetype& pos, QChar c) {
    if (pos < t.size() && t[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

void SkipBlanks(QStringView t, qsizetype& pos) {
    while (pos < t.size() && IsBlank(t[pos])) {
        ++pos;
    }
}

}  // namespace

bool IsPlainDecimal(QStringView text) {
    const qsizetype n = text.size();
    qsizetype i = n > 0 && text[0] == u'-' ? 1 : 0;
    const qsizetype first = i;
    bool nonzero = false;
    while (i < n && IsDigit(text[i])) {
        nonzero = nonzero || text[i] != u'0';
        ++i;
    }
    const qsizetype digits = i - first;
    if (digits == 0 || (digits > 1 && text[first] == u'0')) {
        return false;
    }
    if (i < n) {
        if (text[i] != u'.' || i + 1 == n) {
            return false;
        }
        for (++i; i < n; ++i) {
            if (!IsDigit(text[i])) {
                return false;
            }
            nonzero = nonzero || text[i] != u'0';
        }
    }
    // A decimal zero has no sign.
    return first == 0 || nonzero;
}

QString PlainDecimal(QStringView text, const QString& column) {
    if (IsPlainDecimal(text)) {
        return text.toString();
    }
    QString result;
    if (!NormaliseDecimal(text, false, &result)) {
        ThrowNotDecimal(text, column);
    }
    return result;
}

QString FloatText(double value) {
    return ShortestText(value);
}

QString FloatText(float value) {
    return ShortestText(value);
}

QString FloatTextFromDriver(QStringView text, const QString& column) {
    const QString word = Trimmed(text).toString().toLower();
    if (word == u"inf" || word == u"+inf" || word == u"infinity" || word == u"+infinity" ||
        word == u"~") {
        return QStringLiteral("Infinity");
    }
    if (word == u"-inf" || word == u"-infinity" || word == u"-~") {
        return QStringLiteral("-Infinity");
    }
    if (word == u"nan") {
        return QStringLiteral("NaN");
    }
    if (IsPlainDecimal(text) || text == u"-0") {
        return text.toString();
    }
    QString result;
    if (!NormaliseDecimal(text, true, &result)) {
        ThrowNotDecimal(text, column);
    }
    return result;
}

QString DateTimeText(const TDateTimeValue& value, const QString& column) {
    if (value.year == 0) {
        throw TConvertError(
            QStringLiteral("Значение даты поля %1 имеет год 0, которого нет в календаре.")
                .arg(column));
    }
    QString text;
    text.reserve(40);
    AppendDigits(text, std::abs(value.year), 4);
    text += u'-';
    AppendDigits(text, value.month, 2);
    text += u'-';
    AppendDigits(text, value.day, 2);
    const bool midnight =
        value.hour == 0 && value.minute == 0 && value.second == 0 && value.nanoseconds == 0;
    if (!midnight || value.zoned) {
        text += u' ';
        AppendDigits(text, value.hour, 2);
        text += u':';
        AppendDigits(text, value.minute, 2);
        text += u':';
        AppendDigits(text, value.second, 2);
        if (value.nanoseconds != 0) {
            text += u'.';
            if (value.nanoseconds % 1000 == 0) {
                AppendDigits(text, value.nanoseconds / 1000, 6);
            } else {
                AppendDigits(text, value.nanoseconds, 9);
            }
        }
    }
    if (value.zoned) {
        const int offset = std::abs(value.offset_seconds);
        text += value.offset_seconds < 0 ? u'-' : u'+';
        AppendDigits(text, offset / 3600, 2);
        text += u':';
        AppendDigits(text, offset / 60 % 60, 2);
        if (offset % 60 != 0) {
            text += u':';
            AppendDigits(text, offset % 60, 2);
        }
    }
    if (value.year < 0) {
        text += QStringLiteral(" BC");
    }
    return text;
}

namespace {

// Both text readers: a date, a time unless time_optional lets it out, a fraction, an offset
// (*has_offset says whether there was one) and an era.
bool ParseText(QStringView text, bool time_optional, int default_offset_seconds,
               TDateTimeValue* value, bool* has_offset) {
    const QStringView t = Trimmed(text);
    qsizetype pos = 0;
    TDateTimeValue v;
    *has_offset = false;
    const bool signed_year = Expect(t, pos, u'-');
    if (!ReadNumber(t, pos, 6, &v.year) || !Expect(t, pos, u'-') ||
        !ReadNumber(t, pos, 2, &v.month) || !Expect(t, pos, u'-') ||
        !ReadNumber(t, pos, 2, &v.day)) {
        return false;
    }
    const bool date_only =
        time_optional &&
        (pos == t.size() || (t[pos] == u' ' && pos + 1 < t.size() && !IsDigit(t[pos + 1])));
    if (!date_only && !Expect(t, pos, u' ') && !Expect(t, pos, u'T')) {
        return false;
    }
    if (!date_only && (!ReadNumber(t, pos, 2, &v.hour) || !Expect(t, pos, u':') ||
                       !ReadNumber(t, pos, 2, &v.minute) || !Expect(t, pos, u':') ||
                       !ReadNumber(t, pos, 2, &v.second))) {
        return false;
    }
    if (Expect(t, pos, u'.') || Expect(t, pos, u',')) {
        int digits = 0;
        while (pos < t.size() && IsDigit(t[pos])) {
            if (digits < 9) {
                v.nanoseconds = v.nanoseconds * 10 + (t[pos].unicode() - u'0');
            } else if (t[pos] != u'0') {
                // Finer than any server keeps: not a form we know.
                return false;
            }
            ++digits;
            ++pos;
        }
        if (digits == 0) {
            return false;
        }
        for (; digits < 9; ++digits) {
            v.nanoseconds *= 10;
        }
    }
    SkipBlanks(t, pos);
    v.offset_seconds = default_offset_seconds;
    if (pos < t.size() && (t[pos] == u'+' || t[pos] == u'-')) {
        const bool west = t[pos++] == u'-';
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
        if (!ReadNumber(t, pos, 2, &hours)) {
            return false;
        }
        if (Expect(t, pos, u':')) {
            if (!ReadNumber(t, pos, 2, &minutes)) {
                return false;
            }
            if (Expect(t, pos, u':') && !ReadNumber(t, pos, 2, &seconds)) {
                return false;
            }
        } else if (pos + 1 < t.size() && IsDigit(t[pos]) && IsDigit(t[pos + 1])) {
            ReadNumber(t, pos, 2, &minutes);
        }
        v.offset_seconds = (hours * 3600 + minutes * 60 + seconds) * (west ? -1 : 1);
        *has_offset = true;
    } else if (Expect(t, pos, u'Z')) {
        v.offset_seconds = 0;
        *has_offset = true;
    }
    SkipBlanks(t, pos);
    const QStringView era = t.mid(pos);
    bool bc = false;
    if (era.compare(u"BC", Qt::CaseInsensitive) == 0) {
        bc = true;
    } else if (!era.isEmpty() && era.compare(u"AD", Qt::CaseInsensitive) != 0) {
        return false;
    }
    if (v.year == 0 || (bc && signed_year) || v.month < 1 || v.month > 12 || v.day < 1 ||
        v.day > 31 || v.hour > 24 || v.minute > 59 || v.second > 60) {
        return false;
    }
    if (bc || signed_year) {
        v.year = -v.year;
    }
    *value = v;
    return true;
}

}  // namespace

bool ParseZonedText(QStringView text, int default_offset_seconds, TDateTimeValue* value) {
    bool has_offset = false;
    if (!ParseText(text, false, default_offset_seconds, value, &has_offset)) {
        return false;
    }
    value->zoned = true;
    return true;
}

bool ParseDateTimeText(QStringView text, TDateTimeValue* value) {
    bool has_offset = false;
    if (!ParseText(text, true, 0, value, &has_offset)) {
        return false;
    }
    value->zoned = has_offset;
    return true;
}
