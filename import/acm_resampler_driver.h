// Our own PCM converter as an in-process ACM driver. While a ScopedResamplerDriver lives, every
// acmStreamOpen of the process from integer PCM to 16-bit PCM (1 or 2 channels, rates from
// 1000 to 384000 Hz) is served by PcmResampler instead of the system's converter; every other
// stream is declined and goes to the drivers that were there before.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdint>

#include "session/handles.h"

class ScopedResamplerDriver {
 public:
  ScopedResamplerDriver();
  ~ScopedResamplerDriver();
  ScopedResamplerDriver(const ScopedResamplerDriver&) = delete;
  ScopedResamplerDriver& operator=(const ScopedResamplerDriver&) = delete;

  bool Added() const { return static_cast<bool>(id_); }
  HACMDRIVERID Id() const { return id_.get(); }

 private:
  AcmAddedDriver id_;  // removed after the destructor's body
};

// A caller that converts chunk by chunk without ACM_STREAMCONVERTF_END announces the total
// source length here before acmStreamOpen: the next stream that the driver opens flushes its
// filter tail when that many bytes have arrived.
void SetNextStreamSourceBytes(uint32_t bytes);
