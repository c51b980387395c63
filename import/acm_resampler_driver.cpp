#include "import/acm_resampler_driver.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "import/acm_driver_messages.h"
#include "import/pcm_resampler.h"

namespace {

constexpr DWORD DriverFourCc = mmioFOURCC('a', 'u', 'd', 'c');
constexpr uint32_t NoPendingTotal = UINT32_MAX;
uint32_t pendingTotalBytes = NoPendingTotal;

bool ReadLayout(const WAVEFORMATEX* format, PcmLayout* layout) {
  if (format == nullptr || format->wFormatTag != WAVE_FORMAT_PCM) return false;
  layout->rate = format->nSamplesPerSec;
  layout->channels = format->nChannels;
  layout->bits = format->wBitsPerSample;
  return layout->BlockAlign() != 0 && format->nBlockAlign == layout->BlockAlign();
}

bool StreamLayouts(const AcmDrvStreamInstance* instance, PcmLayout* source, PcmLayout* target) {
  if (instance == nullptr || instance->pwfltr != nullptr) return false;
  return ReadLayout(instance->pwfxSrc, source) && ReadLayout(instance->pwfxDst, target) &&
         PcmResampler::Supports(*source, *target);
}

template <typename T>
void CopyOut(const T& filled, void* destination) {
  // The caller says in cbStruct how much room it has; copy no more than that.
  DWORD room = *static_cast<const DWORD*>(destination);
  DWORD size = room < sizeof(T) ? room : static_cast<DWORD>(sizeof(T));
  std::memcpy(destination, &filled, size);
  *static_cast<DWORD*>(destination) = size;
}

LRESULT DriverDetails(ACMDRIVERDETAILSW* details) {
  if (details == nullptr || details->cbStruct < sizeof(DWORD)) return MMSYSERR_INVALPARAM;
  ACMDRIVERDETAILSW filled{};
  filled.cbStruct = sizeof filled;
  filled.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
  filled.fccComp = ACMDRIVERDETAILS_FCCCOMP_UNDEFINED;
  filled.wMid = 0xFFFF;
  filled.wPid = 0x0001;
  filled.vdwACM = 0x04000000;
  filled.vdwDriver = 0x01000000;
  filled.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
  filled.cFormatTags = 1;
  filled.cFilterTags = 0;
  lstrcpynW(filled.szShortName, L"Quavella PCM", ACMDRIVERDETAILS_SHORTNAME_CHARS);
  lstrcpynW(filled.szLongName, L"Quavella PCM rate and channel converter",
            ACMDRIVERDETAILS_LONGNAME_CHARS);
  CopyOut(filled, details);
  return MMSYSERR_NOERROR;
}

LRESULT FormatTagDetails(ACMFORMATTAGDETAILSW* details, DWORD flags) {
  if (details == nullptr || details->cbStruct < sizeof(DWORD)) return MMSYSERR_INVALPARAM;
  switch (flags & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
      if (details->dwFormatTagIndex != 0) return ACMERR_NOTPOSSIBLE;
      break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
      if (details->dwFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
      break;
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
      if (details->dwFormatTag != WAVE_FORMAT_PCM && details->dwFormatTag != WAVE_FORMAT_UNKNOWN)
        return ACMERR_NOTPOSSIBLE;
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  ACMFORMATTAGDETAILSW filled{};
  filled.cbStruct = sizeof filled;
  filled.dwFormatTagIndex = 0;
  filled.dwFormatTag = WAVE_FORMAT_PCM;
  filled.cbFormatSize = sizeof(PCMWAVEFORMAT);
  filled.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
  filled.cStandardFormats = 0;
  lstrcpynW(filled.szFormatTag, L"PCM", ACMFORMATTAGDETAILS_FORMATTAG_CHARS);
  CopyOut(filled, details);
  return MMSYSERR_NOERROR;
}

LRESULT StreamOpen(AcmDrvStreamInstance* instance) {
  PcmLayout source, target;
  if (!StreamLayouts(instance, &source, &target)) return ACMERR_NOTPOSSIBLE;
  if (instance->fdwOpen & ACM_STREAMOPENF_ASYNC) return ACMERR_NOTPOSSIBLE;
  if (instance->fdwOpen & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  PcmResampler* resampler = new (std::nothrow) PcmResampler;
  if (resampler == nullptr) return MMSYSERR_NOMEM;
  try {
    if (!resampler->Open(source, target)) {
      delete resampler;
      return ACMERR_NOTPOSSIBLE;
    }
  } catch (...) {
    delete resampler;
    return MMSYSERR_NOMEM;
  }
  if (pendingTotalBytes != NoPendingTotal) resampler->SetTotalSourceBytes(pendingTotalBytes);
  pendingTotalBytes = NoPendingTotal;
  instance->dwDriver = reinterpret_cast<DWORD_PTR>(resampler);
  return MMSYSERR_NOERROR;
}

LRESULT StreamClose(AcmDrvStreamInstance* instance) {
  if (instance == nullptr) return MMSYSERR_INVALPARAM;
  delete reinterpret_cast<PcmResampler*>(instance->dwDriver);
  instance->dwDriver = 0;
  return MMSYSERR_NOERROR;
}

LRESULT StreamSize(AcmDrvStreamInstance* instance, AcmDrvStreamSize* size) {
  if (instance == nullptr || size == nullptr) return MMSYSERR_INVALPARAM;
  PcmResampler* resampler = reinterpret_cast<PcmResampler*>(instance->dwDriver);
  PcmResampler probe;
  if (resampler == nullptr) {
    PcmLayout source, target;
    if (!StreamLayouts(instance, &source, &target)) return ACMERR_NOTPOSSIBLE;
    try {
      probe.Open(source, target);
    } catch (...) {
      return MMSYSERR_NOMEM;
    }
    resampler = &probe;
  }
  size_t answer;
  switch (size->fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE:
      answer = resampler->MaxTargetBytes(size->cbSrcLength);
      if (answer == 0 || answer > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
      size->cbDstLength = static_cast<DWORD>(answer);
      return MMSYSERR_NOERROR;
    case ACM_STREAMSIZEF_DESTINATION:
      answer = resampler->SourceBytesFor(size->cbDstLength);
      if (answer == 0 || answer > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
      size->cbSrcLength = static_cast<DWORD>(answer);
      return MMSYSERR_NOERROR;
    default:
      return MMSYSERR_INVALFLAG;
  }
}

LRESULT StreamConvert(AcmDrvStreamInstance* instance, AcmDrvStreamHeader* header) {
  if (instance == nullptr || header == nullptr) return MMSYSERR_INVALPARAM;
  PcmResampler* resampler = reinterpret_cast<PcmResampler*>(instance->dwDriver);
  if (resampler == nullptr) return MMSYSERR_INVALHANDLE;
  try {
    const bool last = (header->fdwConvert & ACM_STREAMCONVERTF_END) != 0;
    // Every source byte is taken (a partial frame waits inside for the next call).
    const size_t written = resampler->Convert(header->pbSrc, header->cbSrcLength, header->pbDst,
                                              header->cbDstLength, last);
    header->cbSrcLengthUsed = header->cbSrcLength;
    header->cbDstLengthUsed = static_cast<DWORD>(written);
  } catch (...) {
    return MMSYSERR_NOMEM;
  }
  return MMSYSERR_NOERROR;
}

LRESULT CALLBACK ResamplerDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message,
                                     LPARAM param1, LPARAM param2) {
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CLOSE:
      return 1;
    case DRV_OPEN: {
      auto* desc = reinterpret_cast<AcmDrvOpenDesc*>(param2);
      if (desc != nullptr) {
        if (desc->fccType != DriverFourCc) return 0;
        desc->dwError = MMSYSERR_NOERROR;
      }
      return 1;
    }
    case DRV_QUERYCONFIGURE:
      return 0;
    case DRV_CONFIGURE:
    case DRV_INSTALL:
    case DRV_REMOVE:
      return DRVCNF_OK;
    case AcmdmDriverDetails:
      return DriverDetails(reinterpret_cast<ACMDRIVERDETAILSW*>(param1));
    case AcmdmDriverAbout:
    case AcmdmFormatDetails:
    case AcmdmFormatSuggest:
    case AcmdmFilterTagDetails:
    case AcmdmFilterDetails:
    case AcmdmStreamPrepare:
    case AcmdmStreamUnprepare:
      return MMSYSERR_NOTSUPPORTED;
    case AcmdmFormatTagDetails:
      return FormatTagDetails(reinterpret_cast<ACMFORMATTAGDETAILSW*>(param1),
                              static_cast<DWORD>(param2));
    case AcmdmStreamOpen:
      return StreamOpen(reinterpret_cast<AcmDrvStreamInstance*>(param1));
    case AcmdmStreamClose:
      return StreamClose(reinterpret_cast<AcmDrvStreamInstance*>(param1));
    case AcmdmStreamSize:
      return StreamSize(reinterpret_cast<AcmDrvStreamInstance*>(param1),
                        reinterpret_cast<AcmDrvStreamSize*>(param2));
    case AcmdmStreamConvert:
      return StreamConvert(reinterpret_cast<AcmDrvStreamInstance*>(param1),
                           reinterpret_cast<AcmDrvStreamHeader*>(param2));
    case AcmdmStreamReset:
      return MMSYSERR_NOERROR;
    default:
      if (message >= AcmdmBase && message <= AcmdmBase + 0x0FFF) return MMSYSERR_NOTSUPPORTED;
      return DefDriverProc(driverId, driver, message, param1, param2);
  }
}

// acmDriverAdd takes the procedure as an LPARAM; this keeps the signature checked.
using DriverProcType = LRESULT(CALLBACK*)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM);
constexpr DriverProcType CheckedDriverProc = &ResamplerDriverProc;

}  // namespace

void SetNextStreamSourceBytes(uint32_t bytes) { pendingTotalBytes = bytes; }

ScopedResamplerDriver::ScopedResamplerDriver() {
  HACMDRIVERID id = nullptr;
  MMRESULT result = acmDriverAddA(&id, GetModuleHandleA(nullptr),
                                  reinterpret_cast<LPARAM>(CheckedDriverProc), 0,
                                  ACM_DRIVERADDF_FUNCTION | ACM_DRIVERADDF_LOCAL);
  if (result == MMSYSERR_NOERROR) id_.reset(id);
}

ScopedResamplerDriver::~ScopedResamplerDriver() { pendingTotalBytes = NoPendingTotal; }
