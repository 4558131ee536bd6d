#pragma once
// The pieces the script generator builds a script from, shared by its two source files: names
// and key lists as the target reads them, standalone sequences, comments, and the statements of
// the section after the copy. Used by script_gen.cpp only.

#include <QString>
#include <QStringList>

#include "db/sql_text.h"
#include "ddl/script_gen.h"

// The statements of the section after the copy, by kind, in the order they run: keys first
// (foreign keys may refer to them), then indexes, foreign keys and checks.
struct TAfterCopy {
    QStringList keys;
    QStringList indexes;
    QStringList foreign_keys;
    QStringList checks;
};

class TScriptParts {
public:
    TScriptParts(const TTables& tables, const TScriptOptions& options);

    const TSqlNames& Names() const { return names_; }
    bool ToOracle() const { return options_.db_to == kDbOracle; }
    // The end of a statement: "%" on Oracle, ";" on PostgreSQL.
    QString End() const { return ToOracle() ? QStringLiteral("%") : QStringLiteral(";"); }
    // A "--" line that fits on one line and holds no statement separator.
    QString Comment(const QString& text) const;
    // A name created under the new user on Oracle; bare on PostgreSQL and without a user.
    QString Owned(const QString& name) const;

    // A "(A,B)" list of source column names as the target's "(A,B)" of target names; a text
    // that is no such list stays as it is.
    QString KeyList(const QString& list, const QList<TFieldRec>& fields) const;
    // The table of the model a resolved "TABLE(COLS)" reference names, or null.
    const TTableRec* ReferencedTable(const QString& pk_name) const;

    // Standalone sequences come first: column defaults may call them.
    QStringList Sequences() const;
    // The catalog names of the sequences Sequences() creates.
    const QStringList& SequenceNames() const { return sequence_names_; }
    // True when a standalone sequence has that name as the target stores it.
    bool HasSequence(const QString& name) const;

    // COMMENT ON statements of the table and its columns.
    QStringList Comments(const TTableRec& table) const;
    // Keys, indexes, foreign keys and checks of the table for the section after the copy.
    void AfterCopy(const TTableRec& table, TAfterCopy& after) const;

private:
    QStringList SequenceStatement(const TSequenceRec& sequence) const;
    QString CommentOn(const QString& what, const QString& text) const;
    void ForeignKeys(const TTableRec& table, TAfterCopy& after) const;
    void Checks(const TTableRec& table, TAfterCopy& after) const;

    const TTables& tables_;
    const TScriptOptions& options_;
    TSqlNames names_;
    QStringList sequence_names_;
};
