#pragma once
// Dependency ordering of the table model: referenced tables first, so that the script creates
// and the copy fills them before the tables that point at them. Pure function of the list;
// called on the user-interface thread.

#include "schema/table_model.h"

// Reorders tables in place so that every table stands after the tables its `master_tables`
// name. Deterministic: the result depends only on the order and contents of the list on entry
// (the copy checkpoint stores a table index into this order).
void SortTables(TTables& tables);
