// The store that several nodes share: PostgreSQL. Records and bytes share a row, so one
// commit keeps both; a node keeps nothing on its own disk, and any node serves any ringtone.
// The upload limits live there too, so that they hold across nodes. Writes go through a few
// writer threads, the uploads that arrive together in one statement (one commit); reads run
// on the caller's thread. Connections come from a bounded pool that reconnects by itself.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "service/rate_limiter.h"
#include "service/ringtone_store.h"

struct PostgresSettings {
  std::string url;                                   // a libpq connection URI
  int connections = 8;                               // the pool's bound
  std::chrono::milliseconds statementTimeout{5000};
  uint32_t uploadsPerHour = 20;
};

struct PostgresStore {
  std::unique_ptr<RingtoneStore> store;
  std::unique_ptr<UploadLimiter> limiter;  // usable while the store is open
};

// Connects, brings the schema up to date and opens the pool. `say` gets a line for each
// migration applied, and whenever the database stops or starts answering. False, with
// `error`, when the database cannot be reached or its schema cannot be brought up to date.
bool OpenPostgresStore(const PostgresSettings& settings,
                       std::function<void(const std::string&)> say, PostgresStore& opened,
                       std::string& error);
