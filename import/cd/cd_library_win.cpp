#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "formats/utf8_text.h"
#include "import/cd/aspi_module.h"
#include "import/cd/cd_drive_library.h"
#include "import/cd/cd_library.h"
#include "session/handles.h"
#include "session/session_state.h"

namespace {

constexpr DWORD CommandTimeoutMs = 4000;

// ASPI module loaded at run time.
class AspiTransport : public ScsiTransport {
 public:
  static std::unique_ptr<AspiTransport> Load(int* error) {
    Module module(LoadLibraryA("WNASPI32.DLL"));
    if (!module) {
      *error = CdErrNoAspiModule;
      return nullptr;
    }
    auto support = reinterpret_cast<GetAspi32SupportInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "GetASPI32SupportInfo")));
    auto send = reinterpret_cast<SendAspi32CommandFn>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "SendASPI32Command")));
    if (!support || !send) {
      *error = support ? CdErrNoSendCommand : CdErrNoSupportInfo;
      return nullptr;
    }
    auto transport = std::unique_ptr<AspiTransport>(new AspiTransport);
    // Never unloaded: a request that timed out may still complete into our memory.
    transport->module_ = module.release();
    transport->support_ = support;
    transport->send_ = send;
    return transport;
  }

  int AdapterCount(uint8_t* status) override {
    DWORD info = support_();
    *status = HIBYTE(LOWORD(info));
    return LOBYTE(LOWORD(info));
  }

  int TargetCount(int adapter) override {
    SrbHaInquiry inquiry{};
    inquiry.header.command = ScHaInquiry;
    inquiry.header.adapter = static_cast<BYTE>(adapter);
    send_(&inquiry);
    return inquiry.header.status == SsComp ? inquiry.unique[3] : 0;
  }

  int DeviceType(int adapter, int target, int lun) override {
    SrbGetDeviceType request{};
    request.header.command = ScGetDevType;
    request.header.adapter = static_cast<BYTE>(adapter);
    request.target = static_cast<BYTE>(target);
    request.lun = static_cast<BYTE>(lun);
    send_(&request);
    return request.header.status == SsComp ? request.deviceType : -1;
  }

  uint8_t Execute(int adapter, int target, int lun, ScsiCommand& command) override {
    Reap();
    auto* request = new Request;
    request->done.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!request->done) {
      delete request;
      return SsErr;
    }
    // The module reads and writes the request's own copy of the data; the caller's buffer is
    // filled from it only once the request has completed in time. The copy starts as the
    // caller's bytes, so that what a drive leaves unwritten (the probe's fill) stays as it was.
    if (command.dataLength) request->data.assign(command.data, command.data + command.dataLength);
    SrbExecScsiCmd& srb = request->srb;
    srb.header.command = ScExecScsiCmd;
    srb.header.adapter = static_cast<BYTE>(adapter);
    srb.header.flags = (command.dataOut ? SrbDirOut : SrbDirIn) | SrbEventNotify;
    srb.target = static_cast<BYTE>(target);
    srb.lun = static_cast<BYTE>(lun);
    srb.bufferLength = command.dataLength;
    srb.buffer = request->data.empty() ? nullptr : request->data.data();
    srb.senseLength = AspiSenseLength;
    srb.cdbLength = command.cdbLength;
    srb.postProc = request->done.get();
    std::memcpy(srb.cdb, command.cdb, sizeof srb.cdb);
    DWORD result = send_(&srb);
    if (result == SsPending &&
        WaitForSingleObject(request->done.get(), CommandTimeoutMs) != WAIT_OBJECT_0) {
      // Late: the module may still complete it. The request stays until it has.
      std::lock_guard<std::mutex> lock(abandonedMutex_);
      abandoned_.push_back(request);
      return SsErr;
    }
    uint8_t status = srb.header.status;
    std::memcpy(command.sense, srb.sense, sizeof command.sense);
    if (!command.dataOut && command.dataLength)
      std::memcpy(command.data, request->data.data(), command.dataLength);
    delete request;
    return status;
  }

 private:
  // One SCSI request with its completion event and its data.
  struct Request {
    SrbExecScsiCmd srb{};
    KernelHandle done;
    std::vector<uint8_t> data;
  };

  AspiTransport() = default;

  // Frees the requests that timed out and have completed since. One that never completes is
  // never freed: the module could still write into it.
  void Reap() {
    std::lock_guard<std::mutex> lock(abandonedMutex_);
    auto completed = [](Request* r) {
      if (WaitForSingleObject(r->done.get(), 0) != WAIT_OBJECT_0) return false;
      delete r;
      return true;
    };
    abandoned_.erase(std::remove_if(abandoned_.begin(), abandoned_.end(), completed),
                     abandoned_.end());
  }

  HMODULE module_ = nullptr;
  GetAspi32SupportInfoFn support_ = nullptr;
  SendAspi32CommandFn send_ = nullptr;
  std::mutex abandonedMutex_;
  std::vector<Request*> abandoned_;
};

// The built-in back end: SCSI pass-through on the CD drive letters, one adapter per letter.
class PassThroughTransport : public ScsiTransport {
 public:
  struct Drive {
    char letter;
    FileHandle handle;
    SCSI_ADDRESS address;
  };

  static std::unique_ptr<PassThroughTransport> Scan() {
    auto transport = std::unique_ptr<PassThroughTransport>(new PassThroughTransport);
    OSVERSIONINFOA version{sizeof version};
    GetVersionExA(&version);
    DWORD access = version.dwMajorVersion >= 5 ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
      char root[] = {letter, ':', '\\', 0};
      if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
      FileHandle handle(OpenDevice(letter, access));
      if (!handle) handle.reset(OpenDevice(letter, access ^ GENERIC_WRITE));
      if (!handle) continue;
      SCSI_ADDRESS address{};
      address.Length = sizeof address;
      DWORD returned = 0;
      if (!DeviceIoControl(handle.get(), IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                           sizeof address, &returned, nullptr))
        continue;
      transport->drives_.push_back({letter, std::move(handle), address});
    }
    if (transport->drives_.empty()) return nullptr;
    return transport;
  }

  int AdapterCount(uint8_t* status) override {
    *status = drives_.empty() ? SsNoAdapters : SsComp;
    return static_cast<int>(drives_.size());
  }
  int TargetCount(int) override { return 1; }
  int DeviceType(int adapter, int target, int lun) override {
    return adapter < static_cast<int>(drives_.size()) && target == 0 && lun == 0 ? 5 : -1;
  }

  uint8_t Execute(int adapter, int target, int lun, ScsiCommand& command) override {
    if (DeviceType(adapter, target, lun) != 5) return SsNoDevice;
    // The buffered request: the command block, the sense area and the data in one block.
    size_t dataAt = (sizeof(SCSI_PASS_THROUGH) + 32 + 7) & ~size_t{7};
    std::vector<uint8_t> block(dataAt + command.dataLength);
    auto* request = reinterpret_cast<SCSI_PASS_THROUGH*>(block.data());
    request->Length = sizeof *request;
    request->CdbLength = command.cdbLength;
    request->DataIn = command.dataOut ? SCSI_IOCTL_DATA_OUT : SCSI_IOCTL_DATA_IN;
    request->DataTransferLength = command.dataLength;
    request->TimeOutValue = CommandTimeoutMs / 1000;
    request->DataBufferOffset = dataAt;
    request->SenseInfoLength = AspiSenseLength;
    request->SenseInfoOffset = sizeof(SCSI_PASS_THROUGH);
    std::memcpy(request->Cdb, command.cdb, command.cdbLength);
    if (command.dataOut && command.dataLength)
      std::memcpy(block.data() + dataAt, command.data, command.dataLength);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(drives_[adapter].handle.get(), IOCTL_SCSI_PASS_THROUGH, block.data(),
                              static_cast<DWORD>(block.size()), block.data(),
                              static_cast<DWORD>(block.size()), &returned, nullptr);
    std::memcpy(command.sense, block.data() + sizeof(SCSI_PASS_THROUGH), sizeof command.sense);
    if (ok && !command.dataOut && command.dataLength)
      std::memcpy(command.data, block.data() + dataAt, command.dataLength);
    return ok && request->ScsiStatus == 0 ? SsComp : SsErr;
  }

 private:
  static HANDLE OpenDevice(char letter, DWORD access) {
    char device[] = {'\\', '\\', '.', '\\', letter, ':', 0};
    return CreateFileA(device, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
  }
  std::vector<Drive> drives_;
};

// Named mutexes, created once, so that other threads and processes share the drive politely.
class NamedLocks : public CdLocks {
 public:
  NamedLocks() {
    char name[32];
    for (int i = 0; i < CdHandleSlots; ++i) {
      std::snprintf(name, sizeof name, "halvek32_cdMtx%02d", i);
      Create(name);
    }
    Create("halvek32_getCDHandle");
    Create("HalvekCacheMutex");
  }
  bool Acquire(const char* name, uint32_t timeoutMs) override {
    HANDLE m = Find(name);
    if (!m) return false;
    DWORD r = WaitForSingleObject(m, timeoutMs);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  void Release(const char* name) override {
    if (HANDLE m = Find(name)) ReleaseMutex(m);
  }

 private:
  void Create(const char* name) {
    mutexes_.emplace_back(name, KernelHandle(CreateMutexA(nullptr, FALSE, name)));
  }
  HANDLE Find(const char* name) {
    for (auto& m : mutexes_)
      if (m.first == name) return m.second.get();
    return nullptr;
  }
  std::vector<std::pair<std::string, KernelHandle>> mutexes_;
};

class Diagnostics : public CdDiagnostics {
 public:
  // Into the working folder, whatever the current folder is at the moment.
  void WriteDump(const char* name, const uint8_t* data, size_t length) override {
    if (StdioFile f{OpenFileUtf8(WorkingFilePath(name).c_str(), "wb")})
      std::fwrite(data, 1, length, f.get());
  }
  void Debug(const char* line) override { OutputDebugStringA(line); }
};

struct Library {
  std::unique_ptr<ScsiTransport> transport;
  NamedLocks locks;
  Diagnostics diagnostics;
  std::unique_ptr<CdDriveLibrary> drives;
  int initError = 0;
};

CRITICAL_SECTION* LibraryGuard() {
  static CRITICAL_SECTION guard;
  static bool ready = [] {
    InitializeCriticalSection(&guard);
    return true;
  }();
  (void)ready;
  return &guard;
}

// Lives to the end of the process on purpose: the handle of the last CD import is released at
// exit, and a worker may still be ending then.
Library& TheLibrary() {
  static Library* library = new Library;
  return *library;
}

CdDriveLibrary* Drives() { return TheLibrary().drives.get(); }

}  // namespace

int InitCDLibrary() {
  EnterCriticalSection(LibraryGuard());
  Library& library = TheLibrary();
  if (!library.drives) {
    static bool scanned = false;  // the drive-letter scan runs once per process
    if (!scanned) {
      scanned = true;
      library.transport = PassThroughTransport::Scan();
    }
    if (!library.transport) library.transport = AspiTransport::Load(&library.initError);
    if (library.transport)
      library.drives = std::make_unique<CdDriveLibrary>(library.transport.get(), &library.locks,
                                                        &library.diagnostics);
  }
  int ok = library.drives != nullptr;
  LeaveCriticalSection(LibraryGuard());
  return ok;
}

int GetCDList(CdList* list) {
  if (!Drives()) {
    uint8_t max = list->maxCount;
    std::memset(list, 0, sizeof *list);
    list->maxCount = max;
    return 1;
  }
  return Drives()->GetCDList(list);
}
int GetNumAdapters() { return Drives() ? Drives()->GetNumAdapters() : -1; }
int GetCDHandle(const CdHandleRequest* r) { return Drives() ? Drives()->GetCDHandle(r) : 0; }
int SetCDParameter(int h, int p, int v) { return Drives() && Drives()->SetCDParameter(h, p, v); }
uint8_t ReadCDTableOfContents(int h, CdToc* toc) {
  return Drives() ? Drives()->ReadCDTableOfContents(h, toc) : CdStatusFailed;
}
uint8_t ReadCDAudioSectors(int h, TrackBufferHeader* b) {
  return Drives() ? Drives()->ReadCDAudioSectors(h, b) : CdStatusFailed;
}
int ReleaseCDHandle(int h) { return Drives() ? Drives()->ReleaseCDHandle(h) : 0; }
int GetCDLibError() { return Drives() ? Drives()->GetCDLibError() : TheLibrary().initError; }
int GetCDAspiStatus() { return Drives() ? Drives()->GetCDAspiStatus() : 0; }
