#include "transfer/value_render.h"

#include <QStringList>
#include <bit>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define SKERROW_SSE2 1
#else
#define SKERROW_SSE2 0
#endif

#include "db/date_time_text.h"
#include "db/odbc.h"
#include "ddl/type_mapping.h"
#include "util/text_utils.h"

namespace {

// Exponents beyond this are no number a NUMBER or FLOAT column holds; refusing them keeps the
// exact expansion below small.
constexpr int kMaxExponent = 400;

// A decimal number split exactly, without a trip through a binary floating-point value.
struct TDecimal {
    bool negative = false;
    QString int_digits;   // no leading zeros; empty for zero
    QString frac_digits;  // no trailing zeros; empty for an integral value
};

// Reads [sign] digits [. digits] [E [sign] digits], with at least one digit in the mantissa.
bool ParseDecimal(const QString& text, TDecimal& out) {
    int i = 0;
    const int n = text.size();
    out = TDecimal();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        out.negative = text[i] == QLatin1Char('-');
        ++i;
    }
    QString int_part;
    QString frac_part;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        int_part += text[i++];
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
            frac_part += text[i++];
        }
    }
    if (int_part.isEmpty() && frac_part.isEmpty()) {
        return false;
    }
    int exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool exp_negative = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            exp_negative = text[i] == QLatin1Char('-');
            ++i;
        }
        const int start = i;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
            if (exponent > kMaxExponent) {
                return false;
            }
            exponent = exponent * 10 + (text[i++].unicode() - '0');
        }
        if (i == start || exponent > kMaxExponent) {
            return false;
        }
        if (exp_negative) {
            exponent = -exponent;
        }
    }
    if (i != n) {
        return false;
    }
    // Move the decimal point by the exponent on the digit string.
    QString digits = int_part + frac_part;
    int point = int_part.size() + exponent;
    if (point < 0) {
        digits = QString(-point, QLatin1Char('0')) + digits;
        point = 0;
    } else if (point > digits.size()) {
        digits += QString(point - digits.size(), QLatin1Char('0'));
    }
    out.int_digits = digits.left(point);
    out.frac_digits = digits.mid(point);
    while (out.int_digits.startsWith(QLatin1Char('0'))) {
        out.int_digits.remove(0, 1);
    }
    while (out.frac_digits.endsWith(QLatin1Char('0'))) {
        out.frac_digits.chop(1);
    }
    return true;
}

// A decimal text as drivers give it: blanks around it, and the regional decimal comma of a
// session that was not set up (one comma, no point). Anything else is left for the check.
QString NormalisedDecimal(const QString& given) {
    QString text = given.trimmed();
    if (text.count(u',') == 1 && !text.contains(u'.')) {
        text.replace(u',', u'.');
    }
    return text;
}

// The largest absolute value of a column's profile fits a 64-bit integer.
bool FitsInt64(const QString& max_abs) {
    TDecimal number;
    if (!ParseDecimal(max_abs.trimmed(), number)) {
        return true;
    }
    if (!number.frac_digits.isEmpty()) {
        return false;
    }
    const QLatin1String max("9223372036854775807");
    return number.int_digits.size() < max.size() ||
           (number.int_digits.size() == max.size() && number.int_digits <= max);
}

// What the source declares and its data hold, for a target whose column was not read.
bool SourceIsInteger(const TFieldRec& field) {
    if (field.scale > 0) {
        return false;
    }
    const TNumberProfile& profile = field.profile;
    return !(profile.read && (profile.has_fraction || !FitsInt64(profile.max_abs)));
}

QString Quoted(const QString& text) {
    return QLatin1Char('\'') + DoubleChar(text, QLatin1Char('\'')) + QLatin1Char('\'');
}

[[noreturn]] void ThrowValueError(const TFieldRec& field, const TRenderOptions& options,
                                  const QString& value, const QString& what) {
    throw TConvertError(QStringLiteral("Таблица %1, столбец %2: значение %3 %4")
                            .arg(options.table_name, field.name, value, what));
}

// A NUMBER value. Bound for an integer column it must be integral: rounding it would store
// another number than the source holds. For any other column it is written as the source gives
// it, once it is known to be a plain decimal.
QString RenderNumber(const TColumnRule& rule, const TDbField& value,
                     const TRenderOptions& options) {
    const QString given = value.AsString();
    const QString text = NormalisedDecimal(given);
    TDecimal number;
    if (!ParseDecimal(text, number)) {
        ThrowValueError(*rule.field, options, given.trimmed(),
                        QStringLiteral("не является числом"));
    }
    if (!rule.integer) {
        return text;
    }
    if (!number.frac_digits.isEmpty()) {
        ThrowValueError(*rule.field, options, text, QStringLiteral("не является целым числом"));
    }
    if (options.int_type_index != 0) {
        return text;
    }
    if (number.int_digits.isEmpty()) {
        return QStringLiteral("0");
    }
    bool ok = false;
    const qint64 integer =
        (number.negative ? QLatin1Char('-') + number.int_digits : number.int_digits)
            .toLongLong(&ok);
    if (!ok) {
        ThrowValueError(*rule.field, options, text,
                        QStringLiteral("не умещается в 64-разрядное целое число"));
    }
    return QString::number(integer);
}

// NaN and the infinities of the binary types have no bare literal; PostgreSQL reads them
// quoted, Oracle has named constants. 0: none of them, 1 NaN, 2 infinity, 3 minus infinity.
int SpecialFloat(const QString& text) {
    QStringView word(text);
    const bool minus = word.startsWith(u'-');
    if (minus || word.startsWith(u'+')) {
        word = word.mid(1);
    }
    if (word.compare(u"nan", Qt::CaseInsensitive) == 0) {
        return minus ? 0 : 1;
    }
    if (word.compare(u"inf", Qt::CaseInsensitive) == 0 ||
        word.compare(u"infinity", Qt::CaseInsensitive) == 0) {
        return minus ? 3 : 2;
    }
    return 0;
}

QString RenderFloat(const TColumnRule& rule, const TDbField& value, const TRenderOptions& options) {
    const QString given = value.AsString().trimmed();
    const bool oracle = options.db_to == kDbOracle;
    switch (SpecialFloat(given)) {
        case 1:
            return oracle ? QStringLiteral("BINARY_DOUBLE_NAN") : QStringLiteral("'NaN'");
        case 2:
            return oracle ? QStringLiteral("BINARY_DOUBLE_INFINITY") : QStringLiteral("'Infinity'");
        case 3:
            return oracle ? QStringLiteral("-BINARY_DOUBLE_INFINITY")
                          : QStringLiteral("'-Infinity'");
        default:
            break;
    }
    const QString text = NormalisedDecimal(given);
    TDecimal number;
    if (!ParseDecimal(text, number)) {
        ThrowValueError(*rule.field, options, given, QStringLiteral("не является числом"));
    }
    if (number.negative && number.int_digits.isEmpty() && number.frac_digits.isEmpty()) {
        // A bare -0 is the integer 0 negated, which is 0: the sign survives only in a literal
        // that the server reads as a binary float.
        return oracle ? QStringLiteral("-0D") : QStringLiteral("'-0'");
    }
    return text;
}

bool IsHexText(const QString& text) {
    if (text.size() % 2 != 0) {
        return false;
    }
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
              (c >= QLatin1Char('A') && c <= QLatin1Char('F')))) {
            return false;
        }
    }
    return true;
}

QString RenderRaw(const TDbField& value, const TRenderOptions& options) {
    const QString hex = RawHex(value);
    if (options.db_to == kDbOracle) {
        return QStringLiteral("HEXTORAW('%1')").arg(hex.toUpper());
    }
    // decode() reads the same under either setting of standard_conforming_strings, and it
    // carries no "::" cast that the statement's parameter scan could take for a parameter.
    return QStringLiteral("decode('%1','hex')").arg(hex.toLower());
}

TDateTimeKind DateTimeKindFor(TRenderKind kind) {
    switch (kind) {
        case TRenderKind::Date:
            return TDateTimeKind::Date;
        case TRenderKind::Timestamp:
            return TDateTimeKind::Timestamp;
        case TRenderKind::TimestampTz:
            return TDateTimeKind::TimestampTz;
        default:
            return TDateTimeKind::None;
    }
}

bool IsDateTimeKind(TRenderKind kind) {
    return kind == TRenderKind::Date || kind == TRenderKind::Timestamp ||
           kind == TRenderKind::TimestampTz;
}

QString RenderDateTime(const TColumnRule& rule, const TDbField& value,
                       const TRenderOptions& options) {
    if (options.db_to == kDbOracle && rule.kind == TRenderKind::Date &&
        options.operator_date_format) {
        return QLatin1Char('\'') +
               OraTime(FormatDateTime(options.date_time_format, value.AsDateTime(),
                                      options.format_settings)) +
               QLatin1Char('\'');
    }
    // Only a text of the layer's own form goes on: one in a session's regional form would be
    // read by the target's rules for that form, whatever they are.
    const QString text = value.AsString();
    TDateTimeParts parts;
    if (!ParseDateTimeText(text, parts)) {
        ThrowValueError(*rule.field, options, text, QStringLiteral("не является датой"));
    }
    if (options.db_to != kDbOracle) {
        return Quoted(NeedsPgEraForm(text) ? PgDateTimeText(parts) : text);
    }
    try {
        return OraDateTimeSql(parts, DateTimeKindFor(rule.kind));
    } catch (const TConvertError& error) {
        ThrowValueError(*rule.field, options, text,
                        QStringLiteral("нельзя передать в Oracle (%1)").arg(error.Message()));
    }
}

// Bytes of the text in UTF-8, the character set Oracle targets are made with.
qsizetype Utf8Size(QStringView text) {
    qsizetype bytes = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // A surrogate pair is four bytes, two for each half.
        bytes += u < 0x80 ? 1 : (u < 0x800 || c.isSurrogate()) ? 2 : 3;
    }
    return bytes;
}

QString OraTextLiteral(const QString& text) {
    if (!text.contains(QChar(0))) {
        return Quoted(text);
    }
    // Oracle keeps the character in a text; a literal cannot carry it.
    QStringList pieces;
    for (const QString& piece : text.split(QChar(0))) {
        pieces << Quoted(piece);
    }
    return pieces.join(QStringLiteral("||CHR(0)||"));
}

QString RenderText(const TColumnRule& rule, const TDbField& value, const TRenderOptions& options,
                   TParamFiles& params) {
    const QString text = value.AsString();
    if (options.db_to == kDbOracle) {
        if (text.size() * 3 > kOraMaxLiteralBytes && Utf8Size(text) > kOraMaxLiteralBytes) {
            return QLatin1Char(':') + params.AddText(text);
        }
        return OraTextLiteral(text);
    }
    if (text.contains(QChar(0))) {
        throw TNulCharError(QStringLiteral("Таблица %1, столбец %2: %3")
                                .arg(options.table_name, rule.field->name, TNulCharError::Reason()),
                            rule.field->name);
    }
    return Quoted(text);
}

// The general path: every kind and every value, one text per value.
QString RenderValue(const TColumnRule& rule, const TDbField& value, const TRenderOptions& options,
                    TParamFiles& params) {
    if (value.IsNull()) {
        return QStringLiteral("null,");
    }
    QString literal;
    switch (rule.kind) {
        case TRenderKind::Number:
            literal = RenderNumber(rule, value, options);
            break;
        case TRenderKind::Float:
            literal = RenderFloat(rule, value, options);
            break;
        case TRenderKind::Date:
        case TRenderKind::Timestamp:
        case TRenderKind::TimestampTz:
            literal = RenderDateTime(rule, value, options);
            break;
        case TRenderKind::LargeBinary:
            literal = QLatin1Char(':') + params.Add(value, options.file_param);
            break;
        case TRenderKind::Raw:
            literal = RenderRaw(value, options);
            break;
        case TRenderKind::Text:
            if (value.Category() == TFieldCategory::LargeBinary) {
                // A binary type we do not know by name: its bytes survive only through a file.
                literal = QLatin1Char(':') + params.Add(value, options.file_param);
            } else if (value.Category() == TFieldCategory::Float) {
                // A floating-point type we do not know by name is still a number.
                literal = RenderFloat(rule, value, options);
            } else {
                // VARCHAR2, NVARCHAR2 and every other type: a text literal, kept in Unicode so
                // that no character is replaced. The target converts the text to the column's
                // type.
                literal = RenderText(rule, value, options, params);
            }
            break;
    }
    // Only the outside is trimmed: blanks inside a quoted literal are data.
    return TrimControl(literal) + QLatin1Char(',');
}

// The first apostrophe or character code 0 of text from `from` on, or -1: one pass finds both,
// eight characters at a time where the processor has the instructions for it.
qsizetype FindQuoteOrNul(QStringView text, qsizetype from) {
    const char16_t* chars = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = from;
#if SKERROW_SSE2
    const __m128i quote = _mm_set1_epi16(u'\'');
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= size; i += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
        const int mask = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi16(chunk, quote), _mm_cmpeq_epi16(chunk, zero)));
        if (mask != 0) {
            return i + std::countr_zero(unsigned(mask)) / 2;
        }
    }
#endif
    for (; i < size; ++i) {
        if (chars[i] == u'\'' || chars[i] == 0) {
            return i;
        }
    }
    return -1;
}

// Appends the text as a literal with its apostrophes doubled. False, and out as it was, when
// the text holds a character code 0, which no literal of ours carries.
bool AppendQuoted(QString& out, QStringView text) {
    const qsizetype mark = out.size();
    out += u'\'';
    qsizetype from = 0;
    for (qsizetype at = FindQuoteOrNul(text, 0); at >= 0; at = FindQuoteOrNul(text, from)) {
        if (text[at] != u'\'') {
            out.truncate(mark);
            return false;
        }
        out.append(text.mid(from, at - from + 1));
        out += u'\'';
        from = at + 1;
    }
    out.append(text.mid(from));
    out += u'\'';
    return true;
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A number text that the general path would write back unchanged: "-"? digits, with a
// fraction only for a column that is not an integer one, and for an integer column no leading
// zero, no "-0" and no more digits than a 64-bit integer always holds.
bool IsPlainNumber(QStringView text, bool integer) {
    const qsizetype n = text.size();
    qsizetype i = n > 0 && text[0] == u'-' ? 1 : 0;
    const qsizetype first = i;
    while (i < n && IsDigit(text[i])) {
        ++i;
    }
    const qsizetype digits = i - first;
    if (digits == 0) {
        return false;
    }
    if (integer) {
        if (i != n || digits > 18) {
            return false;
        }
        return text[first] != u'0' || (digits == 1 && first == 0);
    }
    if (i == n) {
        return true;
    }
    if (text[i] != u'.' || i + 1 == n) {
        return false;
    }
    for (++i; i < n; ++i) {
        if (!IsDigit(text[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

QString RawHex(const TDbField& value) {
    if (value.Category() == TFieldCategory::LargeBinary) {
        return QString::fromLatin1(value.AsBytes().toHex());
    }
    // Read as text, a binary value comes as its hex digits (with "\\x" in front from
    // PostgreSQL); anything else is taken as the bytes of the text.
    QString text = value.AsString();
    if (text.startsWith(QLatin1String("\\x"))) {
        text.remove(0, 2);
    }
    return IsHexText(text) ? text : QString::fromLatin1(value.AsBytes().toHex());
}

QStringView NumberText(const TColumnRule& rule, const TDbField& value,
                       const TRenderOptions& options, QString& buffer) {
    const QStringView text = value.StringView(buffer);
    if (IsPlainNumber(text, rule.integer)) {
        return text;
    }
    buffer = RenderNumber(rule, value, options);
    return buffer;
}

TSqlNames TargetNames(const TRenderOptions& options) {
    return options.names.Kind() == options.db_to ? options.names : TSqlNames(options.db_to);
}

QString TParamFiles::PathFor(const QString& file_param, int n) {
    if (n <= 1) {
        return file_param;
    }
    // "param.tmp" -> "param2.tmp": the number goes before the extension of the file name.
    const int slash =
        qMax(file_param.lastIndexOf(QLatin1Char('/')), file_param.lastIndexOf(QLatin1Char('\\')));
    const int dot = file_param.lastIndexOf(QLatin1Char('.'));
    const QString number = QString::number(n);
    if (dot > slash + 1) {
        return file_param.left(dot) + number + file_param.mid(dot);
    }
    return file_param + number;
}

QString TParamFiles::Add(const TDbField& field, const QString& file_param) {
    const int n = int(params_.size()) + 1;
    TParam param;
    param.name = n == 1 ? QStringLiteral("param") : QStringLiteral("param%1").arg(n);
    param.path = PathFor(file_param, n);
    field.SaveToFile(param.path);
    params_.append(param);
    return param.name;
}

QString TParamFiles::AddText(const QString& text) {
    const int n = int(params_.size()) + 1;
    TParam param;
    param.name = n == 1 ? QStringLiteral("param") : QStringLiteral("param%1").arg(n);
    param.text = text;
    params_.append(param);
    return param.name;
}

void TParamFiles::Bind(TDbQuery& query) const {
    for (const TParam& param : params_) {
        if (param.path.isEmpty()) {
            query.SetParamText(param.name, param.text);
        } else {
            query.SetParamFile(param.name, param.path);
        }
    }
}

TRenderKind RenderKindOf(const TFieldRec& field) {
    const QString type = UpperLatin(field.data_type);
    if (type == QLatin1String("NUMBER") || type == QLatin1String("INTEGER") ||
        type == QLatin1String("SMALLINT") || type == QLatin1String("DECIMAL") ||
        type == QLatin1String("NUMERIC")) {
        return TRenderKind::Number;
    }
    if (type == QLatin1String("FLOAT") || type == QLatin1String("BINARY_FLOAT") ||
        type == QLatin1String("BINARY_DOUBLE") || type == QLatin1String("REAL") ||
        type == QLatin1String("DOUBLE PRECISION")) {
        return TRenderKind::Float;
    }
    switch (DateTimeKindOf(type)) {
        case TDateTimeKind::Date:
            return TRenderKind::Date;
        case TDateTimeKind::Timestamp:
            return TRenderKind::Timestamp;
        case TDateTimeKind::TimestampTz:
            return TRenderKind::TimestampTz;
        case TDateTimeKind::None:
            break;
    }
    if (type == QLatin1String("BLOB") || type == QLatin1String("LONG RAW")) {
        return TRenderKind::LargeBinary;
    }
    if (type == QLatin1String("RAW")) {
        return TRenderKind::Raw;
    }
    return TRenderKind::Text;
}

TColumnRule PlanColumn(const TFieldRec& field, const TRenderOptions& options) {
    TColumnRule rule;
    rule.field = &field;
    rule.kind = RenderKindOf(field);
    if (rule.kind == TRenderKind::Number) {
        TTargetKind target = TTargetKind::Unknown;
        if (options.target_columns != nullptr) {
            target =
                options.target_columns->KindOf(TargetNames(options).Stored(field.TargetName()));
        }
        rule.integer = target == TTargetKind::Unknown ? SourceIsInteger(field)
                                                      : target == TTargetKind::Integer;
    }
    return rule;
}

QString LoadFieldValue(const TFieldRec& field, const TDbRowSet& data_from,
                       const TRenderOptions& options, TParamFiles& params) {
    return RenderValue(PlanColumn(field, options), data_from.FieldByName(field.name), options,
                       params);
}

void AppendFieldValue(QString& out, const TColumnRule& rule, const TDbField& value,
                      const TRenderOptions& options, TParamFiles& params) {
    if (value.IsNull()) {
        out += QLatin1String("null,");
        return;
    }
    const bool oracle = options.db_to == kDbOracle;
    const TFieldCategory category = value.Category();
    const bool date_time = !oracle && IsDateTimeKind(rule.kind);
    const bool as_text =
        (rule.kind == TRenderKind::Text && category != TFieldCategory::Float) || date_time;
    if (as_text && category != TFieldCategory::LargeBinary) {
        QString buffer;
        const QStringView text = value.StringView(buffer);
        // What the general path writes otherwise: a text too long for an Oracle literal, one
        // with a character code 0, a PostgreSQL date before year 1 or not in the layer's form.
        bool plain = !oracle || text.size() * 3 <= kOraMaxLiteralBytes;
        if (date_time) {
            plain = IsPlainDateTimeText(text);
        }
        if (plain && AppendQuoted(out, text)) {
            out += u',';
            return;
        }
    } else if (rule.kind == TRenderKind::Number) {
        QString buffer;
        const QStringView text = value.StringView(buffer);
        if (IsPlainNumber(text, rule.integer)) {
            out.append(text);
            out += u',';
            return;
        }
    }
    out += RenderValue(rule, value, options, params);
}

QString GetFields(const TTableRec& table, const TSqlNames& names) {
    QStringList written;
    written.reserve(table.fields.size());
    for (const TFieldRec& field : table.fields) {
        if (!TargetComputes(field, table.fields, names.Kind())) {
            written.append(names.Name(field.TargetName()));
        }
    }
    return QLatin1Char('(') + written.join(QLatin1Char(',')) + QLatin1Char(')');
}
