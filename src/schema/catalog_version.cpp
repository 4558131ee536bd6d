// The version banner of an Oracle server, from whichever view the connected user may read.

#include "schema/catalog_query.h"
#include "schema/catalog_reader.h"

namespace {

// The first row's text of `sql`, or an empty text when there is no row; the view's refusal
// (a database error) comes out.
QString FirstText(TDbQuery& query, const QString& sql, QString (*row_text)(const TDbQuery&)) {
    QString text;
    bool first = true;
    ForEachRow(query, sql, [&] {
        if (first) {
            text = row_text(query);
            first = false;
        }
    });
    return text;
}

}  // namespace

QString ReadOraVersion(TDbQuery& query, QString& note) {
    note.clear();
    // The explicit column: BANNER is there in every release, BANNER_FULL only from 18c on.
    try {
        return FirstText(query,
                         QStringLiteral("SELECT banner FROM v$version WHERE LOWER(banner) LIKE "
                                        "'oracle%'"),
                         [](const TDbQuery& q) { return q.Field(0).AsString(); });
    } catch (const TDbError& refused) {
        // The same banner from the product's row: "Oracle Database 19c Enterprise Edition
        // Release 19.0.0.0.0 - Production". Products carry a trailing blank.
        try {
            const QString banner = FirstText(
                query,
                QStringLiteral("SELECT product,version,status FROM product_component_version "
                               "WHERE LOWER(product) LIKE 'oracle%'"),
                [](const TDbQuery& q) {
                    return Text(q, "product").trimmed() + QStringLiteral(" Release ") +
                           Text(q, "version").trimmed() + QStringLiteral(" - ") +
                           Text(q, "status").trimmed();
                });
            if (!banner.isEmpty()) {
                note = QStringLiteral(
                    "Версия сервера прочитана из PRODUCT_COMPONENT_VERSION: нет доступа к "
                    "V$VERSION.");
                return banner;
            }
        } catch (const TDbError&) {
        }
        try {
            const QString version =
                FirstText(query, QStringLiteral("SELECT version FROM v$instance"),
                          [](const TDbQuery& q) { return Text(q, "version").trimmed(); });
            if (!version.isEmpty()) {
                note = QStringLiteral(
                    "Версия сервера прочитана из V$INSTANCE: нет доступа к V$VERSION и "
                    "PRODUCT_COMPONENT_VERSION.");
                return QStringLiteral("Oracle Database ") + version;
            }
        } catch (const TDbError&) {
        }
        throw refused;
    }
}
