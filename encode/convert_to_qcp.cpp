#include "formats/utf8_text.h"
#include "encode/convert_to_qcp.h"

#include "encode/qpl_interfaces.h"
#include "session/session_state.h"

namespace {

class Library {
 public:
  explicit Library(const char* name) : module_(LoadLibraryW(Widen(name).c_str())) {}
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

template <typename T>
class ComObject {
 public:
  ComObject() = default;
  ~ComObject() {
    if (object_) object_->Release();
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  void** put() { return reinterpret_cast<void**>(&object_); }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

bool Fail(const char* text) {
  ShowMessage(text, "Error");
  return false;
}

}  // namespace

bool ConvertToQcp(const char* source, const char* destination, const char* libraryName) {
  Library library(libraryName);
  if (!library.get()) return Fail("Can't find Qpl.dll\n");
  auto create = reinterpret_cast<QplCreateInstanceProc>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "QPLCreateInstance")));
  if (!create) return Fail("Can't get QPLCreateInstance\n");

  // Declared after the library so that they are released before it is unloaded.
  ComObject<IQPLConvertFile> converter;
  if (create(ClsidQplConverter, IidQplConvertFile, converter.put()) != 0 || !converter)
    return Fail("Can't find IQPLConvertFile\n");
  ComObject<IQPLQcpFile> qcpFile;
  if (create(ClsidQplConverter, IidQplQcpFile, qcpFile.put()) != 0 || !qcpFile)
    return Fail("Can't find IQPLQcpFile\n");

  if (converter->Convert(source, destination, 1) != 0) return Fail("Conversion failed!\n");
  if (qcpFile->Open(destination, 1) != 0) qcpFile->Close();
  SetConverted(true);
  return true;
}
