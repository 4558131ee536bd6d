#include "schema/ora_number_text.h"

#include "util/error.h"

namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

[[noreturn]] void Refuse(const QString& text, const QString& what) {
    throw TConvertError(
        QStringLiteral("Значение «%1» (%2) прочитано из Oracle не как число").arg(text, what));
}

}  // namespace

QString OraNumberText(const QString& text, const QString& what) {
    const QString t = text.trimmed();
    qsizetype pos = 0;
    bool negative = false;
    if (pos < t.size() && (t[pos] == u'-' || t[pos] == u'+')) {
        negative = t[pos] == u'-';
        ++pos;
    }
    QString digits;        // all significant digits, integer part first
    qsizetype point = -1;  // digits before the decimal character
    for (; pos < t.size(); ++pos) {
        const QChar c = t[pos];
        if (IsDigit(c)) {
            digits += c;
        } else if ((c == u'.' || c == u',') && point < 0) {
            point = digits.size();
        } else {
            break;
        }
    }
    if (digits.isEmpty()) {
        Refuse(text, what);
    }
    if (point < 0) {
        point = digits.size();
    }
    if (pos < t.size() && (t[pos] == u'E' || t[pos] == u'e')) {
        ++pos;
        bool exp_negative = false;
        if (pos < t.size() && (t[pos] == u'-' || t[pos] == u'+')) {
            exp_negative = t[pos] == u'-';
            ++pos;
        }
        const qsizetype exp_start = pos;
        qint64 exponent = 0;
        for (; pos < t.size() && IsDigit(t[pos]); ++pos) {
            exponent = exponent * 10 + (t[pos].unicode() - u'0');
            // Oracle's numbers stay within 1E-130 .. 1E+126.
            if (exponent > 1000) {
                Refuse(text, what);
            }
        }
        if (pos == exp_start) {
            Refuse(text, what);
        }
        point += exp_negative ? -exponent : exponent;
    }
    if (pos != t.size()) {
        Refuse(text, what);
    }
    // Place the decimal point: pad with zeros where it falls outside the digits.
    if (point < 0) {
        digits = QString(-point, u'0') + digits;
        point = 0;
    } else if (point > digits.size()) {
        digits += QString(point - digits.size(), u'0');
    }
    QString integer = digits.left(point);
    QString fraction = digits.mid(point);
    while (integer.size() > 1 && integer[0] == u'0') {
        integer.remove(0, 1);
    }
    if (integer.isEmpty()) {
        integer = QStringLiteral("0");
    }
    while (!fraction.isEmpty() && fraction.back() == u'0') {
        fraction.chop(1);
    }
    QString result = integer;
    if (!fraction.isEmpty()) {
        result += u'.' + fraction;
    }
    if (negative && result != QLatin1String("0")) {
        result.prepend(u'-');
    }
    return result;
}
