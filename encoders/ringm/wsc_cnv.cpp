#include "encoders/ringm/wsc_cnv.h"

#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "encoders/ringm/pcm_wav_reader.h"
#include "formats/smaf_file.h"
#include "encoders/ringm/yamaha_adpcm.h"

namespace {

constexpr char TextTags[WscCnvTextFields][3] = {"ST", "AN", "SW", "WW", "AW", "CR", "GR",
                                                "MI", "CD", "UD", "ES", "VN", "CN"};

}  // namespace

int WscCnvSearchWidth(double seconds) {
  if (seconds <= 60) return DefaultAdpcmSearchWidth;
  if (seconds <= 180) return 8;
  return 2;
}

int32_t ConvertWavToMmf(std::span<const uint8_t> input, const WscCnvOptions* options,
                        uint8_t* output, uint32_t outputCapacity, int searchWidth) {
  PcmWav wav;
  if (ReadPcmWav(input, wav) != PcmWavResult::Ok || wav.channels != 1) return WscCnvFailed;

  SmafText texts[WscCnvTextFields];
  for (int i = 0; i < WscCnvTextFields; ++i) {
    texts[i].tag[0] = TextTags[i][0];
    texts[i].tag[1] = TextTags[i][1];
    const char* field = options ? options->text[i] : nullptr;
    if (field) {
      size_t length = 0;
      while (length < WscCnvTextLimit && field[length]) ++length;
      texts[i].value = std::string_view(field, length);
    }
  }
  SmafContent content;
  content.texts = texts;

  SmafPlan plan;
  if (!PlanSmafFile(wav.sampleRate, wav.FrameCount(), content, plan)) return WscCnvFailed;
  if (!output) return outputCapacity ? WscCnvFailed : WscCnvOutputTooSmall;
  if (plan.fileBytes > outputCapacity) return WscCnvOutputTooSmall;

  // Everything that can fail is done before the first byte of output is written.
  std::vector<int16_t> samples;
  try {
    samples.resize(wav.FrameCount());
  } catch (const std::bad_alloc&) {
    return WscCnvFailed;
  }
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = PcmSample(wav, i);

  if (searchWidth <= 0) searchWidth = WscCnvSearchWidth(double(samples.size()) / wav.sampleRate);
  std::span<uint8_t> file(output, plan.fileBytes);
  try {
    YamahaAdpcmEncode(samples, file.subspan(plan.waveOffset, plan.waveBytes), searchWidth);
  } catch (const std::bad_alloc&) {
    return WscCnvFailed;  // the search allocates before it writes
  }
  WriteSmafFrame(plan, content, file);
  return static_cast<int32_t>(plan.fileBytes);
}
