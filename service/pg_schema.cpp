#include "service/pg_schema.h"

#include <chrono>

namespace {

// A migration may wait for another node's, and may take long on a large table.
constexpr std::chrono::minutes MigrationTime{10};

}  // namespace

const std::vector<PgMigration>& PgMigrations() {
  static const std::vector<PgMigration> migrations = {
      {1, "ringtones and the notes of gone ones",
       // Names are bytea: Quavella sends them in the Windows code page, not in the
       // database's encoding. The bytes are stored apart from the row and not compressed
       // (ringtones hardly compress), so that an upload costs no compression work.
       "CREATE TABLE ringtones ("
       " token text PRIMARY KEY, created_at bigint NOT NULL, expires_at bigint NOT NULL,"
       " phone_number text NOT NULL, carrier_id integer NOT NULL, phone_id integer NOT NULL,"
       " format integer NOT NULL, song_name bytea NOT NULL, file_name bytea NOT NULL,"
       " size bigint NOT NULL, downloads bigint NOT NULL DEFAULT 0, bytes bytea NOT NULL);"
       "ALTER TABLE ringtones ALTER COLUMN bytes SET STORAGE EXTERNAL;"
       "CREATE INDEX ringtones_expiry ON ringtones (expires_at);"
       "CREATE TABLE gone ("
       " token text PRIMARY KEY, reason smallint NOT NULL, gone_at bigint NOT NULL);"
       "CREATE INDEX gone_time ON gone (gone_at)"},
      {2, "upload limits shared by every node",
       // Unlogged: no write-ahead log for two bucket updates per upload. A crash of the
       // database empties the table, which only forgives the last hour's uploads.
       "CREATE UNLOGGED TABLE upload_buckets ("
       " key bigint PRIMARY KEY, uploads double precision NOT NULL, updated_ms bigint NOT NULL);"
       "CREATE INDEX upload_buckets_time ON upload_buckets (updated_ms);"
       "CREATE TABLE service_settings (name text PRIMARY KEY, value bigint NOT NULL)"},
      {3, "the limits of several uploads taken in one call",
       // keys[i] is a bucket of upload owners[i] (uploads numbered from 1, in order). Every bucket is
       // first created full when new and locked, in the order of the keys, so that two calls
       // never wait for each other both ways; then each upload in turn takes one from each of
       // its buckets (refilled at per_hour an hour since last touched) or from none. Answers
       // one character per upload: '1' taken, '0' over the limit. The commit does not wait
       // for the disk: a crash of the database may forgive a few uploads, never refuse one.
       // Without the index on updated_ms (the sweep, once in a while, reads the table
       // through) and with room left on each page, a bucket's update stays on its page and
       // adds no index entries.
       "DROP INDEX upload_buckets_time;"
       "ALTER TABLE upload_buckets SET (fillfactor = 50);"
       "CREATE FUNCTION quavella_take_uploads(keys bigint[], owners integer[], per_hour bigint,"
       " now_ms bigint) RETURNS text LANGUAGE plpgsql AS $$"
       " DECLARE answers text := ''; mine bigint[]; taken integer;"
       " BEGIN"
       "  PERFORM set_config('synchronous_commit', 'off', true);"
       "  INSERT INTO upload_buckets (key, uploads, updated_ms)"
       "   SELECT DISTINCT k, per_hour, now_ms FROM unnest(keys) AS k ORDER BY k"
       "   ON CONFLICT (key) DO NOTHING;"
       "  PERFORM 1 FROM upload_buckets WHERE key = ANY (keys) ORDER BY key FOR UPDATE;"
       "  FOR i IN 1 .. coalesce(owners[cardinality(owners)], 0) LOOP"
       "   SELECT array_agg(u.k) INTO mine FROM unnest(keys, owners) AS u(k, o) WHERE u.o = i;"
       "   UPDATE upload_buckets SET uploads = least(per_hour::float8, uploads"
       "    + greatest(0, now_ms - updated_ms)::float8 * per_hour / 3600000::float8) - 1,"
       "    updated_ms = greatest(updated_ms, now_ms)"
       "    WHERE key = ANY (mine) AND (SELECT bool_and(least(per_hour::float8, uploads"
       "    + greatest(0, now_ms - updated_ms)::float8 * per_hour / 3600000::float8) >= 1)"
       "    FROM upload_buckets WHERE key = ANY (mine));"
       "   GET DIAGNOSTICS taken = ROW_COUNT;"
       "   answers := answers || CASE WHEN taken = cardinality(mine) THEN '1' ELSE '0' END;"
       "  END LOOP;"
       "  RETURN answers;"
       " END $$"},
      {4, "the digest of each upload, for retries that reach another node",
       // An upload asks whether the same ringtone was kept a few minutes ago: by its digest,
       // the row that is the same (hardly ever another) is read, and no other's bytes.
       "ALTER TABLE ringtones ADD COLUMN digest bigint;"
       "CREATE INDEX ringtones_digest ON ringtones (digest)"},
  };
  return migrations;
}

bool MigratePgSchema(PgConnection& connection, int upTo, std::vector<std::string>& applied,
                     std::string& error) {
  const std::vector<PgMigration>& migrations = PgMigrations();
  const int newest = migrations.back().version;
  if (upTo <= 0 || upTo > newest) upTo = newest;
  const auto deadline = PgClock::now() + MigrationTime + std::chrono::seconds(5);
  const std::string start =
      "BEGIN;"
      "SET LOCAL statement_timeout = " +
      std::to_string(std::chrono::milliseconds(MigrationTime).count()) +
      ";"
      "SELECT pg_advisory_xact_lock(" + std::to_string(PgMigrationLock) + ");"
      "CREATE TABLE IF NOT EXISTS quavella_schema ("
      " version integer PRIMARY KEY, description text NOT NULL,"
      " applied_at timestamptz NOT NULL DEFAULT now());"
      "SELECT coalesce(max(version), 0) FROM quavella_schema";
  std::vector<PgResult> results;
  auto failed = [&](const std::string& what) {
    error = what + ": " + error;
    std::string ignored;
    if (!connection.Broken()) connection.Run("ROLLBACK", PgClock::now() + std::chrono::seconds(5), ignored);
    return false;
  };
  if (!connection.RunScript(start, deadline, results, error)) return failed("the schema's version");
  const int64_t found = results.back().Int(0, 0);
  if (found > newest) {
    error = "the database was set up by a newer quavella-service (schema " +
            std::to_string(found) + ", this one knows " + std::to_string(newest) + ")";
    return failed("schema");
  }
  std::vector<std::string> lines;
  for (const PgMigration& migration : migrations) {
    if (migration.version <= found || migration.version > upTo) continue;
    results.clear();
    PgResult recorded;
    const std::string step = "schema migration " + std::to_string(migration.version);
    if (!connection.RunScript(migration.sql, deadline, results, error)) return failed(step);
    if (!connection.Run("INSERT INTO quavella_schema (version, description) VALUES ($1, $2)",
                        PgParams().Int(migration.version).Text(migration.description), deadline,
                        recorded, error))
      return failed(step);
    lines.push_back("applied " + step + ": " + migration.description);
  }
  if (!connection.Run("COMMIT", deadline, error)) return failed("schema");
  applied = std::move(lines);
  return true;
}
