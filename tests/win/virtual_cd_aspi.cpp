// A virtual CD drive for tests: an ASPI module (built as WNASPI32.DLL) that serves a disc whose
// audio bytes are a function of their sector address, through the program's real ASPI back end.
// The disc is described by the text file named in QV_VIRTUAL_CD:
//   tracks S1 S2 ... LEADOUT   first sectors of the tracks and the lead-out
//   fail LBA TIMES             the read starting at LBA fails TIMES times
//   untouched FLAG             READ CD with this byte 9 reports done but writes nothing
//   nodrive                    the adapter has no CD drive
//   delay MS                   every audio read takes MS milliseconds
//   late MS                    audio reads are answered "pending" and completed MS
//                              milliseconds later from a thread of the module
// Each read and each MODE SELECT ("mode LENGTH 0") is appended to the file named in
// QV_VIRTUAL_CD_LOG, when set.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "import/cd/aspi_module.h"

namespace {

struct Disc {
  std::vector<uint32_t> starts = {0, 13500};
  std::map<uint32_t, int> failures;
  std::set<int> untouched;
  bool noDrive = false;
  int delayMs = 0;
  int lateMs = 0;
};

// Late completions done so far (for tests: VirtualCdLateCompletions).
volatile LONG lateCompletions = 0;

Disc& TheDisc() {
  static Disc disc = [] {
    Disc d;
    char path[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("QV_VIRTUAL_CD", path, sizeof path)) return d;
    FILE* f = std::fopen(path, "r");
    if (!f) return d;
    char word[32];
    while (std::fscanf(f, "%31s", word) == 1) {
      if (!std::strcmp(word, "tracks")) {
        d.starts.clear();
        unsigned v;
        while (std::fscanf(f, "%u", &v) == 1) d.starts.push_back(v);
      } else if (!std::strcmp(word, "fail")) {
        unsigned lba;
        int times;
        if (std::fscanf(f, "%u %d", &lba, &times) == 2) d.failures[lba] = times;
      } else if (!std::strcmp(word, "untouched")) {
        int flag;
        if (std::fscanf(f, "%i", &flag) == 1) d.untouched.insert(flag);
      } else if (!std::strcmp(word, "late")) {
        if (std::fscanf(f, "%d", &d.lateMs) != 1) d.lateMs = 0;
      } else if (!std::strcmp(word, "delay")) {
        if (std::fscanf(f, "%d", &d.delayMs) != 1) d.delayMs = 0;
      } else if (!std::strcmp(word, "nodrive")) {
        d.noDrive = true;
      }
    }
    std::fclose(f);
    return d;
  }();
  return disc;
}

void Log(const char* format, unsigned a, unsigned b) {
  char path[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("QV_VIRTUAL_CD_LOG", path, sizeof path)) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, format, a, b);
    std::fclose(f);
  }
}

uint8_t SampleByte(uint32_t lba, uint32_t i) {
  return static_cast<uint8_t>((lba * 7 + i * 13) ^ (i >> 8));
}

BYTE Execute(SrbExecScsiCmd* r) {
  Disc& disc = TheDisc();
  if (disc.noDrive || r->target != 1 || r->lun != 0) return SsNoDevice;
  BYTE op = r->cdb[0];
  BYTE* data = r->buffer;
  switch (op) {
    case 0x12: {  // INQUIRY
      std::memset(data, ' ', r->bufferLength);
      const char id[] = "VIRTUAL CD-ROM DRIVE    1.0 ";
      if (r->bufferLength >= 36) {
        data[0] = 5;
        std::memcpy(data + 8, id, 28);
      }
      return SsComp;
    }
    case 0x43: {  // READ TOC, logical addresses
      std::memset(data, 0, r->bufferLength);
      if (r->bufferLength < 4 + 8 * disc.starts.size()) return SsErr;
      uint16_t length = static_cast<uint16_t>(2 + 8 * disc.starts.size());
      data[0] = static_cast<BYTE>(length >> 8);
      data[1] = static_cast<BYTE>(length);
      data[2] = 1;
      data[3] = static_cast<BYTE>(disc.starts.size() - 1);
      for (size_t i = 0; i < disc.starts.size(); ++i) {
        BYTE* e = data + 4 + 8 * i;
        e[1] = 0x10;
        e[2] = i + 1 < disc.starts.size() ? static_cast<BYTE>(i + 1) : 0xAA;
        uint32_t a = disc.starts[i];
        e[4] = static_cast<BYTE>(a >> 24);
        e[5] = static_cast<BYTE>(a >> 16);
        e[6] = static_cast<BYTE>(a >> 8);
        e[7] = static_cast<BYTE>(a);
      }
      return SsComp;
    }
    case 0xBE: case 0x28: case 0xD8: case 0xD4: {
      uint32_t lba = r->cdb[3] << 16 | r->cdb[4] << 8 | r->cdb[5];
      uint32_t count = op == 0xD8 ? r->cdb[9] : r->cdb[8];
      if (disc.delayMs > 0) Sleep(static_cast<DWORD>(disc.delayMs));
      if (op == 0xBE && disc.untouched.count(r->cdb[9])) return SsComp;
      auto failure = disc.failures.find(lba);
      if (failure != disc.failures.end() && failure->second > 0) {
        --failure->second;
        Log("fail %u %u\n", lba, count);
        return SsErr;
      }
      if (r->bufferLength < count * 2352) return SsErr;
      for (uint32_t i = 0; i < count * 2352; ++i) data[i] = SampleByte(lba + i / 2352, i % 2352);
      Log("read %u %u\n", lba, count);
      return SsComp;
    }
    case 0x15:  // MODE SELECT: the block descriptor's length
      if (r->bufferLength >= 12) Log("mode %u %u\n", data[9] << 16 | data[10] << 8 | data[11], 0);
      return SsComp;
    default:  // SET CD SPEED
      return SsComp;
  }
}

bool IsAudioRead(const SrbExecScsiCmd* r) {
  BYTE op = r->cdb[0];
  return op == 0xBE || op == 0x28 || op == 0xD8 || op == 0xD4;
}

DWORD WINAPI CompleteLate(LPVOID parameter) {
  auto* r = static_cast<SrbExecScsiCmd*>(parameter);
  Sleep(static_cast<DWORD>(TheDisc().lateMs));
  r->header.status = Execute(r);
  InterlockedIncrement(&lateCompletions);
  if ((r->header.flags & SrbEventNotify) && r->postProc) SetEvent(static_cast<HANDLE>(r->postProc));
  return 0;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo() {
  return MAKEWORD(1, SsComp);
}

extern "C" __declspec(dllexport) DWORD __cdecl SendASPI32Command(void* request) {
  auto* header = static_cast<SrbHeader*>(request);
  switch (header->command) {
    case ScHaInquiry: {
      auto* r = static_cast<SrbHaInquiry*>(request);
      r->adapterCount = 1;
      r->unique[3] = 8;
      header->status = SsComp;
      break;
    }
    case ScGetDevType: {
      auto* r = static_cast<SrbGetDeviceType*>(request);
      bool cd = !TheDisc().noDrive && header->adapter == 0 && r->target == 1 && r->lun == 0;
      r->deviceType = cd ? 5 : 0;
      header->status = cd ? SsComp : SsNoDevice;
      break;
    }
    case ScExecScsiCmd: {
      auto* r = static_cast<SrbExecScsiCmd*>(request);
      if (TheDisc().lateMs > 0 && IsAudioRead(r)) {
        header->status = SsPending;
        HANDLE thread = CreateThread(nullptr, 0, CompleteLate, r, 0, nullptr);
        if (thread) CloseHandle(thread);
        return SsPending;
      }
      header->status = Execute(r);
      if ((header->flags & SrbEventNotify) && r->postProc) SetEvent(static_cast<HANDLE>(r->postProc));
      break;
    }
    default:
      header->status = SsErr;
  }
  return header->status;
}

extern "C" __declspec(dllexport) DWORD __cdecl GetASPI32DLLVersion() { return 1; }

extern "C" __declspec(dllexport) LONG __cdecl VirtualCdLateCompletions() { return lateCompletions; }
