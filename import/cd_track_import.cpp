#include "formats/utf8_text.h"
#include "import/cd_track_import.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "import/cd/cd_library.h"
#include "import/cd/cd_track_rip.h"
#include "import/import_messages.h"
#include "import/wav_header_writer.h"
#include "session/ringtone_format.h"
#include "session/unique_handle.h"
#include "session/session_state.h"

namespace {

const char CdTruncated[] =
    "We are sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
    "than the maximum duration supported. \nIf you wish to edit and send the truncated portion of "
    "your song,\nplease use one of many commercially available MP3, CD or WAV editing tools that "
    "you can find on your search engine.";

// Holds the drive handle of the last import; released before the next one and by
// CloseCdTrackImport at exit. No destructor: the process's exit must not call into the drive
// library, whose own end it does not order.
struct CdTrackImporter {
  int handle = 0;
  bool libraryReady = false;
} importer;

void ShowAccessError(const char* format, bool third) {
  char text[160];
  if (third)
    std::snprintf(text, sizeof text, format, GetCDLibError(), GetCDAspiStatus(), 0);
  else
    std::snprintf(text, sizeof text, format, GetCDLibError(), GetCDAspiStatus());
  ShowAppMessage(text);
}

void OpenFirstCdDrive() {
  if (importer.handle) {
    ReleaseCDHandle(importer.handle);
    importer.handle = 0;
  }
  CdList list{};
  list.maxCount = 8;
  GetCDList(&list);
  if (list.count == 0) return;
  CdHandleRequest request = HandleRequestFor(list.drives[0], 0);
  importer.handle = GetCDHandle(&request);
}

}  // namespace

void CloseCdTrackImport() {
  if (importer.handle) ReleaseCDHandle(importer.handle);
  importer.handle = 0;
}

int ImportCdTrack(const char* destination, int trackIndex, HWND progressBar) {
  if (!importer.libraryReady) {
    importer.libraryReady = InitCDLibrary() != 0;
    if (!importer.libraryReady) ShowAppMessage("halvek init failed\n");
  }
  OpenFirstCdDrive();
  if (!importer.handle) {
    ShowAppMessage("Could not get handle to CD\n");
    return 0;
  }

  CdToc toc{};
  if (!SetCDParameter(importer.handle, CdParamAddressMode, 0)) {
    ShowAppMessage("Modify CD Parameters CD\n");
    ShowAccessError("Could not access CD.\n\nHalvek error: %d\nASPI error: %d", false);
    return 0;
  }
  uint32_t start = 0, sectors = 0;
  if (ReadCDTableOfContents(importer.handle, &toc) != CdStatusDone ||
      !CdTrackRange(toc, trackIndex, &start, &sectors)) {
    ShowAppMessage("Error reading TOC\n");
    ShowAccessError("Could not access CD.\n\nHalvek error: %d\nASPI error: %d \nASPISDK error:%d",
                    true);
    return 0;
  }

  uint32_t high = sectors / 5;
  SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(1, high > 0xFFFF ? 0xFFFF : high));
  SendMessageA(progressBar, PBM_SETSTEP, 1, 0);

  std::vector<uint8_t> memory;
  try {
    memory.assign(sizeof(TrackBufferHeader) + RipChunkSectors * CdSectorBytes, 0);
  } catch (...) {
    return 0;
  }
  auto* buffer = reinterpret_cast<TrackBufferHeader*>(memory.data());
  buffer->capacity = RipChunkSectors * CdSectorBytes;
  StdioFile owned(OpenFileUtf8(destination, "w+b"));
  if (!owned) return ImportWriteFailed;
  FILE* file = owned.get();
  WriteWavHeader(file, 0);

  RipSteps steps;
  steps.read = [](TrackBufferHeader* b) { return ReadCDAudioSectors(importer.handle, b); };
  steps.write = [file](const uint8_t* p, uint32_t n) {
    return n == 0 || std::fwrite(p, 1, n, file) == n;
  };
  steps.stepProgress = [progressBar] { SendMessageA(progressBar, PBM_STEPIT, 0, 0); };
  steps.log = [](const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
  };
  steps.libraryError = [] { return GetCDLibError(); };
  steps.aspiStatus = [] { return GetCDAspiStatus(); };
  steps.stop = [] { return StopRequested(); };
  RipResult result = RipSectors(start, sectors, ImportByteLimit, buffer, steps);
  if (result.truncated) ShowMessage(CdTruncated, "Warning");

  WriteWavHeader(file, result.bytes);
  bool closed = owned.close();
  return result.writeFailed || !closed ? ImportWriteFailed : 1;
}
