#pragma once
// The migration report: one self-contained HTML file (styles inline, no scripts, nothing
// fetched) written from plain data at the end of a copy or on its error page, beside the log.
// Every text that came from a connection string, a statement or a driver message passes the
// secrets mask before it is written. Pure text work plus one file write; any thread.

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "schema/table_model.h"
#include "verify/preflight.h"
#include "verify/table_check.h"

inline const QString kReportFileName = QStringLiteral("Skerrow-report.html");

struct TReportServer {
    QString kind;        // "Oracle", "PostgreSQL"
    QString version;     // the version banner or number as read
    QString connection;  // the connection string as entered (masked when written)
};

struct TReportTable {
    QString name;
    qint64 rows_counted = 0;  // when the structure was read
    qint64 rows_copied = 0;
    qint64 msecs = -1;  // time the copy of the table took; -1 unknown
    QString file_copy;  // loaded from this data file instead of copied by statements
    bool checked = false;
    TTableCheck check;  // when checked
};

struct TReportError {
    QString message;
    QStringList sql;  // the statements in play when it happened (source, target)
};

struct TReportData {
    QDateTime started;
    QDateTime finished;
    // The copy reached its last table; false for a report from the error page or a pause.
    bool copy_finished = false;
    TReportServer source;
    TReportServer target;
    QString target_name;                      // the new database / role or Oracle user
    QList<QPair<QString, QString>> settings;  // caption, value as the settings page shows them
    QList<TReportTable> tables;
    TTables structure;  // the tables as the script created them
    TSequences sequences;
    QList<TFinding> findings;  // of the pre-flight check
    QList<TReportError> errors;
};

// "Skerrow-report.html" in the folder of the log file (a bare log name: a bare report name).
QString ReportPathBeside(const QString& file_log);

// The overall verdict shown at the top: success only for a finished copy without errors whose
// checked tables all matched.
QString ReportVerdict(const TReportData& data);
bool ReportSucceeded(const TReportData& data);

QString ReportHtml(const TReportData& data);

// Writes the report whole and renames it into place; owner-only, like the log. Raises
// TFileError.
void WriteReport(const QString& path, const TReportData& data);
