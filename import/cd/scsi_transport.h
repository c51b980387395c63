// What the CD drive library needs of a back end: adapters, device types and SCSI commands.
// The Windows back ends are the built-in pass-through and the ASPI module; tests use a script.
#pragma once
#include <cstddef>
#include <cstdint>

struct ScsiCommand {
  uint8_t cdb[16] = {};
  uint8_t cdbLength = 0;
  uint8_t* data = nullptr;  // data-in buffer, or data-out when `dataOut`
  uint32_t dataLength = 0;
  bool dataOut = false;
  uint8_t sense[14] = {};
};

class ScsiTransport {
 public:
  virtual ~ScsiTransport() = default;
  // Number of adapters and the status of the inquiry (1 done; 0xE8 no adapters; other: failure).
  virtual int AdapterCount(uint8_t* status) = 0;
  // Targets on an adapter (0 means 8).
  virtual int TargetCount(int adapter) = 0;
  // SCSI device type of a unit (5 = CD-ROM), or -1 when there is no device.
  virtual int DeviceType(int adapter, int target, int lun) = 0;
  // Sends one command and waits for it (at most 4000 ms); returns the status byte.
  virtual uint8_t Execute(int adapter, int target, int lun, ScsiCommand& command) = 0;
  // Makes sure the unit is ready for commands (the pass-through opens its drive letter).
  virtual bool Open(int /*adapter*/, int /*target*/, int /*lun*/) { return true; }
};

// Named locks around handle creation and each drive's requests; waits give up after a time.
class CdLocks {
 public:
  virtual ~CdLocks() = default;
  virtual bool Acquire(const char* name, uint32_t timeoutMs) = 0;
  virtual void Release(const char* name) = 0;
};

// Where the library writes its dumps ("toc.dat", "inquiry.dat") and diagnostic lines.
class CdDiagnostics {
 public:
  virtual ~CdDiagnostics() = default;
  virtual void WriteDump(const char* name, const uint8_t* data, size_t length) = 0;
  virtual void Debug(const char* line) = 0;
};
