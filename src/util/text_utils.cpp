#include "util/text_utils.h"

#include <algorithm>

namespace {

QChar UpperLatinChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? QChar(char16_t(u - (u'a' - u'A'))) : c;
}

QChar LowerLatinChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + (u'a' - u'A'))) : c;
}

// Leftmost occurrence of needle in haystack from position from, folding only a-z; -1 when
// there is none. An empty needle never occurs, so callers that loop on a find cannot stall.
qsizetype IndexOfLatinCi(const QString& haystack, const QString& needle, qsizetype from = 0) {
    if (needle.isEmpty()) {
        return -1;
    }
    return UpperLatin(haystack).indexOf(UpperLatin(needle), from, Qt::CaseSensitive);
}

bool IsAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

}  // namespace

int TintChannel(int32_t value, int32_t percent) {
    // 64-bit arithmetic: a product that would wrap in 32 bits must not turn a darkening into a
    // lightening.
    const int64_t sum = int64_t(value) + int64_t(value) * int64_t(percent) / 100;
    return int(std::clamp<int64_t>(sum, 0, 255));
}

uint32_t TintColor(uint32_t color, int32_t pct_red, int32_t pct_green, int32_t pct_blue) {
    const uint32_t red = uint32_t(TintChannel(int32_t(color & 0xFF), pct_red));
    const uint32_t green = uint32_t(TintChannel(int32_t((color >> 8) & 0xFF), pct_green));
    const uint32_t blue = uint32_t(TintChannel(int32_t((color >> 16) & 0xFF), pct_blue));
    return red | (green << 8) | (blue << 16);
}

QByteArray DoubleChar(const QByteArray& text, char c) {
    QByteArray result;
    result.reserve(text.size() + text.count(c));
    for (const char b : text) {
        result.append(b);
        if (b == c) {
            result.append(b);
        }
    }
    return result;
}

QString DoubleChar(const QString& text, QChar c) {
    QString result;
    result.reserve(text.size() + text.count(c));
    for (const QChar ch : text) {
        result.append(ch);
        if (ch == c) {
            result.append(ch);
        }
    }
    return result;
}

QString ExtractBetween(const QString& start_marker, const QString& end_marker, QString& s) {
    // Drop every end marker that comes before the start marker, so that the end marker found
    // below is the one that closes the start marker.
    for (;;) {
        const qsizetype end_pos = IndexOfLatinCi(s, end_marker);
        const qsizetype start_pos = IndexOfLatinCi(s, start_marker);
        if (end_pos < 0 || start_pos < 0 || end_pos >= start_pos) {
            break;
        }
        s.remove(0, end_pos + end_marker.size());
    }

    const qsizetype start_pos = IndexOfLatinCi(s, start_marker);
    const qsizetype end_pos = IndexOfLatinCi(s, end_marker);
    QString result;
    if (start_pos >= 0 && end_pos >= 0) {
        const qsizetype from = start_pos + start_marker.size();
        if (end_pos > from) {
            result = TrimControl(s.mid(from, end_pos - from));
        }
    }
    if (end_pos >= 0) {
        s.remove(0, end_pos + end_marker.size());
    }
    return result;
}

QString ReplaceDecimalPoint(const QString& text, QChar sep) {
    QString result = text;
    for (QChar& c : result) {
        if (c == QLatin1Char(',') || c == QLatin1Char('.')) {
            c = sep;
        }
    }
    return result;
}

QString DurationText(qint64 msecs) {
    msecs = std::max<qint64>(0, msecs);
    if (msecs < 59950) {
        const qint64 tenths = (msecs + 50) / 100;
        return QStringLiteral("%1,%2 с").arg(tenths / 10).arg(tenths % 10);
    }
    return FormatDuration(uint32_t((msecs + 500) / 1000));
}

QString FormatDuration(uint32_t seconds) {
    if (seconds == 0) {
        return QString();
    }
    QString result = QString::number(seconds % 60).rightJustified(2, QLatin1Char('0'));
    result = (QString::number((seconds % 3600) / 60) + QLatin1Char(':') + result)
                 .rightJustified(5, QLatin1Char('0'));
    result = (QString::number((seconds % 86400) / 3600) + QLatin1Char(':') + result)
                 .rightJustified(8, QLatin1Char('0'));
    const uint32_t days = seconds / 86400;
    if (days != 0) {
        result = QString::number(days) + QStringLiteral("д. ") + result;
    }
    return result;
}

QString ReplaceAll(const QString& text, const QString& pattern, const QString& replacement) {
    if (pattern.isEmpty()) {
        return text;
    }
    QString result = text;
    // A replacement that holds the pattern would be found again for ever, so the search then
    // goes on after the inserted text. Otherwise the text is searched again as if from its
    // start: nothing before the last insert can match except a pattern that overlaps it, so
    // the search resumes just far enough back to see such an overlap.
    const bool feeds_itself = replacement.contains(pattern);
    const qsizetype back = pattern.size() - 1;
    // Rules such as "ab" -> "bbaa" keep creating matches across the insert boundary forever;
    // past this many such matches the search only moves forward.
    qsizetype overlap_budget = 4096 + 16 * text.size();
    qsizetype insert_end = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype pos = result.indexOf(pattern, from, Qt::CaseSensitive);
        if (pos < 0) {
            break;
        }
        if (pos < insert_end && --overlap_budget < 0) {
            from = insert_end;
            continue;
        }
        result.replace(pos, pattern.size(), replacement);
        insert_end = pos + replacement.size();
        from =
            (feeds_itself || overlap_budget < 0) ? insert_end : std::max<qsizetype>(0, pos - back);
    }
    return result;
}

QString GetKeyValue(const QString& text, const QString& key, QChar delim) {
    const qsizetype pos = IndexOfLatinCi(text, key);
    if (pos < 0) {
        return QString();
    }
    const QString rest = text.mid(pos + key.size() + 1);
    const qsizetype end = rest.indexOf(delim);
    return end >= 0 ? rest.left(end) : rest;
}

QString SetKeyValue(const QString& text, const QString& key, const QString& value, QChar delim) {
    const qsizetype pos = IndexOfLatinCi(text, key);
    if (pos < 0) {
        return text;
    }
    const qsizetype value_start = pos + key.size();
    QString result = text.left(value_start) + value;
    const qsizetype end = text.indexOf(delim, value_start);
    if (end >= 0) {
        result += text.mid(end);
    }
    return result;
}

int32_t FirstNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && !IsAsciiDigit(text[i])) {
        ++i;
    }
    if (i == text.size()) {
        return 0;
    }
    int64_t number = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
        number = number * 10 + (text[i].unicode() - u'0');
        if (number > INT32_MAX) {
            return 0;
        }
    }
    return int32_t(number);
}

QString UpperLatin(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        c = UpperLatinChar(c);
    }
    return result;
}

QString LowerLatin(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        c = LowerLatinChar(c);
    }
    return result;
}

QString TrimControl(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text[end - 1].unicode() <= 32) {
        --end;
    }
    return text.mid(begin, end - begin);
}
