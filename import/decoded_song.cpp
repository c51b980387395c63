#include "import/decoded_song.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t FourCc(const char (&code)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

}  // namespace

DecodedPcmLayout DecodedLayoutOf(int32_t sampleRate, int32_t channels) {
  return {sampleRate > DecodedRateLimit ? DecodedRateLimit : sampleRate, channels == 1 ? 1 : 2};
}

bool IsProtectedSampleEntry(uint32_t fourcc) {
  return fourcc == FourCc("drms") || fourcc == FourCc("drmi") || fourcc == FourCc("enca") ||
         fourcc == FourCc("p608");
}

bool StatedLengthIsExact(const char* demuxer, bool estimatedFromBitRate) {
  if (demuxer == nullptr || estimatedFromBitRate) return false;
  const char* end = std::strchr(demuxer, ',');
  const size_t n = end ? static_cast<size_t>(end - demuxer) : std::strlen(demuxer);
  for (const char* exact : {"mov", "flac", "matroska", "caf", "asf", "wav", "w64"})
    if (std::strlen(exact) == n && std::strncmp(demuxer, exact, n) == 0) return true;
  return false;
}

DecodedSongVerdict JudgeDecodedSong(const DecodedSongFacts& f) {
  if (f.writeFailed) return DecodedSongVerdict::WriteFailed;
  if (f.opened && f.protectedAudio) return DecodedSongVerdict::Protected;
  if (f.opened && f.audioStreams == 0) return DecodedSongVerdict::NoSound;
  if (!f.opened || !f.decoderFound || f.framesWritten <= 0)
    return DecodedSongVerdict::Damaged;
  if (f.stoppedEarly) return DecodedSongVerdict::Imported;
  if (f.readFailed || f.badPackets * 10 > f.packets) return DecodedSongVerdict::Damaged;
  if (f.framesExpected > 0 && f.framesWritten * 100 < f.framesExpected * 95)
    return DecodedSongVerdict::Damaged;
  return DecodedSongVerdict::Imported;
}

const char* DecodedSongRefusal(DecodedSongVerdict verdict) {
  switch (verdict) {
    case DecodedSongVerdict::Imported:
    case DecodedSongVerdict::WriteFailed: return nullptr;
    case DecodedSongVerdict::Damaged:
      return "Sorry, Quavella could not read this song. The file may be damaged or incomplete.";
    case DecodedSongVerdict::Protected:
      return "Sorry, this song is protected against copying, so Quavella cannot open it.";
    case DecodedSongVerdict::NoSound: return "Sorry, this file holds no sound.";
    case DecodedSongVerdict::LibraryMissing:
      return "Sorry, Quavella cannot open this song: its decoding libraries (avformat, avcodec, "
             "avutil and swresample DLLs) are missing from its folder. Please install Quavella "
             "again.";
  }
  return nullptr;
}
