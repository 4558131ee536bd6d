#include "verify/preflight.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>

#include "db/odbc.h"
#include "db/sql_text.h"
#include "ddl/target_names.h"
#include "ddl/type_mapping.h"
#include "transfer/copy_statements.h"
#include "util/error.h"
#include "util/text_utils.h"
#include "verify/canonical_value.h"

namespace {

// PostgreSQL keeps names of at most 63 bytes (NAMEDATALEN - 1) and cuts longer ones.
constexpr int kPgNameBytes = 63;

// Oracle's own types, which the type mapping translates for PostgreSQL and an Oracle target
// has as they are. Anything else is an object, collection or user type, or one (like BFILE)
// whose values live outside the database.
bool KnownType(const QString& data_type) {
    static const QSet<QString> plain = {
        "NUMBER",  "FLOAT",    "BINARY_FLOAT", "BINARY_DOUBLE", "VARCHAR2", "NVARCHAR2",
        "CHAR",    "NCHAR",    "CLOB",         "NCLOB",         "LONG",     "BLOB",
        "RAW",     "LONG RAW", "DATE",         "ROWID",         "UROWID",   "XMLTYPE",
        "INTEGER", "VARCHAR",  "JSON",         "BOOLEAN"};
    static const QRegularExpression pattern(QStringLiteral(
        "^(TIMESTAMP(\\(\\d+\\))?( WITH (LOCAL )?TIME ZONE)?|INTERVAL YEAR(\\(\\d+\\))? TO "
        "MONTH|INTERVAL DAY(\\(\\d+\\))? TO SECOND(\\(\\d+\\))?)$"));
    const QString type = data_type.trimmed();
    return plain.contains(type) || pattern.match(type).hasMatch();
}

// The stored form of a name as PostgreSQL keeps it: cut to whole characters within 63 bytes.
QString PgKeptName(const QString& stored) {
    QString kept;
    int bytes = 0;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const qsizetype width = stored[i].isHighSurrogate() && i + 1 < stored.size() ? 2 : 1;
        const int size = int(stored.mid(i, width).toUtf8().size());
        if (bytes + size > kPgNameBytes) {
            break;
        }
        bytes += size;
        kept += stored.mid(i, width);
        i += width - 1;
    }
    return kept;
}

struct TNameCheck {
    const TSqlNames& names;
    int db_to;
};

void CheckName(const TNameCheck& check, const TTableRec& table, const QString& column,
               const QString& name, QList<TFinding>& out) {
    const QString what = column.isEmpty() ? QStringLiteral("таблицы") : QStringLiteral("столбца");
    if (check.names.NeedsQuotes(name)) {
        out.append({TSeverity::Warning, table.name, column,
                    QStringLiteral("имя %1 в целевой БД пишется в кавычках: %2; в запросах его "
                                   "нужно писать так же, с учетом регистра")
                        .arg(what, check.names.Name(name))});
    }
    if (check.db_to == kDbPostgres) {
        const QString stored = check.names.Stored(name);
        if (stored.toUtf8().size() > kPgNameBytes) {
            out.append({TSeverity::Warning, table.name, column,
                        QStringLiteral("имя %1 длиннее 63 байт: PostgreSQL сократит его до «%2»")
                            .arg(what, PgKeptName(stored))});
        }
    }
}

// A note of the script ("-- T.C: text") without the part that names the column.
QString NoteText(const QString& note, const TTableRec& table, const TFieldRec& field) {
    const QString head = "-- " + table.name + "." + field.TargetName() + ": ";
    return note.startsWith(head) ? note.mid(head.size()) : note;
}

void CheckTable(const TTableRec& table, const TPreflightOptions& options, const TSqlNames& names,
                QList<TFinding>& out) {
    const TNameCheck name_check{names, options.db_to};

    // The copy's own plan for the table, so that what is said here is what the copy does.
    const TReadPlan plan = PlanReading(table, options.portion_read);
    if (plan.mode == TReadMode::KeyPortions) {
        out.append({TSeverity::Info, table.name, QString(),
                    QStringLiteral("строк: %1; копируется частями по ключу %2")
                        .arg(table.rows)
                        .arg(plan.key.constraint)});
    } else {
        out.append({TSeverity::Warning, table.name, QString(),
                    QStringLiteral("строк: %1; нет ключа для чтения частями (%2): таблица "
                                   "копируется за один проход, а после паузы или сбоя ее "
                                   "копирование начинается заново")
                        .arg(table.rows)
                        .arg(plan.why_no_key)});
    }
    CheckName(name_check, table, QString(), table.name, out);

    TColumnContext context;
    context.db_from = kDbOracle;
    context.db_to = options.db_to;
    context.int_type_index = options.int_type_index;
    context.names = &names;
    context.table_name = table.name;
    context.fields = &table.fields;
    const TFieldRec* sequence_field = SequenceField(table);
    QHash<QString, QString> kept_names;  // PostgreSQL: kept name -> column
    for (const TFieldRec& field : table.fields) {
        CheckName(name_check, table, field.name, field.TargetName(), out);
        if (options.db_to == kDbPostgres) {
            const QString kept = PgKeptName(names.Stored(field.TargetName()));
            if (const auto it = kept_names.constFind(kept); it != kept_names.constEnd()) {
                out.append({TSeverity::Error, table.name, field.name,
                            QStringLiteral("в целевой БД имя совпадает с именем столбца %1 (%2): "
                                           "таблица не будет создана")
                                .arg(it.value(), kept)});
            } else {
                kept_names.insert(kept, field.name);
            }
        }
        if (!KnownType(field.data_type)) {
            out.append(
                {TSeverity::Error, table.name, field.name,
                 options.db_to == kDbPostgres
                     ? QStringLiteral("тип %1 не сопоставлен ни одному типу PostgreSQL: столбец "
                                      "создается с тем же названием типа, которого сервер не "
                                      "знает, а значения копируются как текст")
                           .arg(field.data_type)
                     : QStringLiteral("тип %1 не встроенный тип Oracle: в новой схеме такого типа "
                                      "нет, а значения копируются как текст")
                           .arg(field.data_type)});
            continue;
        }
        static const QRegularExpression fine_time(QStringLiteral("^TIMESTAMP\\(([7-9])\\)"));
        if (const auto m = fine_time.match(field.data_type);
            m.hasMatch() && options.db_to == kDbPostgres) {
            out.append({TSeverity::Warning, table.name, field.name,
                        QStringLiteral("%1 хранит доли секунды до %2 знаков, а PostgreSQL до "
                                       "шести: более мелкие доли округляются")
                            .arg(field.data_type, m.captured(1))});
        }
        context.sequence_column = &field == sequence_field;
        for (const QString& note : ColumnDefinition(field, context).notes) {
            out.append({TSeverity::Warning, table.name, field.name, NoteText(note, table, field)});
        }
    }
}

// --- The aggregate query of a table ------------------------------------------------------------

enum class TProbeKind { Number, Length, Dates, Lobs };

struct TProbe {
    const TFieldRec* field;
    TProbeKind kind;
    QString target_type;
    int limit = -1;      // Length
    bool bytes = false;  // Length
};

bool IsLob(const QString& type) {
    return type == QLatin1String("BLOB") || type == QLatin1String("CLOB") ||
           type == QLatin1String("NCLOB");
}

// The decimal digits an integer type always holds: a declared precision up to this fits.
int SafeDigits(const QString& target_type, int db_to) {
    if (db_to == kDbPostgres) {
        return target_type == QLatin1String("INTEGER") ? 9 : 18;
    }
    return 37;
}

QList<TProbe> PlanProbes(const TTableRec& table, const TPreflightOptions& options,
                         const TSqlNames& names) {
    TColumnContext context;
    context.db_from = kDbOracle;
    context.db_to = options.db_to;
    context.int_type_index = options.int_type_index;
    context.names = &names;
    context.fields = &table.fields;
    QList<TProbe> probes;
    for (const TFieldRec& field : table.fields) {
        if (field.is_virtual || !KnownType(field.data_type)) {
            continue;
        }
        const QString type = field.data_type;
        const QString target = TargetType(field, context);
        if (type == QLatin1String("NUMBER") && field.scale <= 0) {
            const bool integer_target =
                options.db_to == kDbPostgres
                    ? target == QLatin1String("INTEGER") || target == QLatin1String("BIGINT")
                    : target.startsWith(QLatin1String("NUMBER(")) && !target.contains(u',');
            // Probed also when the structure read profiled it: the type was chosen from the data
            // as they stood then, and rows added since may not fit it.
            if (integer_target &&
                (field.size > SafeDigits(target, options.db_to) || field.size >= 38)) {
                probes.append({&field, TProbeKind::Number, target});
            }
        } else if (CheckKindOf(field) == TCheckKind::Text ||
                   CheckKindOf(field) == TCheckKind::Char) {
            bool bytes = false;
            const int limit = TargetLengthLimit(target, options.db_to, &bytes);
            if (limit >= 0 && !IsLob(type) && type != QLatin1String("LONG")) {
                probes.append({&field, TProbeKind::Length, target, limit, bytes});
            }
        }
        if (CheckKindOf(field) == TCheckKind::DateTime) {
            probes.append({&field, TProbeKind::Dates, target});
        }
        if (IsLob(type)) {
            probes.append({&field, TProbeKind::Lobs, target});
        }
    }
    return probes;
}

QString ProbeSql(const TTableRec& table, const QList<TProbe>& probes) {
    QStringList terms;
    for (const TProbe& probe : probes) {
        const QString c = OraSourceName(probe.field->name);
        switch (probe.kind) {
            case TProbeKind::Number:
                terms << "MIN(" + c + ")"
                      << "MAX(" + c + ")"
                      << "MAX(CASE WHEN " + c + " <> TRUNC(" + c + ") THEN 1 ELSE 0 END)";
                break;
            case TProbeKind::Length:
                terms << (probe.bytes ? "MAX(LENGTHB(" : "MAX(LENGTH(") + c + "))";
                break;
            case TProbeKind::Dates:
                terms << "MIN(" + c + ")"
                      << "MAX(" + c + ")";
                break;
            case TProbeKind::Lobs:
                terms << "COUNT(" + c + ")"
                      << "SUM(DBMS_LOB.GETLENGTH(" + c + "))"
                      << "MAX(DBMS_LOB.GETLENGTH(" + c + "))";
                break;
        }
    }
    return "SELECT " + terms.join(u',') + " FROM " + OraSourceName(table.name);
}

QString Text(const TDbQuery& query, int& column) {
    const TDbField& field = query.Field(column++);
    return field.IsNull() ? QString() : field.AsString();
}

qint64 Integer(const TDbQuery& query, int& column) {
    const QString text = Text(query, column);
    return text.isEmpty() ? 0 : CanonicalNumber(text).section(u'.', 0, 0).toLongLong();
}

void JudgeRow(const TTableRec& table, const QList<TProbe>& probes, const TDbQuery& query,
              const TPreflightOptions& options, QList<TFinding>& out) {
    const QString chosen =
        options.int_type_index == 0 ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    int column = 0;
    for (const TProbe& probe : probes) {
        const TFieldRec& field = *probe.field;
        switch (probe.kind) {
            case TProbeKind::Number: {
                TNumberFigures figures;
                const QString min = Text(query, column);
                const QString max = Text(query, column);
                figures.min = min.isEmpty() ? QString() : CanonicalNumber(min);
                figures.max = max.isEmpty() ? QString() : CanonicalNumber(max);
                figures.has_fraction = Integer(query, column) > 0;
                out << JudgeNumber(table, field, options.db_to, chosen, probe.target_type, figures);
                break;
            }
            case TProbeKind::Length:
                out << JudgeTextLength(table, field, probe.target_type, probe.limit, probe.bytes,
                                       Integer(query, column));
                break;
            case TProbeKind::Dates: {
                const QString min = Text(query, column);
                const QString max = Text(query, column);
                out << JudgeDates(table, field, options.db_to,
                                  min.isEmpty() ? QString() : CanonicalDateTime(min, false),
                                  max.isEmpty() ? QString() : CanonicalDateTime(max, false));
                break;
            }
            case TProbeKind::Lobs: {
                const qint64 count = Integer(query, column);
                const qint64 total = Integer(query, column);
                out << JudgeLobs(table, field, options.db_to, count, total, Integer(query, column));
                break;
            }
        }
    }
}

// What the profile read with the structure says, for the columns no query asks about.
void JudgeProfiles(const TTableRec& table, const TPreflightOptions& options, const TSqlNames& names,
                   const QSet<const TFieldRec*>& probed, QList<TFinding>& out) {
    TColumnContext context;
    context.db_from = kDbOracle;
    context.db_to = options.db_to;
    context.int_type_index = options.int_type_index;
    context.names = &names;
    context.fields = &table.fields;
    const QString chosen =
        options.int_type_index == 0 ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    for (const TFieldRec& field : table.fields) {
        if (field.data_type != QLatin1String("NUMBER") || field.scale > 0 || !field.profile.read ||
            field.profile.max_abs.isEmpty() || field.is_virtual || probed.contains(&field)) {
            continue;
        }
        TNumberFigures figures;
        figures.max = CanonicalNumber(field.profile.max_abs);
        figures.has_fraction = field.profile.has_fraction;
        out << JudgeNumber(table, field, options.db_to, chosen, TargetType(field, context),
                           figures);
    }
}

}  // namespace

QList<TFinding> CheckModel(const TTables& tables, const TPreflightOptions& options) {
    return RunPreflight(tables, options, nullptr);
}

QList<TFinding> RunPreflight(const TTables& tables, const TPreflightOptions& options,
                             TDbQuery* query_from) {
    TSqlNames names(options.db_to);
    if (!options.pg_reserved_words.isEmpty()) {
        names.SetPgReservedWords(options.pg_reserved_words);
    }
    QList<TFinding> findings;
    for (const TTableRec& table : tables) {
        QList<TFinding> own;
        CheckTable(table, options, names, own);
        const QList<TProbe> probes = PlanProbes(table, options, names);
        const bool probe = query_from != nullptr && table.rows > 0 && !probes.isEmpty();
        QSet<const TFieldRec*> probed;
        for (const TProbe& p : probes) {
            if (probe && p.kind == TProbeKind::Number) {
                probed.insert(p.field);
            }
        }
        JudgeProfiles(table, options, names, probed, own);
        if (probe) {
            const QString sql = ProbeSql(table, probes);
            try {
                query_from->Clear();
                query_from->SetText(sql);
                query_from->Open();
                if (!query_from->Eof()) {
                    JudgeRow(table, probes, *query_from, options, own);
                }
                query_from->Close();
            } catch (const TError& e) {
                query_from->Close();
                own.append({TSeverity::Warning, table.name, QString(),
                            QStringLiteral("данные таблицы не проверены: %1").arg(e.Message())});
            }
        }
        std::stable_sort(own.begin(), own.end(), [](const TFinding& a, const TFinding& b) {
            return int(a.severity) < int(b.severity);
        });
        findings << own;
    }
    return findings;
}
