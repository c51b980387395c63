#include "formats/utf8_text.h"
#include "import/import_wav_file.h"

#include <commctrl.h>

#include "import/copy_wav_file.h"
#include "import/import_messages.h"
#include "import/mp3_import_progress.h"
#include "import/pcm16_converter.h"
#include "import/wav_format.h"
#include "import/wave_file.h"
#include "session/handles.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"

namespace {

// A read-only view of a whole file; empty when the file cannot be opened or mapped (a file of
// 0 bytes cannot be mapped).
class MappedSource {
 public:
  explicit MappedSource(const char* path) {
    file_.reset(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF)
      return;
    mapping_.reset(CreateFileMappingA(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_) return;
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (view_) size_ = static_cast<size_t>(size.QuadPart);
  }

  std::span<const uint8_t> Bytes() const {
    return {static_cast<const uint8_t*>(view_.get()), size_};
  }

 private:
  // Let go in the reverse order: the view, the mapping, the file.
  FileHandle file_;
  KernelHandle mapping_;
  MappedView view_;
  size_t size_ = 0;
};

void SetBarPosition(HWND bar, int32_t position) {
  if (bar) SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// False when d.wav could not be written.
bool WritePcm16(const WavImportPlan& plan, const char* destination, HWND bar) {
  WaveFile wave(destination, static_cast<int32_t>(plan.format.sampleRate),
                Pcm16Converter(plan.format).OutputChannels() == 2);
  if (!wave.IsOpen()) return false;

  Mp3ImportProgress progress(static_cast<int64_t>(plan.data.size()));
  if (bar) {
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(progress.Low(), progress.High()));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
  }
  Pcm16Result result = ConvertToPcm16(
      plan.data, plan.format, ImportByteLimit,
      [&](std::span<const int16_t> samples, size_t consumed) {
        uint32_t bytes = static_cast<uint32_t>(samples.size_bytes());
        if (wave.Write(bytes, samples.data()) != static_cast<int32_t>(bytes)) return false;
        int32_t position = progress.Advance(static_cast<int64_t>(consumed));
        if (position >= 0) SetBarPosition(bar, position);
        return true;
      });
  SetBarPosition(bar, 0);
  const bool closed = SUCCEEDED(wave.Close());
  if (result.stopped || !closed) return false;
  if (result.truncated) ShowMessage(ImportTruncatedMessage, "Warning");
  return true;
}

}  // namespace

int ImportWavFile(const char* source, const char* destination, HWND progressBar,
                  std::string* refusal) {
  {
    MappedSource mapped(source);
    WavImportPlan plan = PlanWavImport(mapped.Bytes());
    if (plan.action == WavImportAction::Refuse) {
      if (refusal) *refusal = WavRefusalMessage(plan);
      return 0;
    }
    if (plan.action == WavImportAction::Convert)
      return WritePcm16(plan, destination, progressBar) ? 1 : ImportWriteFailed;
  }
  // A source that reads short is copied as far as it goes: the loader judges d.wav.
  return CopyWavFile(source, destination) ? 1 : ImportWriteFailed;
}
