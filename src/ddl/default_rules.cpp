#include "ddl/default_rules.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include "ddl/ora_expr.h"
#include "util/text_utils.h"

namespace {

// Oracle's date expressions are read in the session's time zone, as now() and CURRENT_DATE are
// on PostgreSQL; SYSDATE has always been written as now().
const QList<TDefaultRule> kRules = {
    {"SYSDATE", "now()"},
    {"SYSTIMESTAMP", "now()"},
    {"CURRENT_TIMESTAMP", "now()"},
    // Oracle's CURRENT_DATE carries the time of day.
    {"CURRENT_DATE", "now()"},
    {"LOCALTIMESTAMP", "LOCALTIMESTAMP"},
    {"TRUNC(SYSDATE)", "CURRENT_DATE"},
    {"TRUNC(SYSDATE,'DD')", "CURRENT_DATE"},
    {"TRUNC(SYSTIMESTAMP)", "CURRENT_DATE"},
    {"TRUNC(CURRENT_DATE)", "CURRENT_DATE"},
    {"USER", "current_user"},
    {"SYS_CONTEXT('USERENV','SESSION_USER')", "session_user"},
    {"SYS_CONTEXT('USERENV','CURRENT_USER')", "current_user"},
    {"SYS_GUID()", kGuidDefault},
    // An empty LOB; PostgreSQL reads '' as an empty text and as an empty byte string.
    {"EMPTY_CLOB()", "''"},
    {"EMPTY_BLOB()", "''"},
    {"NULL", ""},
};

enum class TFamily { Text, Number, Time, Bytes, Other };

TFamily FamilyOf(const QString& pg_type) {
    const QString type = UpperLatin(pg_type);
    if (type.startsWith("BYTEA")) {
        return TFamily::Bytes;
    }
    if (type.contains("CHAR") || type.startsWith("TEXT")) {
        return TFamily::Text;
    }
    if (type.startsWith("TIMESTAMP") || type.startsWith("DATE")) {
        return TFamily::Time;
    }
    static const QStringList numbers = {"NUMERIC", "INTEGER",   "BIGINT", "SMALLINT",
                                        "SERIAL",  "BIGSERIAL", "DOUBLE", "REAL"};
    for (const QString& number : numbers) {
        if (type.startsWith(number)) {
            return TFamily::Number;
        }
    }
    return TFamily::Other;
}

bool IsSymbol(const TOraToken& token, const char* text) {
    return token.kind == TOraTokenKind::Symbol && token.text == QLatin1String(text);
}

bool IsName(const TOraToken& token) {
    return token.kind == TOraTokenKind::Word || token.kind == TOraTokenKind::Quoted;
}

// [owner.]sequence.NEXTVAL: the sequence's name, or empty.
QString SequenceCall(const QList<TOraToken>& t) {
    const qsizetype n = t.size();
    if ((n != 3 && n != 5) || !IsName(t[n - 1]) || UpperLatin(t[n - 1].value) != "NEXTVAL" ||
        !IsSymbol(t[n - 2], ".") || !IsName(t[n - 3])) {
        return QString();
    }
    if (n == 5 && (!IsName(t[0]) || !IsSymbol(t[1], "."))) {
        return QString();
    }
    // The catalog's form: a bare name in upper case, a quoted one as written.
    return t[n - 3].value;
}

// The value of TO_DATE('text', 'format') as "yyyy-mm-dd hh:mi:ss" when the format holds only
// year, month, day, hours (24), minutes, seconds and separators; empty otherwise. Parsed here,
// not by the server, so that neither session's formats nor time zone take part.
QString OraDateValue(const QString& text, const QString& oracle_format) {
    static const QList<std::pair<QString, QString>> parts = {
        {"YYYY", "(?<y>\\d{4})"}, {"HH24", "(?<h>\\d{1,2})"}, {"MM", "(?<mo>\\d{1,2})"},
        {"DD", "(?<d>\\d{1,2})"}, {"MI", "(?<mi>\\d{1,2})"},  {"SS", "(?<s>\\d{1,2})"}};
    const QString upper = UpperLatin(oracle_format);
    QString pattern = QStringLiteral("^");
    qsizetype pos = 0;
    while (pos < upper.size()) {
        bool matched = false;
        for (const auto& [code, group] : parts) {
            if (upper.mid(pos, code.size()) == code) {
                if (pattern.contains(group.left(5))) {
                    return QString();  // a part given twice
                }
                pattern += group;
                pos += code.size();
                matched = true;
                break;
            }
        }
        if (matched) {
            continue;
        }
        if (!QStringView(u"-./: ").contains(upper[pos])) {
            return QString();
        }
        pattern += QRegularExpression::escape(upper.mid(pos++, 1));
    }
    const QRegularExpressionMatch m = QRegularExpression(pattern + "$").match(text.trimmed());
    if (!m.hasMatch() || m.captured("y").isEmpty()) {
        return QString();
    }
    const auto part = [&](const char* name, int missing) {
        const QString value = m.captured(QLatin1String(name));
        return value.isEmpty() ? missing : value.toInt();
    };
    const QDate date(part("y", 0), part("mo", 1), part("d", 1));
    const QTime time(part("h", 0), part("mi", 0), part("s", 0));
    if (date.year() < 1 || !date.isValid() || !time.isValid()) {
        return QString();
    }
    return date.toString("yyyy-MM-dd") + " " + time.toString("HH:mm:ss");
}

// TO_DATE('text', 'format') with a format read here: the value as a literal.
bool DateCall(const QList<TOraToken>& t, QString& result) {
    if (t.size() != 6 || t[0].kind != TOraTokenKind::Word || t[0].value != "TO_DATE" ||
        !IsSymbol(t[1], "(") || t[2].kind != TOraTokenKind::String || !IsSymbol(t[3], ",") ||
        t[4].kind != TOraTokenKind::String || !IsSymbol(t[5], ")")) {
        return false;
    }
    const QString value = OraDateValue(t[2].value, t[4].value);
    if (value.isEmpty()) {
        return false;
    }
    result = PgLiteral(value);
    return true;
}

// A string literal in the form the column's type reads it, or false when PostgreSQL would read
// it differently from Oracle (which converts by the session's formats) or refuse it.
bool PgStringDefault(const QString& value, TFamily family, QString& result) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    static const QRegularExpression iso_time(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}( \\d{2}:\\d{2}(:\\d{2}(\\.\\d{1,9})?)?)?$"));
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    switch (family) {
        case TFamily::Text:
            result = PgLiteral(value);
            return true;
        case TFamily::Number:
            if (!number.match(value).hasMatch()) {
                return false;
            }
            result = value.trimmed();
            return true;
        case TFamily::Time:
            if (!iso_time.match(value).hasMatch()) {
                return false;
            }
            result = PgLiteral(value);
            return true;
        case TFamily::Bytes:
            // Oracle reads a RAW default as hexadecimal digits.
            if (!hex.match(value).hasMatch()) {
                return false;
            }
            result = PgLiteral("\\x" + value);
            return true;
        case TFamily::Other:
            return false;
    }
    return false;
}

TDefaultText Written(const QString& text) {
    return {TDefaultOutcome::Written, text};
}

const TDefaultText kNone{TDefaultOutcome::None, QString()};
const TDefaultText kUntranslated{TDefaultOutcome::Untranslated, QString()};

// Outer parentheses around the whole default, as in (0), say nothing.
void StripParentheses(QList<TOraToken>& t) {
    while (t.size() >= 2 && IsSymbol(t.first(), "(") && IsSymbol(t.last(), ")")) {
        int depth = 0;
        bool whole = true;
        for (qsizetype i = 0; i < t.size() - 1; ++i) {
            if (IsSymbol(t[i], "(")) {
                ++depth;
            } else if (IsSymbol(t[i], ")") && --depth == 0) {
                whole = false;
                break;
            }
        }
        if (!whole) {
            return;
        }
        t.removeFirst();
        t.removeLast();
    }
}

TDefaultText PgDefault(QList<TOraToken> t, const QString& original, const TDefaultContext& context,
                       const TSqlNames& names) {
    StripParentheses(t);
    if (t.isEmpty()) {
        return kNone;
    }
    const TFamily family = FamilyOf(context.target_type);
    QString text;
    if (t.size() == 1 && t[0].kind == TOraTokenKind::String) {
        if (t[0].value.isEmpty()) {
            return kNone;  // '' is NULL in Oracle
        }
        return PgStringDefault(t[0].value, family, text) ? Written(text) : kUntranslated;
    }
    if (NumberLiteral(t, text)) {
        if (family == TFamily::Number || family == TFamily::Text) {
            return Written(text);
        }
        return kUntranslated;
    }
    // DATE '2024-01-31' and TIMESTAMP '2024-01-31 10:00:00', the ANSI literals.
    if (t.size() == 2 && t[0].kind == TOraTokenKind::Word &&
        (t[0].value == "DATE" || t[0].value == "TIMESTAMP") && t[1].kind == TOraTokenKind::String) {
        return family == TFamily::Time && PgStringDefault(t[1].value, family, text) ? Written(text)
                                                                                    : kUntranslated;
    }
    if (DateCall(t, text)) {
        return family == TFamily::Time ? Written(text) : kUntranslated;
    }
    if (const QString sequence = SequenceCall(t); !sequence.isEmpty()) {
        if (!context.sequences.contains(sequence)) {
            return kUntranslated;
        }
        return Written("nextval(" + PgLiteral(names.Name(sequence)) + ")");
    }
    const QString key = NormalDefault(original);
    for (const TDefaultRule& rule : kRules) {
        if (key != QLatin1String(rule.oracle)) {
            continue;
        }
        const QString pg = QString::fromLatin1(rule.postgres);
        if (pg.isEmpty()) {
            return kNone;
        }
        if (pg != QLatin1String(kGuidDefault)) {
            return Written(pg);
        }
        // SYS_GUID() gives 16 bytes; a character column holds them as Oracle converts them,
        // 32 upper-case hexadecimal digits.
        if (family == TFamily::Bytes) {
            return Written("decode(replace(gen_random_uuid()::text, '-', ''), 'hex')");
        }
        if (family == TFamily::Text) {
            return Written("upper(replace(gen_random_uuid()::text, '-', ''))");
        }
        return kUntranslated;
    }
    return kUntranslated;
}

TDefaultText OraDefault(const QList<TOraToken>& tokens, const QString& original,
                        const TDefaultContext& context, const TSqlNames& names) {
    QList<TOraToken> t = tokens;
    StripParentheses(t);
    if (t.isEmpty() ||
        (t.size() == 1 && t[0].kind == TOraTokenKind::Word && t[0].value == "NULL")) {
        return kNone;
    }
    if (const QString sequence = SequenceCall(t); !sequence.isEmpty()) {
        if (!context.sequences.contains(sequence)) {
            return kUntranslated;
        }
        return Written(names.Name(sequence) + ".NEXTVAL");
    }
    return Written(OraExpression(original, {}, names).trimmed());
}

}  // namespace

const QList<TDefaultRule>& PgDefaultRules() {
    return kRules;
}

QString NormalDefault(const QString& oracle_default) {
    QList<TOraToken> tokens;
    if (!TokenizeOra(oracle_default, tokens)) {
        return QString();
    }
    QString key;
    for (const TOraToken& token : tokens) {
        switch (token.kind) {
            case TOraTokenKind::Word:
                key += token.value;
                break;
            case TOraTokenKind::String:
                key += UpperLatin(token.text);
                break;
            default:
                key += token.text;
                break;
        }
    }
    return key;
}

TDefaultText TranslateDefault(const QString& oracle_default, const TDefaultContext& context) {
    const TSqlNames fallback(context.db_to);
    const TSqlNames& names = context.names != nullptr ? *context.names : fallback;
    const QString text = oracle_default.trimmed();
    if (text.isEmpty()) {
        return kNone;
    }
    QList<TOraToken> tokens;
    if (!TokenizeOra(text, tokens)) {
        // Oracle accepted it, so an Oracle target can take it as it stands.
        return context.db_to == kDbOracle && !text.contains(u'%') ? Written(text) : kUntranslated;
    }
    if (context.db_to == kDbOracle) {
        return OraDefault(tokens, text, context, names);
    }
    return PgDefault(tokens, text, context, names);
}
