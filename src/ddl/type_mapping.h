#pragma once
// Translation of one source column into its definition in the target's CREATE TABLE. Pure
// function of the column and the server kinds; called on the user-interface thread.

#include <QString>

#include "schema/table_model.h"

// The column definition that follows the column's name: target type, an optional DEFAULT
// clause, an optional " NOT NULL", and always a closing ",". db_from and db_to are server kind
// codes (TDbKind). int_type_index is the integer-width choice: 0 maps NUMBER to the 64-bit
// types, any other value to the 32-bit ones.
QString GetTypeField(const TFieldRec& field, int db_from, int db_to, int int_type_index);
