// The records the CD drive library exchanges with its callers, laid out byte for byte.
#pragma once
#include <cstdint>

#pragma pack(push, 1)

// Status bytes of every operation that talks to a drive.
constexpr uint8_t CdStatusDone = 1;
constexpr uint8_t CdStatusFailed = 4;

// Library errors (GetCDLibError).
enum CdLibError : int {
  CdErrNone = 0,
  CdErrNoAspiModule = -1,
  CdErrNoSupportInfo = -2,
  CdErrNoSendCommand = -3,
  CdErrRequestFailed = -4,
  CdErrBufferTooSmall = -6,
  CdErrBadHandle = -7,
  CdErrNoFreeSlot = -8,
  CdErrNotCdDrive = -10,
  CdErrLockTimeout = -11,
  CdErrDriveHasHandle = -12,
  CdErrNoRequest = -13,
  CdErrBadRequest = -14,
  CdErrNoAdapters = -16,
  CdErrNoCdDrives = -17,
};

struct CdListEntry {
  uint8_t adapter;
  uint8_t target;
  uint8_t lun;
  char description[118];
};

struct CdList {
  uint8_t maxCount;
  uint8_t count;
  CdListEntry drives[8];
};

struct CdHandleRequest {
  uint8_t size;      // at least 12
  uint8_t version;   // 1
  uint8_t adapter;
  uint8_t target;
  uint8_t lun;
  uint8_t readType;  // 0: probe the read method on the first read
  uint8_t settings[6];
};

// The request for a handle of one drive of the list, read the given way.
inline CdHandleRequest HandleRequestFor(const CdListEntry& drive, uint8_t readType) {
  CdHandleRequest request{};
  request.size = sizeof request;
  request.version = 1;
  request.adapter = drive.adapter;
  request.target = drive.target;
  request.lun = drive.lun;
  request.readType = readType;
  return request;
}

struct CdTocEntry {
  uint8_t reserved1;
  uint8_t addressControl;
  uint8_t trackNumber;
  uint8_t reserved2;
  uint8_t startAddress[4];  // big-endian logical block address
};

struct CdToc {
  uint8_t dataLength[2];  // big-endian
  uint8_t firstTrack;
  uint8_t lastTrack;
  CdTocEntry entries[100];
};

// Header of the buffer that audio reads fill; the sample bytes follow it.
struct TrackBufferHeader {
  uint32_t startSector;
  uint32_t sectorCount;
  uint32_t capacity;     // bytes behind the header
  uint32_t length;       // bytes returned by the read
  uint32_t status;       // 1 = done
  uint32_t startOffset;  // offset of the first returned byte behind the header
};

#pragma pack(pop)

static_assert(sizeof(CdListEntry) == 121);
static_assert(sizeof(CdList) == 970);
static_assert(sizeof(CdHandleRequest) == 12);
static_assert(sizeof(CdToc) == 804);
static_assert(sizeof(TrackBufferHeader) == 24);

constexpr uint32_t CdSectorBytes = 2352;
// The block length of a data CD, which a drive uses unless told otherwise.
constexpr uint32_t CdDataBlockBytes = 2048;
constexpr int CdHandleSlots = 16;

// Parameters of SetCDParameter.
constexpr int CdParamReadSpeed = 32;
constexpr int CdParamAddressMode = 36;  // nonzero: minute-second-frame, 0: logical block
