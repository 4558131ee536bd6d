#include "util/secrets.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QString kMask = QStringLiteral("***");

struct TSpan {
    qsizetype begin;
    qsizetype end;
    QString replacement;
};

// The end of a value that runs to a closing character; a doubled closing character stands for
// itself. Without a closing character the value runs to the end of the text.
qsizetype ClosedEnd(const QString& text, qsizetype pos, QChar close) {
    while (pos < text.size()) {
        if (text[pos] != close) {
            ++pos;
        } else if (pos + 1 < text.size() && text[pos + 1] == close) {
            pos += 2;
        } else {
            return pos + 1;
        }
    }
    return pos;
}

// A plain value ends at ';', at a line break, or at a single '"' (the end of an Extended
// Properties value, where a doubled one is a quote of the value itself).
qsizetype PlainEnd(const QString& text, qsizetype pos) {
    while (pos < text.size()) {
        const QChar c = text[pos];
        if (c == u';' || c == u'\r' || c == u'\n') {
            return pos;
        }
        if (c == u'"') {
            if (pos + 1 < text.size() && text[pos + 1] == u'"') {
                pos += 2;
                continue;
            }
            return pos;
        }
        ++pos;
    }
    return pos;
}

// The span of a connection-string value starting at pos, quotes and braces included.
qsizetype ValueEnd(const QString& text, qsizetype pos) {
    if (pos >= text.size()) {
        return pos;
    }
    const QChar c = text[pos];
    if (c == u'{') {
        return ClosedEnd(text, pos + 1, u'}');
    }
    if (c == u'\'') {
        return ClosedEnd(text, pos + 1, u'\'');
    }
    // A '"' opens a quoted value unless it is doubled (a quote inside Extended Properties).
    if (c == u'"' && !(pos + 1 < text.size() && text[pos + 1] == u'"')) {
        return ClosedEnd(text, pos + 1, u'"');
    }
    return PlainEnd(text, pos);
}

// A login of the user/password@source form may quote its password (blanks and ';' inside the
// quotes belong to it); it ends at a ';', a blank or a line break outside quotes. A '"' left
// open at its end is the one that closes the Extended Properties around it.
qsizetype LoginEnd(const QString& text, qsizetype pos) {
    qsizetype end = pos;
    bool quoted = false;
    qsizetype last_quote = -1;
    while (end < text.size()) {
        const QChar c = text[end];
        if (c == u'\r' || c == u'\n' || (!quoted && (c == u';' || c.isSpace()))) {
            break;
        }
        if (c == u'"') {
            quoted = !quoted;
            last_quote = end;
        }
        ++end;
    }
    if (quoted && last_quote == end - 1) {
        --end;
    }
    return end;
}

void ConnectionValues(const QString& text, QList<TSpan>& spans) {
    static const QRegularExpression kKey(
        QStringLiteral("(?<![A-Za-z0-9_])(PWD|Password|User\\s*ID|userid)\\s*=\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = kKey.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const qsizetype begin = m.capturedEnd();
        const bool login = !m.captured(1).startsWith(u'p', Qt::CaseInsensitive);
        const qsizetype end = login ? LoginEnd(text, begin) : ValueEnd(text, begin);
        if (login && !text.mid(begin, end - begin).contains(u'/')) {
            continue;  // a user name alone is no secret
        }
        if (end > begin) {
            spans.append({begin, end, kMask});
        }
    }
}

void StatementPasswords(const QString& text, QList<TSpan>& spans) {
    // PASSWORD '...' or E'...', the apostrophe doubled inside (and in the E form escaped by a
    // backslash).
    static const QRegularExpression kPassword(QStringLiteral("\\bPASSWORD\\s+(E?)'"),
                                              QRegularExpression::CaseInsensitiveOption);
    for (auto it = kPassword.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const bool escapes = !m.captured(1).isEmpty();
        qsizetype pos = m.capturedEnd();
        const qsizetype begin = m.capturedStart(1);
        while (pos < text.size()) {
            if (escapes && text[pos] == u'\\') {
                pos += 2;
            } else if (text[pos] == u'\'') {
                if (pos + 1 < text.size() && text[pos + 1] == u'\'') {
                    pos += 2;
                } else {
                    ++pos;
                    break;
                }
            } else {
                ++pos;
            }
        }
        spans.append({begin, std::min(pos, text.size()), QStringLiteral("'***'")});
    }
    static const QRegularExpression kIdentified(
        QStringLiteral("\\bIDENTIFIED\\s+BY\\s+(\"[^\"]*\"?|[^\\s;\"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = kIdentified.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        spans.append({m.capturedStart(1), m.capturedEnd(1), QStringLiteral("\"***\"")});
    }
}

// The spans of every secret, in text order; a span that starts inside an earlier one is left
// out.
QList<TSpan> SortedSpans(const QString& text) {
    QList<TSpan> spans;
    ConnectionValues(text, spans);
    StatementPasswords(text, spans);
    std::sort(spans.begin(), spans.end(),
              [](const TSpan& a, const TSpan& b) { return a.begin < b.begin; });
    QList<TSpan> kept;
    qsizetype pos = 0;
    for (const TSpan& span : spans) {
        if (span.begin < pos) {
            continue;  // inside a span already taken
        }
        kept.append(span);
        pos = span.end;
    }
    return kept;
}

}  // namespace

QString MaskSecrets(const QString& text) {
    const QList<TSpan> spans = SortedSpans(text);
    if (spans.isEmpty()) {
        return text;
    }
    QString masked;
    qsizetype pos = 0;
    for (const TSpan& span : spans) {
        masked += QStringView(text).mid(pos, span.begin - pos);
        masked += span.replacement;
        pos = span.end;
    }
    masked += QStringView(text).mid(pos);
    return masked;
}

QList<TSecretSpan> SecretSpans(const QString& text) {
    QList<TSecretSpan> result;
    for (const TSpan& span : SortedSpans(text)) {
        result.append({span.begin, span.end});
    }
    return result;
}

QStringList MaskSecrets(const QStringList& lines) {
    QStringList masked;
    masked.reserve(lines.size());
    for (const QString& line : lines) {
        masked.append(MaskSecrets(line));
    }
    return masked;
}
