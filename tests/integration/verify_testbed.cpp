#include "verify_testbed.h"

#include <gtest/gtest.h>

#include <QDir>

#include "ddl/script_gen.h"
#include "ddl/target_create.h"
#include "schema/catalog_reader.h"
#include "testbed.h"

QString LoadVerifyEmulation() {
    const QString error = OraEmulLoad();
    if (!error.isEmpty()) {
        return error;
    }
    // psql runs a lone backslash command given with -c.
    const QString path =
        QDir(QStringLiteral(SKERROW_FIXTURES_DIR)).filePath("preflight_sample.sql");
    return OraEmulExec("\\i '" + path + "'");
}

void PrepareMigration(TVerifyRig& rig, const TOraEmulUser& owner, const QString& target_db) {
    ASSERT_TRUE(rig.dir.isValid());
    const QString connect_from = OraEmulConnectString(owner);
    rig.from.SetConnectionString(connect_from);
    rig.from.Open();
    TStructRead read;
    ReadStructFrom(rig.query_from, kDbOracle, connect_from, read);
    ASSERT_FALSE(read.tables.isEmpty());
    rig.tables = read.tables;

    TScriptOptions options;
    options.user = target_db;
    const QStringList script = MakeScriptNew(rig.tables, options);

    TCopySettings& settings = rig.engine.Settings();
    settings.db_to = kDbPostgres;
    settings.portion_read = 2;
    settings.portion_write = 3;
    settings.connect_to = testbed::BridgeString();
    settings.user = target_db;
    settings.password = QStringLiteral("verify pw");
    settings.render.file_param = rig.dir.filePath("param.tmp");

    testbed::DropDatabase(target_db);
    TTargetSpec spec;
    spec.db_to = kDbPostgres;
    spec.connect_to = settings.connect_to;
    spec.user = target_db;
    spec.password = settings.password;
    spec.script = script.join(u'\n');
    const TTargetResult result = CreateTarget(spec, rig.to, rig.query_to, [&] {
        rig.engine.SetCopyOff(0);
        rig.engine.PrepareCopy(0);
    });
    ASSERT_TRUE(result.ok) << result.error.toStdString() << "\n" << spec.script.toStdString();
    rig.engine.StartTiming(QDateTime::currentDateTime());
}

bool RunCopy(TVerifyRig& rig, const std::function<void(int)>& table_done, int limit) {
    for (int call = 0; call < limit; ++call) {
        const qint64 before = rig.engine.IndTable();
        rig.engine.CopyData();
        for (qint64 i = before; i < rig.engine.IndTable(); ++i) {
            table_done(int(i));
        }
        if (rig.engine.Progress().finished) {
            return true;
        }
    }
    return false;
}
