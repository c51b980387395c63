#include "formats/utf8_text.h"
#include "encoders/inprocess/ringtone_encoder.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "session/unique_handle.h"

namespace {

constexpr int BlockFrames = 1024;
// Quality 5 of libvorbis's scale of -1 to 10.
constexpr float RingtoneQuality = 0.5f;

// The stream and its encoder state. Each part is cleared by its owner once it is initialised,
// in the reverse order of the owners: the order libvorbis asks for.
struct VorbisStream {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state ogg;
  FreedWith<vorbis_info, vorbis_info_clear> infoOwner;
  FreedWith<vorbis_comment, vorbis_comment_clear> commentOwner;
  FreedWith<vorbis_dsp_state, vorbis_dsp_clear> dspOwner;
  FreedWith<vorbis_block, vorbis_block_clear> blockOwner;
  FreedWith<ogg_stream_state, ogg_stream_clear> oggOwner;
  VorbisStream() {
    vorbis_info_init(&info);
    infoOwner.reset(&info);
    vorbis_comment_init(&comment);
    commentOwner.reset(&comment);
  }
};

void AppendPage(const ogg_page& page, std::vector<uint8_t>& file) {
  file.insert(file.end(), page.header, page.header + page.header_len);
  file.insert(file.end(), page.body, page.body + page.body_len);
}

// Analyses what the encoder holds and writes every page that is full.
void Drain(VorbisStream& s, std::vector<uint8_t>& file) {
  ogg_packet packet;
  ogg_page page;
  while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
    vorbis_analysis(&s.block, nullptr);
    vorbis_bitrate_addblock(&s.block);
    while (vorbis_bitrate_flushpacket(&s.dsp, &packet)) {
      ogg_stream_packetin(&s.ogg, &packet);
      while (ogg_stream_pageout(&s.ogg, &page)) AppendPage(page, file);
    }
  }
}

// The whole Ogg Vorbis file of `samples` in `file`. False when libvorbis refuses the settings.
bool EncodeFile(std::span<const int16_t> samples, int channels, int sampleRate, float quality,
                std::vector<uint8_t>& file) {
  file.clear();
  if (channels < 1 || channels > 2 || sampleRate <= 0) return false;
  VorbisStream s;
  if (vorbis_encode_init_vbr(&s.info, channels, sampleRate, quality) != 0) return false;
  vorbis_comment_add_tag(&s.comment, "ENCODER", "Quavella");
  if (vorbis_analysis_init(&s.dsp, &s.info) != 0) return false;
  s.dspOwner.reset(&s.dsp);
  vorbis_block_init(&s.dsp, &s.block);
  s.blockOwner.reset(&s.block);
  ogg_stream_init(&s.ogg, std::rand());
  s.oggOwner.reset(&s.ogg);

  ogg_packet identification, comments, codebooks;
  vorbis_analysis_headerout(&s.dsp, &s.comment, &identification, &comments, &codebooks);
  ogg_stream_packetin(&s.ogg, &identification);
  ogg_stream_packetin(&s.ogg, &comments);
  ogg_stream_packetin(&s.ogg, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&s.ogg, &page)) AppendPage(page, file);  // audio starts a new page

  const size_t frames = samples.size() / static_cast<size_t>(channels);
  for (size_t at = 0; at < frames; at += BlockFrames) {
    const int n = static_cast<int>(frames - at < BlockFrames ? frames - at : BlockFrames);
    float** buffer = vorbis_analysis_buffer(&s.dsp, n);
    const int16_t* in = samples.data() + at * channels;
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) buffer[c][i] = in[i * channels + c] / 32768.0f;
    vorbis_analysis_wrote(&s.dsp, n);
    Drain(s, file);
  }
  vorbis_analysis_wrote(&s.dsp, 0);  // the end of the stream
  Drain(s, file);
  while (ogg_stream_flush(&s.ogg, &page)) AppendPage(page, file);
  return true;
}

}  // namespace

bool EncodeOggVorbis(const PcmClip& clip, const char* path) {
  std::vector<uint8_t> file;
  if (!EncodeFile(clip.samples, clip.channels, clip.sampleRate, RingtoneQuality, file))
    return false;
  StdioFile out(OpenFileUtf8(path, "wb"));
  if (!out) return false;
  const bool whole = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
  if (out.close() && whole) return true;
  RemoveFileUtf8(path);
  return false;
}
