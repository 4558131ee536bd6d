#pragma once
// How a table of the source is read, by whoever reads it whole (the copy, the export): by its
// key in portions or in one pass, and the texts of the queries that do it. Pure functions of
// the table model, so that every text can be checked word for word; any thread.

#include <QList>
#include <QString>
#include <QStringList>

#include "schema/paging_key.h"
#include "schema/table_model.h"

// How a table is read. By its key in portions (each after the last key taken, so that neither
// a resume nor rows added or deleted meanwhile shift what is read); or, without a usable key
// or when the query addition orders the rows itself, in one pass: through the query when there
// is an addition to apply, else through the forward-only whole-table reader. Rows are never
// paged by offset: without a unique order, pages overlap and skip rows.
enum class TReadMode { KeyPortions, OnePassQuery, WholeTable };

struct TReadPlan {
    TReadMode mode = TReadMode::WholeTable;
    TPagingKey key;      // KeyPortions only
    QString why_no_key;  // a phrase for the journal when the table is read in one pass
    // The source names of the columns read, in the model's order. Named, never "*": a server
    // leaves invisible columns out of "*", and a reader may leave out what its writer cannot
    // use. Empty (a table without columns in the model) reads "*".
    QStringList columns;
};

TReadPlan PlanReading(const TTableRec& table, qint64 portion_read);

// True when the query addition orders the rows itself.
bool AdditionOrders(const TTableRec& table);

struct TReadQuery {
    QStringList lines;
    QList<TKeyParam> params;
};

// The select list of the plan's columns, names as a query on the source needs them.
QString SelectList(const TReadPlan& plan);

// The lines of the query that reads a table (not for the whole-table reader): the SELECT of the
// plan's columns (after the last key: over the rows after it), "WHERE 1=1" when the addition starts
// with AND, the query addition (also when empty), the key order unless the addition orders the
// rows, and, reading by key with portion_read above 0, "FETCH NEXT n ROWS ONLY". after holds the
// last key taken, empty for the first portion.
TReadQuery ReadQuery(const TTableRec& table, const TReadPlan& plan, const QStringList& after,
                     qint64 portion_read);
