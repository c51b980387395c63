#include "import/import_mp3.h"

#include <commctrl.h>

#include <string>

#include "import/acm_mp3_decoder.h"
#include "import/import_messages.h"
#include "import/mp3_converter.h"
#include "import/mp3_import_progress.h"
#include "import/wave_file.h"
#include "session/file_size.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"

namespace {

// The MP3 changes its sample rate or channels part way (two files joined): the frames before the
// change are kept. Shown once the import has ended (caption "Warning").
const char FormatChangedMessage[] =
    "This MP3 changes its sample rate or channels part way through. Quavella has opened it up "
    "to that point; the rest of the song was left out.";

void SetBarPosition(HWND bar, int32_t position) {
  if (bar) SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace

int ImportMp3(const char* sourcePath, const char* startDirectory, HWND progressBar) {
  Mp3TrackInfo track;
  if (!InitTrackInfo(Mp3Source{sourcePath, nullptr}, &track)) return 0;

  Mp3Converter converter;
  converter.Scan(&track);  // a failed scan leaves a sample rate of 0, which Open refuses
  const Mp3StreamInfo info = converter.StreamInfo();

  AcmMp3Decoder decoder;
  if (!decoder.Open(track.path, info, 0)) return 0;
  // The codec was opened for the first frames' format: it is given no frame of another.
  const uint32_t formatChange = converter.Scanner().FormatChangeOffset();
  if (formatChange != 0) decoder.SetInputLimit(formatChange);

  // By its full path: the window's thread may move the current folder for a while (the shell).
  const std::string destination = PathInFolder(startDirectory, "d.wav");
  WaveFile wave(destination.c_str(), info.sampleRate, info.stereo != 0);
  if (!wave.IsOpen()) {
    decoder.Close();
    return ImportWriteFailed;
  }

  Mp3ImportProgress progress(FileSizeBytes(track.path));
  if (progressBar) {
    SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(progress.Low(), progress.High()));
    SendMessageA(progressBar, PBM_SETSTEP, 1, 0);
  }

  uint64_t total = 0;
  bool cut = false;  // at the import limit: what follows the format change was not reached
  bool writeFailed = false;
  // The program's end stops the decoding as the limit does: d.wav is finished normally.
  while (!StopRequested()) {
    const uint8_t* pcm = nullptr;
    int32_t n = decoder.Read(&pcm);
    if (n < 0) break;
    total += static_cast<uint32_t>(n);
    if (wave.Write(static_cast<uint32_t>(n), pcm) < 0) {
      writeFailed = true;
      break;
    }
    int32_t position = progress.Advance(decoder.ConsumedBytes());
    if (position >= 0) SetBarPosition(progressBar, position);
    if (total > ImportByteLimit) {
      ShowMessage(ImportTruncatedMessage, "Warning");
      cut = true;
      break;
    }
  }

  SetBarPosition(progressBar, 0);
  decoder.Close();
  if (FAILED(wave.Close())) writeFailed = true;
  if (writeFailed) return ImportWriteFailed;
  if (formatChange != 0 && !cut) ShowMessage(FormatChangedMessage, "Warning");
  return 1;
}
