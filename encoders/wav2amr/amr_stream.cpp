#include "encoders/wav2amr/amr_stream.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr std::string_view ModeNames[] = {"MR475", "MR515", "MR59",  "MR67",
                                          "MR74",  "MR795", "MR102", "MR122"};

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

int AmrModeFromName(std::string_view name) {
  for (int i = 0; i < 8; ++i) {
    if (SameLetters(name, ModeNames[i])) return i;
  }
  return -1;
}

bool ParseWav2AmrCommand(int argc, const char* const* argv, Wav2AmrCommand& command,
                         std::string& error) {
  command.dtx = argc > 1 && SameLetters(argv[argc - 1], "-dtx");
  if (command.dtx) --argc;
  int first;
  if (argc == 5) {
    first = 2;  // argv[1] repeats the program's name
  } else if (argc == 4) {
    first = 1;
  } else {
    error = "usage: wav2amr [wav2amr] input.wav output.amr MR475|MR515|MR59|MR67|MR74|MR795|"
            "MR102|MR122 [-dtx]";
    return false;
  }
  command.input = argv[first];
  command.output = argv[first + 1];
  command.mode = AmrModeFromName(argv[first + 2]);
  if (command.mode < 0) {
    error = std::string("unknown mode '") + argv[first + 2] +
            "' (MR475, MR515, MR59, MR67, MR74, MR795, MR102 or MR122)";
    return false;
  }
  if (command.input.empty() || command.output.empty()) {
    error = "empty file name";
    return false;
  }
  return true;
}

bool EncodeAmrStream(std::span<const int16_t> samples, AmrFrameEncoder encode, void* context,
                     std::vector<uint8_t>& file) {
  file.assign(AmrMagic, AmrMagic + sizeof AmrMagic - 1);
  int16_t frame[AmrFrameSamples];
  uint8_t coded[AmrMaxFrameBytes * 2];
  for (size_t start = 0; start < samples.size(); start += AmrFrameSamples) {
    size_t take = std::min(AmrFrameSamples, samples.size() - start);
    std::copy_n(samples.begin() + start, take, frame);
    std::fill(frame + take, frame + AmrFrameSamples, 0);
    int bytes = encode(context, frame, coded);
    if (bytes <= 0 || static_cast<size_t>(bytes) > AmrMaxFrameBytes) return false;
    file.insert(file.end(), coded, coded + bytes);
  }
  return true;
}

size_t AmrStoredFrameBytes(uint8_t header) {
  // Speech bytes after the header byte per frame type (RFC 4867, section 5.3); the types
  // 9 to 14 are other codecs' comfort noise or reserved, and no AMR-NB encoder writes them.
  static const uint8_t speechBytes[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5,
                                          0,  0,  0,  0,  0,  0,  0};
  if ((header & 0x83) != 0) return 0;  // the padding bits around type and quality
  const unsigned type = (header >> 3) & 0x0F;
  if (type >= 9 && type <= 14) return 0;
  return 1 + speechBytes[type];
}

long CheckAmrFile(std::span<const uint8_t> file) {
  const size_t magic = sizeof AmrMagic - 1;
  if (file.size() < magic || std::memcmp(file.data(), AmrMagic, magic) != 0) return -1;
  long frames = 0;
  for (size_t at = magic; at < file.size(); ++frames) {
    const size_t bytes = AmrStoredFrameBytes(file[at]);
    if (bytes == 0 || bytes > file.size() - at) return -1;
    at += bytes;
  }
  return frames;
}
