#pragma once
// The checkpoint file of an interrupted copy: the index of the table being copied, the rows of
// it already put into statements and, from this version on, the table's name, so that a resume
// can tell when the table list no longer matches. Used on the user-interface thread only.

#include <QString>

class TCodePage;

struct TCheckpoint {
    qint64 ind_table = 0;
    qint64 copy_off = 0;
    QString table_name;  // empty in files written before the name was recorded
    bool operator==(const TCheckpoint&) const = default;
};

// Writes the checkpoint as text lines in the code page, whole and then renamed into place, so
// a crash leaves the old file or the new one. Raises TFileError on failure.
void SaveTmpFile(const QString& file_temp, const TCheckpoint& cp, const TCodePage& code_page);

// Reads a checkpoint; the file stays. Raises TFileError when it cannot be read and
// TConvertError when it is not a checkpoint (fewer than two lines, a line that is not a
// non-negative integer).
TCheckpoint ReadTmpFile(const QString& file_temp, const TCodePage& code_page);
