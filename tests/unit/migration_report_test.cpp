// The migration report, read back as text.

#include "report/migration_report.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

std::string Str(const QString& text) {
    return text.toStdString();
}

TTableCheck Checked(const QString& table, qint64 source, qint64 target, TCheckStatus status) {
    TTableCheck check;
    check.table = table;
    check.source_rows = source;
    check.target_rows = target;
    check.status = status;
    return check;
}

TReportData Sample() {
    TReportData data;
    data.started = QDateTime(QDate(2024, 5, 1), QTime(10, 0, 0));
    data.finished = QDateTime(QDate(2024, 5, 1), QTime(10, 2, 5));
    data.copy_finished = true;
    data.source = {"Oracle", "Oracle Database 19c",
                   "Provider=OraOLEDB.Oracle.1;User ID=hr;Password=src secret;Data Source=X"};
    data.target = {"PostgreSQL", "PostgreSQL 15.6",
                   "Provider=MSDASQL.1;Extended Properties=\"DSN=PG;UID=postgres;PWD=tgt "
                   "secret\""};
    data.target_name = "newdb";
    data.settings = {{"Порция записи при копировании данных:", "1000"},
                     {"Проверять после копирования", "да"}};
    TReportTable orders{
        "ORDERS", 5, 5, 2000, {}, true, Checked("ORDERS", 5, 5, TCheckStatus::Match)};
    TReportTable lines{"ORDER_LINES<x>",
                       7,
                       7,
                       0,
                       "/data/lines.txt",
                       true,
                       Checked("ORDER_LINES<x>", 7, 6, TCheckStatus::CountMismatch)};
    TReportTable empty{"EMPTY_T", 0, 0, -1, {}, false, {}};
    data.tables = {orders, lines, empty};
    TTableRec table;
    table.name = "ORDERS";
    table.fields.resize(3);
    table.primary_key = {"PK_ORD", "(ORDER_ID)"};
    table.f_key = {{"FK_ORD_CUST", "(CUSTOMER_ID)", "CUSTOMERS(ID)"}};
    table.indexes = {{"IX_ORD_DATE", false, "(ORDER_DATE)", {}}};
    data.structure = {table};
    data.sequences = {{"S_ORD", "1", "999999", "1", "1005", "20", false}};
    data.findings = {
        {TSeverity::Error, "SHAPES", "SHAPE", "тип SDO_GEOMETRY не сопоставлен"},
        {TSeverity::Info, "ORDERS", "", "строк: 5; копируется частями по ключу PK_ORD"}};
    return data;
}

}  // namespace

TEST(MigrationReport, HoldsEveryTableWithItsCountsAndNoPassword) {
    const QString html = ReportHtml(Sample());
    EXPECT_TRUE(html.startsWith("<!DOCTYPE html>"));
    // Self-contained: nothing is fetched.
    for (const char* outside : {"http:", "https:", "<link", "<script", "src="}) {
        EXPECT_FALSE(html.contains(QLatin1String(outside))) << outside;
    }
    EXPECT_FALSE(html.contains("secret"));
    EXPECT_TRUE(html.contains("Password=***"));
    EXPECT_TRUE(html.contains("PWD=***"));
    EXPECT_TRUE(html.contains("Oracle Database 19c"));
    EXPECT_TRUE(html.contains("PostgreSQL 15.6"));
    EXPECT_TRUE(html.contains("<b>newdb</b>"));
    EXPECT_TRUE(html.contains("<td>Порция записи при копировании данных:</td><td>1000</td>"));

    // Per table: counted, copied, the check, time, rows per second; names escaped; a mismatch
    // marked.
    EXPECT_TRUE(
        html.contains("<tr><td>ORDERS</td><td class=\"n\">5</td><td class=\"n\">5</td>"
                      "<td>проверено: 5 = 5</td><td class=\"n\">00:00:02</td><td "
                      "class=\"n\">2</td></tr>"))
        << Str(html);
    EXPECT_TRUE(
        html.contains("<tr class=\"bad\"><td>ORDER_LINES&lt;x&gt;<br><small>из файла "
                      "/data/lines.txt</small></td><td class=\"n\">7</td><td "
                      "class=\"n\">7</td><td>расхождение: строк в источнике 7, в целевой "
                      "БД 6</td>"))
        << Str(html);
    EXPECT_TRUE(
        html.contains("<tr><td>EMPTY_T</td><td class=\"n\">0</td><td class=\"n\">0</td>"
                      "<td>не проверялась</td>"));
    EXPECT_TRUE(
        html.contains("<b>Всего: 3</b></td><td class=\"n\">12</td><td class=\"n\">12</td>"));

    EXPECT_TRUE(
        html.contains("Таблиц: 1, первичных ключей: 1, уникальных ключей: 0, внешних "
                      "ключей: 1, индексов: 1, ограничений CHECK: 0, последовательностей: "
                      "1."));
    EXPECT_TRUE(html.contains("FK_ORD_CUST (CUSTOMER_ID) → CUSTOMERS(ID)"));
    EXPECT_TRUE(html.contains("<td>S_ORD</td><td class=\"n\">1005</td>"));
    EXPECT_TRUE(html.contains("Ошибок: 1, предупреждений: 0, сведений: 1."));
    EXPECT_TRUE(html.contains("<tr class=\"bad\"><td>ошибка</td><td>SHAPES</td><td>SHAPE</td>"));
    EXPECT_TRUE(html.contains("<p>Ошибок нет.</p>"));
    // A mismatch never reads as success.
    EXPECT_TRUE(
        html.contains("<div class=\"verdict bad\">Миграция завершена, но данные не "
                      "совпадают: таблиц с расхождениями 1 из 3</div>"));
}

TEST(MigrationReport, ErrorsWithTheirStatementsAndTheVerdict) {
    TReportData data = Sample();
    data.tables[1].check.status = TCheckStatus::Match;
    data.tables[1].check.target_rows = 7;
    EXPECT_TRUE(ReportSucceeded(data));
    EXPECT_EQ(Str(ReportVerdict(data)), "Миграция завершена успешно: проверено таблиц 2 из 3");

    data.copy_finished = false;
    data.errors = {{"ERROR: value too long for type character varying(10)",
                    {"SELECT * FROM ORDERS", "INSERT INTO orders VALUES ('a<b', 1)",
                     "CREATE ROLE n LOGIN PASSWORD 'p4ss'"}}};
    EXPECT_FALSE(ReportSucceeded(data));
    const QString html = ReportHtml(data);
    EXPECT_TRUE(html.contains("<div class=\"verdict bad\">Миграция прервана ошибкой</div>"));
    EXPECT_TRUE(
        html.contains("<pre class=\"message\">ERROR: value too long for type character "
                      "varying(10)</pre>"));
    EXPECT_TRUE(html.contains("<pre>INSERT INTO orders VALUES ('a&lt;b', 1)</pre>")) << Str(html);
    EXPECT_TRUE(html.contains("<pre>CREATE ROLE n LOGIN PASSWORD '***'</pre>")) << Str(html);
    EXPECT_FALSE(html.contains("p4ss"));

    // A check that could not run counts as an error of its own.
    data.errors.clear();
    data.tables[0].check.status = TCheckStatus::Failed;
    data.tables[0].check.error = "нет связи";
    data.tables[0].check.sql = "SELECT COUNT(*) FROM ORDERS";
    const QString failed = ReportHtml(data);
    EXPECT_TRUE(
        failed.contains("Проверка таблицы ORDERS: нет связи</pre>\n<pre>SELECT COUNT(*) "
                        "FROM ORDERS</pre>"))
        << Str(failed);
}

TEST(MigrationReport, WrittenBesideTheLogForTheOwnerOnly) {
    EXPECT_EQ(Str(ReportPathBeside("/home/u/Documents/Skerrow.log")),
              "/home/u/Documents/Skerrow-report.html");
    EXPECT_EQ(Str(ReportPathBeside("C:\\Users\\u\\Skerrow.log")),
              "C:\\Users\\u\\Skerrow-report.html");
    EXPECT_EQ(Str(ReportPathBeside("Skerrow.log")), "Skerrow-report.html");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = ReportPathBeside(dir.filePath("Skerrow.log"));
    WriteReport(path, Sample());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), ReportHtml(Sample()));
    EXPECT_EQ(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                    QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
}
