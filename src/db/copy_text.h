#pragma once
// The text format of PostgreSQL's COPY: one row per line, fields split by tabs, NULL as \N, and
// backslash, tab, line feed and carriage return written as backslash escapes. Both the copy
// into a PostgreSQL target and the export's data files write through here, so that the two
// agree byte for byte. Rows are built as UTF-8 straight away: the stream is sent as bytes, and
// a copy of millions of rows should not build a text of its own for every value. Pure
// functions; any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

// Appends the text with its escapes, in UTF-8. A lone surrogate (no character) becomes U+FFFD,
// as every other conversion of the program does.
void AppendCopyText(QByteArray& out, QStringView text);
// Appends ASCII text that needs no escape (numbers, a date's text form) unchanged.
void AppendCopyAscii(QByteArray& out, QStringView text);
inline void AppendCopyNull(QByteArray& out) {
    out.append("\\N", 2);
}
// A bytea value in the hex input form, "\x" + hex digits, its backslash doubled for the stream.
void AppendCopyBytea(QByteArray& out, QByteArrayView bytes);
// Hex digits given as text already (lower or upper case) in the same form.
void AppendCopyHex(QByteArray& out, QStringView hex);

// The escaped text as a text, for writers that build lines of their own.
QString CopyTextEscaped(QStringView text);

// One line of the stream (without its line feed) read back into its fields, escapes undone and
// a NULL field given as null_text. For showing a row the server refused.
QStringList SplitCopyLine(const QByteArray& line, const QString& null_text);

// A field of a line read only as far as its first max_chars characters (UTF-16 units, as
// QString counts them), with its whole length counted: a row may hold a value of 100 MB, and
// showing it needs no more than its beginning.
struct TCopyFieldHead {
    QString head;         // at least the first max_chars characters, or the whole value
    qsizetype chars = 0;  // of the whole value
    bool null = false;
};
std::vector<TCopyFieldHead> SplitCopyLineHeads(QByteArrayView line, qsizetype max_chars);
