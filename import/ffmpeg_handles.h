// Owners of the FFmpeg objects the program holds (session/unique_handle.h). They free through
// the loaded functions, so they hold only objects made after LoadFfmpeg succeeded.
#pragma once
#include "import/ffmpeg_library.h"
#include "session/unique_handle.h"

// FFmpeg's freeing functions take the object's address and clear it.
template <class T, auto FfmpegApi::*Free>
struct FfmpegTraits {
  using Handle = T*;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle object) {
    (LoadFfmpeg()->*Free)(&object);
    return true;
  }
};

// An input opened with avformat_open_input.
using FfmpegInput = UniqueHandle<FfmpegTraits<AVFormatContext, &FfmpegApi::avformat_close_input>>;
using FfmpegCodec = UniqueHandle<FfmpegTraits<AVCodecContext, &FfmpegApi::avcodec_free_context>>;
using FfmpegFrame = UniqueHandle<FfmpegTraits<AVFrame, &FfmpegApi::av_frame_free>>;
using FfmpegPacket = UniqueHandle<FfmpegTraits<AVPacket, &FfmpegApi::av_packet_free>>;
using FfmpegResampler = UniqueHandle<FfmpegTraits<SwrContext, &FfmpegApi::swr_free>>;

struct FfmpegOutputTraits {
  using Handle = AVFormatContext*;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle context) {
    const FfmpegApi* av = LoadFfmpeg();
    if (context->pb) av->avio_closep(&context->pb);
    av->avformat_free_context(context);
    return true;
  }
};
// An output from avformat_alloc_output_context2, with the file it writes (if opened).
using FfmpegOutput = UniqueHandle<FfmpegOutputTraits>;
