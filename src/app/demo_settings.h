#pragma once
// The entries a newcomer's first start gets while the local demo databases run (scripts/demo.sh):
// the emulated Oracle source and the PostgreSQL target, filled in as the connection-string
// dialog would build them, so that a first migration works at once. Also tells whether stored
// entries still lead to the demo, and follows the demo server to a new port after a restart.
// QtCore only.

#include <QString>

#include "app/settings.h"

// Data sources the demo's unixODBC files define, and the logins of the emulated source.
inline constexpr char kDemoOraSource[] = "ORA_EMUL";
inline constexpr char kDemoPgSource[] = "PostgreSQL_Test";
inline constexpr char kDemoOraUser[] = "skerrow_src";
inline constexpr char kDemoOraPassword[] = "src_pass";
inline constexpr char kDemoPgAdmin[] = "postgres";
// The database and owner the first migration creates on the demo server.
inline constexpr char kDemoTargetUser[] = "demo_target";
inline constexpr char kDemoTargetPassword[] = "demo_pass";

struct TDemoServer {
    int port = 0;  // on 127.0.0.1
    QString admin_password;
};

// Reads PGPORT and PGPASSWORD from the demo folder's testbed.env. Throws TFileError when the
// file is missing or holds no usable port (the demo is not started).
TDemoServer ReadDemoServer(const QString& env_file);

// The demo's two connection strings with the target's user and password; the other values keep
// the window's defaults.
TSettingsValues DemoSettingsValues(const TDemoServer& server);

// Whether either connection string goes through one of the demo's data sources.
bool PointsAtDemo(const TSettingsValues& values);

// The demo server gets a new port whenever it is created again; a target string that goes to the
// demo's PostgreSQL data source is pointed at the current one. Returns whether anything changed.
bool RefreshDemoPort(TSettingsValues& values, int port);
