// The driver side of ACM (msacmdrv.h), which mingw-w64 does not ship: the messages an ACM
// driver procedure receives and the records they carry, for our own in-process drivers.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

constexpr UINT AcmdmBase = 0x6000;
constexpr UINT AcmdmDriverDetails = AcmdmBase + 10;
constexpr UINT AcmdmDriverAbout = AcmdmBase + 11;
constexpr UINT AcmdmFormatTagDetails = AcmdmBase + 25;
constexpr UINT AcmdmFormatDetails = AcmdmBase + 26;
constexpr UINT AcmdmFormatSuggest = AcmdmBase + 27;
constexpr UINT AcmdmFilterTagDetails = AcmdmBase + 50;
constexpr UINT AcmdmFilterDetails = AcmdmBase + 51;
constexpr UINT AcmdmStreamOpen = AcmdmBase + 76;
constexpr UINT AcmdmStreamClose = AcmdmBase + 77;
constexpr UINT AcmdmStreamSize = AcmdmBase + 78;
constexpr UINT AcmdmStreamConvert = AcmdmBase + 79;
constexpr UINT AcmdmStreamReset = AcmdmBase + 80;
constexpr UINT AcmdmStreamPrepare = AcmdmBase + 81;
constexpr UINT AcmdmStreamUnprepare = AcmdmBase + 82;

struct AcmDrvStreamInstance {
  DWORD cbStruct;
  LPWAVEFORMATEX pwfxSrc;
  LPWAVEFORMATEX pwfxDst;
  LPWAVEFILTER pwfltr;
  DWORD_PTR dwCallback;
  DWORD_PTR dwInstance;
  DWORD fdwOpen;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
  HACMSTREAM has;
};

struct AcmDrvStreamHeader {
  DWORD cbStruct;
  DWORD fdwStatus;
  DWORD_PTR dwUser;
  LPBYTE pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  DWORD_PTR dwSrcUser;
  LPBYTE pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  DWORD_PTR dwDstUser;
  DWORD fdwConvert;
  AcmDrvStreamHeader* padshNext;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
  DWORD fdwPrepared;
  DWORD_PTR dwPrepared;
  LPBYTE pbPreparedSrc;
  DWORD cbPreparedSrcLength;
  LPBYTE pbPreparedDst;
  DWORD cbPreparedDstLength;
};

struct AcmDrvStreamSize {
  DWORD cbStruct;
  DWORD fdwSize;
  DWORD cbSrcLength;
  DWORD cbDstLength;
};

struct AcmDrvOpenDesc {
  DWORD cbStruct;
  FOURCC fccType;
  FOURCC fccComp;
  DWORD dwVersion;
  DWORD dwFlags;
  DWORD dwError;
  LPCWSTR pszSectionName;
  LPCWSTR pszAliasName;
  DWORD dnDevNode;
};

#if !defined(_WIN64)
static_assert(sizeof(AcmDrvStreamInstance) == 40, "ACMDRVSTREAMINSTANCE layout");
static_assert(sizeof(AcmDrvStreamHeader) == 84, "ACMDRVSTREAMHEADER layout");
#endif
static_assert(sizeof(AcmDrvStreamSize) == 16, "ACMDRVSTREAMSIZE layout");
