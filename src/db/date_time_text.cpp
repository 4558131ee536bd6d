#include "db/date_time_text.h"

#include "util/error.h"
#include "util/text_utils.h"

namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads exactly `count` digits at pos (count 0: one or more) into value.
bool ReadNumber(QStringView text, qsizetype& pos, int count, int& value) {
    const qsizetype start = pos;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && (count == 0 || pos - start < count)) {
        if (value > 99999999) {
            return false;
        }
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
    }
    return count == 0 ? pos > start : pos - start == count;
}

bool Expect(QStringView text, qsizetype& pos, QChar c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// (+|-)HH[[:]MM[[:]SS]] or Z.
bool ReadOffset(QStringView text, qsizetype& pos, int& seconds) {
    if (Expect(text, pos, u'Z')) {
        seconds = 0;
        return true;
    }
    if (pos >= text.size() || (text[pos] != u'+' && text[pos] != u'-')) {
        return false;
    }
    const bool west = text[pos] == u'-';
    ++pos;
    int hours = 0;
    int minutes = 0;
    int secs = 0;
    if (!ReadNumber(text, pos, 2, hours)) {
        return false;
    }
    const bool colon = Expect(text, pos, u':');
    if (pos < text.size() && IsDigit(text[pos])) {
        if (!ReadNumber(text, pos, 2, minutes)) {
            return false;
        }
        if ((colon ? Expect(text, pos, u':') : true) && pos < text.size() && IsDigit(text[pos]) &&
            !ReadNumber(text, pos, 2, secs)) {
            return false;
        }
    } else if (colon) {
        return false;
    }
    if (hours > 15 || minutes > 59 || secs > 59) {
        return false;
    }
    seconds = (hours * 3600 + minutes * 60 + secs) * (west ? -1 : 1);
    return true;
}

void AppendNumber(QString& out, int value, int width) {
    out += QString::number(value).rightJustified(width, u'0');
}

QString DatePart(const TDateTimeParts& parts, bool sign) {
    QString text;
    if (sign && parts.bc) {
        text += u'-';
    }
    AppendNumber(text, parts.year, 4);
    text += u'-';
    AppendNumber(text, parts.month, 2);
    text += u'-';
    AppendNumber(text, parts.day, 2);
    return text;
}

void AppendTime(QString& out, const TDateTimeParts& parts) {
    out += u' ';
    AppendNumber(out, parts.hour, 2);
    out += u':';
    AppendNumber(out, parts.minute, 2);
    out += u':';
    AppendNumber(out, parts.second, 2);
}

// "+03:00", "-09:30", "+05:30:15" (seconds only when there are some).
QString OffsetText(int offset_seconds, bool allow_seconds) {
    const int total = offset_seconds < 0 ? -offset_seconds : offset_seconds;
    if (!allow_seconds && total % 60 != 0) {
        throw TConvertError(
            QStringLiteral("Смещение часового пояса %1 с секундами нельзя передать в Oracle")
                .arg(OffsetText(offset_seconds, true)));
    }
    QString text(offset_seconds < 0 ? u'-' : u'+');
    AppendNumber(text, total / 3600, 2);
    text += u':';
    AppendNumber(text, total / 60 % 60, 2);
    if (total % 60 != 0) {
        text += u':';
        AppendNumber(text, total % 60, 2);
    }
    return text;
}

bool HasFraction(const TDateTimeParts& parts) {
    for (const QChar c : parts.fraction) {
        if (c != u'0') {
            return true;
        }
    }
    return false;
}

}  // namespace

TDateTimeKind DateTimeKindOf(const QString& data_type) {
    const QString type = UpperLatin(data_type.trimmed());
    if (type == QLatin1String("DATE")) {
        return TDateTimeKind::Date;
    }
    if (!type.startsWith(QLatin1String("TIMESTAMP"))) {
        return TDateTimeKind::None;
    }
    // "TIMESTAMP", "TIMESTAMP(6)", then nothing or a zone clause.
    qsizetype pos = 9;
    if (pos < type.size() && type[pos] == u'(') {
        pos = type.indexOf(u')', pos);
        if (pos < 0) {
            return TDateTimeKind::None;
        }
        ++pos;
    }
    const QString rest = type.mid(pos).simplified();
    if (rest.isEmpty()) {
        return TDateTimeKind::Timestamp;
    }
    if (rest == QLatin1String("WITH TIME ZONE") || rest == QLatin1String("WITH LOCAL TIME ZONE")) {
        return TDateTimeKind::TimestampTz;
    }
    return TDateTimeKind::None;
}

bool IsPlainDateTimeText(QStringView text) {
    const qsizetype n = text.size();
    if (n != 10 && n < 19) {
        return false;
    }
    const auto digit = [&](qsizetype i) { return IsDigit(text[i]); };
    const auto two = [&](qsizetype i) {
        return (text[i].unicode() - u'0') * 10 + (text[i + 1].unicode() - u'0');
    };
    if (!(digit(0) && digit(1) && digit(2) && digit(3) && text[4] == u'-' && digit(5) && digit(6) &&
          text[7] == u'-' && digit(8) && digit(9))) {
        return false;
    }
    const int month = two(5);
    const int day = two(8);
    if (month < 1 || month > 12 || day < 1 || day > 31 || (two(0) == 0 && two(2) == 0)) {
        return false;
    }
    if (n == 10) {
        return true;
    }
    if (!(text[10] == u' ' && digit(11) && digit(12) && text[13] == u':' && digit(14) &&
          digit(15) && text[16] == u':' && digit(17) && digit(18)) ||
        two(11) > 24 || two(14) > 59 || two(17) > 60) {
        return false;
    }
    qsizetype i = 19;
    if (i < n && text[i] == u'.') {
        const qsizetype start = ++i;
        while (i < n && digit(i)) {
            ++i;
        }
        if (i == start) {
            return false;
        }
    }
    if (i == n) {
        return true;
    }
    // "+03" or "+05:30".
    if ((text[i] != u'+' && text[i] != u'-') || !(i + 3 == n || i + 6 == n) || !digit(i + 1) ||
        !digit(i + 2) || two(i + 1) > 15) {
        return false;
    }
    return i + 3 == n || (text[i + 3] == u':' && digit(i + 4) && digit(i + 5) && two(i + 4) <= 59);
}

bool ParseDateTimeText(QStringView text, TDateTimeParts& out) {
    out = TDateTimeParts();
    text = text.trimmed();
    qsizetype pos = 0;
    const bool minus = Expect(text, pos, u'-');
    if (!ReadNumber(text, pos, 0, out.year) || out.year == 0 || !Expect(text, pos, u'-') ||
        !ReadNumber(text, pos, 2, out.month) || !Expect(text, pos, u'-') ||
        !ReadNumber(text, pos, 2, out.day)) {
        return false;
    }
    if (pos + 1 < text.size() && (text[pos] == u' ' || text[pos] == u'T') &&
        IsDigit(text[pos + 1])) {
        ++pos;
        out.has_time = true;
        if (!ReadNumber(text, pos, 2, out.hour) || !Expect(text, pos, u':') ||
            !ReadNumber(text, pos, 2, out.minute) || !Expect(text, pos, u':') ||
            !ReadNumber(text, pos, 2, out.second)) {
            return false;
        }
        if (Expect(text, pos, u'.')) {
            const qsizetype start = pos;
            while (pos < text.size() && IsDigit(text[pos])) {
                ++pos;
            }
            if (pos == start) {
                return false;
            }
            out.fraction = text.mid(start, pos - start).toString();
        }
        const qsizetype before = pos;
        Expect(text, pos, u' ');
        if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-' || text[pos] == u'Z')) {
            if (!ReadOffset(text, pos, out.offset_seconds)) {
                return false;
            }
            out.has_offset = true;
        } else {
            pos = before;
        }
    }
    bool era = false;
    if (Expect(text, pos, u' ')) {
        const QStringView word = text.mid(pos);
        if (word.compare(u"BC", Qt::CaseInsensitive) == 0) {
            era = true;
        } else if (word.compare(u"AD", Qt::CaseInsensitive) != 0) {
            return false;
        }
        pos = text.size();
    }
    if (pos != text.size() || (minus && era)) {
        return false;
    }
    out.bc = minus || era;
    return out.month >= 1 && out.month <= 12 && out.day >= 1 && out.day <= 31 && out.hour <= 24 &&
           out.minute <= 59 && out.second <= 60;
}

QString PgDateTimeText(const TDateTimeParts& parts) {
    QString text = DatePart(parts, false);
    if (parts.has_time) {
        AppendTime(text, parts);
        if (!parts.fraction.isEmpty()) {
            text += u'.' + parts.fraction;
        }
        if (parts.has_offset) {
            text += OffsetText(parts.offset_seconds, true);
        }
    }
    if (parts.bc) {
        text += QLatin1String(" BC");
    }
    return text;
}

QString OraDateTimeText(const TDateTimeParts& parts, bool with_fraction, bool with_offset) {
    QString text = DatePart(parts, true);
    AppendTime(text, parts);
    if (with_fraction) {
        text += u'.' + (parts.fraction.isEmpty() ? QStringLiteral("0") : parts.fraction);
    }
    if (with_offset) {
        text += u' ' + OffsetText(parts.has_offset ? parts.offset_seconds : 0, false);
    }
    return text;
}

QString OraDateTimeMask(bool signed_year, bool with_fraction, bool with_offset) {
    QString mask = signed_year ? QStringLiteral("SYYYY-MM-DD HH24:MI:SS")
                               : QStringLiteral("YYYY-MM-DD HH24:MI:SS");
    if (with_fraction) {
        mask += QLatin1String(".FF");
    }
    if (with_offset) {
        mask += QLatin1String(" TZH:TZM");
    }
    return mask;
}

QString OraDateTimeSql(const TDateTimeParts& parts, TDateTimeKind kind) {
    const bool zoned = kind == TDateTimeKind::TimestampTz && parts.has_offset;
    const bool fraction =
        kind == TDateTimeKind::Date ? HasFraction(parts) : !parts.fraction.isEmpty();
    const char* function = "TO_DATE";
    if (zoned) {
        function = "TO_TIMESTAMP_TZ";
    } else if (kind != TDateTimeKind::Date || fraction) {
        function = "TO_TIMESTAMP";
    }
    return QLatin1String(function) + QLatin1String("('") + OraDateTimeText(parts, fraction, zoned) +
           QLatin1String("','") + OraDateTimeMask(parts.bc, fraction, zoned) + QLatin1String("')");
}
