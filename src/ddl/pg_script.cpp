#include "ddl/pg_script.h"

namespace {

// The "$tag$" that opens a dollar-quoted text at pos, or the empty text when none does.
QString DollarTag(const QString& text, qsizetype pos) {
    qsizetype end = pos + 1;
    while (end < text.size() && (text[end].isLetterOrNumber() || text[end] == u'_')) {
        ++end;
    }
    if (end >= text.size() || text[end] != u'$') {
        return QString();
    }
    // "$1" is a parameter, not a tag.
    if (end > pos + 1 && text[pos + 1].isDigit()) {
        return QString();
    }
    return text.mid(pos, end - pos + 1);
}

// Where the comment that starts at pos ends ("--" to the line's end, "/*" nested as the server
// nests them), or pos when none starts there.
qsizetype CommentEnd(const QString& text, qsizetype pos) {
    if (QStringView(text).mid(pos, 2) == u"--") {
        const qsizetype eol = text.indexOf(u'\n', pos);
        return eol < 0 ? text.size() : eol;
    }
    if (QStringView(text).mid(pos, 2) != u"/*") {
        return pos;
    }
    int depth = 0;
    qsizetype i = pos;
    do {
        if (QStringView(text).mid(i, 2) == u"/*") {
            ++depth;
            i += 2;
        } else if (QStringView(text).mid(i, 2) == u"*/") {
            --depth;
            i += 2;
        } else {
            ++i;
        }
    } while (depth > 0 && i < text.size());
    return i;
}

bool HoldsStatement(const QString& text) {
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isSpace()) {
            ++i;
        } else if (const qsizetype end = CommentEnd(text, i); end > i) {
            i = end;
        } else {
            return true;
        }
    }
    return false;
}

}  // namespace

QList<TPgStatement> SplitPgScript(const QString& script) {
    QList<TPgStatement> statements;
    qsizetype start = 0;
    int line = 1;
    int start_line = 1;
    auto finish = [&](qsizetype end) {
        const QString part = script.mid(start, end - start);
        if (!HoldsStatement(part)) {
            return;
        }
        // The statement begins after the blanks and comments before it.
        int first = start_line;
        qsizetype i = 0;
        while (i < part.size()) {
            qsizetype skip = part[i].isSpace() ? i + 1 : CommentEnd(part, i);
            if (skip == i) {
                break;
            }
            first += int(QStringView(part).mid(i, skip - i).count(u'\n'));
            i = skip;
        }
        statements.append({part.mid(i).trimmed(), first});
    };
    qsizetype i = 0;
    while (i < script.size()) {
        const QChar c = script[i];
        if (c == u'\n') {
            ++line;
            ++i;
        } else if (c == u'\'' || c == u'"') {
            // A doubled quote stays inside; an E'...' text also escapes with a backslash.
            const bool escapes =
                c == u'\'' && i > 0 && (script[i - 1] == u'E' || script[i - 1] == u'e');
            ++i;
            while (i < script.size()) {
                if (escapes && script[i] == u'\\' && i + 1 < script.size()) {
                    line += script[i + 1] == u'\n' ? 1 : 0;
                    i += 2;
                    continue;
                }
                if (script[i] == c) {
                    if (i + 1 < script.size() && script[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                line += script[i] == u'\n' ? 1 : 0;
                ++i;
            }
        } else if (const qsizetype end = CommentEnd(script, i); end > i) {
            line += int(QStringView(script).mid(i, end - i).count(u'\n'));
            i = end;
        } else if (c == u'$' && !DollarTag(script, i).isEmpty() &&
                   (i == 0 || !(script[i - 1].isLetterOrNumber() || script[i - 1] == u'_'))) {
            const QString tag = DollarTag(script, i);
            const qsizetype end = script.indexOf(tag, i + tag.size());
            const qsizetype stop = end < 0 ? script.size() : end + tag.size();
            line += int(QStringView(script).mid(i, stop - i).count(u'\n'));
            i = stop;
        } else if (c == u';') {
            finish(i);
            ++i;
            start = i;
            start_line = line;
        } else {
            ++i;
        }
    }
    finish(script.size());
    return statements;
}
