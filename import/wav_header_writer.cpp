#include "import/wav_header_writer.h"

#include "formats/wav_file.h"

void WriteWavHeader(FILE* stream, uint32_t dataBytes) {
  if (!stream) return;
  WavHeaderBytes header = MakeWavHeader(dataBytes);
  std::fseek(stream, 0, SEEK_SET);
  std::fwrite(header.bytes, 1, sizeof header.bytes, stream);
}
