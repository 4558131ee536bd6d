#include "ddl/target_names.h"

#include <QCryptographicHash>

#include "util/text_utils.h"

namespace {

qsizetype Utf8Size(const QString& text) {
    return text.toUtf8().size();
}

// Tables whose triggers keep the older naming, TRIGGER_ before the table name.
bool HasLegacyTriggerName(const QString& table_name) {
    const QString upper = UpperLatin(table_name);
    return upper == "KOLVANS" || upper == "TERP_USER" || upper == "ROTA_117_03" ||
           upper == "NODE_ALERTS";
}

}  // namespace

QString OraShortName(const QString& head, const QString& base, const QString& tail) {
    const QString whole = head + base + tail;
    if (Utf8Size(whole) <= kOraNameBytes) {
        return whole;
    }
    const QString hash =
        QString::fromLatin1(
            QCryptographicHash::hash(base.toUtf8(), QCryptographicHash::Sha1).toHex().left(6))
            .toUpper();
    const QString suffix = "_" + hash + tail;
    const qsizetype room = kOraNameBytes - Utf8Size(head) - Utf8Size(suffix);
    QString prefix;
    for (qsizetype i = 0; i < base.size(); ++i) {
        // A surrogate pair is taken whole or not at all.
        const qsizetype width = base[i].isHighSurrogate() && i + 1 < base.size() ? 2 : 1;
        const QString next = base.mid(i, width);
        if (Utf8Size(prefix + next) > room) {
            break;
        }
        prefix += next;
        i += width - 1;
    }
    return head + prefix + suffix;
}

QString OraSequenceName(const QString& table_name) {
    return OraShortName(QStringLiteral("SEQ_"), table_name);
}

QString OraTriggerName(const QString& table_name) {
    return HasLegacyTriggerName(table_name)
               ? OraShortName(QStringLiteral("TRIGGER_"), table_name)
               : OraShortName(QString(), table_name, QStringLiteral("_TRIGGER"));
}

const TFieldRec* SequenceField(const TTableRec& table) {
    for (const TFieldRec& field : table.fields) {
        if (field.identity && !field.is_virtual) {
            return &field;
        }
    }
    for (const TFieldRec& field : table.fields) {
        if (field.autoinc && !field.is_virtual && field.data_type == QLatin1String("NUMBER")) {
            return &field;
        }
    }
    return nullptr;
}
