// The judgement of the figures the pre-flight check reads, and the rule of the paging key.

#include <QRegularExpression>
#include <algorithm>

#include "db/sql_text.h"
#include "util/text_utils.h"
#include "verify/canonical_value.h"
#include "verify/preflight.h"

namespace {

TFinding Make(TSeverity severity, const TTableRec& table, const TFieldRec& field,
              const QString& text) {
    return {severity, table.name, field.name, text};
}

struct TIntRange {
    QString min;
    QString max;
};

// The range of an integer target type; false for a type that is no integer type.
bool IntRangeOf(const QString& type, int db_to, TIntRange& range) {
    if (db_to == kDbPostgres) {
        if (type == QLatin1String("INTEGER") || type == QLatin1String("SERIAL")) {
            range = {QStringLiteral("-2147483648"), QStringLiteral("2147483647")};
            return true;
        }
        if (type == QLatin1String("BIGINT") || type == QLatin1String("BIGSERIAL")) {
            range = {QStringLiteral("-9223372036854775808"), QStringLiteral("9223372036854775807")};
            return true;
        }
        return false;
    }
    static const QRegularExpression number(QStringLiteral("^NUMBER\\((\\d+)\\)$"));
    const auto m = number.match(type);
    if (!m.hasMatch()) {
        return false;
    }
    const QString nines(m.captured(1).toInt(), u'9');
    range = {u'-' + nines, nines};
    return true;
}

// Why the figures do not fit the type; empty when they do.
QStringList Misfits(const TNumberFigures& figures, const TIntRange& range, bool abs_only) {
    QStringList why;
    if (figures.has_fraction) {
        why << QStringLiteral("есть значения с дробной частью");
    }
    if (abs_only) {
        if (!figures.max.isEmpty() && CompareDecimal(figures.max, range.max) > 0) {
            why << QStringLiteral("наибольшее по модулю значение %1").arg(figures.max);
        }
        return why;
    }
    if (!figures.max.isEmpty() && CompareDecimal(figures.max, range.max) > 0) {
        why << QStringLiteral("наибольшее значение %1").arg(figures.max);
    }
    if (!figures.min.isEmpty() && CompareDecimal(figures.min, range.min) < 0) {
        why << QStringLiteral("наименьшее значение %1").arg(figures.min);
    }
    return why;
}

// A canonical date-time as a comparable key: astronomical year (1 BC is 0), then the rest of
// the text, whose fields all have fixed widths.
struct TDateKey {
    bool valid = false;
    qint64 year = 0;
    QString rest;
};

TDateKey DateKeyOf(const QString& canonical) {
    static const QRegularExpression form(QStringLiteral(
        "^(\\d+)-(\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2})(?:\\.(\\d+))?( BC)?(?:[ +-].*)?$"));
    const auto m = form.match(canonical);
    TDateKey key;
    if (!m.hasMatch()) {
        return key;
    }
    key.valid = true;
    const qint64 year = m.captured(1).toLongLong();
    key.year = m.captured(4).isEmpty() ? year : 1 - year;
    // Fractions compare as digits padded to nanoseconds.
    key.rest = m.captured(2) + u'.' + m.captured(3).leftJustified(9, u'0');
    return key;
}

int CompareDates(const TDateKey& a, const TDateKey& b) {
    if (a.year != b.year) {
        return a.year < b.year ? -1 : 1;
    }
    return a.rest < b.rest ? -1 : (a.rest > b.rest ? 1 : 0);
}

}  // namespace

QString SeverityText(TSeverity severity) {
    switch (severity) {
        case TSeverity::Error:
            return QStringLiteral("ошибка");
        case TSeverity::Warning:
            return QStringLiteral("предупреждение");
        case TSeverity::Info:
            break;
    }
    return QStringLiteral("сведения");
}

int CountFindings(const QList<TFinding>& findings, TSeverity severity) {
    return int(std::count_if(findings.begin(), findings.end(),
                             [&](const TFinding& f) { return f.severity == severity; }));
}

int CompareDecimal(const QString& a, const QString& b) {
    const QString x = CanonicalNumber(a);
    const QString y = CanonicalNumber(b);
    const bool x_negative = x.startsWith(u'-');
    const bool y_negative = y.startsWith(u'-');
    if (x_negative != y_negative) {
        return x_negative ? -1 : 1;
    }
    const auto split = [](const QString& text, QString& whole, QString& fraction) {
        const QString digits = text.startsWith(u'-') ? text.mid(1) : text;
        const qsizetype point = digits.indexOf(u'.');
        whole = point < 0 ? digits : digits.left(point);
        fraction = point < 0 ? QString() : digits.mid(point + 1);
    };
    QString xw, xf, yw, yf;
    split(x, xw, xf);
    split(y, yw, yf);
    int magnitude = 0;
    if (xw.size() != yw.size()) {
        magnitude = xw.size() < yw.size() ? -1 : 1;
    } else if (xw != yw) {
        magnitude = xw < yw ? -1 : 1;
    } else if (xf != yf) {
        magnitude = xf < yf ? -1 : 1;
    }
    return x_negative ? -magnitude : magnitude;
}

QString FormatBytes(qint64 bytes) {
    if (bytes < 1024) {
        return QStringLiteral("%1 байт").arg(bytes);
    }
    static const char* const kUnits[] = {"КБ", "МБ", "ГБ", "ТБ"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QString::number(value, 'f', 1).replace(u'.', u',') + u' ' +
           QString::fromUtf8(kUnits[unit]);
}

QList<TFinding> JudgeNumber(const TTableRec& table, const TFieldRec& field, int db_to,
                            const QString& chosen_type, const QString& target_type,
                            const TNumberFigures& figures) {
    // A profile knows the largest absolute value only.
    const bool abs_only = figures.min.isEmpty() && !figures.max.isEmpty() && field.profile.read &&
                          !field.profile.max_abs.isEmpty();
    TIntRange range;
    if (IntRangeOf(target_type, db_to, range)) {
        const QStringList why = Misfits(figures, range, abs_only);
        if (!why.isEmpty()) {
            return {Make(TSeverity::Error, table, field,
                         QStringLiteral("данные не умещаются в тип %1 (%2): копирование "
                                        "остановится на первом таком значении")
                             .arg(target_type, why.join(", ")))};
        }
    }
    if (db_to == kDbPostgres && chosen_type != target_type &&
        IntRangeOf(chosen_type, db_to, range)) {
        const QStringList why = Misfits(figures, range, abs_only);
        if (!why.isEmpty()) {
            return {Make(TSeverity::Warning, table, field,
                         QStringLiteral("данные не умещаются в выбранный тип %1 (%2): столбец "
                                        "создается как %3")
                             .arg(chosen_type, why.join(", "), target_type))};
        }
    }
    return {};
}

int TargetLengthLimit(const QString& target_type, int db_to, bool* bytes) {
    static const QRegularExpression sized(QStringLiteral(
        "^(VARCHAR|CHAR|VARCHAR2|NVARCHAR2|NCHAR|CHARACTER VARYING|CHARACTER)\\((\\d+)( "
        "CHAR| BYTE)?\\)$"));
    const QString type = UpperLatin(target_type.trimmed());
    bool in_bytes = false;
    int limit = -1;
    if (const auto m = sized.match(type); m.hasMatch()) {
        limit = m.captured(2).toInt();
        // Oracle counts VARCHAR2 and CHAR in bytes unless told otherwise; national types and
        // PostgreSQL count characters.
        in_bytes =
            db_to == kDbOracle && m.captured(3) != QLatin1String(" CHAR") &&
            (m.captured(1) == QLatin1String("VARCHAR2") || m.captured(1) == QLatin1String("CHAR"));
    } else if (type == QLatin1String("CHAR") || type == QLatin1String("NCHAR")) {
        // A bare fixed-length type holds one character (one byte for Oracle's CHAR).
        limit = 1;
        in_bytes = db_to == kDbOracle && type == QLatin1String("CHAR");
    }
    if (bytes != nullptr) {
        *bytes = in_bytes;
    }
    return limit;
}

QList<TFinding> JudgeTextLength(const TTableRec& table, const TFieldRec& field,
                                const QString& target_type, int limit, bool bytes,
                                qint64 max_length) {
    if (limit < 0 || max_length <= limit) {
        return {};
    }
    return {Make(TSeverity::Error, table, field,
                 QStringLiteral("наибольшая длина значения в %1 — %2, а столбец создается как "
                                "%3: копирование остановится на первом таком значении")
                     .arg(bytes ? QStringLiteral("байтах") : QStringLiteral("символах"))
                     .arg(max_length)
                     .arg(target_type))};
}

QList<TFinding> JudgeDates(const TTableRec& table, const TFieldRec& field, int db_to,
                           const QString& min, const QString& max) {
    struct TRange {
        const char* low;
        const char* high;
    };
    // As the servers document them; PostgreSQL counts in the proleptic Gregorian calendar.
    const TRange range = db_to == kDbPostgres
                             ? TRange{"4714-11-24 00:00:00 BC", "294276-12-31 23:59:59.999999"}
                             : TRange{"4712-01-01 00:00:00 BC", "9999-12-31 23:59:59.999999999"};
    const TDateKey low = DateKeyOf(QString::fromLatin1(range.low));
    const TDateKey high = DateKeyOf(QString::fromLatin1(range.high));
    const TDateKey first = DateKeyOf(min);
    const TDateKey last = DateKeyOf(max);
    QList<TFinding> findings;
    const QString server =
        db_to == kDbPostgres ? QStringLiteral("PostgreSQL") : QStringLiteral("Oracle");
    for (const auto& [key, text] : {std::pair{first, min}, std::pair{last, max}}) {
        if (key.valid && (CompareDates(key, low) < 0 || CompareDates(key, high) > 0)) {
            findings << Make(TSeverity::Error, table, field,
                             QStringLiteral("дата %1 вне диапазона дат %2 (%3 … %4)")
                                 .arg(text, server, QString::fromLatin1(range.low),
                                      QString::fromLatin1(range.high)));
        }
    }
    if (!findings.isEmpty() || !first.valid) {
        return findings;
    }
    if (first.year <= 0) {
        findings << Make(TSeverity::Info, table, field,
                         QStringLiteral("есть даты до нашей эры (самая ранняя %1)").arg(min));
    }
    if (db_to == kDbPostgres &&
        CompareDates(first, DateKeyOf(QStringLiteral("1582-10-15 00:00:00"))) < 0) {
        findings << Make(TSeverity::Info, table, field,
                         QStringLiteral("есть даты раньше 1582-10-15 (самая ранняя %1): они "
                                        "переносятся как записаны, но Oracle считает их по "
                                        "юлианскому календарю, а PostgreSQL по григорианскому, "
                                        "поэтому дни недели и разности таких дат различаются")
                             .arg(min));
    }
    return findings;
}

QList<TFinding> JudgeLobs(const TTableRec& table, const TFieldRec& field, int db_to, qint64 count,
                          qint64 total, qint64 largest) {
    if (count <= 0) {
        return {};
    }
    const bool binary = CheckKindOf(field) == TCheckKind::Binary;
    QList<TFinding> findings;
    if (binary) {
        findings << Make(TSeverity::Info, table, field,
                         QStringLiteral("больших объектов: %1, всего %2, наибольший %3")
                             .arg(count)
                             .arg(FormatBytes(total), FormatBytes(largest)));
    } else {
        findings << Make(TSeverity::Info, table, field,
                         QStringLiteral("больших объектов: %1, всего символов %2, в наибольшем %3")
                             .arg(count)
                             .arg(total)
                             .arg(largest));
    }
    // A value of PostgreSQL holds at most 1 GB; a character may take up to four bytes.
    constexpr qint64 kPgValueBytes = 1073741823;
    if (db_to == kDbPostgres && binary && largest > kPgValueBytes) {
        findings << Make(TSeverity::Error, table, field,
                         QStringLiteral("значение размером %1 больше 1 ГБ: PostgreSQL не хранит "
                                        "значения bytea больше 1 ГБ")
                             .arg(FormatBytes(largest)));
    } else if (db_to == kDbPostgres && !binary && largest > kPgValueBytes / 4) {
        findings << Make(TSeverity::Warning, table, field,
                         QStringLiteral("значение длиной %1 символов может занять больше 1 ГБ, "
                                        "а больше PostgreSQL в одном значении не хранит")
                             .arg(largest));
    }
    return findings;
}
