#include "import/ffmpeg_library.h"

#include <windows.h>

#include <string>

#include "session/session_state.h"

namespace {

#define QV_DLL_NAME(prefix, major) prefix AV_STRINGIFY(major) ".dll"
enum Library { Util, Resample, Codec, Format, LibraryCount };
// In dependency order: each is loaded after the ones it imports.
const char* const DllNames[LibraryCount] = {
    QV_DLL_NAME("avutil-", LIBAVUTIL_VERSION_MAJOR),
    QV_DLL_NAME("swresample-", LIBSWRESAMPLE_VERSION_MAJOR),
    QV_DLL_NAME("avcodec-", LIBAVCODEC_VERSION_MAJOR),
    QV_DLL_NAME("avformat-", LIBAVFORMAT_VERSION_MAJOR),
};

// The folder of the running program, with its trailing backslash: the DLLs are taken from
// there only, never from the search path.
std::string ProgramFolder() { return FolderOfPath(ProgramPath()); }

bool Load(FfmpegApi* api) {
  HMODULE modules[LibraryCount] = {};
  const std::string folder = ProgramFolder();
  for (int i = 0; i < LibraryCount; ++i) {
    modules[i] = LoadLibraryExW(Widen(folder + DllNames[i]).c_str(), nullptr,
                                LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!modules[i]) return false;
  }
  bool complete = true;
#define QV_FFMPEG_RESOLVE(library, name)                                               \
  api->name = reinterpret_cast<decltype(api->name)>(                                   \
      reinterpret_cast<void*>(GetProcAddress(modules[library], #name)));               \
  complete = complete && api->name != nullptr;
  QV_FFMPEG_FUNCTIONS(QV_FFMPEG_RESOLVE)
#undef QV_FFMPEG_RESOLVE
  return complete;  // the modules stay loaded for the life of the process
}

}  // namespace

const FfmpegApi* LoadFfmpeg() {
  static FfmpegApi api;
  static const bool loaded = Load(&api);  // once, whichever thread comes first
  return loaded ? &api : nullptr;
}
