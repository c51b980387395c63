// The service's tables in PostgreSQL, as numbered migrations. A node brings the database up
// to the newest migration it knows when it starts, inside one transaction that first takes
// an advisory lock, so that nodes starting together apply each migration once: the others
// wait on the lock and then find the work done. Each applied migration is recorded in
// quavella_schema.
#pragma once
#include <string>
#include <vector>

#include "service/pg_connection.h"

struct PgMigration {
  int version;
  const char* description;
  const char* sql;  // statements separated by ";"
};

// Every migration, oldest first; versions run 1, 2, 3...
const std::vector<PgMigration>& PgMigrations();

// Advisory lock keys of the service (one namespace of 64-bit keys per database).
constexpr long long PgMigrationLock = 0x5176617365727631;  // migrating the schema
constexpr long long PgSweepLock = 0x5176617365727632;      // the expiry sweep

// Applies the migrations after the database's version, up to `upTo` (0: all). `applied`
// lists the lines to log, one per migration applied. False, with `error`, when a
// migration fails (nothing of it stays) or the database was migrated by a newer service.
bool MigratePgSchema(PgConnection& connection, int upTo, std::vector<std::string>& applied,
                     std::string& error);
