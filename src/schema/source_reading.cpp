#include "schema/source_reading.h"

#include "db/sql_text.h"
#include "util/text_utils.h"

namespace {

QStringList ColumnsOf(const TTableRec& table) {
    QStringList columns;
    for (const TFieldRec& field : table.fields) {
        columns << field.name;
    }
    return columns;
}

// An addition that goes on a condition ("AND X = 1") needs a WHERE before it.
bool StartsWithAnd(const QString& addition) {
    const QString text = UpperLatin(addition.trimmed());
    if (!text.startsWith(QLatin1String("AND"))) {
        return false;
    }
    const QChar next = text.size() > 3 ? text[3] : QChar(u' ');
    return !(next.isLetterOrNumber() || next == u'_' || next == u'$' || next == u'#');
}

}  // namespace

bool AdditionOrders(const TTableRec& table) {
    return UpperLatin(table.query_addi).contains(QLatin1String("ORDER BY"));
}

TReadPlan PlanReading(const TTableRec& table, qint64 portion_read) {
    TReadPlan plan;
    if (AdditionOrders(table)) {
        plan.mode = TReadMode::OnePassQuery;
        plan.why_no_key = QStringLiteral("порядок строк задан довеском к запросу (ORDER BY)");
        plan.columns = ColumnsOf(table);
        return plan;
    }
    plan.columns = ColumnsOf(table);
    plan.key = ChoosePagingKey(table, &plan.why_no_key);
    if (plan.key.Usable()) {
        plan.mode = TReadMode::KeyPortions;
        plan.why_no_key.clear();
    } else {
        // Without paging an addition has no effect on the whole-table reader, as it always had.
        plan.mode = table.query_addi.isEmpty() || portion_read <= 0 ? TReadMode::WholeTable
                                                                    : TReadMode::OnePassQuery;
    }
    return plan;
}

TReadQuery ReadQuery(const TTableRec& table, const TReadPlan& plan, const QStringList& after,
                     qint64 portion_read) {
    TReadQuery query;
    const QString name = OraSourceName(table.name);
    const QString select = SelectList(plan);
    const bool by_key = plan.mode == TReadMode::KeyPortions;
    if (by_key && !after.isEmpty()) {
        // The key condition stays inside, under the table's own name, so that the addition
        // applies to the rows after the key whatever its own ANDs and ORs.
        const QString condition =
            KeyAfterCondition(SourceKeyTerms(plan.key, after, query.params, "skerrow_key"));
        query.lines << "SELECT " + select + " FROM (SELECT " + select + " FROM " + name +
                           " WHERE " + condition + ") " + name;
    } else {
        query.lines << "SELECT " + select + " FROM " + name;
    }
    if (StartsWithAnd(table.query_addi)) {
        query.lines << QStringLiteral("WHERE 1=1");
    }
    query.lines << table.query_addi;
    if (by_key && !AdditionOrders(table)) {
        QStringList columns;
        for (const QString& column : plan.key.columns) {
            columns << OraSourceName(column);
        }
        query.lines << "ORDER BY " + columns.join(u',');
    }
    if (by_key && portion_read > 0) {
        query.lines << "FETCH NEXT " + QString::number(portion_read) + " ROWS ONLY";
    }
    return query;
}

QString SelectList(const TReadPlan& plan) {
    if (plan.columns.isEmpty()) {
        return QStringLiteral("*");
    }
    QStringList names;
    for (const QString& column : plan.columns) {
        names << OraSourceName(column);
    }
    return names.join(u',');
}
