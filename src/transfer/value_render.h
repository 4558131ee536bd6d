#pragma once
// Rendering of source values as SQL literals for the multi-row INSERT statements of the copy,
// and of a table's target column list. Values that a literal cannot carry do not go inline:
// large binary values are saved to files and long texts for an Oracle target are kept as
// values, each bound to a named parameter of the statement. Used on the thread of the copy.

#include <QList>
#include <QString>
#include <algorithm>

#include "db/db_field.h"
#include "db/sql_text.h"
#include "schema/date_format.h"
#include "schema/table_model.h"
#include "transfer/target_columns.h"
#include "util/error.h"

class TDbQuery;

// A statement's text is kept below this many characters (about 16 MB of mostly Latin text):
// rows are added while it fits, and only a single row may be larger.
constexpr qsizetype kMaxStatementChars = 16 * 1024 * 1024;

// Oracle takes no text literal longer than 4000 bytes: a longer text is bound instead.
constexpr qsizetype kOraMaxLiteralBytes = 4000;

struct TRenderOptions {
    int db_to = kDbPostgres;  // target server kind
    int int_type_index = 0;   // 0 "NUMBER >BIGINT", otherwise "NUMBER > INTEGER"
    // The operator's date/time format (EditDateTimeFormat). It decides how DATE values are
    // written for an Oracle target only when operator_date_format says the operator set it on
    // purpose; otherwise they go through TO_DATE with an explicit format.
    QString date_time_format = QStringLiteral("dd-mm-yy hh:nn:ss");
    bool operator_date_format = false;
    QString file_param;  // file of the first large binary value of a statement
    TFormatSettings format_settings = TFormatSettings::Default();
    QString table_name;  // named in conversion errors
    // How the target writes names; one made for another kind than db_to is not used.
    TSqlNames names;
    // The target table's columns (of table_name); null when they were not read.
    const TTargetColumns* target_columns = nullptr;
    // Rows of the table that came before the statement being built (for messages).
    qint64 first_row = 0;
    qsizetype max_statement_chars = kMaxStatementChars;
};

// The names of the target kind of the options.
TSqlNames TargetNames(const TRenderOptions& options);

// A text holding a character code 0, which PostgreSQL cannot store. The statement builder
// names the row in the message it raises.
class TNulCharError : public TConvertError {
public:
    TNulCharError(const QString& message, const QString& column)
        : TConvertError(message), column_(column) {}
    const QString& Column() const { return column_; }
    // What is wrong, for the messages that name the place.
    static QString Reason() {
        return QStringLiteral("текст содержит символ с кодом 0, который PostgreSQL не принимает");
    }

private:
    QString column_;
};

// The values of the statement being built that travel as parameters: the first large binary
// value goes to `file_param` as the parameter "param", further ones to sibling files
// ("param2.tmp", ...) as "param2", ..., so that a row with several such columns arrives intact;
// long texts are kept as they are. The copy binds them (Bind) before it runs the statement,
// and resets the list for the next statement.
class TParamFiles {
public:
    struct TParam {
        QString name;  // without the colon
        QString path;  // file of a binary value; empty for a text
        QString text;  // the text value
        bool operator==(const TParam&) const = default;
    };

    // Saves the value's bytes to the next file (replacing it; TFileError on failure) and
    // returns the parameter name.
    QString Add(const TDbField& field, const QString& file_param);
    // Keeps a text value as the next parameter and returns its name.
    QString AddText(const QString& text);
    const QList<TParam>& Params() const { return params_; }
    bool Empty() const { return params_.isEmpty(); }
    qsizetype Size() const { return params_.size(); }
    // Forgets the parameters from the count-th on (those of a row taken out again).
    void Truncate(qsizetype count) { params_.resize(std::min(count, params_.size())); }
    void Reset() { params_.clear(); }
    // Gives the statement every parameter: files as binary data, texts as long text.
    void Bind(TDbQuery& query) const;

    // The file of the n-th (from 1) value of a statement.
    static QString PathFor(const QString& file_param, int n);

private:
    QList<TParam> params_;
};

// How a column's values are written, decided once per column from its type name.
enum class TRenderKind { Number, Float, Date, Timestamp, TimestampTz, LargeBinary, Raw, Text };
TRenderKind RenderKindOf(const TFieldRec& field);

// A column's way of rendering, planned once per statement.
struct TColumnRule {
    const TFieldRec* field = nullptr;
    TRenderKind kind = TRenderKind::Text;
    // Numbers: the target column takes integers only (by its type on the target, or by the
    // source's declaration and profile when the target's was not read), so a fraction is
    // refused rather than rounded. Otherwise a number is written exactly as the source gives
    // it.
    bool integer = false;
};
TColumnRule PlanColumn(const TFieldRec& field, const TRenderOptions& options);

// The literal of column field.name in the current row of data_from, followed by ",". Raises
// TConvertError for a value that does not fit its target column or is no value of its type.
QString LoadFieldValue(const TFieldRec& field, const TDbRowSet& data_from,
                       const TRenderOptions& options, TParamFiles& params);

// Appends what LoadFieldValue gives for the value to out. The copy writes every value of every
// row through here: the common values go straight into the statement without a text of their
// own.
void AppendFieldValue(QString& out, const TColumnRule& rule, const TDbField& value,
                      const TRenderOptions& options, TParamFiles& params);

// The text of a NUMBER value as the target column takes it, checked as the INSERT path checks
// it (an integer column gets no fraction); a view of the value or of buffer. Raises
// TConvertError.
QStringView NumberText(const TColumnRule& rule, const TDbField& value,
                       const TRenderOptions& options, QString& buffer);
// The hex digits of a RAW value, whichever way the driver hands it over.
QString RawHex(const TDbField& value);

// "(" + the target names of the table's columns joined by "," + ")", each written as the target
// reads it; virtual columns the target computes itself (TargetComputes) are left out.
QString GetFields(const TTableRec& table, const TSqlNames& names = TSqlNames());
