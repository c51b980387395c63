#include "formats/utf8_text.h"
#include "encode/convert_to_qcp.h"

#include "encode/qpl_interfaces.h"
#include "session/handles.h"
#include "session/session_state.h"

namespace {

bool Fail(const char* text) {
  ShowMessage(text, "Error");
  return false;
}

}  // namespace

bool ConvertToQcp(const char* source, const char* destination, const char* libraryName) {
  Module library(LoadLibraryW(Widen(libraryName).c_str()));
  if (!library) return Fail("Can't find Qpl.dll\n");
  auto create = reinterpret_cast<QplCreateInstanceProc>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "QPLCreateInstance")));
  if (!create) return Fail("Can't get QPLCreateInstance\n");

  // Declared after the library so that they are released before it is unloaded.
  ComRef<IQPLConvertFile> converter;
  if (create(ClsidQplConverter, IidQplConvertFile, converter.put_void()) != 0 || !converter)
    return Fail("Can't find IQPLConvertFile\n");
  ComRef<IQPLQcpFile> qcpFile;
  if (create(ClsidQplConverter, IidQplQcpFile, qcpFile.put_void()) != 0 || !qcpFile)
    return Fail("Can't find IQPLQcpFile\n");

  if (converter->Convert(source, destination, 1) != 0) return Fail("Conversion failed!\n");
  if (qcpFile->Open(destination, 1) != 0) qcpFile->Close();
  SetConverted(true);
  return true;
}
