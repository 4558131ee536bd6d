// Row counts, and what the rows of number columns hold: a NUMBER without a scale may hold
// fractions, and one declared as an integer may hold values beyond 64 bits, which only the
// data tells.

#include "db/sql_text.h"
#include "schema/catalog_objects.h"
#include "schema/catalog_query.h"
#include "schema/ora_number_text.h"

namespace {

// Oracle takes at most 1000 expressions in a select list; each column takes two.
constexpr int kProfileColumnsPerQuery = 400;

}  // namespace

void CountAndProfile(TDbQuery& query, TTableRec& table, const QList<bool>& profiled) {
    QList<int> columns;
    for (int i = 0; i < profiled.size() && i < table.fields.size(); ++i) {
        if (profiled[i]) {
            columns.append(i);
        }
    }
    const QString from = QStringLiteral(" FROM ") + OraSourceName(table.name);
    int next = 0;
    bool counted = false;
    do {
        const int first = next;
        const int last = std::min<int>(columns.size(), first + kProfileColumnsPerQuery);
        next = last;
        // The largest value goes through TO_CHAR, as it may have more digits than a double
        // holds; the fraction test is the sign of what is left after the integer part.
        QString sql = QStringLiteral("SELECT ") +
                      (counted ? QStringLiteral("NULL") : QStringLiteral("COUNT(*)"));
        for (int k = first; k < last; ++k) {
            const QString name = OraSourceName(table.fields[columns[k]].name);
            sql += QStringLiteral(",MAX(SIGN(ABS(%1)-TRUNC(ABS(%1)))),TO_CHAR(MAX(ABS(%1)))")
                       .arg(name);
        }
        bool first_row = true;
        ForEachRow(query, sql + from, [&] {
            if (!first_row) {
                return;
            }
            first_row = false;
            if (!counted) {
                table.rows = query.Field(0).AsInteger();
            }
            for (int k = first; k < last; ++k) {
                TFieldRec& field = table.fields[columns[k]];
                const QString what = table.name + u'.' + field.name;
                const TDbField& fraction = query.Field(1 + 2 * (k - first));
                const TDbField& max_abs = query.Field(2 + 2 * (k - first));
                field.profile.read = true;
                field.profile.has_fraction =
                    !fraction.IsNull() &&
                    OraNumberText(fraction.AsString(), what) != QLatin1String("0");
                field.profile.max_abs =
                    max_abs.IsNull() ? QString() : OraNumberText(max_abs.AsString(), what);
            }
        });
        counted = true;
    } while (next < columns.size());
}
