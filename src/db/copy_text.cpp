#include "db/copy_text.h"

namespace {

// The escape of a character, or 0 when it stands for itself.
char EscapeOf(char16_t c) {
    switch (c) {
        case u'\\':
            return '\\';
        case u'\t':
            return 't';
        case u'\n':
            return 'n';
        case u'\r':
            return 'r';
        default:
            return 0;
    }
}

void AppendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

const char kHexDigits[] = "0123456789abcdef";

}  // namespace

void AppendCopyText(QByteArray& out, QStringView text) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Runs of plain ASCII go in one append: most data is such.
        qsizetype run = i;
        while (run < n && p[run] < 0x80 && p[run] >= 0x20 && p[run] != u'\\') {
            ++run;
        }
        if (run > i) {
            const qsizetype start = out.size();
            out.resize(start + (run - i));
            char* dst = out.data() + start;
            for (qsizetype k = i; k < run; ++k) {
                *dst++ = char(p[k]);
            }
            i = run;
            if (i >= n) {
                break;
            }
        }
        const char16_t c = p[i];
        if (const char escape = EscapeOf(c)) {
            out.append('\\');
            out.append(escape);
            ++i;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            AppendUtf8(out, QChar::surrogateToUcs4(c, p[i + 1]));
            i += 2;
        } else if (QChar::isSurrogate(c)) {
            AppendUtf8(out, 0xFFFD);
            ++i;
        } else {
            AppendUtf8(out, c);
            ++i;
        }
    }
}

void AppendCopyAscii(QByteArray& out, QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || EscapeOf(c.unicode()) != 0 || c.unicode() < 0x20) {
            // Not the plain text it was taken for: written with its escapes after all.
            AppendCopyText(out, text);
            return;
        }
    }
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* dst = out.data() + start;
    for (const QChar c : text) {
        *dst++ = char(c.unicode());
    }
}

void AppendCopyBytea(QByteArray& out, QByteArrayView bytes) {
    const qsizetype start = out.size();
    out.resize(start + 3 + 2 * bytes.size());
    char* dst = out.data() + start;
    *dst++ = '\\';
    *dst++ = '\\';
    *dst++ = 'x';
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *dst++ = kHexDigits[u >> 4];
        *dst++ = kHexDigits[u & 0x0F];
    }
}

void AppendCopyHex(QByteArray& out, QStringView hex) {
    out.append("\\\\x", 3);
    for (const QChar c : hex) {
        out.append(char(c.toLower().unicode()));
    }
}

QString CopyTextEscaped(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size() + 8);
    AppendCopyText(bytes, text);
    return QString::fromUtf8(bytes);
}

QStringList SplitCopyLine(const QByteArray& line, const QString& null_text) {
    QStringList fields;
    QByteArray field;
    bool null = false;
    const auto finish = [&] {
        fields.append(null && field.isEmpty() ? null_text : QString::fromUtf8(field));
        field.clear();
        null = false;
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            finish();
            continue;
        }
        if (c != '\\' || i + 1 >= line.size()) {
            field.append(c);
            continue;
        }
        const char next = line[++i];
        switch (next) {
            case 'N':
                null = true;
                break;
            case 't':
                field.append('\t');
                break;
            case 'n':
                field.append('\n');
                break;
            case 'r':
                field.append('\r');
                break;
            default:
                field.append(next);
        }
    }
    finish();
    return fields;
}

std::vector<TCopyFieldHead> SplitCopyLineHeads(QByteArrayView line, qsizetype max_chars) {
    // A character takes at most 3 bytes of UTF-8 per UTF-16 unit; one more may be cut.
    const qsizetype head_bytes = 3 * max_chars + 4;
    std::vector<TCopyFieldHead> fields;
    QByteArray head;
    TCopyFieldHead field;
    const auto take = [&](char c) {
        const auto u = static_cast<unsigned char>(c);
        // Every byte but a continuation byte starts a character; one of four bytes is two
        // UTF-16 units.
        if ((u & 0xC0) != 0x80) {
            field.chars += u >= 0xF0 ? 2 : 1;
        }
        if (head.size() < head_bytes) {
            head.append(c);
        }
    };
    const auto finish = [&] {
        field.null = field.null && head.isEmpty();
        field.head = QString::fromUtf8(head);
        if (field.chars > max_chars) {
            field.head.truncate(max_chars);
        }
        fields.push_back(std::move(field));
        field = TCopyFieldHead();
        head.clear();
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            finish();
            continue;
        }
        if (c != '\\' || i + 1 >= line.size()) {
            take(c);
            continue;
        }
        const char next = line[++i];
        switch (next) {
            case 'N':
                field.null = true;
                break;
            case 't':
                take('\t');
                break;
            case 'n':
                take('\n');
                break;
            case 'r':
                take('\r');
                break;
            default:
                take(next);
        }
    }
    finish();
    return fields;
}
