// The binary interface of ringq.dll, as the program loads it at run time. Both interfaces are
// COM-layout (QueryInterface, AddRef, Release first) with stdcall methods; the factory is a
// stdcall export under its plain name. File names are ANSI strings.
#pragma once

#include <windows.h>
#include <unknwn.h>

// {EEDAC6E0-BA67-11D4-94A2-0008C7377505}
inline constexpr GUID CLSID_QplConverter = {
    0xEEDAC6E0, 0xBA67, 0x11D4, {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};
// {EEDAC6E1-BA67-11D4-94A2-0008C7377505}
inline constexpr GUID IID_IQPLConvertFile = {
    0xEEDAC6E1, 0xBA67, 0x11D4, {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};
// {EEDAC6E2-BA67-11D4-94A2-0008C7377505}
inline constexpr GUID IID_IQPLQcpFile = {
    0xEEDAC6E2, 0xBA67, 0x11D4, {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};

struct IQPLConvertFile : public IUnknown {
  // Encodes the 8000 Hz mono 16-bit PCM WAV file `source` into the QCP file `destination`.
  // `mode` is accepted for compatibility (callers pass 1). 0 = converted; otherwise an error
  // code and no destination file is written.
  virtual HRESULT STDMETHODCALLTYPE ConvertFile(const char* source, const char* destination,
                                                int mode) = 0;
};

struct IQPLQcpFile : public IUnknown {
  // Opens a QCP file for reading (`mode` 1). Non-zero when it opened and is a well-formed
  // QCELP-13K QCP file. An open file is closed first.
  virtual BOOL STDMETHODCALLTYPE Open(const char* name, int mode) = 0;
  // Closes the open file, if any. Returns 0.
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

// Creates the converter object (class CLSID_QplConverter) and returns the interface `iid` in
// *object. S_OK, or an error with *object null: CLASS_E_CLASSNOTAVAILABLE for another class,
// E_NOINTERFACE for an unknown interface, E_POINTER for a null argument.
typedef HRESULT(WINAPI* QplCreateInstanceFn)(const GUID* classId, const GUID* iid, void** object);
