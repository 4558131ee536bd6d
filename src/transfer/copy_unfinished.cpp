// The description of an unfinished copy for the offer to resume it: read without touching the
// window's target connection, which stays where the settings step left it.

#include <QFileInfo>

#include "db/odbc.h"
#include "transfer/copy_engine.h"
#include "transfer/copy_state.h"
#include "util/error.h"

TUnfinishedCopy TCopyEngine::DescribeUnfinished(const QString& file_temp) {
    TUnfinishedCopy found;
    const QFileInfo file(file_temp);
    if (file.exists()) {
        found.written = file.lastModified();
    }
    if (settings_.db_to == kDbPostgres) {
        // The resume trusts the state table: it is committed with the rows, the file after them.
        try {
            TDbConnection probe;
            probe.SetConnectionString(TargetConnectString());
            probe.Open();
            TDbQuery query(probe);
            if (const std::optional<TCopyState> state = ReadCopyState(query)) {
                found.checkpoint = ParseCheckpoint(state->checkpoint, kCopyStateTable);
                return found;
            }
        } catch (const TConvertError& error) {
            found.unreadable = error.Message();
        } catch (const TError&) {
            // No database of that name: only the file can tell.
        }
    }
    if (!file.exists()) {
        return found;
    }
    try {
        found.checkpoint = ReadTmpFile(file_temp, settings_.code_page);
        found.unreadable.clear();
    } catch (const TError& error) {
        if (found.unreadable.isEmpty()) {
            found.unreadable = error.Message();
        }
    }
    return found;
}
