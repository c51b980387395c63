#include "formats/utf8_text.h"
#include "import/import_decoded_song.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "import/ffmpeg_handles.h"
#include "import/ffmpeg_library.h"
#include "import/ffmpeg_limits.h"
#include "import/import_messages.h"
#include "import/mp3_import_progress.h"
#include "import/song_file_sniff.h"
#include "import/wave_file.h"
#include "session/file_size.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"

namespace {

// Called only once LoadFfmpeg has succeeded.
const FfmpegApi& Ff() { return *LoadFfmpeg(); }

// Reading and probing give up as soon as the program is ending.
int StopReading(void*) { return StopRequested() ? 1 : 0; }

constexpr ULONGLONG BarMoveMilliseconds = 40;

void SetBarPosition(HWND bar, int32_t position) {
  if (bar) SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// Converts the decoder's frames to the 16-bit layout of d.wav and writes them.
class PcmSink {
 public:
  PcmSink(WaveFile* wave, DecodedPcmLayout layout) : wave_(wave), layout_(layout) {}

  // False when the resampler cannot be set up for `frame`'s format or d.wav cannot be written.
  bool Put(const AVFrame* frame) {
    if (frame && !Matches(frame) && !Configure(frame)) return false;
    if (!resampler_) return true;
    const int inFrames = frame ? frame->nb_samples : 0;
    const int64_t room = Ff().swr_get_out_samples(resampler_.get(), inFrames);
    if (room <= 0) return true;
    buffer_.resize(static_cast<size_t>(room) * layout_.channels * 2);
    uint8_t* out = buffer_.data();
    int made = Ff().swr_convert(resampler_.get(), &out, static_cast<int>(room),
                           frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                           inFrames);
    if (made < 0) return false;
    const uint32_t bytes = static_cast<uint32_t>(made) * layout_.channels * 2;
    if (bytes && wave_->Write(bytes, out) < 0) {
      writeFailed_ = true;
      return false;
    }
    framesWritten_ += made;
    bytesWritten_ += bytes;
    return true;
  }

  int64_t FramesWritten() const { return framesWritten_; }
  uint64_t BytesWritten() const { return bytesWritten_; }
  bool WriteFailed() const { return writeFailed_; }

 private:
  bool Matches(const AVFrame* f) const {
    return resampler_ && f->format == inFormat_ && f->sample_rate == inRate_ &&
           f->ch_layout.nb_channels == inChannels_;
  }
  bool Configure(const AVFrame* f) {
    if (resampler_) Put(nullptr);  // what the old setting still holds
    resampler_.reset();
    AVChannelLayout in{}, out{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        Ff().av_channel_layout_check(&f->ch_layout) == 0)
      Ff().av_channel_layout_default(&in, f->ch_layout.nb_channels);
    else
      Ff().av_channel_layout_copy(&in, &f->ch_layout);
    Ff().av_channel_layout_default(&out, layout_.channels);
    int result = Ff().swr_alloc_set_opts2(
        resampler_.put(), &out, AV_SAMPLE_FMT_S16, layout_.sampleRate, &in,
        static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
    Ff().av_channel_layout_uninit(&in);
    Ff().av_channel_layout_uninit(&out);
    if (result < 0 || !resampler_) return false;
    // Mixing down keeps every sum within full scale: no clipping.
    Ff().av_opt_set_double(resampler_.get(), "rematrix_maxval", 1.0, 0);
    if (Ff().swr_init(resampler_.get()) < 0) return false;
    inFormat_ = f->format;
    inRate_ = f->sample_rate;
    inChannels_ = f->ch_layout.nb_channels;
    return true;
  }

  WaveFile* wave_;
  DecodedPcmLayout layout_;
  FfmpegResampler resampler_;
  int inFormat_ = -1, inRate_ = 0, inChannels_ = 0;
  std::vector<uint8_t> buffer_;
  int64_t framesWritten_ = 0;
  uint64_t bytesWritten_ = 0;
  bool writeFailed_ = false;
};

bool PacketIsEncrypted(const AVPacket* packet) {
  size_t size = 0;
  return Ff().av_packet_get_side_data(packet, AV_PKT_DATA_ENCRYPTION_INFO, &size) != nullptr;
}

// The stream's stated length in frames at `rate`, or 0 when it is only an estimate.
int64_t StatedFrames(const AVFormatContext* format, const AVStream* stream, int32_t rate) {
  if (!StatedLengthIsExact(format->iformat ? format->iformat->name : nullptr,
                           format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE))
    return 0;
  if (stream->duration > 0)
    return Ff().av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate});
  if (format->duration > 0)
    return Ff().av_rescale(format->duration, rate, AV_TIME_BASE);
  return 0;
}

// Decodes the chosen track into `wave`, filling in what the verdict needs.
void DecodeTrack(AVFormatContext* format, int index, AVCodecContext* codec, WaveFile* wave,
                 DecodedPcmLayout layout, const char* sourcePath, HWND progressBar,
                 DecodedSongFacts* facts) {
  FfmpegPacket packet(Ff().av_packet_alloc());
  FfmpegFrame frame(Ff().av_frame_alloc());
  if (!packet || !frame) return;
  PcmSink sink(wave, layout);
  Mp3ImportProgress progress(FileSizeBytes(sourcePath));
  if (progressBar) {
    SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(progress.Low(), progress.High()));
    SendMessageA(progressBar, PBM_SETSTEP, 1, 0);
  }

  // Every move is a message to the window's thread: at most one per BarMoveMilliseconds, so that
  // a song decoded in a fraction of a second does not wait on the bar.
  int32_t pendingPosition = -1;
  ULONGLONG lastMove = 0;
  bool flushing = false, done = false;
  while (!done) {
    if (StopRequested()) {
      facts->stoppedEarly = true;
      break;
    }
    if (!flushing) {
      int read = Ff().av_read_frame(format, packet.get());
      if (read < 0) {
        facts->readFailed = read != AVERROR_EOF && !StopRequested();
        flushing = true;
        Ff().avcodec_send_packet(codec, nullptr);
      } else {
        if (packet->stream_index == index) {
          if (PacketIsEncrypted(packet.get())) {
            facts->protectedAudio = true;
            Ff().av_packet_unref(packet.get());
            return;
          }
          ++facts->packets;
          int sent = Ff().avcodec_send_packet(codec, packet.get());
          if (sent < 0 && sent != AVERROR(EAGAIN)) ++facts->badPackets;
        }
        Ff().av_packet_unref(packet.get());
        int32_t position = progress.Advance(Ff().avio_seek(format->pb, 0, SEEK_CUR));
        if (position >= 0) pendingPosition = position;
        if (pendingPosition >= 0 && GetTickCount64() - lastMove >= BarMoveMilliseconds) {
          SetBarPosition(progressBar, pendingPosition);
          pendingPosition = -1;
          lastMove = GetTickCount64();
        }
      }
    }
    for (;;) {
      int got = Ff().avcodec_receive_frame(codec, frame.get());
      if (got == AVERROR_EOF) {
        done = true;
        break;
      }
      if (got < 0) break;  // more input needed, or a frame the decoder refused
      bool put = sink.Put(frame.get());
      Ff().av_frame_unref(frame.get());
      if (!put) {
        // A d.wav that cannot be written ends the import (the worker says so).
        facts->writeFailed = sink.WriteFailed();
        facts->readFailed = !sink.WriteFailed();
        done = true;
        break;
      }
      if (sink.BytesWritten() > ImportByteLimit) {
        ShowMessage(ImportTruncatedMessage, "Warning");
        facts->stoppedEarly = true;
        done = true;
        break;
      }
    }
    if (flushing && !done) done = true;  // a decoder that never reports its end
  }
  if (!facts->stoppedEarly && !facts->writeFailed) {
    sink.Put(nullptr);  // what the resampler still holds
    facts->writeFailed = sink.WriteFailed();
  }
  facts->framesWritten = sink.FramesWritten();
}

}  // namespace

DecodedSongVerdict ImportDecodedSong(const char* sourcePath, const char* startDirectory,
                                     HWND progressBar) {
  DecodedSongFacts facts;
  const std::string destination = PathInFolder(startDirectory, "d.wav");
  if (LoadFfmpeg() == nullptr) return DecodedSongVerdict::LibraryMissing;
  // A few kilobytes of file must not claim hundreds of megabytes of index.
  if (!Mp4SampleTablesFitFile(sourcePath)) return DecodedSongVerdict::Damaged;
  {
    Ff().av_log_set_level(AV_LOG_QUIET);
    Ff().av_max_alloc(FfmpegAllocationLimit);
    AVFormatContext* opened = Ff().avformat_alloc_context();
    if (!opened) return DecodedSongVerdict::Damaged;
    opened->interrupt_callback.callback = StopReading;
    const std::string path = sourcePath;
    if (Ff().avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) {
      return JudgeDecodedSong(facts);  // avformat_open_input freed the context
    }
    FfmpegInput format(opened);
    if (Ff().avformat_find_stream_info(format.get(), nullptr) < 0) return JudgeDecodedSong(facts);
    facts.opened = true;

    for (unsigned i = 0; i < format->nb_streams; ++i)
      if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) ++facts.audioStreams;
    const int index =
        Ff().av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) return JudgeDecodedSong(facts);
    for (unsigned i = 0; i < format->nb_streams; ++i)
      if (static_cast<int>(i) != index) format->streams[i]->discard = AVDISCARD_ALL;
    AVStream* stream = format->streams[index];
    facts.protectedAudio = IsProtectedSampleEntry(stream->codecpar->codec_tag);
    if (facts.protectedAudio) return JudgeDecodedSong(facts);

    const AVCodec* decoder = Ff().avcodec_find_decoder(stream->codecpar->codec_id);
    FfmpegCodec codec(decoder ? Ff().avcodec_alloc_context3(decoder) : nullptr);
    if (!codec || Ff().avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0 ||
        Ff().avcodec_open2(codec.get(), decoder, nullptr) < 0 || codec->sample_rate <= 0 ||
        codec->ch_layout.nb_channels <= 0)
      return JudgeDecodedSong(facts);
    facts.decoderFound = true;

    const DecodedPcmLayout layout =
        DecodedLayoutOf(codec->sample_rate, codec->ch_layout.nb_channels);
    facts.framesExpected = StatedFrames(format.get(), stream, layout.sampleRate);
    WaveFile wave(destination.c_str(), layout.sampleRate, layout.channels == 2);
    if (!wave.IsOpen()) return DecodedSongVerdict::WriteFailed;
    DecodeTrack(format.get(), index, codec.get(), &wave, layout, sourcePath, progressBar, &facts);
    SetBarPosition(progressBar, 0);
    if (FAILED(wave.Close())) facts.writeFailed = true;
  }
  DecodedSongVerdict verdict = JudgeDecodedSong(facts);
  if (verdict != DecodedSongVerdict::Imported) DeleteFileW(Widen(destination.c_str()).c_str());
  return verdict;
}
