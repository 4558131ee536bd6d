#include "app/table_list_commands.h"

#include <QFileInfo>

#include "schema/structure_browser.h"

bool DeleteTable(TTables& tables, const QString& name) {
    const int index = FindTable(tables, name);
    if (index < 0) {
        return false;
    }
    tables.removeAt(index);
    return true;
}

QString DataFileFor(const QString& chosen_path) {
    if (chosen_path.isEmpty()) {
        return QString();
    }
    const QFileInfo info(chosen_path);
    return info.isFile() ? info.absoluteFilePath() : QString();
}
