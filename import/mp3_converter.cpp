#include "import/mp3_converter.h"

#include <cstdio>

#include "import/acm_mp3_decoder.h"
#include "import/mp3_id3_tags.h"
#include "import/wave_file.h"

Mp3Decoder* ProcessAcmMp3Decoder() {
  static AcmMp3Decoder decoder;
  return &decoder;
}

Mp3Converter::Mp3Converter() { decoders_.push_back(ProcessAcmMp3Decoder()); }

// The decoders are shared with other converters (the process-wide decoder is in every list),
// so a converter going away leaves them as they are.
Mp3Converter::~Mp3Converter() = default;

void Mp3Converter::CloseAll() {
  for (Mp3Decoder* decoder : decoders_) decoder->Close();
}

bool Mp3Converter::ReadTags(Mp3TrackInfo* track) {
  if (!track) return true;
  ReadId3Tags(track->path, track->leadArtist, track->title, Mp3TrackInfo::TextCapacity);
  return true;
}

bool Mp3Converter::Scan(Mp3TrackInfo* track) {
  if (!track || !scanner_.ScanFile(track->path)) return false;
  FillTrackInfoFromScan(scanner_, text_, track);
  return true;
}

bool Mp3Converter::DecodeToWorkingFile(Mp3TrackInfo* track) {
  if (!track) return false;
  const Mp3StreamInfo info = scanner_.Info();
  WaveFile wave("d.wav", info.sampleRate, info.stereo != 0);
  if (!wave.IsOpen()) return false;
  for (Mp3Decoder* decoder : decoders_) {
    if (!decoder->Open(track->path, info, track->firstFrameOffset)) {
      decoder->Close();
      if (!decoder->Open(track->path, info, 0)) {
        std::printf("Failed Second Time...no further tries%s\n", track->path);
        decoder->Close();
        continue;
      }
    }
    const uint8_t* pcm = nullptr;
    int32_t n;
    bool written = true;
    while ((n = decoder->Read(&pcm)) >= 0) {
      if (wave.Write(static_cast<uint32_t>(n), pcm) < 0) written = false;
      decoder->ReleaseBuffer(pcm);
      if (!written) break;
    }
    if (!written) {  // d.wav cannot take the audio: no decoder can finish it
      decoder->Close();
      return false;
    }
    if (n == Mp3Decoder::EndOfInputKeep || decoder->Close()) return SUCCEEDED(wave.Close());
  }
  return false;
}

Mp3Converter* getInstance() {
  static Mp3Converter converter;
  return &converter;
}
