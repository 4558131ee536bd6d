#pragma once
// The emulated source of the validation and pre-flight tests: the dictionary emulation with the
// planted-problems sample of owner SKERROW_PRE loaded after it, and a whole migration of the
// main sample (structure, script, target creation, copy) run through the engine.

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "db/odbc.h"
#include "ora_emulation.h"
#include "schema/table_model.h"
#include "transfer/copy_engine.h"

inline constexpr TOraEmulUser kOraEmulPre{"skerrow_pre", "pre_pass"};

// Loads the emulation, then tests/fixtures/preflight_sample.sql. Returns the error text, empty
// on success.
QString LoadVerifyEmulation();

// The source read through the emulation and a target made from its script, connected, with the
// copy engine ready at its first table.
struct TVerifyRig {
    TDbConnection from;
    TDbConnection to;
    TDbQuery query_from{from};
    TDbTable table_from{from};
    TDbQuery query_to{to};
    TTables tables;
    TCopyEngine engine{tables, from, query_from, table_from, to, query_to};
    QTemporaryDir dir;
};

// Reads the owner's schema, generates the PostgreSQL script, creates database target_db from it
// and prepares the copy. Fails the calling test (ASSERT) on any step.
void PrepareMigration(TVerifyRig& rig, const TOraEmulUser& owner, const QString& target_db);

// Runs the copy to its end; after each table, calls table_done with its index. False when the
// copy did not finish within the limit of calls.
bool RunCopy(TVerifyRig& rig, const std::function<void(int)>& table_done, int limit = 5000);
