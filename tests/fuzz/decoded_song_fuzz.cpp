// The decoding import branch over any bytes as an in-memory file, with Debian's FFmpeg in place
// of the program's DLLs: the MP4 table check, the same demuxers, decoders and allocation cap,
// a decode to the end (or the import limit) through the resampler to d.wav's layout, and the
// verdict. Any sanitizer report in the path fails the run.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "formats/mp4_boxes.h"
#include "formats/song_signature.h"
#include "import/decoded_song.h"
#include "import/ffmpeg_limits.h"
#include "session/ringtone_format.h"

namespace {

struct Memory {
  const uint8_t* data;
  int64_t size, at = 0;
};
int ReadPacket(void* opaque, uint8_t* buf, int want) {
  auto* m = static_cast<Memory*>(opaque);
  const int64_t n = std::min<int64_t>(want, m->size - m->at);
  if (n <= 0) return AVERROR_EOF;
  std::memcpy(buf, m->data + m->at, static_cast<size_t>(n));
  m->at += n;
  return static_cast<int>(n);
}
int64_t Seek(void* opaque, int64_t offset, int whence) {
  auto* m = static_cast<Memory*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return m->size;
  const int64_t to = whence == SEEK_CUR   ? m->at + offset
                     : whence == SEEK_END ? m->size + offset
                                          : offset;
  if (to < 0 || to > m->size) return AVERROR(EINVAL);
  return m->at = to;
}

// Decodes the chosen track to the end through the resampler, as the program writes d.wav.
void Decode(AVFormatContext* format, int index, AVCodecContext* codec, DecodedPcmLayout layout,
            DecodedSongFacts* facts) {
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwrContext* swr = nullptr;
  std::vector<uint8_t> out;
  uint64_t bytes = 0;
  int inFormat = -1, inRate = 0, inChannels = 0;
  auto drain = [&] {  // what the resampler still holds
    const int room = swr ? std::max(swr_get_out_samples(swr, 0), 0) : 0;
    out.resize(static_cast<size_t>(room) * layout.channels * 2);
    uint8_t* o = out.data();
    if (room) facts->framesWritten += std::max(swr_convert(swr, &o, room, nullptr, 0), 0);
  };
  bool flushing = false, done = !packet || !frame;
  while (!done) {
    if (!flushing) {
      int read = av_read_frame(format, packet);
      if (read < 0) {
        facts->readFailed = read != AVERROR_EOF;
        flushing = true;
        avcodec_send_packet(codec, nullptr);
      } else if (packet->stream_index == index) {
        ++facts->packets;
        int sent = avcodec_send_packet(codec, packet);
        if (sent < 0 && sent != AVERROR(EAGAIN)) ++facts->badPackets;
      }
      av_packet_unref(packet);
    }
    for (int got; !done && (got = avcodec_receive_frame(codec, frame)) != AVERROR(EAGAIN);) {
      if (got == AVERROR_EOF) done = true;
      if (got < 0) break;
      if (!swr || frame->format != inFormat || frame->sample_rate != inRate ||
          frame->ch_layout.nb_channels != inChannels) {
        drain();
        swr_free(&swr);
        AVChannelLayout in{}, to{};
        av_channel_layout_default(&in, frame->ch_layout.nb_channels);
        av_channel_layout_default(&to, layout.channels);
        if (swr_alloc_set_opts2(&swr, &to, AV_SAMPLE_FMT_S16, layout.sampleRate, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                0, nullptr) < 0 ||
            av_opt_set_double(swr, "rematrix_maxval", 1.0, 0) < 0 || swr_init(swr) < 0) {
          facts->readFailed = done = true;
          swr_free(&swr);
        }
        inFormat = frame->format, inRate = frame->sample_rate;
        inChannels = frame->ch_layout.nb_channels;
      }
      const int room = done ? 0 : swr_get_out_samples(swr, frame->nb_samples);
      out.resize(static_cast<size_t>(std::max(room, 0)) * layout.channels * 2);
      uint8_t* o = out.data();
      const auto** in = const_cast<const uint8_t**>(frame->extended_data);
      int made = room > 0 ? swr_convert(swr, &o, room, in, frame->nb_samples) : 0;
      av_frame_unref(frame);
      if (made < 0) facts->readFailed = done = true;
      facts->framesWritten += std::max(made, 0);
      bytes += static_cast<uint64_t>(std::max(made, 0)) * layout.channels * 2;
      if (bytes > ImportByteLimit) facts->stoppedEarly = done = true;
    }
    if (flushing) done = true;
  }
  if (!facts->stoppedEarly) drain();
  swr_free(&swr);
  av_frame_free(&frame);
  av_packet_free(&packet);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (SniffSongContainer(data, size) == SongContainer::Mp4 &&
      !Mp4SampleTablesFit(size, [&](uint64_t at, std::span<uint8_t> out) {
        if (at > size || out.size() > size - at) return false;
        std::memcpy(out.data(), data + at, out.size());
        return true;
      }))
    return 0;  // refused as damaged before FFmpeg sees it
  av_log_set_level(AV_LOG_QUIET);
  av_max_alloc(FfmpegAllocationLimit);
  Memory memory{data, static_cast<int64_t>(size)};
  auto* buffer = static_cast<uint8_t*>(av_malloc(4096));
  AVIOContext* io =
      buffer ? avio_alloc_context(buffer, 4096, 0, &memory, ReadPacket, nullptr, Seek) : nullptr;
  AVFormatContext* format = io ? avformat_alloc_context() : nullptr;
  DecodedSongFacts facts;
  if (format) {
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    av_opt_set(format, "format_whitelist", FfmpegDemuxers, 0);
    av_opt_set(format, "codec_whitelist", FfmpegDecoders, 0);
  }
  if (format && avformat_open_input(&format, nullptr, nullptr, nullptr) == 0) {
    if (avformat_find_stream_info(format, nullptr) >= 0) {
      facts.opened = true;
      for (unsigned i = 0; i < format->nb_streams; ++i)
        facts.audioStreams += format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
      const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
      const AVCodec* decoder = index < 0 ? nullptr
          : avcodec_find_decoder(format->streams[index]->codecpar->codec_id);
      AVCodecContext* codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
      if (codec) av_opt_set(codec, "codec_whitelist", FfmpegDecoders, 0);
      if (codec && avcodec_parameters_to_context(codec, format->streams[index]->codecpar) >= 0 &&
          avcodec_open2(codec, decoder, nullptr) >= 0 && codec->sample_rate > 0 &&
          codec->ch_layout.nb_channels > 0) {
        facts.decoderFound = true;
        for (unsigned i = 0; i < format->nb_streams; ++i)
          if (static_cast<int>(i) != index) format->streams[i]->discard = AVDISCARD_ALL;
        const AVStream* stream = format->streams[index];
        const auto layout = DecodedLayoutOf(codec->sample_rate, codec->ch_layout.nb_channels);
        if (StatedLengthIsExact(format->iformat->name,
                                format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE))
          facts.framesExpected = stream->duration > 0
              ? av_rescale_q(stream->duration, stream->time_base, AVRational{1, layout.sampleRate})
              : std::max<int64_t>(av_rescale(format->duration, layout.sampleRate, AV_TIME_BASE), 0);
        facts.protectedAudio = IsProtectedSampleEntry(stream->codecpar->codec_tag);
        if (!facts.protectedAudio) Decode(format, index, codec, layout, &facts);
      }
      avcodec_free_context(&codec);
    }
    avformat_close_input(&format);
  }
  // A failed open frees the format context; the I/O context and its buffer (which FFmpeg may
  // have replaced) are ours either way.
  av_free(io ? io->buffer : buffer);
  avio_context_free(&io);
  JudgeDecodedSong(facts);
  return 0;
}
