#pragma once
// The checkpoint of an interrupted copy: where the target stands (the table being copied, the
// rows of it committed there and, for a table read by its key, the key of the last of them),
// written after every committed statement so that a crash loses nothing. The same text lives in
// the state table of a PostgreSQL target (copy_state.h), updated in the transaction of the rows
// it counts. Used on the user-interface thread only.
//
// The file is a text list in the code page, each line ended by CR LF:
//
//   1  index of the table being copied, in the dependency order
//   2  rows of that table committed in the target (in the after-copy phase: statements of the
//      after-copy section done)
//   3  the table's name (empty in the after-copy phase)
//   4… name=value lines, values percent-encoded UTF-8 (so that any name or key survives the
//      code page):
//        position=START|KEY|RESTART|AFTER   how the table goes on: from its first row, after
//                                           the key below, emptied and copied again (no usable
//                                           key), or the tables are done and the after-copy
//                                           section runs
//        name=<table>                       the exact name
//        key=<col>,<col>                    the key columns the table is read by
//        last=<value>,<value>               the last committed key (text forms)
//        previous=<rows>                    rows committed in the table before (-1: unknown)
//        after_copy=<characters>            size of the after-copy section kept beside
//
// Files of earlier versions have only the first two or three lines; they still read (position
// Count: a row count without a key).

#include <QString>
#include <QStringList>

class TCodePage;

// How a file written whole reaches the disk: Durable waits until it is there (a power cut
// leaves the old file or the new one); Cached leaves the flush to the system, for a file
// that only mirrors a record kept safely elsewhere (the state table of a PostgreSQL target,
// committed with the rows it counts). Either way a process that dies leaves a whole file.
enum class TFileSync { Durable, Cached };

enum class TCopyPosition { Count, Start, Key, Restart, AfterCopy };

struct TCheckpoint {
    TCheckpoint() = default;
    TCheckpoint(qint64 ind, qint64 off, QString name = {})
        : ind_table(ind), copy_off(off), table_name(std::move(name)) {}

    qint64 ind_table = 0;
    qint64 copy_off = 0;
    QString table_name;  // empty in files written before the name was recorded
    TCopyPosition position = TCopyPosition::Count;
    QStringList key_columns;
    QStringList last_key;
    qint64 previous_rows = -1;
    qint64 after_copy_size = 0;
    bool operator==(const TCheckpoint&) const = default;
};

// The lines of a checkpoint (a Count position gives the old two or three lines).
QStringList CheckpointLines(const TCheckpoint& cp);
// Reads checkpoint lines; where names the source in messages. Raises TConvertError when they
// are not a checkpoint (fewer than two lines, a count that is not a non-negative integer, a
// value that does not decode, a position without its key).
TCheckpoint ParseCheckpoint(const QStringList& lines, const QString& where);

// Writes the checkpoint as text lines in the code page, readable and writable by its owner
// only, whole and then renamed into place, so a crash leaves the old file or the new one.
// Raises TFileError on failure.
void SaveTmpFile(const QString& file_temp, const TCheckpoint& cp, const TCodePage& code_page,
                 TFileSync sync = TFileSync::Durable);

// Reads a checkpoint; the file stays. Raises TFileError when it cannot be read and
// TConvertError when it is not a checkpoint.
TCheckpoint ReadTmpFile(const QString& file_temp, const TCodePage& code_page);

// The after-copy section of the script is kept beside the checkpoint (same folder, owner only,
// UTF-8), because a resume skips the steps that made it.
QString AfterCopyFile(const QString& file_temp);
void SaveAfterCopyFile(const QString& file_temp, const QString& section);
// The section as saved; raises TFileError when the file cannot be read.
QString ReadAfterCopyFile(const QString& file_temp);
// Removes the checkpoint and the section beside it; a file that stays raises TFileError.
void RemoveTmpFiles(const QString& file_temp);

// Writes bytes whole and renamed into place, readable and writable by the owner only.
void WritePrivateFile(const QString& path, const QByteArray& bytes,
                      TFileSync sync = TFileSync::Durable);
