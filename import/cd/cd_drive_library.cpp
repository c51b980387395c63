#include "import/cd/cd_drive_library.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t LockTimeoutMs = 10000;
constexpr uint8_t DeviceTypeCdRom = 5;
constexpr uint8_t StatusNoAdapters = 0xE8;
constexpr int ProbeOrder[] = {2, 1, 8, 4, 5, 6, 7};

void SlotLockName(int slot, char* name, size_t size) {
  std::snprintf(name, size, "halvek32_cdMtx%02d", slot);
}

void TrimCopy(char* out, size_t size, const uint8_t* in, size_t length) {
  while (length > 0 && (in[length - 1] == ' ' || in[length - 1] == 0)) --length;
  size_t n = length < size - 1 ? length : size - 1;
  for (size_t i = 0; i < n; ++i) out[i] = (in[i] >= 32 && in[i] < 127) ? static_cast<char>(in[i]) : '?';
  out[n] = '\0';
}

}  // namespace

bool HoldsUntouchedRun(const uint8_t* data, uint32_t length) {
  int run = 0;
  for (uint32_t at = 0; at + 4 <= length; at += 4) {
    if (data[at] == 0xAA && data[at + 1] == 0xAA && data[at + 2] == 0xAA && data[at + 3] == 0xAA) {
      if (++run >= 8) return true;
    } else {
      run = 0;
    }
  }
  return false;
}

CdDriveLibrary::CdDriveLibrary(ScsiTransport* transport, CdLocks* locks,
                               CdDiagnostics* diagnostics)
    : transport_(transport), locks_(locks), diagnostics_(diagnostics) {}

bool CdDriveLibrary::Lock(const char* name) {
  if (!locks_ || locks_->Acquire(name, LockTimeoutMs)) return true;
  lastError_ = CdErrLockTimeout;
  return false;
}

void CdDriveLibrary::Unlock(const char* name) {
  if (locks_) locks_->Release(name);
}

void CdDriveLibrary::Debug(const char* format, ...) {
  if (!diagnostics_) return;
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  diagnostics_->Debug(line);
}

CdDriveLibrary::Slot* CdDriveLibrary::SlotFor(int handle) {
  if (handle < 1 || handle > CdHandleSlots || !slots_[handle - 1].inUse) {
    lastError_ = CdErrBadHandle;
    return nullptr;
  }
  return &slots_[handle - 1];
}

int CdDriveLibrary::ReadTypeInForce(int handle) const {
  if (handle < 1 || handle > CdHandleSlots || !slots_[handle - 1].inUse) return -1;
  return slots_[handle - 1].activeType;
}

uint8_t CdDriveLibrary::Send(const Slot& slot, ScsiCommand& command) {
  uint8_t status = transport_->Execute(slot.adapter, slot.target, slot.lun, command);
  lastStatus_ = status;
  if (status != CdStatusDone) {
    lastError_ = CdErrRequestFailed;
    Debug("SCSI command 0x%02X failed with status %d", command.cdb[0], status);
  }
  return status;
}

int CdDriveLibrary::GetNumAdapters() {
  if (!transport_) {
    lastError_ = CdErrNoAspiModule;
    return -1;
  }
  uint8_t status = 0;
  int count = transport_->AdapterCount(&status);
  lastStatus_ = status;
  if (status != CdStatusDone && status != StatusNoAdapters) {
    lastError_ = CdErrRequestFailed;
    return -1;
  }
  return status == StatusNoAdapters ? 0 : count;
}

bool CdDriveLibrary::GetDriveInfo(int adapter, int target, int lun, char* description) {
  uint8_t inquiry[36] = {};
  ScsiCommand command;
  command.cdb[0] = 0x12;
  command.cdb[4] = sizeof inquiry;
  command.cdbLength = 6;
  command.data = inquiry;
  command.dataLength = sizeof inquiry;
  uint8_t status = transport_->Execute(adapter, target, lun, command);
  lastStatus_ = status;
  if (diagnostics_) diagnostics_->WriteDump("inquiry.dat", inquiry, sizeof inquiry);
  if (status != CdStatusDone) {
    lastError_ = CdErrRequestFailed;
    if (description) description[0] = '\0';
    return false;
  }
  if (description) {
    char vendor[9], product[17], revision[5];
    TrimCopy(vendor, sizeof vendor, inquiry + 8, 8);
    TrimCopy(product, sizeof product, inquiry + 16, 16);
    TrimCopy(revision, sizeof revision, inquiry + 32, 4);
    std::snprintf(description, sizeof(CdListEntry::description), "%s, %s v%s (%d:%d:%d)", vendor,
                  product, revision, adapter, target, lun);
  }
  return true;
}

int CdDriveLibrary::GetCDList(CdList* list) {
  uint8_t maxCount = list->maxCount;
  std::memset(list, 0, sizeof *list);
  list->maxCount = maxCount;
  int room = (maxCount > 0 && maxCount < 8) ? maxCount : 8;

  int adapters = GetNumAdapters();
  if (adapters <= 0) {
    if (adapters == 0) lastError_ = CdErrNoAdapters;
    return 1;
  }
  for (int a = 0; a < adapters && list->count < room; ++a) {
    int targets = transport_->TargetCount(a);
    if (targets <= 0) targets = 8;
    for (int t = 0; t < targets && list->count < room; ++t)
      for (int l = 0; l < 8 && list->count < room; ++l) {
        if (transport_->DeviceType(a, t, l) != DeviceTypeCdRom) continue;
        CdListEntry& entry = list->drives[list->count++];
        entry.adapter = static_cast<uint8_t>(a);
        entry.target = static_cast<uint8_t>(t);
        entry.lun = static_cast<uint8_t>(l);
        GetDriveInfo(a, t, l, entry.description);
      }
  }
  if (list->count == 0) lastError_ = CdErrNoCdDrives;
  return 1;
}

int CdDriveLibrary::GetCDHandle(const CdHandleRequest* request) {
  if (!request) {
    lastError_ = CdErrNoRequest;
    return 0;
  }
  if (request->size < sizeof(CdHandleRequest) || request->version != 1) {
    lastError_ = CdErrBadRequest;
    return 0;
  }
  if (!transport_) {
    lastError_ = CdErrNoAspiModule;
    return 0;
  }
  if (!Lock("halvek32_getCDHandle")) return 0;
  int handle = 0;
  bool duplicate = false;
  for (const Slot& s : slots_)
    if (s.inUse && s.adapter == request->adapter && s.target == request->target &&
        s.lun == request->lun)
      duplicate = true;
  if (duplicate) {
    lastError_ = CdErrDriveHasHandle;
  } else if (transport_->DeviceType(request->adapter, request->target, request->lun) !=
             DeviceTypeCdRom) {
    lastError_ = CdErrNotCdDrive;
  } else {
    int chosen = -1;
    for (int i = 1; i <= CdHandleSlots; ++i) {
      int candidate = (lastSlotGiven_ + i) % CdHandleSlots;
      if (!slots_[candidate].inUse) {
        chosen = candidate;
        break;
      }
    }
    if (chosen < 0) {
      lastError_ = CdErrNoFreeSlot;
    } else {
      Slot& slot = slots_[chosen];
      slot = Slot{};
      slot.inUse = true;
      slot.adapter = request->adapter;
      slot.target = request->target;
      slot.lun = request->lun;
      slot.readType = request->readType;
      bool known = request->readType >= 1 && request->readType <= 8;
      slot.activeType = known ? request->readType : 0;
      slot.counts[0] = request->settings[4];
      slot.counts[1] = request->settings[5];
      transport_->Open(slot.adapter, slot.target, slot.lun);
      lastSlotGiven_ = chosen;
      handle = chosen + 1;
    }
  }
  Unlock("halvek32_getCDHandle");
  return handle;
}

bool CdDriveLibrary::SetCDParameter(int handle, int parameter, int value) {
  Slot* slot = SlotFor(handle);
  if (!slot) return false;
  switch (parameter) {
    case CdParamReadSpeed: {
      ScsiCommand command;
      command.cdb[0] = 0xBB;
      command.cdb[2] = static_cast<uint8_t>(value >> 8);
      command.cdb[3] = static_cast<uint8_t>(value);
      command.cdb[4] = 0xFF;
      command.cdb[5] = 0xFF;
      command.cdbLength = 12;
      return Send(*slot, command) == CdStatusDone;
    }
    case CdParamAddressMode:
      slot->minuteSecondFrame = value != 0;
      return true;
    case 37: case 38: case 39:
      slot->counts[parameter - 37] = value;
      return true;
    default:
      return false;
  }
}

uint8_t CdDriveLibrary::ReadCDTableOfContents(int handle, CdToc* toc) {
  if (!toc) return CdStatusFailed;
  char lockName[32];
  SlotLockName(handle - 1, lockName, sizeof lockName);
  Slot* slot = SlotFor(handle);
  if (!slot) return CdStatusFailed;
  if (!Lock(lockName)) return CdStatusFailed;
  ScsiCommand command;
  command.cdb[0] = 0x43;
  command.cdb[1] = slot->minuteSecondFrame ? 0x02 : 0x00;
  command.cdb[7] = static_cast<uint8_t>(sizeof(CdToc) >> 8);
  command.cdb[8] = static_cast<uint8_t>(sizeof(CdToc) & 0xFF);
  command.cdbLength = 10;
  command.data = reinterpret_cast<uint8_t*>(toc);
  command.dataLength = sizeof(CdToc);
  uint8_t status = Send(*slot, command);
  if (diagnostics_) diagnostics_->WriteDump("toc.dat", reinterpret_cast<uint8_t*>(toc), sizeof(CdToc));
  Unlock(lockName);
  return status;
}

bool CdDriveLibrary::SetBlockLength(Slot& slot, uint32_t length, uint8_t density) {
  uint8_t parameters[12] = {0, 0, 0, 8, density, 0, 0, 0, 0,
                            static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 8),
                            static_cast<uint8_t>(length)};
  ScsiCommand command;
  command.cdb[0] = 0x15;
  command.cdb[1] = 0x10;
  command.cdb[4] = sizeof parameters;
  command.cdbLength = 6;
  command.data = parameters;
  command.dataLength = sizeof parameters;
  command.dataOut = true;
  if (Send(slot, command) != CdStatusDone) return false;
  slot.rawBlocks = length != CdDataBlockBytes;
  return true;
}

uint8_t CdDriveLibrary::ReadWithType(Slot& slot, int type, TrackBufferHeader* buffer) {
  uint8_t* data = reinterpret_cast<uint8_t*>(buffer + 1);
  uint32_t count = buffer->sectorCount;
  uint32_t lba = buffer->startSector;
  ScsiCommand command;
  switch (type) {
    case 1: case 2:
      command.cdb[0] = 0xBE;
      command.cdb[9] = type == 1 ? 0x10 : 0xF0;
      command.cdbLength = 12;
      break;
    case 3: case 4: case 8:
      if (!slot.modeSelectDone) {
        bool set = SetBlockLength(slot, CdSectorBytes, 0);
        if (!set && type == 8) set = SetBlockLength(slot, CdSectorBytes, 0x82);
        if (!set) return CdStatusFailed;
        slot.modeSelectDone = true;
      }
      command.cdb[0] = 0x28;
      command.cdbLength = 10;
      break;
    case 5:
      command.cdb[0] = 0xD8;
      command.cdbLength = 12;
      break;
    case 6: case 7:
      if (type == 7 && !slot.modeSelectDone) {
        if (!SetBlockLength(slot, CdSectorBytes, 0)) return CdStatusFailed;
        slot.modeSelectDone = true;
      }
      command.cdb[0] = 0xD4;
      command.cdbLength = 10;
      break;
    default:
      return CdStatusFailed;
  }
  command.cdb[3] = static_cast<uint8_t>(lba >> 16);
  command.cdb[4] = static_cast<uint8_t>(lba >> 8);
  command.cdb[5] = static_cast<uint8_t>(lba);
  command.cdb[type == 5 ? 9 : 8] = static_cast<uint8_t>(count);
  command.data = data;
  command.dataLength = count * CdSectorBytes;
  uint8_t status = Send(slot, command);
  buffer->status = status;
  if (status == CdStatusDone) {
    buffer->length = count * CdSectorBytes;
    buffer->startOffset = 0;
  }
  return status;
}

uint8_t CdDriveLibrary::Probe(Slot& slot, TrackBufferHeader* buffer) {
  uint8_t* data = reinterpret_cast<uint8_t*>(buffer + 1);
  uint8_t status = CdStatusFailed;
  for (int type : ProbeOrder) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::memset(data, 0xAA, buffer->capacity);
      buffer->length = 0;
      status = ReadWithType(slot, type, buffer);
      if (status == CdStatusDone && !HoldsUntouchedRun(data + buffer->startOffset, buffer->length)) {
        slot.activeType = type;
        Debug("read type %d found for drive %d:%d:%d", type, slot.adapter, slot.target, slot.lun);
        return status;
      }
      if (status == CdStatusDone) break;  // the drive answered but wrote nothing: next type
    }
    slot.modeSelectDone = false;
  }
  buffer->status = status == CdStatusDone ? CdStatusFailed : status;
  buffer->length = 0;
  return buffer->status;
}

uint8_t CdDriveLibrary::ReadCDAudioSectors(int handle, TrackBufferHeader* buffer) {
  if (!buffer) return CdStatusFailed;
  if (handle < 1 || handle > CdHandleSlots) {
    lastError_ = CdErrBadHandle;
    return CdStatusFailed;
  }
  char lockName[32];
  SlotLockName(handle - 1, lockName, sizeof lockName);
  if (!Lock(lockName)) return CdStatusFailed;
  Slot* slot = SlotFor(handle);
  uint8_t status = CdStatusFailed;
  if (slot) {
    if (static_cast<uint64_t>(buffer->sectorCount) * CdSectorBytes > buffer->capacity) {
      lastError_ = CdErrBufferTooSmall;
    } else if (slot->activeType == 0) {
      status = Probe(*slot, buffer);
    } else {
      status = ReadWithType(*slot, slot->activeType, buffer);
    }
  }
  Unlock(lockName);
  return status;
}

int CdDriveLibrary::ReleaseCDHandle(int handle) {
  Slot* slot = SlotFor(handle);
  if (!slot) return 0;
  if (slot->rawBlocks) SetBlockLength(*slot, CdDataBlockBytes, 0);  // its data blocks back
  *slot = Slot{};
  return 1;
}
