#include "report/migration_report.h"

#include <QFileInfo>

#include "util/secrets.h"
#include "util/text_file.h"
#include "util/text_utils.h"

namespace {

QString Esc(const QString& text) {
    return text.toHtmlEscaped();
}

// Texts that may hold a password: connection strings, statements, driver messages.
QString Safe(const QString& text) {
    return Esc(MaskSecrets(text));
}

QString Cell(const QString& html, const QString& cls = QString()) {
    return (cls.isEmpty() ? QStringLiteral("<td>") : "<td class=\"" + cls + "\">") + html +
           QStringLiteral("</td>");
}

QString Row(const QStringList& cells, const QString& cls = QString()) {
    return (cls.isEmpty() ? QStringLiteral("<tr>") : "<tr class=\"" + cls + "\">") +
           cells.join(QString()) + QStringLiteral("</tr>\n");
}

QString Head(const QStringList& captions) {
    QString html = QStringLiteral("<tr>");
    for (const QString& caption : captions) {
        html += "<th>" + Esc(caption) + "</th>";
    }
    return html + QStringLiteral("</tr>\n");
}

QString Duration(qint64 msecs) {
    if (msecs < 0) {
        return QString();
    }
    const QString text = FormatDuration(uint32_t((msecs + 500) / 1000));
    return text.isEmpty() ? QStringLiteral("00:00:00") : text;
}

QString Rate(qint64 rows, qint64 msecs) {
    if (msecs <= 0) {
        return QString();
    }
    return QString::number(qint64(double(rows) * 1000.0 / double(msecs)));
}

QString CheckText(const TReportTable& table) {
    if (!table.checked) {
        return QStringLiteral("не проверялась");
    }
    return table.check.JournalLine();
}

QString SeverityClass(TSeverity severity) {
    switch (severity) {
        case TSeverity::Error:
            return QStringLiteral("bad");
        case TSeverity::Warning:
            return QStringLiteral("warn");
        case TSeverity::Info:
            break;
    }
    return QString();
}

QString ListOrDash(const QStringList& items) {
    return items.isEmpty() ? QStringLiteral("—") : Esc(items.join(QStringLiteral("; ")));
}

QString ServersSection(const TReportData& data) {
    QString html = QStringLiteral("<h2>Серверы</h2>\n<table>\n");
    html += Head({QStringLiteral("Сторона"), QStringLiteral("Сервер"), QStringLiteral("Версия"),
                  QStringLiteral("Подключение")});
    const auto server = [](const QString& side, const TReportServer& s) {
        return Row({Cell(Esc(side)), Cell(Esc(s.kind)), Cell(Esc(s.version)),
                    Cell("<code>" + Safe(s.connection) + "</code>")});
    };
    html += server(QStringLiteral("Источник"), data.source);
    html += server(QStringLiteral("Целевая БД"), data.target);
    html += QStringLiteral("</table>\n");
    if (!data.target_name.isEmpty()) {
        html += "<p>Новая база данных или пользователь: <b>" + Esc(data.target_name) + "</b></p>\n";
    }
    return html;
}

QString SettingsSection(const TReportData& data) {
    QString html = QStringLiteral("<h2>Настройки</h2>\n<table>\n");
    for (const auto& [caption, value] : data.settings) {
        html += Row({Cell(Esc(caption)), Cell(Safe(value))});
    }
    return html + QStringLiteral("</table>\n");
}

QString TablesSection(const TReportData& data) {
    QString html = QStringLiteral("<h2>Таблицы</h2>\n<table>\n");
    html += Head({QStringLiteral("Таблица"), QStringLiteral("Строк при чтении структуры"),
                  QStringLiteral("Скопировано"), QStringLiteral("Проверка"),
                  QStringLiteral("Время"), QStringLiteral("Строк/с")});
    qint64 counted = 0;
    qint64 copied = 0;
    qint64 msecs = 0;
    for (const TReportTable& table : data.tables) {
        counted += table.rows_counted;
        copied += table.rows_copied;
        msecs += std::max<qint64>(0, table.msecs);
        QString name = Esc(table.name);
        if (!table.file_copy.isEmpty()) {
            name += "<br><small>из файла " + Esc(table.file_copy) + "</small>";
        }
        const bool bad = table.checked && !table.check.Ok();
        html += Row({Cell(name), Cell(QString::number(table.rows_counted), QStringLiteral("n")),
                     Cell(QString::number(table.rows_copied), QStringLiteral("n")),
                     Cell(Esc(CheckText(table))), Cell(Duration(table.msecs), QStringLiteral("n")),
                     Cell(Rate(table.rows_copied, table.msecs), QStringLiteral("n"))},
                    bad ? QStringLiteral("bad") : QString());
    }
    html += Row({Cell(QStringLiteral("<b>Всего: %1</b>").arg(data.tables.size())),
                 Cell(QString::number(counted), QStringLiteral("n")),
                 Cell(QString::number(copied), QStringLiteral("n")), Cell(QString()),
                 Cell(Duration(msecs), QStringLiteral("n")),
                 Cell(Rate(copied, msecs), QStringLiteral("n"))},
                QStringLiteral("total"));
    return html + QStringLiteral("</table>\n");
}

QString StructureSection(const TReportData& data) {
    int keys = 0;
    int uniques = 0;
    int foreign = 0;
    int indexes = 0;
    int checks = 0;
    QString rows;
    for (const TTableRec& table : data.structure) {
        QStringList unique;
        for (const TUniqueKey& uk : table.unique_key) {
            unique << uk.name + " " + uk.column_names;
        }
        QStringList references;
        for (const TForeignKey& fk : table.f_key) {
            references << fk.name + " " + fk.fields + " → " + fk.pk_name;
        }
        QStringList index_list;
        for (const TIndexRec& index : table.indexes) {
            index_list << (index.unique ? QStringLiteral("UNIQUE ") : QString()) + index.name +
                              " " + index.column_names;
        }
        QStringList check_list;
        for (const TCheckRec& check : table.checks) {
            check_list << check.name + ": " + check.condition;
        }
        const QString pk = table.primary_key.column_names.isEmpty()
                               ? QString()
                               : table.primary_key.name + " " + table.primary_key.column_names;
        keys += pk.isEmpty() ? 0 : 1;
        uniques += int(unique.size());
        foreign += int(references.size());
        indexes += int(index_list.size());
        checks += int(check_list.size());
        rows += Row({Cell(Esc(table.name)),
                     Cell(QString::number(table.fields.size()), QStringLiteral("n")),
                     Cell(pk.isEmpty() ? QStringLiteral("—") : Esc(pk)), Cell(ListOrDash(unique)),
                     Cell(ListOrDash(references)), Cell(ListOrDash(index_list)),
                     Cell(ListOrDash(check_list))});
    }
    QString html = QStringLiteral("<h2>Созданная структура</h2>\n");
    html += QStringLiteral(
                "<p>Таблиц: %1, первичных ключей: %2, уникальных ключей: %3, внешних ключей: "
                "%4, индексов: %5, ограничений CHECK: %6, последовательностей: %7.</p>\n")
                .arg(data.structure.size())
                .arg(keys)
                .arg(uniques)
                .arg(foreign)
                .arg(indexes)
                .arg(checks)
                .arg(data.sequences.size());
    html += QStringLiteral("<table>\n");
    html += Head({QStringLiteral("Таблица"), QStringLiteral("Столбцов"),
                  QStringLiteral("Первичный ключ"), QStringLiteral("Уникальные ключи"),
                  QStringLiteral("Внешние ключи"), QStringLiteral("Индексы"),
                  QStringLiteral("Ограничения CHECK")});
    html += rows + QStringLiteral("</table>\n");
    if (!data.sequences.isEmpty()) {
        html += QStringLiteral("<table>\n");
        html += Head({QStringLiteral("Последовательность"), QStringLiteral("Следующее значение"),
                      QStringLiteral("Шаг"), QStringLiteral("Наименьшее"),
                      QStringLiteral("Наибольшее")});
        for (const TSequenceRec& seq : data.sequences) {
            html += Row({Cell(Esc(seq.name)), Cell(Esc(seq.last_number), QStringLiteral("n")),
                         Cell(Esc(seq.increment_by), QStringLiteral("n")),
                         Cell(Esc(seq.min_value), QStringLiteral("n")),
                         Cell(Esc(seq.max_value), QStringLiteral("n"))});
        }
        html += QStringLiteral("</table>\n");
    }
    return html;
}

QString FindingsSection(const TReportData& data) {
    QString html = QStringLiteral("<h2>Проверка перед копированием</h2>\n");
    if (data.findings.isEmpty()) {
        return html + QStringLiteral("<p>Проверка не выполнялась или ничего не нашла.</p>\n");
    }
    html += QStringLiteral("<p>Ошибок: %1, предупреждений: %2, сведений: %3.</p>\n")
                .arg(CountFindings(data.findings, TSeverity::Error))
                .arg(CountFindings(data.findings, TSeverity::Warning))
                .arg(CountFindings(data.findings, TSeverity::Info));
    html += QStringLiteral("<table>\n");
    html += Head({QStringLiteral("Важность"), QStringLiteral("Таблица"), QStringLiteral("Столбец"),
                  QStringLiteral("Описание")});
    for (const TFinding& finding : data.findings) {
        html += Row({Cell(Esc(SeverityText(finding.severity))), Cell(Esc(finding.table)),
                     Cell(Esc(finding.column)), Cell(Safe(finding.text))},
                    SeverityClass(finding.severity));
    }
    return html + QStringLiteral("</table>\n");
}

QString ErrorsSection(const TReportData& data) {
    QString html = QStringLiteral("<h2>Ошибки</h2>\n");
    QList<TReportError> errors = data.errors;
    for (const TReportTable& table : data.tables) {
        if (table.checked && table.check.status == TCheckStatus::Failed) {
            errors.append(
                {QStringLiteral("Проверка таблицы %1: %2").arg(table.name, table.check.error),
                 {table.check.sql}});
        }
    }
    if (errors.isEmpty()) {
        return html + QStringLiteral("<p>Ошибок нет.</p>\n");
    }
    for (const TReportError& error : errors) {
        html += "<div class=\"error\"><pre class=\"message\">" + Safe(error.message) + "</pre>\n";
        for (const QString& sql : error.sql) {
            if (!sql.trimmed().isEmpty()) {
                html += "<pre>" + Safe(sql) + "</pre>\n";
            }
        }
        html += QStringLiteral("</div>\n");
    }
    return html;
}

const char* const kStyle =
    "body{font-family:sans-serif;font-size:14px;margin:24px;color:#222}"
    "h1{font-size:22px}h2{font-size:17px;margin-top:28px;border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:8px 0}"
    "th,td{border:1px solid #ccc;padding:3px 8px;vertical-align:top;text-align:left}"
    "th{background:#f0f0f0}td.n{text-align:right;white-space:nowrap}"
    "tr.bad td{color:#b00000;background:#fff0f0}tr.warn td{background:#fffbe6}"
    "tr.total td{font-weight:bold;background:#f7f7f7}"
    ".verdict{padding:8px 12px;font-size:16px;font-weight:bold;display:inline-block}"
    ".verdict.ok{background:#e8f6e8;color:#156015}.verdict.bad{background:#fde8e8;color:#b00000}"
    "pre{background:#f7f7f7;padding:6px;white-space:pre-wrap;word-break:break-all}"
    "pre.message{color:#b00000}code{word-break:break-all}";

}  // namespace

QString ReportPathBeside(const QString& file_log) {
    const qsizetype slash = std::max(file_log.lastIndexOf(u'/'), file_log.lastIndexOf(u'\\'));
    return file_log.left(slash + 1) + kReportFileName;
}

bool ReportSucceeded(const TReportData& data) {
    if (!data.copy_finished || !data.errors.isEmpty()) {
        return false;
    }
    for (const TReportTable& table : data.tables) {
        if (table.checked && !table.check.Ok()) {
            return false;
        }
    }
    return true;
}

QString ReportVerdict(const TReportData& data) {
    if (!data.errors.isEmpty()) {
        return QStringLiteral("Миграция прервана ошибкой");
    }
    if (!data.copy_finished) {
        return QStringLiteral("Копирование данных не завершено");
    }
    int mismatched = 0;
    int checked = 0;
    for (const TReportTable& table : data.tables) {
        checked += table.checked ? 1 : 0;
        mismatched += table.checked && !table.check.Ok() ? 1 : 0;
    }
    if (mismatched > 0) {
        return QStringLiteral(
                   "Миграция завершена, но данные не совпадают: таблиц с "
                   "расхождениями %1 из %2")
            .arg(mismatched)
            .arg(data.tables.size());
    }
    if (checked == 0) {
        return QStringLiteral(
            "Миграция завершена успешно (данные после копирования не "
            "проверялись)");
    }
    return QStringLiteral("Миграция завершена успешно: проверено таблиц %1 из %2")
        .arg(checked)
        .arg(data.tables.size());
}

QString ReportHtml(const TReportData& data) {
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Отчет о миграции</title>\n<style>");
    html += QString::fromLatin1(kStyle);
    html += QStringLiteral("</style>\n</head>\n<body>\n<h1>Отчет о миграции</h1>\n");
    html += "<div class=\"verdict " +
            (ReportSucceeded(data) ? QStringLiteral("ok") : QStringLiteral("bad")) + "\">" +
            Esc(ReportVerdict(data)) + "</div>\n";
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    html += "<p>Начало: " + Esc(data.started.toString(format)) +
            "<br>Окончание: " + Esc(data.finished.toString(format));
    if (data.started.isValid() && data.finished.isValid()) {
        html += "<br>Длительность: " + Duration(data.started.msecsTo(data.finished));
    }
    html += QStringLiteral("</p>\n");
    html += ServersSection(data);
    html += SettingsSection(data);
    html += TablesSection(data);
    html += StructureSection(data);
    html += FindingsSection(data);
    html += ErrorsSection(data);
    return html + QStringLiteral("</body>\n</html>\n");
}

void WriteReport(const QString& path, const TReportData& data) {
    WriteFileBytes(path, ReportHtml(data).toUtf8(), TFileAccess::OwnerOnly);
}
