#pragma once
// The kind of server a connection string leads to, decided from the text alone (the server is
// never asked). Pure; user-interface thread.

#include <QString>

// Server kind codes decided from a connection string.
enum TDbKind : int { kDbUnknown = 0, kDbOracle = 1, kDbPostgres = 2 };

// 0 not recognised, 1 Oracle (the text holds "ORA"), 2 PostgreSQL (it holds "POSTGRESQL",
// which wins over "ORA"); letters compared without regard to case (Latin only).
int GetTypeDb(const QString& str);
