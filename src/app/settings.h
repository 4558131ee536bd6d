#pragma once
// The operator's last entries, kept between runs, and the working paths of a run. Settings are
// read once when the main window is created and written once when it is destroyed; the window
// copies them into and out of its controls. QtCore only; user-interface thread.

#include <QSettings>
#include <QString>

inline constexpr char kSettingsOrganisation[] = "Vornholt Company";
inline constexpr char kSettingsApplication[] = "Skerrow";

// Ranges of the two portion fields.
inline constexpr int kPortionWriteMin = 1;
inline constexpr int kPortionWriteMax = 10000;
inline constexpr int kPortionReadMin = 0;
inline constexpr int kPortionReadMax = 10000000;

// The values with the defaults of their controls.
struct TSettingsValues {
    QString connect_from;  // lines joined by CR LF
    QString connect_to;
    QString user;
    QString password;  // plain text: the settings file is kept private to its owner instead
    int int_type = 0;  // item index of the NUMBER conversion; -1 when nothing is selected
    int portion_write = 1000;
    int portion_read = 100000;
    bool grant_dba = false;  // "GrantDba": an Oracle target's new user gets the DBA role too
    bool validate = true;    // "ValidateAfterCopy": counts compared after each table
    bool checksum = false;   // "ValidateChecksum": and a checksum of all rows
    int write_method = 0;    // "WriteMethod": 0 COPY, 1 INSERT (a PostgreSQL target only)

    bool operator==(const TSettingsValues&) const = default;
};

// Overwrites each field whose value is stored with a usable type; a missing value, or one stored
// as something else (a list, a text that is not a whole number), leaves the field as it was.
// The portions are clamped into their ranges.
void LoadSettings(QSettings& settings, TSettingsValues& values);
// Writes all values, syncs, and keeps the settings file readable and writable by its owner only
// (it holds the password): the file is narrowed, or made with those rights, before the password
// goes in. Returns false, having written nothing, when the store cannot be written.
bool SaveSettings(QSettings& settings, const TSettingsValues& values);

// Where the files of a run live. Fixed when the main window is created.
struct TWorkPaths {
    QString cur_dir;     // current directory at start
    QString file_addi;   // query additions, in cur_dir
    QString file_param;  // large value handed to the target, in the application-data folder
    QString file_temp;   // copy checkpoint, in the application-data folder
    QString file_log;    // copy journal, in the documents folder
    QString file_help;   // help file, in cur_dir
};

// The application-data and documents folders are created when missing; a folder that cannot be
// found or created leaves the bare file name (resolved against the current directory when used).
TWorkPaths MakeWorkPaths(const QString& cur_dir);
