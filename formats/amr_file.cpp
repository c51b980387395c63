#include "formats/amr_file.h"

#include <algorithm>
#include <cstring>

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
