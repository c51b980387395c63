// The Win32 handles the program holds, each an owner that closes it on every way out
// (session/unique_handle.h). Nothing of the program keeps a handle by hand in a scope.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <unknwn.h>
#include <wininet.h>

#include <utility>

#include "session/unique_handle.h"

// Kernel objects -----------------------------------------------------------------------------

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return CloseHandle(h) != FALSE; }
};
// A file from CreateFile, which fails with INVALID_HANDLE_VALUE.
using FileHandle = UniqueHandle<FileHandleTraits>;

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return CloseHandle(h) != FALSE; }
};
// An event, mutex, file mapping, process or thread: the kinds that fail with null.
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct JoinedThreadTraits {
  using Handle = HANDLE;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) {
    WaitForSingleObject(h, INFINITE);
    return CloseHandle(h) != FALSE;
  }
};
// A thread that is waited for before its handle closes: what it works on outlives it.
using JoinedThread = UniqueHandle<JoinedThreadTraits>;

struct MappedViewTraits {
  using Handle = const void*;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle view) { return UnmapViewOfFile(view) != FALSE; }
};
// A view from MapViewOfFile.
using MappedView = UniqueHandle<MappedViewTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return FreeLibrary(h) != FALSE; }
};
// A DLL from LoadLibrary. Objects that came from it must be let go before it.
using Module = UniqueHandle<ModuleTraits>;

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};
// An open registry key (RegOpenKeyEx, RegCreateKeyEx through put()).
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// User interface and drawing -------------------------------------------------------------------

template <class T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle object) { return DeleteObject(object) != FALSE; }
};
// A pen, brush, font, bitmap or region. It must not be selected into a DC when it goes:
// select the old object back first.
template <class T = HGDIOBJ>
using GdiObject = UniqueHandle<GdiObjectTraits<T>>;

struct MenuTraits {
  using Handle = HMENU;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle menu) { return DestroyMenu(menu) != FALSE; }  // and its submenus
};
using Menu = UniqueHandle<MenuTraits>;

// A window's DC (or the screen's, for a null window) from GetDC, released to it at the end.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// A memory drawing surface from CreateCompatibleDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle dc) { return DeleteDC(dc) != FALSE; }
};
using MemoryDc = UniqueHandle<MemoryDcTraits>;

// A bitmap selected into a memory surface of its own: on the way out the surface's first bitmap
// goes back in, then the surface and the bitmap go.
class BitmapSurface {
 public:
  BitmapSurface() = default;
  BitmapSurface(MemoryDc dc, GdiObject<HBITMAP> bitmap)
      : dc_(std::move(dc)), bitmap_(std::move(bitmap)) {
    if (dc_ && bitmap_) first_ = SelectObject(dc_.get(), bitmap_.get());
  }
  ~BitmapSurface() { Restore(); }
  BitmapSurface(BitmapSurface&& other) noexcept { *this = std::move(other); }
  BitmapSurface& operator=(BitmapSurface&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::move(other.dc_);
      bitmap_ = std::move(other.bitmap_);
      first_ = other.first_;
      other.first_ = nullptr;
    }
    return *this;
  }
  HDC dc() const { return dc_.get(); }
  explicit operator bool() const { return static_cast<bool>(dc_); }

 private:
  void Restore() {
    if (dc_ && first_) SelectObject(dc_.get(), first_);
    first_ = nullptr;
    dc_.reset();
    bitmap_.reset();
  }
  MemoryDc dc_;
  GdiObject<HBITMAP> bitmap_;
  HGDIOBJ first_ = nullptr;
};

// Multimedia files and ACM ---------------------------------------------------------------------

struct MmioFileTraits {
  using Handle = HMMIO;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle file) { return mmioClose(file, 0) == MMSYSERR_NOERROR; }
};
// A file from mmioOpen; close() says whether its buffered writes reached the disk.
using MmioFile = UniqueHandle<MmioFileTraits>;

struct AcmStreamTraits {
  using Handle = HACMSTREAM;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle stream) { return acmStreamClose(stream, 0) == MMSYSERR_NOERROR; }
};
using AcmStream = UniqueHandle<AcmStreamTraits>;

struct AcmDriverTraits {
  using Handle = HACMDRIVER;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle driver) { return acmDriverClose(driver, 0) == MMSYSERR_NOERROR; }
};
using AcmDriver = UniqueHandle<AcmDriverTraits>;

struct AcmAddedDriverTraits {
  using Handle = HACMDRIVERID;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle id) { return acmDriverRemove(id, 0) == MMSYSERR_NOERROR; }
};
// A driver of the process's own, from acmDriverAdd; removed at the end.
using AcmAddedDriver = UniqueHandle<AcmAddedDriverTraits>;

// A header prepared on an ACM stream, unprepared on every way out; the source length goes back
// to the prepared size first, as ACM requires. The stream must outlive it.
class AcmPreparedHeader {
 public:
  AcmPreparedHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD preparedSource)
      : stream_(stream), header_(header), preparedSource_(preparedSource) {}
  ~AcmPreparedHeader() { Unprepare(); }
  AcmPreparedHeader(const AcmPreparedHeader&) = delete;
  AcmPreparedHeader& operator=(const AcmPreparedHeader&) = delete;
  // Unprepares now; ACM's answer (MMSYSERR_NOERROR when there is nothing left to undo).
  MMRESULT Unprepare() {
    if (stream_ == nullptr) return MMSYSERR_NOERROR;
    header_->cbSrcLength = preparedSource_;
    const MMRESULT result = acmStreamUnprepareHeader(stream_, header_, 0);
    stream_ = nullptr;
    return result;
  }

 private:
  HACMSTREAM stream_;
  ACMSTREAMHEADER* header_;
  DWORD preparedSource_;
};

// Network and COM --------------------------------------------------------------------------------

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return InternetCloseHandle(h) != FALSE; }
};
// A WinINet session, connection or request.
using InternetHandle = UniqueHandle<InternetHandleTraits>;

template <class T>
struct ComRefTraits {
  using Handle = T*;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle object) {
    object->Release();
    return true;
  }
};
// One reference to a COM object; fill it through put_void() (QueryInterface, CreateInstance)
// or put() (calls typed T**, such as CreateSoundBuffer).
template <class T>
using ComRef = UniqueHandle<ComRefTraits<T>>;
