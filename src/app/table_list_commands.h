#pragma once
// The edits the operator makes on the table model through the lists' context menus, apart
// from the windows that show them. Pure functions on the model; user-interface thread.

#include <QString>

#include "schema/table_model.h"

// Context-menu items act on one row: they are enabled exactly when one row is selected.
inline bool MenuItemEnabled(int selected_rows) {
    return selected_rows == 1;
}

// Drops the first table of that exact name, keeping the others in their order. Nothing that
// was derived from the model (totals, key list, references of other tables) is touched.
// Returns false when no table has that name.
bool DeleteTable(TTables& tables, const QString& name);

// The data file a table is loaded from: the chosen file's full path when it exists, else empty
// (which means the table is copied from the source).
QString DataFileFor(const QString& chosen_path);
