// Where the service keeps ringtones: one small interface, with the embedded store (SQLite)
// and the one that several nodes share (PostgreSQL) behind it. Every implementation keeps a ringtone's record and bytes in one commit,
// so that no ringtone is ever half there.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "service/service_metrics.h"

struct RingtoneRecord {
  std::string token;
  int64_t createdAt = 0;  // seconds since 1970, UTC
  int64_t expiresAt = 0;
  std::string phoneNumber;  // the "sms" digits; kept exactly as long as the ringtone
  int32_t carrierId = 0;
  int32_t phoneId = 0;
  int32_t format = 0;     // RingtoneFormat
  std::string songName;   // as sent, for display only
  std::string fileName;   // as sent, for display only; never a path
  int64_t size = 0;       // bytes of the ringtone
  int64_t downloads = 0;
  std::string bytes;      // the ringtone, when it was asked for
  // When the store lends the bytes from its memory instead of copying them into `bytes`:
  // the record that holds them, unchanged while it is held.
  std::shared_ptr<const RingtoneRecord> lent;
  // A digest of number, carrier, phone, format and bytes (UploadFingerprint), kept with the
  // ringtone so that the same upload is found again by it alone.
  int64_t digest = 0;
  // Add only: when `sameSince` is set, a store that several nodes share takes a ringtone kept
  // at or after it (seconds) with this digest, number, carrier, phone, format and bytes instead
  // of a new one (a retry that another node kept): nothing is added, Add answers Ok, and its
  // token goes to `sameAs`. The embedded store serves one node, whose memory already holds
  // its uploads of the last minutes: it adds the ringtone as asked and leaves `sameAs` empty.
  int64_t sameSince = 0;
  std::shared_ptr<std::string> sameAs;

  std::string_view Bytes() const { return lent ? std::string_view(lent->bytes) : bytes; }
};

enum class StoreStatus {
  Ok,
  NotFound,     // no such token was ever kept (or it was forgotten long ago)
  Gone,         // it expired or was deleted
  Unavailable,  // the store cannot answer now (the caller answers 503)
};

enum class GoneReason { Expired, Deleted };

class RingtoneStore {
 public:
  using Done = std::function<void(StoreStatus)>;

  virtual ~RingtoneStore() = default;

  // Keeps a new ringtone, record and bytes in one commit. `done` runs once, on a thread of
  // the store's or, when the store has nothing else to write, on the caller's before Add
  // returns; with Ok only after the commit is durable on disk, else Unavailable.
  virtual void Add(RingtoneRecord ringtone, Done done) = 0;

  // The ringtone of `token` as it is at `now`; with its bytes (record.Bytes()) when
  // `withBytes`. A ringtone
  // whose time has passed is Gone (Expired) even before the sweep has removed it; `reason`
  // is set for Gone.
  virtual StoreStatus Find(std::string_view token, int64_t now, bool withBytes,
                           RingtoneRecord& record, GoneReason& reason) = 0;

  // Deletes a ringtone with its record and phone number, leaving only a note that it is
  // gone. `done` gets Ok, NotFound, Gone or Unavailable.
  virtual void Delete(std::string token, int64_t now, Done done) = 0;

  // Counts one download. Counts may be kept a moment before they are written.
  virtual void CountDownload(std::string_view token) = 0;

  // Removes every ringtone whose time is up at `now`, and forgets the notes of ringtones
  // that went before `forgetBefore`.
  virtual void Sweep(int64_t now, int64_t forgetBefore, Done done) = 0;

  // Ringtones kept and their bytes; Unavailable when the store does not answer.
  virtual StoreStatus Totals(StoreTotals& totals) = 0;

  // Whether the store answers now, as cheaply as the store can tell.
  virtual StoreStatus Ping() {
    StoreTotals totals;
    return Totals(totals);
  }

  // Finishes the writes already asked for, then closes. Nothing may be asked afterwards.
  virtual void Close() = 0;
};
