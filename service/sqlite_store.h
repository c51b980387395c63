// The embedded store: one SQLite database in WAL mode in the data folder. Records and bytes
// share a row, so one commit covers both; commits wait for the disk (synchronous=FULL), and
// the uploads that arrive while one commit is on its way share the next one. One writer
// thread does every write; reads run on the caller's thread over connections of their own.
#pragma once
#include <memory>
#include <string>

#include "service/ringtone_store.h"

// Opens (creating when needed) the store in `folder`, which is created too. Null, with
// `error` saying why, when the folder or database cannot be used, the database was made by
// a newer version, or another service holds the folder.
std::unique_ptr<RingtoneStore> OpenSqliteStore(const std::string& folder, std::string& error);
