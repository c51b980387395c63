// Stand-in for the QCP library in the wrapper tests: QPLCreateInstance and the two objects,
// logging every call to the file named by QV_QPL_DOUBLE_LOG. QV_QPL_DOUBLE_MODE makes it fail
// on purpose: "no-convert" or "no-qcpfile" (the factory refuses that interface),
// "convert-fails" (the conversion answers non-zero), "no-output" (answers 0, writes nothing).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "encode/qpl_interfaces.h"

namespace {

std::string Mode() {
  char mode[64] = {};
  GetEnvironmentVariableA("QV_QPL_DOUBLE_MODE", mode, sizeof mode);
  return mode;
}

void Log(const std::string& line) {
  char path[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("QV_QPL_DOUBLE_LOG", path, sizeof path)) return;
  if (FILE* f = std::fopen(path, "ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

std::string GuidText(const GUID& g) {
  char text[64];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

template <typename Interface>
class Object : public Interface {
 public:
  explicit Object(const char* name) : name_(name) {}
  virtual ~Object() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, Iid())) return E_NOINTERFACE;
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    Log(std::string("release ") + name_ + " " + std::to_string(left));
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual const GUID& Iid() const = 0;

 private:
  const char* name_;
  ULONG references_ = 1;
};

class ConvertFile : public Object<IQPLConvertFile> {
 public:
  ConvertFile() : Object("convert") {}
  HRESULT STDMETHODCALLTYPE Convert(const char* source, const char* destination,
                                    LONG mode) override {
    Log(std::string("convert ") + source + " " + destination + " " + std::to_string(mode));
    const std::string how = Mode();
    if (how == "convert-fails") return E_FAIL;
    if (how == "no-output") return S_OK;
    FILE* in = std::fopen(source, "rb");
    if (!in) return E_FAIL;
    FILE* out = std::fopen(destination, "wb");
    if (!out) {
      std::fclose(in);
      return E_FAIL;
    }
    std::fwrite("RIFF\0\0\0\0QLCM", 1, 12, out);
    int c;
    while ((c = std::fgetc(in)) != EOF) std::fputc(c, out);
    std::fclose(in);
    std::fclose(out);
    return S_OK;
  }

 protected:
  const GUID& Iid() const override { return IidQplConvertFile; }
};

class QcpFile : public Object<IQPLQcpFile> {
 public:
  QcpFile() : Object("qcpfile") {}
  LONG STDMETHODCALLTYPE Open(const char* name, LONG mode) override {
    FILE* f = std::fopen(name, "rb");
    Log(std::string("open ") + name + " " + std::to_string(mode) + (f ? " found" : " missing"));
    if (!f) return 0;
    std::fclose(f);
    return 1;
  }
  LONG STDMETHODCALLTYPE Close() override {
    Log("close");
    return 0;
  }

 protected:
  const GUID& Iid() const override { return IidQplQcpFile; }
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall QPLCreateInstance(REFCLSID classId,
                                                                     REFIID interfaceId,
                                                                     void** object) {
  Log("create " + GuidText(classId) + " " + GuidText(interfaceId));
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(classId, ClsidQplConverter)) return CLASS_E_CLASSNOTAVAILABLE;
  const std::string how = Mode();
  if (IsEqualGUID(interfaceId, IidQplConvertFile) && how != "no-convert") {
    *object = static_cast<IQPLConvertFile*>(new ConvertFile);
    return S_OK;
  }
  if (IsEqualGUID(interfaceId, IidQplQcpFile) && how != "no-qcpfile") {
    *object = static_cast<IQPLQcpFile*>(new QcpFile);
    return S_OK;
  }
  return E_NOINTERFACE;
}
