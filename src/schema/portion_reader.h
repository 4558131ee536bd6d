#pragma once
// The reading side of the copy: one table of the source, in portions by its key or in one
// pass (source_reading.h, TReadPlan). Each portion starts after the key of the last row taken
// before it, so what is read never depends on how many rows the source holds meanwhile. The
// reader is itself the row set the statement builder takes rows from, and remembers the key of
// the last row taken, which is what the writer records as committed. Works on the source
// statements it is given; called on the thread that owns them (today the user-interface
// thread).

#include <QStringList>
#include <vector>

#include "db/db_field.h"
#include "schema/source_reading.h"

class TDbQuery;
class TDbTable;

class TPortionReader : public TDbRowSet {
public:
    TPortionReader(TDbQuery& query_from, TDbTable& table_from);
    TPortionReader(const TPortionReader&) = delete;
    TPortionReader& operator=(const TPortionReader&) = delete;

    // Opens the next portion: the first rows of the table when after is empty, else the rows
    // after that key (reading by key), or the whole table in one pass. Raises what the source
    // raises.
    void Open(const TTableRec& table, const TReadPlan& plan, const QStringList& after,
              qint64 portion_read);
    void Close();
    // Open and still readable (closing the connection ends it).
    bool IsOpen() const;
    const TReadPlan& Plan() const { return plan_; }

    // Rows taken from the open portion.
    qint64 Taken() const { return taken_; }
    // The key of the last row taken (text forms); before the first row of a portion, the key
    // the portion starts after.
    const QStringList& LastKey() const { return last_key_; }
    // At the end of a portion: no rows of the table lie beyond it (one pass, a portion shorter
    // than asked for, or no paging).
    bool TableEnds() const;

    bool Eof() const override;
    void Next() override;
    int FieldCount() const override;
    const TDbField& Field(int index) const override;
    const TDbField& FieldByName(const QString& name) const override;

private:
    void FindKeyColumns();

    TDbQuery& query_from_;
    TDbTable& table_from_;
    TDbRowSet* rows_ = nullptr;
    bool whole_table_ = false;
    TReadPlan plan_;
    qint64 portion_read_ = 0;
    qint64 taken_ = 0;
    QStringList last_key_;
    std::vector<int> key_index_;
};
