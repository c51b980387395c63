// wav2amr.exe: 8000 Hz mono 16-bit PCM WAV to an AMR-NB file, through opencore-amr's
// encoder. Exit code 0 on success; otherwise a message on stderr and no output file.
#include <cstdio>
#include <string>
#include <vector>

#include <opencore-amrnb/interf_enc.h>

#include "formats/utf8_text.h"
#include "encoders/ringm/pcm_wav_reader.h"
#include "encoders/wav2amr/amr_stream.h"
#include "formats/amr_file.h"
#include "session/unique_handle.h"

namespace {

// Inputs beyond this are refused rather than read (a WAV holds at most 4 GB of samples,
// and an 8 kHz ringtone is a few hundred kilobytes).
constexpr size_t MaxInputBytes = size_t{1} << 30;

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  const StdioFile file(OpenFileUtf8(path.c_str(), "rb"));
  if (!file) {
    error = "cannot open";
    return false;
  }
  FILE* raw = file.get();
  bytes.clear();
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, raw)) > 0) {
    if (bytes.size() + got > MaxInputBytes) {
      error = "file too large";
      return false;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  if (std::ferror(raw)) {
    error = "read error";
    return false;
  }
  return true;
}

// Writes the whole file or, on any failure, removes what was started.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  StdioFile file(OpenFileUtf8(path.c_str(), "wb"));
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  ok = file.close() && ok;
  if (!ok) RemoveFileUtf8(path.c_str());
  return ok;
}

struct Codec {
  void* state;
  Mode mode;
};

int EncodeFrame(void* context, const int16_t* frame, uint8_t* out) {
  Codec* codec = static_cast<Codec*>(context);
  return Encoder_Interface_Encode(codec->state, codec->mode, frame, out, 0);
}

int Fail(const std::string& subject, const std::string& why) {
  std::fprintf(stderr, "wav2amr: %s%s%s\n", subject.c_str(), subject.empty() ? "" : ": ",
               why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Wav2AmrCommand command;
  std::string error;
  if (!ParseWav2AmrCommand(argc, argv, command, error)) return Fail("", error);

  std::vector<uint8_t> input;
  if (!ReadWholeFile(command.input, input, error)) return Fail(command.input, error);
  PcmWav wav;
  PcmWavResult result = ReadPcmWav(input, wav);
  if (result != PcmWavResult::Ok) return Fail(command.input, PcmWavResultText(result));
  if (wav.sampleRate != 8000 || wav.channels != 1 || wav.bitsPerSample != 16) {
    return Fail(command.input, "needs 8000 Hz mono 16-bit PCM, found " +
                                   std::to_string(wav.sampleRate) + " Hz, " +
                                   std::to_string(wav.channels) + " channel(s), " +
                                   std::to_string(wav.bitsPerSample) + "-bit");
  }

  std::vector<int16_t> samples(wav.FrameCount());
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = PcmSample(wav, i);

  FreedWith<void, Encoder_Interface_exit> encoder(Encoder_Interface_init(command.dtx ? 1 : 0));
  if (!encoder) return Fail("", "cannot start the AMR encoder");
  Codec codec{encoder.get(), static_cast<Mode>(command.mode)};
  std::vector<uint8_t> amr;
  bool encoded = EncodeAmrStream(samples, EncodeFrame, &codec, amr);
  encoder.reset();
  if (!encoded) return Fail(command.input, "the AMR encoder failed");

  if (!WriteWholeFile(command.output, amr)) return Fail(command.output, "cannot write");
  return 0;
}
