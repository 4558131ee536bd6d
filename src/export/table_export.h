#pragma once
// Export of one source table into a data file for the target's bulk loader: tab-separated text
// in the COPY text format for a PostgreSQL target, or the same layout plus a one-line loader
// control file for an Oracle target.
//
// TTableExport owns a copy of the table record, its own statement and whole-table reader on the
// shared source connection, read by the copy's own rule (source_reading.h: by key in portions,
// a table without a usable key in one pass) (so several exports and the wizard's copy can
// interleave on one connection, unit by unit) and the open data file. It is driven from the
// user-interface thread: Start once, then CopyData on every timer tick until it reports completion.
// Failures are raised as TError; the caller then calls Abort.

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

#include "db/date_time_text.h"
#include "db/odbc.h"
#include "schema/portion_reader.h"
#include "schema/source_reading.h"
#include "schema/table_model.h"
#include "util/code_page.h"

// How the fields of a row become the text of a data-file line.
struct TLineFormat {
    int db_type = kDbPostgres;  // kDbOracle: loader layout; anything else: COPY text
    // Separator of floating-point values in the loader layout (COPY reads only the point).
    QChar deci_sep = QLatin1Char('.');
    // What each column of the row set holds by its source type, by position; a column past the
    // list is taken by its values' category (a date-time value then by its own text form).
    QList<TDateTimeKind> date_kinds;
};

// --- PostgreSQL's COPY text format -------------------------------------------------------
// The one encoder of this format: the export's PostgreSQL data files are written with it, and so
// should anything else that feeds COPY ... FROM in the text format (tab-separated, no header,
// default null marker), so that every writer gives the server the same bytes for a value.

// A text in the COPY text format: backslash, tab, line feed and carriage return escaped.
QString EscapeCopyText(const QString& value);

// Appends the COPY text field of value (no separator, no line end): \N for null; floats with
// the point whatever the session's separator, their -0, NaN and infinities as the field gives
// them; dates before year 1 in the era form ("0044-03-15 12:00:00 BC"), fractions and offsets
// kept; large binaries in bytea's hex form; any other text escaped. kind is the source
// column's date-time kind (None: by the value's category). Raises TError naming table,
// row_number (from 1) and column for a date the field's text form does not give as one, and
// for a text holding a character code 0, which PostgreSQL refuses in any text.
void AppendCopyTextField(QString& out, const TDbField& value, TDateTimeKind kind,
                         const QString& table_name, qint64 row_number);

// The line of the current row of row: the fields' texts joined by tabs. row_number (from 1)
// and table_name only name the place in the error raised for a value the Oracle layout cannot
// carry (a tab, line feed or carriage return).
QString BuildDataLine(const TDbRowSet& row, const TLineFormat& format, const QString& table_name,
                      qint64 row_number);

// The loader control file's line (without its line end): the data file is UTF-8; columns by
// their target names, character columns with their lengths in bytes, dates and timestamps with
// the formats the data file is written in, virtual columns (computed by the target) skipped.
QString BuildControlLine(const TTableRec& table, const QString& data_file);

// A column the loader cannot read back from a data file (BLOB, LONG RAW, BFILE): its name, or
// the empty text when the table has none.
QString OracleUnloadableColumn(const TTableRec& table);

// How the export reads the table: by the copy's rule, without the query addition (an export
// writes the whole table). The columns are the model's; a PostgreSQL data file leaves out those
// in target_computes (the target computes them, and COPY refuses a value for them), the
// loader's layout keeps every column, its control file skips the virtual ones.
TReadPlan ExportReadPlan(const TTableRec& table, int db_type, const QStringList& target_computes);

// The columns of a PostgreSQL data file, by their target names, in the file's order: what the
// COPY that loads it must list.
QStringList PgDataFileColumns(const TTableRec& table, const QStringList& target_computes);

// The decimal separator of the dialog's choice: 0 point, 1 comma, anything else the system's.
QChar GetDeciSep(int combo_index);

// A new data file name for an Oracle export: a random number + ".dat" in the folder of the
// control file, one that does not exist yet.
QString RandomDataFileName(const QString& control_file);

// Lets a database server running under another account read the file: on Windows an icacls
// grant to the group Everyone (not waited for), elsewhere read permission for group and others.
void GrantReadAccess(const QString& path);

class TTableExport {
public:
    // target_computes: the source names of the columns the target computes itself (the caller
    // knows the target's rules).
    TTableExport(TDbConnection& source, const TTableRec& table, int db_type,
                 const QStringList& target_computes = {}, const TCodePage& code_page = TCodePage());
    ~TTableExport();
    TTableExport(const TTableExport&) = delete;
    TTableExport& operator=(const TTableExport&) = delete;

    // Settings read on every unit, so the dialog may change them between ticks.
    int portion_write = 1000;           // rows written per unit, at least 1 is used
    int portion_read = 100000;          // rows per source query; 0 or less reads the table whole
    QChar deci_sep = QLatin1Char('.');  // the loader layout's; COPY text always has the point

    // file_name is the file chosen by the operator: the data file itself for PostgreSQL, the
    // control file for Oracle (whose data file gets a random name in the same folder). Counts
    // the rows, writes the control file, creates the data file. An Oracle export of a table
    // with a column the loader cannot read back is refused before any file is written.
    void Start(const QString& file_name);

    // One unit of work: at most portion_write rows. Returns true once the export is complete;
    // the data file is closed then.
    bool CopyData();

    // Writes one line and its CR LF, also for an empty line (one line per row).
    void AddToStream(const QString& text);

    // Ends an export that failed or was abandoned: readers closed, the data file closed and
    // left on disk as far as it was written. Only Start may follow.
    void Abort();

    const TTableRec& Table() const { return table_; }
    const TReadPlan& Plan() const { return plan_; }
    int DbType() const { return db_type_; }
    qint64 CopyOff() const { return copy_off_; }
    qint64 Total() const { return total_; }
    bool Started() const { return started_; }
    bool Finished() const { return finished_; }
    const QString& FileName() const { return file_name_; }
    const QString& DataFileName() const { return data_file_name_; }
    const QDateTime& TimeStart() const { return time_start_; }
    // Seconds since Start, rounded to the nearest whole second.
    uint32_t ElapsedSeconds() const;

private:
    void CloseReaders();
    void PlanKinds();
    void Finish();

    TTableRec table_;
    TTableRec read_table_;  // as it is read: without the query addition
    int db_type_;
    TReadPlan plan_;
    TCodePage code_page_;
    std::unique_ptr<TDbQuery> query_from_;
    std::unique_ptr<TDbTable> table_from_;
    TPortionReader reader_;
    QFile stream_;
    qint64 copy_off_ = 0;
    qint64 total_ = 0;
    bool started_ = false;
    bool finished_ = false;
    bool aborted_ = false;
    QString file_name_;
    QString data_file_name_;
    QList<TDateTimeKind> date_kinds_;  // of the open reader's columns
    QDateTime time_start_;
};
