#include "encode/m4r_encoder.h"

#include <windows.h>

#include "import/ffmpeg_library.h"

namespace {

constexpr int Channels = 2;
constexpr int SampleRate = 44100;

// What one encoding holds, freed whichever way it ends.
struct Encoding {
  const FfmpegApi* av;
  AVFormatContext* output = nullptr;
  AVCodecContext* coder = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  explicit Encoding(const FfmpegApi* api) : av(api) {}
  ~Encoding() {
    av->av_packet_free(&packet);
    av->av_frame_free(&frame);
    av->avcodec_free_context(&coder);
    if (output) {
      if (output->pb) av->avio_closep(&output->pb);
      av->avformat_free_context(output);
    }
  }
};

// Writes every packet the coder has ready; `frame` null flushes it.
bool Send(Encoding& e, AVStream* stream, const AVFrame* frame) {
  if (e.av->avcodec_send_frame(e.coder, frame) < 0) return false;
  for (;;) {
    const int got = e.av->avcodec_receive_packet(e.coder, e.packet);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) return false;
    e.av->av_packet_rescale_ts(e.packet, e.coder->time_base, stream->time_base);
    e.packet->stream_index = stream->index;
    if (e.av->av_interleaved_write_frame(e.output, e.packet) < 0) return false;
  }
}

bool Encode(const FfmpegApi* av, std::span<const int16_t> samples, const char* path) {
  Encoding e(av);
  const AVCodec* codec = av->avcodec_find_encoder_by_name("aac");
  if (!codec || av->avformat_alloc_output_context2(&e.output, nullptr, "ipod", path) < 0)
    return false;
  AVStream* stream = av->avformat_new_stream(e.output, nullptr);
  e.coder = av->avcodec_alloc_context3(codec);
  e.frame = av->av_frame_alloc();
  e.packet = av->av_packet_alloc();
  if (!stream || !e.coder || !e.frame || !e.packet) return false;

  e.coder->sample_fmt = AV_SAMPLE_FMT_FLTP;
  e.coder->sample_rate = SampleRate;
  av->av_channel_layout_default(&e.coder->ch_layout, Channels);
  e.coder->bit_rate = M4rBitRate;
  e.coder->profile = FF_PROFILE_AAC_LOW;
  e.coder->time_base = AVRational{1, SampleRate};
  if (e.output->oformat->flags & AVFMT_GLOBALHEADER) e.coder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (av->avcodec_open2(e.coder, codec, nullptr) < 0 ||
      av->avcodec_parameters_from_context(stream->codecpar, e.coder) < 0)
    return false;
  stream->time_base = e.coder->time_base;
  if (av->avio_open(&e.output->pb, path, AVIO_FLAG_WRITE) < 0 ||
      av->avformat_write_header(e.output, nullptr) < 0)
    return false;

  const int frameSize = e.coder->frame_size > 0 ? e.coder->frame_size : 1024;
  e.frame->format = AV_SAMPLE_FMT_FLTP;
  e.frame->sample_rate = SampleRate;
  e.frame->nb_samples = frameSize;
  if (av->av_channel_layout_copy(&e.frame->ch_layout, &e.coder->ch_layout) < 0 ||
      av->av_frame_get_buffer(e.frame, 0) < 0)
    return false;
  const size_t frames = samples.size() / Channels;
  for (size_t at = 0; at < frames; at += frameSize) {
    if (av->av_frame_make_writable(e.frame) < 0) return false;
    const size_t n = frames - at < size_t(frameSize) ? frames - at : size_t(frameSize);
    e.frame->nb_samples = static_cast<int>(n);  // the last one may be short
    for (int c = 0; c < Channels; ++c) {
      float* out = reinterpret_cast<float*>(e.frame->data[c]);
      for (size_t i = 0; i < n; ++i) out[i] = samples[(at + i) * Channels + c] / 32768.0f;
    }
    e.frame->pts = static_cast<int64_t>(at);
    if (!Send(e, stream, e.frame)) return false;
  }
  return Send(e, stream, nullptr) && av->av_write_trailer(e.output) >= 0;
}

}  // namespace

bool EncodeM4r(std::span<const int16_t> samples, const char* path) {
  const FfmpegApi* av = LoadFfmpeg();
  if (!av) return false;
  av->av_log_set_level(AV_LOG_QUIET);
  if (Encode(av, samples, path)) return true;
  DeleteFileA(path);
  return false;
}
