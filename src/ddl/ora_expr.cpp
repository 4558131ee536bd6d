#include "ddl/ora_expr.h"

#include <QRegularExpression>
#include <QSet>

#include "util/text_utils.h"

namespace {

bool IsIdentStart(QChar c) {
    return c.isLetter();
}

bool IsIdentPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The closing delimiter of a q'...' literal for its opening one.
QChar QuoteClose(QChar open) {
    switch (open.unicode()) {
        case u'[':
            return u']';
        case u'{':
            return u'}';
        case u'<':
            return u'>';
        case u'(':
            return u')';
        default:
            return open;
    }
}

// A '...' literal starting at pos (the apostrophe); pos ends after it.
bool ReadString(const QString& s, qsizetype& pos, QString& value) {
    ++pos;
    while (pos < s.size()) {
        if (s[pos] == u'\'') {
            if (pos + 1 < s.size() && s[pos + 1] == u'\'') {
                value += u'\'';
                pos += 2;
                continue;
            }
            ++pos;
            return true;
        }
        value += s[pos++];
    }
    return false;
}

// A q'X...X' literal whose "q" stands at pos; pos ends after it.
bool ReadQString(const QString& s, qsizetype& pos, QString& value) {
    pos += 2;  // q and the apostrophe
    if (pos >= s.size() || s[pos].isSpace()) {
        return false;
    }
    const QChar close = QuoteClose(s[pos]);
    ++pos;
    while (pos + 1 < s.size()) {
        if (s[pos] == close && s[pos + 1] == u'\'') {
            pos += 2;
            return true;
        }
        value += s[pos++];
    }
    return false;
}

bool ReadNumber(const QString& s, qsizetype& pos) {
    const qsizetype start = pos;
    while (pos < s.size() && IsDigit(s[pos])) {
        ++pos;
    }
    if (pos < s.size() && s[pos] == u'.') {
        ++pos;
        while (pos < s.size() && IsDigit(s[pos])) {
            ++pos;
        }
    }
    if (pos == start + 1 && s[start] == u'.') {
        return false;
    }
    if (pos < s.size() && (s[pos] == u'e' || s[pos] == u'E')) {
        qsizetype exp = pos + 1;
        if (exp < s.size() && (s[exp] == u'+' || s[exp] == u'-')) {
            ++exp;
        }
        if (exp < s.size() && IsDigit(s[exp])) {
            pos = exp;
            while (pos < s.size() && IsDigit(s[pos])) {
                ++pos;
            }
        }
    }
    // Oracle's binary float and double literals: 2.5f, 2.5d.
    if (pos < s.size() && QStringView(u"fFdD").contains(s[pos])) {
        ++pos;
    }
    return pos < s.size() ? !IsIdentPart(s[pos]) : true;
}

const QStringList& TwoCharSymbols() {
    static const QStringList symbols = {"||", "<=", ">=", "<>", "!=", "^="};
    return symbols;
}

bool IsTextType(const QString& data_type) {
    return data_type == "VARCHAR2" || data_type == "NVARCHAR2" || data_type == "VARCHAR" ||
           data_type == "CLOB" || data_type == "NCLOB";
}

// Writes a token list as PostgreSQL text, or fails on the first construct outside the set
// that means the same on both servers.
class TPgWriter {
public:
    TPgWriter(const QList<TOraToken>& tokens, const QList<TFieldRec>& fields,
              const TSqlNames& names)
        : t_(tokens), fields_(fields), names_(names) {
        // Oracle divides NUMBER values exactly; PostgreSQL divides integers as integers. With a
        // division in the expression, NUMBER columns and integer literals are read as numeric.
        for (const TOraToken& token : t_) {
            if (token.kind == TOraTokenKind::Symbol && token.text == "/") {
                exact_division_ = true;
            }
        }
    }

    bool Write(QString& out) { return Seq(0, t_.size(), out); }

private:
    const TFieldRec* Column(const TOraToken& token) const {
        if (token.kind != TOraTokenKind::Word && token.kind != TOraTokenKind::Quoted) {
            return nullptr;
        }
        for (const TFieldRec& field : fields_) {
            if (field.name == token.value) {
                return &field;
            }
        }
        return nullptr;
    }

    // The ")" that closes the "(" at open, or -1.
    qsizetype Closing(qsizetype open, qsizetype end) const {
        int depth = 0;
        for (qsizetype i = open; i < end; ++i) {
            if (t_[i].kind != TOraTokenKind::Symbol) {
                continue;
            }
            if (t_[i].text == "(") {
                ++depth;
            } else if (t_[i].text == ")" && --depth == 0) {
                return i;
            }
        }
        return -1;
    }

    // The arguments between the parentheses at open and close, split at their own commas.
    bool Arguments(qsizetype open, qsizetype close, QStringList& args) {
        if (close == open + 1) {
            return true;
        }
        qsizetype start = open + 1;
        int depth = 0;
        for (qsizetype i = open + 1; i <= close; ++i) {
            const bool symbol = t_[i].kind == TOraTokenKind::Symbol;
            if (symbol && t_[i].text == "(") {
                ++depth;
            } else if (symbol && t_[i].text == ")" && i != close) {
                --depth;
            } else if ((i == close || (symbol && t_[i].text == ",")) && depth == 0) {
                QString arg;
                if (i == start || !Seq(start, i, arg)) {
                    return false;
                }
                args << arg.trimmed();
                start = i + 1;
            }
        }
        return true;
    }

    bool Function(const QString& name, const QStringList& a, QString& out) const {
        static const QSet<QString> same = {"UPPER", "LOWER", "ABS", "CEIL", "FLOOR", "SIGN"};
        if (same.contains(name) && a.size() == 1) {
            out = LowerLatin(name) + "(" + a[0] + ")";
        } else if (name == "NVL" && a.size() == 2) {
            out = "COALESCE(" + a.join(", ") + ")";
        } else if (name == "COALESCE" && a.size() >= 2) {
            out = "COALESCE(" + a.join(", ") + ")";
        } else if (name == "NULLIF" && a.size() == 2) {
            out = "NULLIF(" + a.join(", ") + ")";
        } else if (name == "ROUND" && a.size() == 1) {
            out = "round(" + a[0] + ")";
        } else if (name == "ROUND" && a.size() == 2) {
            // PostgreSQL rounds to a number of places only in numeric.
            out = "round((" + a[0] + ")::numeric, " + a[1] + ")";
        } else if (name == "MOD" && a.size() == 2) {
            out = "mod((" + a[0] + ")::numeric, (" + a[1] + ")::numeric)";
        } else {
            return false;
        }
        return true;
    }

    // Oracle takes NULL for an empty string, so x || NULL is x there and NULL here; a chain of
    // texts is written so that it gives what Oracle gives. Only a chain of plain operands is
    // taken; other operands would need the types PostgreSQL infers.
    bool Chain(qsizetype begin, qsizetype end, QString& out) const {
        if ((end - begin) % 2 == 0) {
            return false;
        }
        QStringList parts;
        for (qsizetype i = begin; i < end; i += 2) {
            if (i + 1 < end &&
                (t_[i + 1].kind != TOraTokenKind::Symbol || t_[i + 1].text != "||")) {
                return false;
            }
            const TOraToken& operand = t_[i];
            if (operand.kind == TOraTokenKind::String) {
                if (!operand.value.isEmpty()) {
                    parts << PgLiteral(operand.value);
                }
                continue;
            }
            const TFieldRec* column = Column(operand);
            if (column == nullptr || !IsTextType(column->data_type)) {
                return false;
            }
            parts << "COALESCE(" + names_.Name(column->TargetName()) + ", '')";
        }
        if (parts.isEmpty()) {
            out = (t_[begin].lead.isEmpty() ? "" : " ") + QStringLiteral("NULL");
            return true;
        }
        out = (t_[begin].lead.isEmpty() ? "" : " ") + QStringLiteral("NULLIF(") +
              parts.join(" || ") + ", '')";
        return true;
    }

    // A date or timestamp literal in the ISO form both servers read alike.
    bool TypedLiteral(qsizetype i, qsizetype end) const {
        if (i + 1 >= end || t_[i + 1].kind != TOraTokenKind::String) {
            return false;
        }
        static const QRegularExpression date(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        static const QRegularExpression timestamp(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}(\\.\\d{1,9})?$"));
        const QString& value = t_[i + 1].value;
        return (t_[i].value == "DATE" && date.match(value).hasMatch()) ||
               (t_[i].value == "TIMESTAMP" && timestamp.match(value).hasMatch());
    }

    bool Seq(qsizetype begin, qsizetype end, QString& out) {
        int depth = 0;
        for (qsizetype i = begin; i < end; ++i) {
            const TOraToken& token = t_[i];
            if (token.kind != TOraTokenKind::Symbol) {
                continue;
            }
            if (token.text == "(") {
                ++depth;
            } else if (token.text == ")") {
                --depth;
            } else if (token.text == "||" && depth == 0) {
                return Chain(begin, end, out);
            }
        }

        static const QSet<QString> keywords = {"AND",  "OR",      "NOT",  "IN",     "IS",
                                               "NULL", "BETWEEN", "LIKE", "ESCAPE", "CASE",
                                               "WHEN", "THEN",    "ELSE", "END"};
        static const QSet<QString> operators = {
            "=", "<>", "!=", "<", ">", "<=", ">=", "+", "-", "*", "/", ","};
        for (qsizetype i = begin; i < end; ++i) {
            const TOraToken& token = t_[i];
            const QString space = token.lead.isEmpty() ? QString() : QStringLiteral(" ");
            const bool call =
                i + 1 < end && t_[i + 1].kind == TOraTokenKind::Symbol && t_[i + 1].text == "(";
            switch (token.kind) {
                case TOraTokenKind::Word: {
                    // IN (...), NOT (...), AND (...) are no calls.
                    if (call && !keywords.contains(token.value)) {
                        const qsizetype close = Closing(i + 1, end);
                        QStringList args;
                        QString text;
                        if (close < 0 || !Arguments(i + 1, close, args) ||
                            !Function(token.value, args, text)) {
                            return false;
                        }
                        out += space + text;
                        i = close;
                        break;
                    }
                    // DATE '1990-01-01' and TIMESTAMP '...' read the same on both servers.
                    if (TypedLiteral(i, end)) {
                        out += space + token.value + " " + PgLiteral(t_[i + 1].value);
                        ++i;
                        break;
                    }
                    if (keywords.contains(token.value)) {
                        // PostgreSQL takes a backslash in a pattern as its escape character.
                        if ((token.value == "LIKE" || token.value == "ESCAPE") &&
                            (i + 1 >= end || t_[i + 1].kind != TOraTokenKind::String ||
                             (token.value == "LIKE" && t_[i + 1].value.contains(u'\\')))) {
                            return false;
                        }
                        out += space + token.value;
                        break;
                    }
                    [[fallthrough]];
                }
                case TOraTokenKind::Quoted: {
                    const TFieldRec* column = call ? nullptr : Column(token);
                    if (column == nullptr) {
                        return false;
                    }
                    out += space + names_.Name(column->TargetName());
                    if (exact_division_ && column->data_type == "NUMBER") {
                        out += "::numeric";
                    }
                    break;
                }
                case TOraTokenKind::Number: {
                    QString number = token.text;
                    if (QStringView(u"fFdD").contains(number.back())) {
                        number.chop(1);
                    }
                    out += space + number;
                    if (exact_division_ && !number.contains(u'.') && !number.contains(u'e') &&
                        !number.contains(u'E')) {
                        out += "::numeric";
                    }
                    break;
                }
                case TOraTokenKind::String:
                    // An empty string is NULL in Oracle.
                    out += space + (token.value.isEmpty() ? QStringLiteral("NULL")
                                                          : PgLiteral(token.value));
                    break;
                case TOraTokenKind::Symbol: {
                    if (token.text == "(") {
                        const qsizetype close = Closing(i, end);
                        QString inner;
                        if (close < 0 || close == i + 1 || !Seq(i + 1, close, inner)) {
                            return false;
                        }
                        out += space + "(" + inner.trimmed() + ")";
                        i = close;
                    } else if (token.text == "^=") {
                        out += space + "<>";
                    } else if (operators.contains(token.text)) {
                        out += space + token.text;
                    } else {
                        return false;
                    }
                    break;
                }
            }
        }
        return true;
    }

    const QList<TOraToken>& t_;
    const QList<TFieldRec>& fields_;
    const TSqlNames& names_;
    bool exact_division_ = false;
};

}  // namespace

bool TokenizeOra(const QString& s, QList<TOraToken>& tokens) {
    tokens.clear();
    qsizetype pos = 0;
    while (true) {
        TOraToken token;
        while (pos < s.size() && s[pos].isSpace()) {
            token.lead += s[pos++];
        }
        if (pos >= s.size()) {
            return true;
        }
        const qsizetype start = pos;
        const QChar c = s[pos];
        const QChar next = pos + 1 < s.size() ? s[pos + 1] : QChar();
        const QChar after = pos + 2 < s.size() ? s[pos + 2] : QChar();
        const bool q_quote = (c == u'q' || c == u'Q') && next == u'\'';
        const bool national = (c == u'n' || c == u'N') &&
                              (next == u'\'' || ((next == u'q' || next == u'Q') && after == u'\''));
        if (national || q_quote) {
            token.kind = TOraTokenKind::String;
            token.national = national;
            if (national) {
                ++pos;
            }
            const bool ok = s[pos] == u'\'' ? ReadString(s, pos, token.value)
                                            : ReadQString(s, pos, token.value);
            if (!ok) {
                return false;
            }
        } else if (IsIdentStart(c)) {
            token.kind = TOraTokenKind::Word;
            while (pos < s.size() && IsIdentPart(s[pos])) {
                ++pos;
            }
            token.value = UpperLatin(s.mid(start, pos - start));
        } else if (c == u'"') {
            token.kind = TOraTokenKind::Quoted;
            const qsizetype close = s.indexOf(u'"', pos + 1);
            if (close < 0 || close == pos + 1) {
                return false;
            }
            token.value = s.mid(pos + 1, close - pos - 1);
            pos = close + 1;
        } else if (c == u'\'') {
            token.kind = TOraTokenKind::String;
            if (!ReadString(s, pos, token.value)) {
                return false;
            }
        } else if (IsDigit(c) || (c == u'.' && IsDigit(next))) {
            token.kind = TOraTokenKind::Number;
            if (!ReadNumber(s, pos)) {
                return false;
            }
        } else if (TwoCharSymbols().contains(s.mid(pos, 2))) {
            pos += 2;
        } else if (QStringView(u"(),+-*/=<>.").contains(c)) {
            if ((c == u'-' && next == u'-') || (c == u'/' && next == u'*')) {
                return false;  // a comment
            }
            ++pos;
        } else {
            return false;
        }
        token.text = s.mid(start, pos - start);
        tokens.append(token);
    }
}

bool PgExpression(const QString& oracle_expr, const QList<TFieldRec>& fields,
                  const TSqlNames& names, QString& result) {
    QList<TOraToken> tokens;
    if (!TokenizeOra(oracle_expr, tokens) || tokens.isEmpty()) {
        return false;
    }
    QString out;
    if (!TPgWriter(tokens, fields, names).Write(out)) {
        return false;
    }
    result = out.trimmed();
    return true;
}

QString OraExpression(const QString& oracle_expr, const QList<TFieldRec>& fields,
                      const TSqlNames& names) {
    QList<TOraToken> tokens;
    if (!TokenizeOra(oracle_expr, tokens)) {
        return oracle_expr;
    }
    QString out;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const TOraToken& token = tokens[i];
        QString text = token.text;
        const bool qualified =
            (i > 0 && tokens[i - 1].text == ".") ||
            (i + 1 < tokens.size() && (tokens[i + 1].text == "." || tokens[i + 1].text == "("));
        if ((token.kind == TOraTokenKind::Word || token.kind == TOraTokenKind::Quoted) &&
            !qualified) {
            for (const TFieldRec& field : fields) {
                if (field.name == token.value && !field.change_name.isEmpty()) {
                    text = names.Name(field.change_name);
                    break;
                }
            }
        } else if (token.kind == TOraTokenKind::String && token.value.contains(u'%')) {
            text = OraScriptLiteral(token.value, token.national);
        }
        out += token.lead + text;
    }
    return out;
}

QString OraScriptLiteral(const QString& text, bool national) {
    const QString prefix = national ? QStringLiteral("N") : QString();
    if (!text.contains(u'%')) {
        return prefix + OraLiteral(text);
    }
    QStringList pieces;
    QString run;
    for (const QChar c : text) {
        if (c != u'%') {
            run += c;
            continue;
        }
        if (!run.isEmpty()) {
            pieces << prefix + OraLiteral(run);
            run.clear();
        }
        pieces << prefix + QStringLiteral("CHR(37)");
    }
    if (!run.isEmpty()) {
        pieces << prefix + OraLiteral(run);
    }
    return "(" + pieces.join("||") + ")";
}

QString CommentText(const QString& text, int db_to) {
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (const QChar c : {QChar(u'\r'), QChar(u'\n'), QChar(u'\t')}) {
        flat.replace(c, u' ');
    }
    if (db_to == kDbOracle) {
        flat.replace(u'%', QChar(0xFF05));
    }
    return flat;
}

bool NumberLiteral(const QList<TOraToken>& tokens, QString& result) {
    qsizetype i = 0;
    QString sign;
    if (tokens.size() == 2 && tokens[0].kind == TOraTokenKind::Symbol &&
        (tokens[0].text == "-" || tokens[0].text == "+")) {
        sign = tokens[0].text == "-" ? QStringLiteral("-") : QString();
        i = 1;
    }
    if (tokens.size() != i + 1 || tokens[i].kind != TOraTokenKind::Number) {
        return false;
    }
    QString number = tokens[i].text;
    if (QStringView(u"fFdD").contains(number.back())) {
        number.chop(1);
    }
    result = sign + number;
    return true;
}
