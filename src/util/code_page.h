#pragma once
// The single-byte "ANSI" code page of text files without a byte-order mark (checkpoint, log,
// control file, query additions, appended scripts). A value, not global state: callers pass the
// code page they were configured with.

#include <QByteArray>
#include <QString>

class TCodePage {
public:
    // name as iconv knows it; the default is windows-1251. Raises TError for an unknown name.
    explicit TCodePage(const QString& name = QStringLiteral("windows-1251"));

    const QString& Name() const { return name_; }
    // Characters the code page cannot hold become '?'.
    QByteArray FromUnicode(const QString& text) const;
    QString ToUnicode(const QByteArray& bytes) const;

private:
    QString name_;
};
