// FFmpeg's DLLs (avformat, avcodec, avutil, swresample beside the program), loaded at the
// first song that needs them: programs and tests that never decode such a song never load
// them, and a missing DLL is a refusal, not a program that cannot start.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#define QV_FFMPEG_FUNCTIONS(X)                                                          \
  X(Util, av_log_set_level) X(Util, av_max_alloc) X(Util, av_frame_alloc) X(Util, av_frame_free)              \
  X(Util, av_frame_unref) X(Util, av_opt_set_double) X(Util, av_channel_layout_default) \
  X(Util, av_channel_layout_copy) X(Util, av_channel_layout_check)                      \
  X(Util, av_channel_layout_uninit) X(Util, av_rescale_q) X(Util, av_rescale)           \
  X(Resample, swr_alloc_set_opts2) X(Resample, swr_init) X(Resample, swr_free)          \
  X(Resample, swr_convert) X(Resample, swr_get_out_samples)                             \
  X(Codec, avcodec_find_decoder) X(Codec, avcodec_alloc_context3)                       \
  X(Codec, avcodec_parameters_to_context) X(Codec, avcodec_open2)                       \
  X(Codec, avcodec_free_context) X(Codec, avcodec_send_packet)                          \
  X(Codec, avcodec_receive_frame) X(Codec, av_packet_alloc) X(Codec, av_packet_free)    \
  X(Codec, av_packet_unref) X(Codec, av_packet_get_side_data)                           \
  X(Format, avformat_alloc_context) X(Format, avformat_open_input)                       \
  X(Format, avformat_find_stream_info) X(Format, av_find_best_stream)                   \
  X(Format, avformat_close_input) X(Format, av_read_frame) X(Format, avio_seek)        \
  X(Util, av_frame_get_buffer) X(Util, av_frame_make_writable)                          \
  X(Codec, avcodec_find_encoder_by_name) X(Codec, avcodec_send_frame)                   \
  X(Codec, avcodec_receive_packet) X(Codec, avcodec_parameters_from_context)            \
  X(Codec, av_packet_rescale_ts) X(Format, avformat_alloc_output_context2)              \
  X(Format, avformat_new_stream) X(Format, avformat_write_header)                       \
  X(Format, av_interleaved_write_frame) X(Format, av_write_trailer)                     \
  X(Format, avformat_free_context) X(Format, avio_open) X(Format, avio_closep)

// The functions the program calls, by the names FFmpeg gives them.
struct FfmpegApi {
#define QV_FFMPEG_POINTER(library, name) decltype(&::name) name = nullptr;
  QV_FFMPEG_FUNCTIONS(QV_FFMPEG_POINTER)
#undef QV_FFMPEG_POINTER
};

// The loaded functions, or null when a DLL or one of its functions is missing. Loads once;
// safe to call from any thread.
const FfmpegApi* LoadFfmpeg();
