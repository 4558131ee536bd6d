#include "transfer/value_render.h"

#include <QStringList>

#include "util/error.h"
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

bool IsNumberText(const QString& text) {
    TDecimal unused;
    return ParseDecimal(text, unused);
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
// another number than the source holds.
QString RenderNumber(const TFieldRec& field, const TDbField& value, const TRenderOptions& options) {
    // Some drivers write the regional decimal comma.
    QString text = value.AsString().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    TDecimal number;
    if (!ParseDecimal(text, number)) {
        ThrowValueError(field, options, text, QStringLiteral("не является числом"));
    }
    if (field.scale > 0) {
        return text;
    }
    if (!number.frac_digits.isEmpty()) {
        ThrowValueError(field, options, text, QStringLiteral("не является целым числом"));
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
        ThrowValueError(field, options, text,
                        QStringLiteral("не умещается в 64-разрядное целое число"));
    }
    return QString::number(integer);
}

QString RenderFloat(const TDbField& value) {
    const QString text = ReplaceDecimalPoint(value.AsString().trimmed(), QLatin1Char('.'));
    // NaN and the infinities of the binary types have no bare literal; PostgreSQL reads them
    // quoted, and a quoted text can never break the statement.
    return IsNumberText(text) ? text : Quoted(text);
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

QString RenderDate(const TDbField& value, const TRenderOptions& options) {
    if (options.db_to == kDbOracle) {
        return QLatin1Char('\'') +
               OraTime(FormatDateTime(options.date_time_format, value.AsDateTime(),
                                      options.format_settings)) +
               QLatin1Char('\'');
    }
    return Quoted(value.AsString());
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
    const int n = params_.size() + 1;
    TParam param;
    param.name = n == 1 ? QStringLiteral("param") : QStringLiteral("param%1").arg(n);
    param.path = PathFor(file_param, n);
    field.SaveToFile(param.path);
    params_.append(param);
    return param.name;
}

namespace {

// The general path: every kind and every value, one text per value.
QString RenderValue(const TFieldRec& field, const TDbField& value, const TRenderOptions& options,
                    TParamFiles& params) {
    if (value.IsNull()) {
        return QStringLiteral("null,");
    }
    const QString type = UpperLatin(field.data_type);
    QString literal;
    if (type == QLatin1String("NUMBER")) {
        literal = RenderNumber(field, value, options);
    } else if (type == QLatin1String("FLOAT") || type == QLatin1String("BINARY_FLOAT") ||
               type == QLatin1String("BINARY_DOUBLE")) {
        literal = RenderFloat(value);
    } else if (type == QLatin1String("DATE")) {
        literal = RenderDate(value, options);
    } else if (type == QLatin1String("BLOB") || type == QLatin1String("LONG RAW")) {
        literal = QLatin1Char(':') + params.Add(value, options.file_param);
    } else if (type == QLatin1String("RAW")) {
        literal = RenderRaw(value, options);
    } else if (value.Category() == TFieldCategory::LargeBinary) {
        // A binary type we do not know by name: its bytes survive only through a file.
        literal = QLatin1Char(':') + params.Add(value, options.file_param);
    } else {
        // VARCHAR2, NVARCHAR2 and every other type: a text literal, kept in Unicode so that no
        // character is replaced. The target converts the text to the column's type.
        literal = Quoted(value.AsString());
    }
    // Only the outside is trimmed: blanks inside a quoted literal are data.
    return TrimControl(literal) + QLatin1Char(',');
}

void AppendQuoted(QString& out, QStringView text) {
    out += u'\'';
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(u'\''); at >= 0; at = text.indexOf(u'\'', from)) {
        out.append(text.mid(from, at - from + 1));
        out += u'\'';
        from = at + 1;
    }
    out.append(text.mid(from));
    out += u'\'';
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A number text that the general path would write back unchanged: "-"? digits, with a
// fraction only for a scaled column, and for an integer column no leading zero, no "-0" and no
// more digits than a 64-bit integer always holds.
bool IsPlainNumber(QStringView text, bool scaled) {
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
    if (!scaled) {
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

QStringView NumberText(const TFieldRec& field, const TDbField& value, const TRenderOptions& options,
                       QString& buffer) {
    const QStringView text = value.StringView(buffer);
    if (IsPlainNumber(text, field.scale > 0)) {
        return text;
    }
    buffer = RenderNumber(field, value, options);
    return buffer;
}

QString LoadFieldValue(const TFieldRec& field, const TDbRowSet& data_from,
                       const TRenderOptions& options, TParamFiles& params) {
    return RenderValue(field, data_from.FieldByName(field.name), options, params);
}

TRenderKind RenderKindOf(const TFieldRec& field) {
    const QString type = UpperLatin(field.data_type);
    if (type == QLatin1String("NUMBER")) {
        return TRenderKind::Number;
    }
    if (type == QLatin1String("FLOAT") || type == QLatin1String("BINARY_FLOAT") ||
        type == QLatin1String("BINARY_DOUBLE")) {
        return TRenderKind::Float;
    }
    if (type == QLatin1String("DATE")) {
        return TRenderKind::Date;
    }
    if (type == QLatin1String("BLOB") || type == QLatin1String("LONG RAW")) {
        return TRenderKind::LargeBinary;
    }
    if (type == QLatin1String("RAW")) {
        return TRenderKind::Raw;
    }
    return TRenderKind::Text;
}

void AppendFieldValue(QString& out, const TFieldRec& field, TRenderKind kind, const TDbField& value,
                      const TRenderOptions& options, TParamFiles& params) {
    if (value.IsNull()) {
        out += QLatin1String("null,");
        return;
    }
    const bool as_text =
        kind == TRenderKind::Text || (kind == TRenderKind::Date && options.db_to != kDbOracle);
    if (as_text && value.Category() != TFieldCategory::LargeBinary) {
        QString buffer;
        AppendQuoted(out, value.StringView(buffer));
        out += u',';
        return;
    }
    if (kind == TRenderKind::Number) {
        QString buffer;
        const QStringView text = value.StringView(buffer);
        if (IsPlainNumber(text, field.scale > 0)) {
            out.append(text);
            out += u',';
            return;
        }
    }
    out += RenderValue(field, value, options, params);
}

QString GetFields(const TTableRec& table) {
    QStringList names;
    names.reserve(table.fields.size());
    for (const TFieldRec& field : table.fields) {
        names.append(field.TargetName());
    }
    return QLatin1Char('(') + names.join(QLatin1Char(',')) + QLatin1Char(')');
}
