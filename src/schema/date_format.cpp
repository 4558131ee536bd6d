#include "schema/date_format.h"

#include "util/text_utils.h"

#include <array>
#include <cstdlib>

namespace {

bool IsLatinLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

char16_t UpperLatinCode(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? char16_t(u - (u'a' - u'A')) : u;
}

void AppendNumber(QString& out, int number, int digits) {
    QString text = QString::number(std::abs(number)).rightJustified(digits, QLatin1Char('0'));
    if (number < 0) {
        text.prepend(QLatin1Char('-'));
    }
    out += text;
}

QString MonthName(const QStringList& names, int month) {
    return (month >= 1 && month <= names.size()) ? names[month - 1] : QString();
}

// One pass over a format text. The empty text is not special here, so the short date and the
// long time of the settings cannot recurse into one another.
void AppendFormatted(QString& out, const QString& format, const QDate& date, const QTime& time,
                     const TFormatSettings& settings) {
    char16_t last_letter = 0;
    qsizetype i = 0;
    const qsizetype size = format.size();
    while (i < size) {
        const QChar starter = format[i];
        const char16_t starter_code = starter.unicode();
        if (starter_code == u'\'' || starter_code == u'"') {
            // Quoted text is copied as it stands; an unclosed quote runs to the end.
            const qsizetype close = format.indexOf(starter, i + 1);
            const qsizetype end = close < 0 ? size : close;
            out += format.mid(i + 1, end - i - 1);
            i = close < 0 ? size : close + 1;
            continue;
        }

        char16_t token = UpperLatinCode(starter);
        // A run of the same letter, in any mix of cases, is one specifier.
        qsizetype count = 1;
        if (IsLatinLetter(starter)) {
            while (i + count < size && UpperLatinCode(format[i + count]) == token) {
                ++count;
            }
            if (token == u'M' && last_letter == u'H') {
                token = u'N';
            }
            last_letter = token;
        }

        switch (token) {
            case u'D':
                AppendNumber(out, date.day(), count >= 2 ? 2 : 1);
                break;
            case u'M':
                if (count <= 2) {
                    AppendNumber(out, date.month(), int(count));
                } else if (count == 3) {
                    out += MonthName(settings.short_month_names, date.month());
                } else {
                    out += MonthName(settings.long_month_names, date.month());
                }
                break;
            case u'Y':
                if (count <= 2) {
                    AppendNumber(out, date.year() % 100, 2);
                } else {
                    AppendNumber(out, date.year(), 4);
                }
                break;
            case u'H':
                AppendNumber(out, time.hour(), count >= 2 ? 2 : 1);
                break;
            case u'N':
                AppendNumber(out, time.minute(), count >= 2 ? 2 : 1);
                break;
            case u'S':
                AppendNumber(out, time.second(), count >= 2 ? 2 : 1);
                break;
            case u'Z':
                AppendNumber(out, time.msec(), count >= 3 ? 3 : int(count));
                break;
            case u'/':
                out += settings.date_separator;
                break;
            case u':':
                out += settings.time_separator;
                break;
            default:
                out += format.mid(i, count);
                break;
        }
        i += count;
    }
}

}  // namespace

TFormatSettings TFormatSettings::Default() {
    TFormatSettings settings;
    settings.short_month_names = {
        QStringLiteral("янв"), QStringLiteral("фев"), QStringLiteral("мар"), QStringLiteral("апр"),
        QStringLiteral("май"), QStringLiteral("июн"), QStringLiteral("июл"), QStringLiteral("авг"),
        QStringLiteral("сен"), QStringLiteral("окт"), QStringLiteral("ноя"), QStringLiteral("дек")};
    settings.long_month_names = {
        QStringLiteral("Январь"),  QStringLiteral("Февраль"), QStringLiteral("Март"),
        QStringLiteral("Апрель"),  QStringLiteral("Май"),     QStringLiteral("Июнь"),
        QStringLiteral("Июль"),    QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
        QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"),  QStringLiteral("Декабрь")};
    return settings;
}

QString FormatDateTime(const QString& format, const QDateTime& value,
                       const TFormatSettings& settings) {
    const QDate date = value.date();
    const QTime time = value.time().isValid() ? value.time() : QTime(0, 0);
    QString out;
    if (format.isEmpty()) {
        AppendFormatted(out, settings.short_date_format, date, time, settings);
        if (time != QTime(0, 0)) {
            out += QLatin1Char(' ');
            AppendFormatted(out, settings.long_time_format, date, time, settings);
        }
    } else {
        AppendFormatted(out, format, date, time, settings);
    }
    return out;
}

QString OraTime(const QString& str) {
    struct TMonthPair {
        const char16_t* russian;
        const char16_t* english;
    };
    static constexpr std::array<TMonthPair, 12> kMonths = {{
        {u"янв", u"jan"},
        {u"фев", u"feb"},
        {u"мар", u"mar"},
        {u"апр", u"apr"},
        {u"май", u"may"},
        {u"июн", u"jun"},
        {u"июл", u"jul"},
        {u"авг", u"aug"},
        {u"сен", u"sep"},
        {u"окт", u"oct"},
        {u"ноя", u"nov"},
        {u"дек", u"dec"},
    }};
    // Doubled on the Unicode text itself: a trip through a single-byte code page would turn
    // every character it lacks into '?'.
    QString text = DoubleChar(str, QLatin1Char('\''));
    for (const TMonthPair& month : kMonths) {
        const QString russian = QString::fromUtf16(month.russian);
        const QString lowered = text.toLower();
        if (lowered.contains(russian)) {
            text = ReplaceAll(lowered, russian, QString::fromUtf16(month.english));
        }
    }
    return UpperLatin(text);
}

QString ConvertOraTimeFormat(const QString& nls_date_format) {
    return ReplaceAll(ReplaceAll(nls_date_format, QStringLiteral("HH24"), QStringLiteral("HH")),
                      QStringLiteral("MI"), QStringLiteral("NN"));
}
