#pragma once
// The window's side of the copy for the engine tests: two connections of the test bed, the
// statements and the table model the engine works on, and a source database h7_src with the
// tables BIG (2500 rows, key ID) and EMPTY_T; the target is made by target creation.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "copy_testbed.h"
#include "db/odbc.h"
#include "ddl/target_create.h"
#include "transfer/copy_engine.h"

namespace {

const QString kSource = QStringLiteral("h7_src");
const QString kTarget = QStringLiteral("postgres_h7c");

TFieldRec Col(const QString& name, const QString& type, bool autoinc = false) {
    TFieldRec field;
    field.name = name;
    field.data_type = type;
    field.autoinc = autoinc;
    return field;
}

TTableRec Table(const QString& name, qint64 rows, QList<TFieldRec> fields,
                const QString& key = QString()) {
    TTableRec table;
    table.name = name;
    table.rows = rows;
    table.fields = std::move(fields);
    table.primary_key.column_names = key;
    return table;
}

TTableRec Big() {
    return Table("BIG", 2500, {Col("ID", "NUMBER"), Col("NAME", "VARCHAR2"), Col("D", "DATE")},
                 "(ID)");
}

TTableRec Empty() {
    return Table("EMPTY_T", 0, {Col("ID", "NUMBER")}, "(ID)");
}

// The window's side of the copy: connections, statements and the table model.
struct TRig {
    TDbConnection from;
    TDbConnection to;
    TDbQuery query_from{from};
    TDbTable table_from{from};
    TDbQuery query_to{to};
    TTables tables;
    TCopyEngine engine{tables, from, query_from, table_from, to, query_to};
};

// Content of a table as one text, for comparing source and target.
std::string Digest(const QString& database, const QString& table, const QString& row_text) {
    return PgValue(database,
                   "SELECT count(*) || '/' || count(DISTINCT id) || '/' || "
                   "coalesce(md5(string_agg(" +
                       row_text + ", ',' ORDER BY id)), '-') FROM " + table)
        .toStdString();
}

const QString kBigRow = "id || '|' || coalesce(name, '~') || '|' || coalesce(d::text, '~')";

class TCopyRigTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CopyTestbedAvailable()) {
            GTEST_SKIP() << "no test bed";
        }
        ASSERT_TRUE(dir.isValid());
        testbed::CreateDatabase(kSource);
        PgExec(kSource,
               {"CREATE TABLE big (id integer PRIMARY KEY, name varchar(40), d timestamp)",
                "INSERT INTO big SELECT g, CASE WHEN g % 7 = 0 THEN NULL ELSE 'строка ' || g "
                "|| ' it''s' END, timestamp '2024-01-01' + g * interval '61 minutes 1 second' "
                "FROM generate_series(1, 2500) g",
                "CREATE TABLE empty_t (id integer PRIMARY KEY)"});
    }

    std::unique_ptr<TRig> NewRig(TTables tables, qint64 portion_read, int portion_write) {
        auto rig = std::make_unique<TRig>();
        // The source streams through a cursor, as a big source must.
        rig->from.SetConnectionString(testbed::BridgeString("PostgreSQL_Test", kSource)
                                          .replace("UseDeclareFetch=0", "UseDeclareFetch=1"));
        rig->from.Open();
        rig->tables = std::move(tables);
        TCopySettings& s = rig->engine.Settings();
        s.db_to = kDbPostgres;
        s.portion_read = portion_read;
        s.portion_write = portion_write;
        s.connect_to = testbed::BridgeString();
        s.user = kTarget;
        s.password = "pw";
        s.render.file_param = dir.filePath("param.tmp");
        return rig;
    }

    void CreateTargetFor(TRig& rig, const QString& script) {
        TTargetSpec spec;
        spec.db_to = kDbPostgres;
        spec.connect_to = rig.engine.Settings().connect_to;
        spec.user = kTarget;
        spec.password = "pw";
        spec.script = script;
        const TTargetResult result = CreateTarget(spec, rig.to, rig.query_to, [&] {
            rig.engine.SetCopyOff(0);
            table_to_rows = rig.engine.PrepareCopy(0);
        });
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        rig.engine.SetAfterCopy(result.after_copy);
        rig.engine.StartTiming(QDateTime::currentDateTime());
    }

    // Calls until the copy says it is finished; the number of calls, or -1 past the limit.
    static int RunToEnd(TRig& rig, int limit = 1000) {
        for (int calls = 1; calls <= limit; ++calls) {
            rig.engine.CopyData();
            if (rig.engine.Progress().finished) {
                return calls;
            }
        }
        return -1;
    }

    QTemporaryDir dir;
    QList<TTableToRow> table_to_rows;
};

using CopyEngineTest = TCopyRigTest;

}  // namespace
