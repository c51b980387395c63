// ringq.dll: the QCP library's COM-layout objects over the portable encoder.
#include <cstdio>
#include <new>
#include <vector>

#include "formats/utf8_text.h"
#include "encoders/ringq/ringq_api.h"
#include "formats/qcp_file.h"
#include "encoders/ringq/wav_to_qcp.h"
#include "session/unique_handle.h"

namespace {

// {00000000-0000-0000-C000-000000000046}
constexpr GUID IidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool SameGuid(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != 0; }

class QplConverter final : public IQPLConvertFile, public IQPLQcpFile {
 public:
  QplConverter() = default;
  QplConverter(const QplConverter&) = delete;
  QplConverter& operator=(const QplConverter&) = delete;

  // The IUnknown of both interfaces answers through these (one identity).
  HRESULT Query(const GUID* iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!iid) return E_POINTER;
    if (SameGuid(*iid, IidUnknown) || SameGuid(*iid, IID_IQPLConvertFile))
      *object = static_cast<IQPLConvertFile*>(this);
    else if (SameGuid(*iid, IID_IQPLQcpFile))
      *object = static_cast<IQPLQcpFile*>(this);
    else
      return E_NOINTERFACE;
    AddRefObject();
    return S_OK;
  }
  ULONG AddRefObject() { return ULONG(InterlockedIncrement(&refs_)); }
  ULONG ReleaseObject() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return ULONG(left);
  }

  // IQPLConvertFile and IQPLQcpFile share QueryInterface/AddRef/Release by name: one override
  // serves both vtables.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return Query(&iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefObject(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseObject(); }

  HRESULT STDMETHODCALLTYPE ConvertFile(const char* source, const char* destination,
                                        int /*mode*/) override {
    const int result = ConvertWavFileToQcp(source, destination);
    return result == RingqOk ? S_OK : HRESULT(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF,
                                                           0x200 + result));
  }

  BOOL STDMETHODCALLTYPE Open(const char* name, int /*mode*/) override {
    CloseFile();
    if (!name || !*name) return FALSE;
    // The file stays open (readable by others) until Close.
    file_.reset(OpenFileUtf8(name, "rb"));
    if (!file_) return FALSE;
    bool valid = false;
    try {
      std::vector<uint8_t> bytes;
      uint8_t buffer[65536];
      size_t got;
      bool tooBig = false;
      while ((got = std::fread(buffer, 1, sizeof buffer, file_.get())) > 0) {
        if (static_cast<long long>(bytes.size() + got) > RingqMaxSourceBytes) {
          tooBig = true;
          break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
      }
      valid = !tooBig && !std::ferror(file_.get()) && CheckQcpFile(bytes) >= 0;
    } catch (...) {
      valid = false;
    }
    if (!valid) {
      CloseFile();
      return FALSE;
    }
    return TRUE;
  }

  HRESULT STDMETHODCALLTYPE Close() override {
    CloseFile();
    return S_OK;
  }

 private:
  ~QplConverter() = default;
  void CloseFile() { file_.reset(); }

  LONG refs_ = 1;
  StdioFile file_;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI QPLCreateInstance(const GUID* classId,
                                                                  const GUID* iid,
                                                                  void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!classId || !iid) return E_POINTER;
  if (!SameGuid(*classId, CLSID_QplConverter)) return CLASS_E_CLASSNOTAVAILABLE;
  QplConverter* converter = new (std::nothrow) QplConverter;
  if (!converter) return E_OUTOFMEMORY;
  const HRESULT hr = converter->Query(iid, object);
  converter->ReleaseObject();  // the creation reference; *object holds its own
  return hr;
}
