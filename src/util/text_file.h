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

// Who may read a file the program writes. The checkpoint, the log, the values handed to the
// target and the settings tell about someone's data or hold a password: they are the owner's
// alone, whatever the umask, and a file that was wider before is narrowed. A file another
// program reads under another account (an export for the database server) keeps what the umask
// gives.
enum class TFileAccess { OwnerOnly, Default };

// Writes the lines in the code page, each ended by CR LF, whole and then renamed into place,
// so a crash leaves the old file or the new one. Raises TFileError on failure.
void WriteTextLines(const QString& path, const QStringList& lines, const TCodePage& code_page,
                    TFileAccess access = TFileAccess::OwnerOnly);
// The same for bytes.
void WriteFileBytes(const QString& path, const QByteArray& bytes,
                    TFileAccess access = TFileAccess::OwnerOnly);
// Gives an existing file owner-only rights, or creates it empty with them, so that a program
// that writes it afterwards (and keeps the rights it finds) never leaves it readable to others.
// Raises TFileError on failure.
void MakeOwnerOnlyFile(const QString& path);
