// Times ImportDecodedSong (decode, convert and write d.wav, with the progress bar on a window
// thread of its own, as in the program) against a bare loop over the same FFmpeg DLLs that
// writes the same d.wav; or, with --memory, the import's peak private bytes.
//   bench_decoded_import.exe SONG WORK_FOLDER [REPEATS]
//   bench_decoded_import.exe --memory SONG WORK_FOLDER
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "import/ffmpeg_library.h"
#include "import/import_decoded_song.h"
#include "import/wave_file.h"
#include "tests/bench/bar_thread.h"

namespace {

void Fail(const char* what) {
  std::printf("%s\n", what);
  std::exit(1);
}

double TimeImport(const char* path, const char* folder, HWND bar) {
  double start = bench::Now();
  if (ImportDecodedSong(path, folder, bar) != DecodedSongVerdict::Imported) Fail("import failed");
  return bench::Now() - start;
}

// Decode, convert to 16 bits at the layout the import chooses, write d.wav: nothing else.
double TimeBareDecode(const char* path, const char* folder) {
  double start = bench::Now();
  const FfmpegApi& ff = *LoadFfmpeg();
  AVFormatContext* format = nullptr;
  if (ff.avformat_open_input(&format, path, nullptr, nullptr) < 0 ||
      ff.avformat_find_stream_info(format, nullptr) < 0)
    Fail("open failed");
  const AVCodec* decoder = nullptr;
  int index = ff.av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index < 0) Fail("no audio");
  AVCodecContext* codec = ff.avcodec_alloc_context3(decoder);
  ff.avcodec_parameters_to_context(codec, format->streams[index]->codecpar);
  if (ff.avcodec_open2(codec, decoder, nullptr) < 0) Fail("decoder failed");
  DecodedPcmLayout layout = DecodedLayoutOf(codec->sample_rate, codec->ch_layout.nb_channels);
  AVChannelLayout out{};
  ff.av_channel_layout_default(&out, layout.channels);
  SwrContext* swr = nullptr;
  ff.swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, layout.sampleRate, &codec->ch_layout,
                      codec->sample_fmt, codec->sample_rate, 0, nullptr);
  if (!swr || ff.swr_init(swr) < 0) Fail("resampler failed");
  WaveFile wave((std::string(folder) + "\\d.wav").c_str(), layout.sampleRate,
                layout.channels == 2);
  AVPacket* packet = ff.av_packet_alloc();
  AVFrame* frame = ff.av_frame_alloc();
  std::vector<uint8_t> buffer;
  auto drain = [&] {
    while (ff.avcodec_receive_frame(codec, frame) >= 0) {
      int room = ff.swr_get_out_samples(swr, frame->nb_samples);
      buffer.resize(static_cast<size_t>(room) * layout.channels * 2);
      uint8_t* o = buffer.data();
      int made = ff.swr_convert(swr, &o, room, const_cast<const uint8_t**>(frame->extended_data),
                             frame->nb_samples);
      if (made > 0) wave.Write(static_cast<uint32_t>(made) * layout.channels * 2, o);
    }
  };
  while (ff.av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) ff.avcodec_send_packet(codec, packet);
    ff.av_packet_unref(packet);
    drain();
  }
  ff.avcodec_send_packet(codec, nullptr);
  drain();
  wave.Close();
  ff.av_frame_free(&frame);
  ff.av_packet_free(&packet);
  ff.swr_free(&swr);
  ff.avcodec_free_context(&codec);
  ff.avformat_close_input(&format);
  return bench::Now() - start;
}

// Presses OK on the import's "Warning" boxes (the truncation message) while it runs.
class WarningCloser {
 public:
  WarningCloser()
      : thread_([this] {
          while (!done_) {
            if (HWND box = FindWindowA("#32770", "Warning")) PostMessageA(box, WM_COMMAND, IDOK, 0);
            Sleep(20);
          }
        }) {}
  ~WarningCloser() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  if (LoadFfmpeg() == nullptr) Fail("the FFmpeg DLLs are not beside the benchmark");
  LoadFfmpeg()->av_log_set_level(AV_LOG_QUIET);  // as the import does
  if (argc == 4 && std::string(argv[1]) == "--memory") {
    WarningCloser closer;
    bench::BarThread bar;
    double seconds = TimeImport(argv[2], argv[3], bar.Handle());
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(),
                         reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    std::printf("\nimport_seconds=%.3f\npeak_private_bytes=%llu\n", seconds,
                static_cast<unsigned long long>(counters.PeakPagefileUsage));
    return 0;
  }
  if (argc < 3) {
    std::printf("usage: bench_decoded_import [--memory] SONG WORK_FOLDER [REPEATS]\n");
    return 2;
  }
  int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  bench::BarThread bar;
  double bestImport = 1e9, bestBare = 1e9;
  for (int i = 0; i < repeats; ++i) {
    bestBare = std::min(bestBare, TimeBareDecode(argv[1], argv[2]));
    bestImport = std::min(bestImport, TimeImport(argv[1], argv[2], bar.Handle()));
  }
  std::printf("\nimport_seconds=%.3f\nbare_seconds=%.3f\n", bestImport, bestBare);
  return 0;
}
