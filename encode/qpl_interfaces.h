// The QCP library's object interfaces as the program calls them: COM layout (QueryInterface,
// AddRef, Release first), stdcall methods, ANSI file names. The library exports
//   HRESULT __stdcall QPLCreateInstance(REFCLSID classId, REFIID interfaceId, void** object);
// under its plain name; 0 means the object was made.
#pragma once
#include <windows.h>
#include <unknwn.h>

// {EEDAC6E0-BA67-11D4-94A2-0008C7377505}
constexpr GUID ClsidQplConverter = {0xEEDAC6E0, 0xBA67, 0x11D4,
                                    {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};
// {EEDAC6E1-BA67-11D4-94A2-0008C7377505}
constexpr GUID IidQplConvertFile = {0xEEDAC6E1, 0xBA67, 0x11D4,
                                    {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};
// {EEDAC6E2-BA67-11D4-94A2-0008C7377505}
constexpr GUID IidQplQcpFile = {0xEEDAC6E2, 0xBA67, 0x11D4,
                                {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};

struct IQPLConvertFile : IUnknown {
  // 4th operation: converts a WAV file into a QCP file; 0 means converted.
  virtual HRESULT STDMETHODCALLTYPE Convert(const char* sourceWav, const char* destinationQcp,
                                            LONG mode) = 0;
};

struct IQPLQcpFile : IUnknown {
  // 4th operation: opens a QCP file; non-zero means it opened.
  virtual LONG STDMETHODCALLTYPE Open(const char* qcpName, LONG mode) = 0;
  // 5th operation: closes it again.
  virtual LONG STDMETHODCALLTYPE Close() = 0;
};

using QplCreateInstanceProc = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
