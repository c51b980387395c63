// Raw access to audio-CD drives over a SCSI back end: the drive list, a handle per drive, the
// table of contents and raw 2352-byte audio sectors, with a probe that finds a read command the
// drive understands. Portable: the back end, the locks and the dump files are handed in.
#pragma once
#include <cstdint>

#include "import/cd/cd_records.h"
#include "import/cd/scsi_transport.h"

class CdDriveLibrary {
 public:
  // `locks` and `diagnostics` may be null (no locking, no dumps).
  CdDriveLibrary(ScsiTransport* transport, CdLocks* locks, CdDiagnostics* diagnostics);

  int GetCDList(CdList* list);
  // INQUIRY of one unit; writes "inquiry.dat"; fills `description` (118 bytes) when given.
  bool GetDriveInfo(int adapter, int target, int lun, char* description);
  int GetNumAdapters();
  int GetCDHandle(const CdHandleRequest* request);
  bool SetCDParameter(int handle, int parameter, int value);
  uint8_t ReadCDTableOfContents(int handle, CdToc* toc);
  // `buffer` is followed by `buffer->capacity` bytes.
  uint8_t ReadCDAudioSectors(int handle, TrackBufferHeader* buffer);
  int ReleaseCDHandle(int handle);
  int GetCDLibError() const { return lastError_; }
  int GetCDAspiStatus() const { return lastStatus_; }

  // The read type a handle uses now (0 while it still probes); -1 for a bad handle.
  int ReadTypeInForce(int handle) const;

 private:
  struct Slot {
    bool inUse = false;
    uint8_t adapter = 0, target = 0, lun = 0;
    int readType = 0;   // as requested
    int activeType = 0; // in force; 0 = probe
    bool minuteSecondFrame = false;
    int counts[3] = {};
    bool modeSelectDone = false;  // the set-up of the read type in force was done
    // The drive answers with 2352-byte blocks since a MODE SELECT worked, whether or not the
    // reads of that read type did: the release gives it its data blocks back.
    bool rawBlocks = false;
  };

  Slot* SlotFor(int handle);
  uint8_t Send(const Slot& slot, ScsiCommand& command);
  uint8_t ReadWithType(Slot& slot, int type, TrackBufferHeader* buffer);
  uint8_t Probe(Slot& slot, TrackBufferHeader* buffer);
  bool SetBlockLength(Slot& slot, uint32_t length, uint8_t density);
  bool Lock(const char* name);
  void Unlock(const char* name);
  void Debug(const char* format, ...);

  ScsiTransport* transport_;
  CdLocks* locks_;
  CdDiagnostics* diagnostics_;
  Slot slots_[CdHandleSlots];
  int lastSlotGiven_ = -1;
  int lastError_ = 0;
  int lastStatus_ = 0;
};

// True when the sample bytes hold a run of 8 consecutive 32-bit words of 0xAAAAAAAA, the fill
// the probe leaves in a buffer that the drive did not write.
bool HoldsUntouchedRun(const uint8_t* data, uint32_t length);
