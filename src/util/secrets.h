#pragma once
// Passwords never leave the program in what it shows or writes: connection strings, statements
// and driver messages pass through here before they reach a page, a label, the log or the error
// page. Pure text work; any thread.

#include <QList>
#include <QString>
#include <QStringList>

// The text with every password it holds replaced by "***": the values of the connection-string
// keys PWD and Password (plain, braced or quoted, also inside Extended Properties), a User ID or
// userid value of the user/password form, and the passwords of CREATE/ALTER ROLE or USER
// statements (PASSWORD '...' and IDENTIFIED BY "..."). Everything else stays as it is.
QString MaskSecrets(const QString& text);
QStringList MaskSecrets(const QStringList& lines);

// Where MaskSecrets finds a password in the text: [begin, end) of each, in text order, none
// overlapping another. For views that hide a password without changing the text they show.
struct TSecretSpan {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool operator==(const TSecretSpan&) const = default;
};
QList<TSecretSpan> SecretSpans(const QString& text);
