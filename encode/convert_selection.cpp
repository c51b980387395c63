#include "formats/utf8_text.h"
#include "encode/convert_selection.h"

#include <string>
#include <vector>

#include "encode/convert_to_qcp.h"
#include "encode/finish_clip.h"
#include "encode/mmf_converter.h"
#include "encode/ringtone_size_rule.h"
#include "encode/run_tool.h"
#include "encode/tool_command_line.h"
#include "encoders/inprocess/ringtone_encoder.h"
#include "import/clip_format.h"
#include "import/clip_to_test_wav.h"
#include "resources/resource_ids.h"
#include "session/edit_options.h"
#include "session/file_size.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"
#include "session/working_folder.h"
#include "session/working_audio.h"

namespace {

const char EmptyClipMessage[] =
    "The selection is too short to hold any sound. Please select a longer part of the song.";

// Runs the outside encoder of `format` on test.wav. False when the encoder failed and has
// already told the user so; true otherwise (the ringtone file then tells whether it worked).
bool RunEncoder(int32_t format) {
  const std::string folder = sessionState.startDirectory;
  switch (format) {
    case RingtoneQcp: {
      const bool ok = ConvertToQcp("test.wav", "new.qcp");
      SetConverted(true);
      return ok;
    }
    case RingtoneAmr:
      RunTool(PathInDirectory(folder, "wav2amr.exe").c_str(), "wav2amr test.wav a.amr MR67");
      SetConverted(true);
      return true;
    case RingtoneWav:
      SetConverted(true);
      return true;
    case RingtoneMp3:
      RunTool(PathInDirectory(folder, "lame.exe").c_str(), "test.wav a.mp3 -b 48");
      SetConverted(true);
      return true;
    case RingtoneMmf: {
      MmfConverter converter;
      if (!converter.Convert("test.wav")) {
        ShowAppMessage("couldnt' convert to mmf");
        return false;
      }
      return true;
    }
    default:
      return true;
  }
}

void SetSizeBox(HWND window, const std::string& text) {
  HWND box = sessionState.sizeEdit ? sessionState.sizeEdit : GetDlgItem(window, ID_SIZE_EDIT);
  if (!box) return;
  SetWindowTextA(box, text.c_str());
  // The window's own repaint may come after the box's: paint it first, then the box on top.
  UpdateWindow(window);
  InvalidateRect(box, nullptr, TRUE);
  UpdateWindow(box);
}

// Ends a conversion that produced no ringtone.
void EndFailed() {
  SetConverted(false);
  EnableWindow(sessionState.browseButton, TRUE);
  RestoreArrowCursor();
}

}  // namespace

void ConvertSelection(HWND window, ClipByteRange range, const EditOptions& options) {
  SetClassCursor(IDC_WAIT);

  const int32_t format = sessionState.outputFormat;
  const char* ringtone = RingtoneFileName(format);
  if (ringtone == nullptr) {
    ShowMessage("Couldn't convert: the phone's ringtone format is not known.", "Error");
    EndFailed();
    return;
  }
  // An earlier ringtone of this format must never pass for the result of this conversion.
  DeleteFileW(Widen(ringtone).c_str());

  // A selection narrower than one frame of the song would become a ringtone of no sound.
  if (PlanClip(range.start, range.end, workingAudio.dataSize, workingAudio.BlockAlign())
          .clipFrames == 0) {
    EndFailed();
    ShowMessage(EmptyClipMessage, "Warning");
    return;
  }
  // The clip is cut into memory and edited there; test.wav is written once, for the encoders
  // that read it, and ours take the samples. Each step tells the user itself when it fails.
  const ClipTargetFormat clipFormat = ClipFormatFor(format);
  std::vector<int16_t> clip;
  // An earlier clip must not be left either for a conversion that stops before writing one.
  DeleteFileW(Widen("test.wav").c_str());
  if (!ExtractClip("d.wav", range.start, range.end, sessionState.progressBar, clipFormat, clip)) {
    EndFailed();
    return;
  }
  // The phones of today take a ringtone by its length: the clip's own, before it is encoded.
  const int64_t clipMs = StereoClipMs(static_cast<int64_t>(clip.size()) * 2);
  if (RingtoneTooLong(format, clipMs)) {
    EndFailed();
    ShowMessage(TooLongMessage(format).c_str(), "Warning");
    return;
  }
  // Fades and "louder" change the clip itself, so every format gets them.
  if (!FinishClip(clip, clipFormat.channels, clipFormat.samplesPerSecond, options) ||
      !WriteTestWav(clipFormat, clip)) {
    EndFailed();
    return;
  }
  // Ours take the clip from memory; a failure leaves no ringtone file, which is reported below.
  const RingtoneEncoder inProcess = InProcessEncoderFor(format);
  if (inProcess)
    inProcess(PcmClip{clip, clipFormat.channels, static_cast<int>(clipFormat.samplesPerSecond)},
              ringtone);
  std::vector<int16_t>().swap(clip);  // its memory goes back before an outside encoder runs
  const bool encoderQuiet = inProcess != nullptr || RunEncoder(format);
  // An encoder that filled the disk left a ringtone cut short, or none: nothing of it is kept.
  if (FolderDiskFull(sessionState.startDirectory)) {
    DeleteFileW(Widen(ringtone).c_str());
    EndFailed();
    ShowFolderWriteFailure(sessionState.startDirectory);
    return;
  }

  const int32_t bytes = FileSizeBytes(ringtone);
  if (bytes <= 0) {
    if (encoderQuiet) ShowMessage(EncoderFailureMessage(format).c_str(), "Error");
    EndFailed();
    return;
  }
  const int32_t kilobytes = RingtoneKilobytes(bytes);
  EnableWindow(sessionState.browseButton, TRUE);

  if (RingtoneFormatFactsOf(format)->maxSeconds == 0 && RingtoneTooLarge(kilobytes)) {
    SetConverted(false);
    RestoreArrowCursor();
    ShowMessage(OversizeMessage(kilobytes).c_str(), "Warning");
    return;
  }
  SetConverted(true);
  FillProgressBar();
  sessionState.uploaded = false;
  SetSizeBox(window, SizeBoxText(kilobytes));
  RestoreArrowCursor();
}
