#pragma once
// Rendering of source values as SQL literals for the multi-row INSERT statements of the copy,
// and of a table's target column list. Large binary values do not go inline: each is saved to a
// file and bound to a named parameter of the statement. Used on the user-interface thread only.

#include <QList>
#include <QString>

#include "db/db_field.h"
#include "schema/date_format.h"
#include "schema/table_model.h"

struct TRenderOptions {
    int db_to = kDbPostgres;  // target server kind
    int int_type_index = 0;   // 0 "NUMBER >BIGINT", otherwise "NUMBER > INTEGER"
    QString date_time_format = QStringLiteral("dd-mm-yy hh:nn:ss");  // dates for an Oracle target
    QString file_param;  // file of the first large binary value of a statement
    TFormatSettings format_settings = TFormatSettings::Default();
    QString table_name;  // named in conversion errors
};

// The large binary values of the statement being built. The first goes to `file_param` as the
// parameter "param"; further ones go to sibling files ("param2.tmp", ...) as "param2", ... so
// that a row with several such columns arrives intact. The copy binds every listed parameter
// to its file before it runs the statement, and resets the list for the next statement.
class TParamFiles {
public:
    struct TParam {
        QString name;  // without the colon
        QString path;
        bool operator==(const TParam&) const = default;
    };

    // Saves the value's bytes to the next file (replacing it; TFileError on failure) and
    // returns the parameter name.
    QString Add(const TDbField& field, const QString& file_param);
    const QList<TParam>& Params() const { return params_; }
    bool Empty() const { return params_.isEmpty(); }
    void Reset() { params_.clear(); }

    // The file of the n-th (from 1) value of a statement.
    static QString PathFor(const QString& file_param, int n);

private:
    QList<TParam> params_;
};

// The literal of column field.name in the current row of data_from, followed by ",".
// Raises TConvertError for a number that does not fit its target column.
QString LoadFieldValue(const TFieldRec& field, const TDbRowSet& data_from,
                       const TRenderOptions& options, TParamFiles& params);

// How a column's values are written, decided once per column from its type name.
enum class TRenderKind { Number, Float, Date, LargeBinary, Raw, Text };
TRenderKind RenderKindOf(const TFieldRec& field);

// Appends what LoadFieldValue gives for the value (kind from RenderKindOf(field)) to out. The
// copy writes every value of every row through here: the common values go straight into the
// statement without a text of their own.
void AppendFieldValue(QString& out, const TFieldRec& field, TRenderKind kind, const TDbField& value,
                      const TRenderOptions& options, TParamFiles& params);

// The text of a NUMBER value as the target column takes it, checked as LoadFieldValue checks it
// (an integer column gets no fraction, nor past 64 bits with the first conversion); a view of
// the value or of buffer. Raises TConvertError.
QStringView NumberText(const TFieldRec& field, const TDbField& value, const TRenderOptions& options,
                       QString& buffer);
// The hex digits of a RAW value, whichever way the driver hands it over.
QString RawHex(const TDbField& value);

// "(" + the target names of the table's columns joined by "," + ")".
QString GetFields(const TTableRec& table);
