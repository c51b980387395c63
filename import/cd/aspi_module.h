// The ASPI for Win32 interface: request blocks and values, as the module exchanges them.
#pragma once
#include <windows.h>

#pragma pack(push, 1)

constexpr BYTE ScHaInquiry = 0x00;
constexpr BYTE ScGetDevType = 0x01;
constexpr BYTE ScExecScsiCmd = 0x02;

constexpr BYTE SsPending = 0x00;
constexpr BYTE SsComp = 0x01;
constexpr BYTE SsErr = 0x04;
constexpr BYTE SsNoDevice = 0x82;
constexpr BYTE SsNoAdapters = 0xE8;

constexpr BYTE SrbDirIn = 0x08;
constexpr BYTE SrbDirOut = 0x10;
constexpr BYTE SrbEventNotify = 0x40;

constexpr int AspiSenseLength = 14;

struct SrbHeader {
  BYTE command;
  BYTE status;
  BYTE adapter;
  BYTE flags;
  DWORD reserved;
};

struct SrbHaInquiry {
  SrbHeader header;
  BYTE adapterCount;
  BYTE adapterScsiId;
  BYTE managerId[16];
  BYTE identifier[16];
  BYTE unique[16];  // unique[3]: targets on the adapter (0 means 8)
  WORD reserved;
};

struct SrbGetDeviceType {
  SrbHeader header;
  BYTE target;
  BYTE lun;
  BYTE deviceType;
  BYTE reserved;
};

struct SrbExecScsiCmd {
  SrbHeader header;
  BYTE target;
  BYTE lun;
  WORD reserved1;
  DWORD bufferLength;
  BYTE* buffer;
  BYTE senseLength;
  BYTE cdbLength;
  BYTE adapterStatus;
  BYTE targetStatus;
  void* postProc;  // the completion event with SrbEventNotify
  BYTE reserved2[20];
  BYTE cdb[16];
  BYTE sense[AspiSenseLength + 2];
};

#pragma pack(pop)

static_assert(sizeof(SrbHaInquiry) == 60);
static_assert(sizeof(SrbGetDeviceType) == 12);
static_assert(sizeof(SrbExecScsiCmd) == 0x50);

using GetAspi32SupportInfoFn = DWORD(__cdecl*)();
using SendAspi32CommandFn = DWORD(__cdecl*)(void* request);
