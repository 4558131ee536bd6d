// The account of a failed unit of copy work, taken before the unit is rolled back, while the
// engine still knows what the unit held.

#include "db/odbc.h"
#include "db/sql_text.h"
#include "transfer/copy_engine.h"
#include "util/error.h"

TCopyFailure TCopyEngine::FailureOf(std::exception_ptr error, const QStringList& read_before,
                                    const QStringList& write_before) const {
    TCopyFailure failure;
    try {
        std::rethrow_exception(error);
    } catch (const TError& e) {
        failure.message = e.Message();
    } catch (const std::exception& e) {
        failure.message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure.message = QStringLiteral("Неизвестная ошибка");
    }
    // The unit belongs where the target stands: a table finished in the unit moved only the
    // pending position on.
    const qint64 index = committed_.ind_table;
    failure.committed_rows = committed_.rows;
    if (pending_.ind_table == index && pending_.rows > committed_.rows) {
        failure.unit_rows = pending_.rows - committed_.rows;
    }
    // A statement the unit did not set is an earlier unit's, perhaps of another table.
    const bool wrote = !query_to_.Lines().isSharedWith(write_before);
    if (wrote) {
        failure.write_sql = query_to_.Text();
    }
    if (index < 0 || index >= tables_.size()) {
        return failure;
    }
    const TTableRec& table = tables_[index];
    failure.table = table.name;
    const TReadPlan& plan = PlanFor(index);
    if (plan.mode == TReadMode::KeyPortions) {
        failure.key_columns = plan.key.columns;
        failure.last_key = committed_.key;
    }
    if (HasLoadFile(table)) {
        return failure;
    }
    if (plan.mode == TReadMode::WholeTable) {
        // The whole-table reader is given the name and the columns; this is what it runs. A unit
        // that failed before it wrote anything failed reading.
        if (reader_.IsOpen() || !wrote) {
            failure.read_sql = QStringLiteral("SELECT ") + SelectList(plan) +
                               QStringLiteral(" FROM ") + OraSourceName(table.name);
        }
    } else if (reader_.IsOpen() || (!wrote && !query_from_.Lines().isSharedWith(read_before))) {
        failure.read_sql = query_from_.Text();
    }
    return failure;
}
