#pragma once
// What the script and the copy must agree on about the objects the script makes for a table:
// which column a sequence feeds, and the names of the Oracle sequence and trigger. The script
// creates them with these names and the copy resets the sequence by the same ones after its
// rows are in. Pure functions; any thread.

#include <QString>

#include "schema/table_model.h"

// Oracle releases before 12.2 take names of at most 30 bytes; longer generated names are
// shortened so that one script serves every release.
inline constexpr int kOraNameBytes = 30;

// head + base + tail when that fits in kOraNameBytes bytes of UTF-8; otherwise base is cut to a
// prefix and followed by "_" and six hexadecimal digits of a hash of the whole base, so that two
// long names with the same beginning stay apart. The same input always gives the same name.
QString OraShortName(const QString& head, const QString& base, const QString& tail = QString());

// The sequence the Oracle script creates for a table's sequence column: "SEQ_" + table name,
// shortened by OraShortName.
QString OraSequenceName(const QString& table_name);

// The before-insert trigger of a table on Oracle: table name + "_TRIGGER" ("TRIGGER_" + table
// name for the tables that keep the older naming), shortened by OraShortName.
QString OraTriggerName(const QString& table_name);

// The column of a table whose values a sequence hands out in the target, or null: the identity
// column when the table has one, else the first autoincrement column of type NUMBER in column
// order. That column alone gets a serial type, an identity or a sequence in the script, and the
// copy moves that sequence past the copied values afterwards. A DATE autoincrement column is
// filled with the current time and has no sequence.
const TFieldRec* SequenceField(const TTableRec& table);
