// The export reads a table as the copy does: a table without a key in one pass, one with a key
// in portions after the last key, so that rows moving inside the source table between portions
// (every UPDATE moves a row on PostgreSQL) are neither lost nor written twice. And a table with
// a column the target computes loads back from its file.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "db/odbc.h"
#include "ddl/type_mapping.h"
#include "export/table_export.h"
#include "testbed.h"
#include "transfer/bulk_load.h"

namespace {

class TableExportReadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("SKERROW_TESTBED")) {
            GTEST_SKIP() << "no test bed";
        }
        connection_.SetConnectionString(testbed::BridgeString());
        connection_.Open();
        other_.SetConnectionString(testbed::BridgeString());
        other_.Open();
        ASSERT_TRUE(dir_.isValid());
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFileDevice::ExeOther |
                                               QFileDevice::ReadOther | QFileDevice::ExeGroup |
                                               QFileDevice::ReadGroup);
        Exec("DROP TABLE IF EXISTS h9r_src, h9r_dst, h9r_virt, h9r_virt_dst");
    }

    void TearDown() override {
        if (connection_.Connected()) {
            Exec("DROP TABLE IF EXISTS h9r_src, h9r_dst, h9r_virt, h9r_virt_dst");
        }
    }

    void Exec(const QString& sql, TDbConnection* on = nullptr) {
        TDbQuery query(on != nullptr ? *on : connection_);
        query.SetText(sql);
        query.ExecSQL();
    }

    qint64 Count(const QString& sql) {
        TDbQuery query(connection_);
        query.SetText(sql);
        query.Open();
        const qint64 value = query.Field(0).AsInteger();
        query.Close();
        return value;
    }

    // Source rows missing from the target and target rows that are not in the source (a row
    // written twice counts once), by their full texts.
    qint64 Lost() {
        return Count(
            "SELECT count(*) FROM (SELECT s::text FROM h9r_src s EXCEPT ALL "
            "SELECT d::text FROM h9r_dst d) x");
    }
    qint64 Doubled() {
        return Count(
            "SELECT count(*) FROM (SELECT d::text FROM h9r_dst d EXCEPT ALL "
            "SELECT s::text FROM h9r_src s) x");
    }

    static TFieldRec Field(const QString& name, const QString& type, bool nullable = true) {
        TFieldRec field;
        field.name = name;
        field.data_type = type;
        field.is_null = nullable;
        return field;
    }

    // Exports h9r_src in small portions while another session rewrites, between units, rows
    // the export has not reached and rows it has passed, without changing their contents;
    // then loads the file into h9r_dst.
    void ExportWhileRowsMove(const TTableRec& table) {
        Exec("CREATE TABLE h9r_src (id integer NOT NULL, grp integer, note text" +
             QString(table.primary_key.column_names.isEmpty() ? "" : ", PRIMARY KEY (id)") + ")");
        Exec("ALTER TABLE h9r_src SET (autovacuum_enabled = off)");
        // Rows that share every value too: each must come out as many times as it is there.
        Exec(
            "INSERT INTO h9r_src SELECT g, g % 10, CASE WHEN g % 500 = 0 THEN NULL ELSE 'row ' "
            "|| (g % 2900) END FROM generate_series(1, 3000) g");
        Exec("CREATE TABLE h9r_dst (LIKE h9r_src)");
        const QString path = dir_.filePath(QStringLiteral("rows.txt"));
        TTableExport task(connection_, table, kDbPostgres);
        task.portion_read = 250;
        task.portion_write = 100;
        task.Start(path);
        int units = 0;
        while (!task.CopyData()) {
            // Same values, new place in the table: an offset would now point elsewhere.
            Exec("UPDATE h9r_src SET note = note WHERE id % 7 = " + QString::number(units % 7),
                 &other_);
            ASSERT_LT(++units, 1000) << "export did not end";
        }
        EXPECT_EQ(task.CopyOff(), 3000);
        GrantReadAccess(path);
        Exec("COPY h9r_dst FROM '" + path + "'");
        EXPECT_EQ(Count("SELECT count(*) FROM h9r_dst"), 3000);
        EXPECT_EQ(Lost(), 0);
        EXPECT_EQ(Doubled(), 0);
    }

    TDbConnection connection_;
    TDbConnection other_;
    QTemporaryDir dir_;
};

TEST_F(TableExportReadingTest, KeylessTableHoldsEveryRowOnce) {
    TTableRec table;
    table.name = "H9R_SRC";
    table.fields = {Field("ID", "NUMBER"), Field("GRP", "NUMBER"), Field("NOTE", "VARCHAR2")};
    ExportWhileRowsMove(table);
}

TEST_F(TableExportReadingTest, KeyedTableHoldsEveryRowOnce) {
    TTableRec table;
    table.name = "H9R_SRC";
    table.fields = {Field("ID", "NUMBER", false), Field("GRP", "NUMBER"),
                    Field("NOTE", "VARCHAR2")};
    table.primary_key = {"PK_H9R", "(ID)", true};
    // The export writes the whole table, whatever addition the copy would apply.
    table.query_addi = "WHERE 1 = 0";
    ExportWhileRowsMove(table);
}

// A column the target computes is left out of the file, and the loading COPY names the
// columns the file holds, so the round trip is exact and the target computes its own values.
TEST_F(TableExportReadingTest, ComputedColumnLoadsBack) {
    Exec(
        "CREATE TABLE h9r_virt (id integer PRIMARY KEY, a integer, "
        "total integer GENERATED ALWAYS AS (a * 2) STORED, note text)");
    Exec(
        "INSERT INTO h9r_virt (id, a, note) SELECT g, g * 3, E'n\\t' || g FROM "
        "generate_series(1, 40) g");
    Exec("CREATE TABLE h9r_virt_dst (LIKE h9r_virt INCLUDING GENERATED)");
    TTableRec table;
    table.name = "H9R_VIRT";
    table.fields = {Field("ID", "NUMBER", false), Field("A", "NUMBER"), Field("TOTAL", "NUMBER"),
                    Field("NOTE", "VARCHAR2")};
    table.fields[2].is_virtual = true;
    table.fields[2].virtual_expr = "A*2";
    table.primary_key = {"PK_H9R_VIRT", "(ID)", true};
    const QStringList computed = TargetComputedColumns(table.fields, kDbPostgres);
    ASSERT_EQ(computed, QStringList({"TOTAL"}));

    const QString path = dir_.filePath(QStringLiteral("virt.txt"));
    TTableExport task(connection_, table, kDbPostgres, computed);
    task.portion_read = 15;
    task.Start(path);
    while (!task.CopyData()) {
    }
    GrantReadAccess(path);

    TTableRec target = table;
    target.name = "H9R_VIRT_DST";
    target.file_copy = path;
    TDbQuery query(connection_);
    BulkLoadPostgres(query, target);
    EXPECT_EQ(Count("SELECT count(*) FROM h9r_virt_dst"), 40);
    EXPECT_EQ(Count("SELECT count(*) FROM (SELECT * FROM h9r_virt EXCEPT ALL "
                    "SELECT * FROM h9r_virt_dst) x"),
              0);
}

}  // namespace
