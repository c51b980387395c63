#include "formats/utf8_text.h"
#include "encoders/inprocess/ringtone_encoder.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "encoders/inprocess/m4r_segments.h"
#include "import/ffmpeg_handles.h"
#include "import/ffmpeg_library.h"
#include "session/handles.h"

namespace {

constexpr int Channels = 2;
constexpr int SampleRate = 44100;
constexpr int64_t M4rBitRate = 160000;

// One AAC encoder over one segment of the clip, and the packets it keeps (time stamps in
// samples of the clip's timeline); everything freed whichever way it ends.
struct SegmentEncoding {
  const FfmpegApi* av = nullptr;
  std::span<const int16_t> samples;  // the whole clip, interleaved
  M4rSegment segment;
  bool globalHeader = false;
  // Freed in the reverse order: the packets, the frame, the encoder.
  FfmpegCodec coder;
  FfmpegFrame frame;
  std::vector<FfmpegPacket> packets;
  bool ok = false;
};

// Sends `frame` (null flushes) and keeps the packets that fall in the segment's share.
bool Send(SegmentEncoding& s, const AVFrame* frame) {
  const FfmpegApi* av = s.av;
  if (av->avcodec_send_frame(s.coder.get(), frame) < 0) return false;
  for (;;) {
    FfmpegPacket packet(av->av_packet_alloc());
    if (!packet) return false;
    const int got = av->avcodec_receive_packet(s.coder.get(), packet.get());
    if (got < 0 || packet->pts < s.segment.keepFrom || packet->pts >= s.segment.keepUntil) {
      packet.reset();
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
      if (got < 0) return false;
      continue;
    }
    s.packets.push_back(std::move(packet));
  }
}

bool EncodeSegment(SegmentEncoding& s) {
  const FfmpegApi* av = s.av;
  const AVCodec* codec = av->avcodec_find_encoder_by_name("aac");
  if (!codec) return false;
  s.coder.reset(av->avcodec_alloc_context3(codec));
  s.frame.reset(av->av_frame_alloc());
  if (!s.coder || !s.frame) return false;
  s.coder->sample_fmt = AV_SAMPLE_FMT_FLTP;
  s.coder->sample_rate = SampleRate;
  av->av_channel_layout_default(&s.coder->ch_layout, Channels);
  s.coder->bit_rate = M4rBitRate;
  s.coder->profile = FF_PROFILE_AAC_LOW;
  s.coder->time_base = AVRational{1, SampleRate};
  if (s.globalHeader) s.coder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (av->avcodec_open2(s.coder.get(), codec, nullptr) < 0) return false;

  const int64_t frameSize = s.coder->frame_size > 0 ? s.coder->frame_size : M4rFrameSamples;
  s.frame->format = AV_SAMPLE_FMT_FLTP;
  s.frame->sample_rate = SampleRate;
  s.frame->nb_samples = static_cast<int>(frameSize);
  if (av->av_channel_layout_copy(&s.frame->ch_layout, &s.coder->ch_layout) < 0 ||
      av->av_frame_get_buffer(s.frame.get(), 0) < 0)
    return false;
  const int64_t first = s.segment.first;
  for (int64_t at = first - s.segment.leadIn; at < s.segment.end; at += frameSize) {
    if (av->av_frame_make_writable(s.frame.get()) < 0) return false;
    const int64_t n = s.segment.end - at < frameSize ? s.segment.end - at : frameSize;
    s.frame->nb_samples = static_cast<int>(n);  // the last one may be short
    for (int c = 0; c < Channels; ++c) {
      float* out = reinterpret_cast<float*>(s.frame->data[c]);
      for (int64_t i = 0; i < n; ++i)
        out[i] = at + i < first ? 0.0f : s.samples[(at + i) * Channels + c] / 32768.0f;
    }
    s.frame->pts = at;  // the clip's timeline, whichever segment
    if (!Send(s, s.frame.get())) return false;
  }
  return Send(s, nullptr);
}

DWORD WINAPI EncodeSegmentThread(void* segment) {
  SegmentEncoding& s = *static_cast<SegmentEncoding*>(segment);
  s.ok = EncodeSegment(s);
  return 0;
}

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<int>(info.dwNumberOfProcessors);
}

// Encodes the clip's segments, the first on a thread of its own and the last on this one,
// then writes their packets in order into the one file. Both encoders have the same
// settings, hence the same header (AudioSpecificConfig) and the same encoder delay; the
// first one's packets carry the delay the muxer's edit list takes away.
bool Encode(const FfmpegApi* av, std::span<const int16_t> samples, const char* path) {
  // The output file and its muxer, freed whichever way it ends.
  FfmpegOutput output;
  if (av->avformat_alloc_output_context2(output.put(), nullptr, "ipod", path) < 0)
    return false;
  M4rSegment plan[2];
  const int count = PlanM4rSegments(static_cast<int64_t>(samples.size() / Channels),
                                    ProcessorCount(), plan);
  SegmentEncoding segments[2];
  for (int i = 0; i < count; ++i) {
    segments[i].av = av;
    segments[i].samples = samples;
    segments[i].segment = plan[i];
    segments[i].globalHeader = (output->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    // At most one packet per frame sent and two for the encoder's delay: the threads never
    // grow the lists.
    const int64_t sent = plan[i].end - plan[i].first + plan[i].leadIn;
    segments[i].packets.reserve(static_cast<size_t>(sent / M4rFrameSamples + 3));
  }
  {
    // Joined whichever way this block is left.
    JoinedThread thread;
    if (count > 1)
      thread.reset(CreateThread(nullptr, 0, EncodeSegmentThread, &segments[0], 0, nullptr));
    if (!thread) EncodeSegmentThread(&segments[0]);
    if (count > 1) EncodeSegmentThread(&segments[1]);
  }
  for (int i = 0; i < count; ++i)
    if (!segments[i].ok) return false;

  const SegmentEncoding& first = segments[0];
  AVStream* stream = av->avformat_new_stream(output.get(), nullptr);
  if (!stream || av->avcodec_parameters_from_context(stream->codecpar, first.coder.get()) < 0)
    return false;
  stream->time_base = first.coder->time_base;
  if (av->avio_open(&output->pb, path, AVIO_FLAG_WRITE) < 0 ||
      av->avformat_write_header(output.get(), nullptr) < 0)
    return false;
  for (int i = 0; i < count; ++i) {
    for (const FfmpegPacket& owned : segments[i].packets) {
      AVPacket* packet = owned.get();
      av->av_packet_rescale_ts(packet, first.coder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av->av_interleaved_write_frame(output.get(), packet) < 0) return false;
    }
  }
  return av->av_write_trailer(output.get()) >= 0;
}

}  // namespace

bool EncodeM4r(const PcmClip& clip, const char* path) {
  if (clip.channels != Channels || clip.sampleRate != SampleRate) return false;
  const FfmpegApi* av = LoadFfmpeg();
  if (!av) return false;
  av->av_log_set_level(AV_LOG_QUIET);
  if (Encode(av, clip.samples, path)) return true;
  DeleteFileW(Widen(path).c_str());
  return false;
}
