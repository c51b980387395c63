// The embedded store: one SQLite database in WAL mode in the data folder. Records and bytes
// share a row, so one commit covers both. One writer thread commits every write, taking all
// that waits into one commit, without waiting for the disk; a syncer thread flushes the log
// (one flush for every commit since the last) and only then are the writes answered, while
// the writer goes on with the next commit. A third thread folds the log back into the
// database beside the commits and keeps it bounded. Reads run on the caller's thread over
// connections of their own.
#pragma once
#include <memory>
#include <string>

#include "service/ringtone_store.h"

// Opens (creating when needed) the store in `folder`, which is created too. Null, with
// `error` saying why, when the folder or database cannot be used, the database was made by
// a newer version, or another service holds the folder.
std::unique_ptr<RingtoneStore> OpenSqliteStore(const std::string& folder, std::string& error);
