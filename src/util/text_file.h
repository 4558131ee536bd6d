#pragma once
// Reading and writing text files as lists of lines.

#include <QString>
#include <QStringList>

class TCodePage;

// Decodes by byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE), else in the given code page, and
// splits at CR LF, LF or CR. A final line end does not make an empty last line.
// Raises TFileError when the file cannot be read.
QStringList ReadTextLines(const QString& path, const TCodePage& code_page);
// Splits decoded text the same way.
QStringList SplitLines(const QString& text);
// Writes the lines in the code page, each ended by CR LF, whole and then renamed into place,
// so a crash leaves the old file or the new one. Raises TFileError on failure.
void WriteTextLines(const QString& path, const QStringList& lines, const TCodePage& code_page);
