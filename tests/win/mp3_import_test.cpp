// The MP3 import through the system's ACM codec, on files made by lame at build time and
// compared with the native mpg123's decoding of the same files.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "formats/byte_order.h"
#include "import/acm_mp3_decoder.h"
#include "import/import_mp3.h"
#include "import/mp3_converter.h"
#include "session/ringtone_format.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char TruncatedMessage[] =
    "Sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
    "than the maximum duration supported. \nIf you wish to edit and send the truncated portion "
    "of your song,\nplease use one of many commercially available MP3, CD or WAV editing tools "
    "that you can find on your search engine.";

std::string Env(const char* name) {
  char value[1024] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

std::string WindowsPath(std::string path) {
  if (path.size() >= 2 && path[1] == ':') return path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

std::string DataFile(const std::string& name) {
  return WindowsPath(Env("QV_BUILD_DIR")) + "\\test-data\\mp3\\" + name;
}

// A new empty folder for one test's working files.
std::string FreshFolder() {
  static int count = 0;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "qv_mp3_" + std::to_string(GetCurrentProcessId()) +
                       "_" + std::to_string(++count);
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "\\d.wav").c_str());
  return folder;
}

Bytes ReadAll(const std::string& path) {
  Bytes b;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::vector<uint8_t> buf(1 << 20);
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) b.insert(b.end(), buf.begin(), buf.begin() + n);
    std::fclose(f);
  }
  return b;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// d.wav of the MP3 branch: the chunked layout with consistent sizes; returns its samples.
std::vector<int16_t> CheckWorkingFile(const Bytes& b, uint16_t channels, uint32_t rate) {
  std::vector<int16_t> none;
  EXPECT_GE(b.size(), 56u);
  if (b.size() < 56) return none;
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(Le32At(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32At(b, 16), 16u);
  EXPECT_EQ(Le16At(b, 20), 1);
  EXPECT_EQ(Le16At(b, 22), channels);
  EXPECT_EQ(Le32At(b, 24), rate);
  EXPECT_EQ(Le32At(b, 28), rate * channels * 2);
  EXPECT_EQ(Le16At(b, 32), channels * 2);
  EXPECT_EQ(Le16At(b, 34), 16);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "fact");
  EXPECT_EQ(Le32At(b, 44), 0u);
  EXPECT_EQ(std::string(b.begin() + 48, b.begin() + 52), "data");
  EXPECT_EQ(Le32At(b, 52), b.size() - 56);
  std::vector<int16_t> samples((b.size() - 56) / 2);
  std::memcpy(samples.data(), b.data() + 56, samples.size() * 2);
  return samples;
}

std::vector<int16_t> ReadReference(const std::string& name) {
  Bytes b = ReadAll(DataFile(name));
  std::vector<int16_t> s(b.size() / 2);
  std::memcpy(s.data(), b.data(), s.size() * 2);
  return s;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, long lag,
                   size_t from, size_t count) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = from; i < from + count; ++i) {
    long j = static_cast<long>(i) + lag;
    if (i >= b.size() || j < 0 || static_cast<size_t>(j) >= a.size()) continue;
    double x = a[static_cast<size_t>(j)], y = b[i];
    ab += x * y;
    aa += x * x;
    bb += y * y;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// How well `decoded` matches `reference`: the best whole-sample-frame lag within two MP3
// frames (the codec may decode an info frame as a frame of silence), and the correlation over
// everything at that lag.
struct Match {
  long lag = 0;
  double correlation = 0;
};
Match BestMatch(const std::vector<int16_t>& decoded, const std::vector<int16_t>& reference,
                int channels, int frameSamples) {
  Match best;
  long span = 2L * frameSamples * channels;
  size_t window = std::min<size_t>(8192, reference.size() / 2);
  size_t from = reference.size() / 2 - window / 2;
  double bestWindow = -2;
  for (long lag = -span; lag <= span; lag += channels) {
    double c = Correlation(decoded, reference, lag, from, window);
    if (c > bestWindow) {
      bestWindow = c;
      best.lag = lag;
    }
  }
  best.correlation = Correlation(decoded, reference, best.lag, 0, reference.size());
  return best;
}

// Closes the "Warning" message boxes of this process as they appear, keeping their texts.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_([this] { Run(); }) {}
  ~MessageBoxWatcher() { Stop(); }
  // Waits a little for a box that is about to appear, stops watching and returns the texts.
  std::vector<std::string> Texts() {
    Sleep(300);
    Stop();
    return texts_;
  }

 private:
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  void Run() {
    while (!stop_) {
      HWND box = FindWindowA("#32770", "Warning");
      DWORD pid = 0;
      if (box) GetWindowThreadProcessId(box, &pid);
      if (box && pid == GetCurrentProcessId() && IsWindowVisible(box) && box != last_) {
        char text[2048] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        texts_.push_back(text);
        last_ = box;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(20);
    }
  }
  std::atomic<bool> stop_{false};
  std::vector<std::string> texts_;
  HWND last_ = nullptr;
  std::thread thread_;
};

// A progress bar whose position changes are recorded.
class RecordingBar {
 public:
  RecordingBar() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 300, 20, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetPropA(bar_, "recorder", this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  }
  ~RecordingBar() { DestroyWindow(bar_); }
  HWND Handle() const { return bar_; }
  std::vector<int> positions;

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<RecordingBar*>(GetPropA(w, "recorder"));
    if (m == PBM_SETPOS) self->positions.push_back(static_cast<int>(wp));
    if (m == PBM_STEPIT) self->positions.push_back(-1);
    return CallWindowProcA(self->original_, w, m, wp, lp);
  }
  HWND bar_ = nullptr;
  WNDPROC original_ = nullptr;
};

struct Song {
  const char* name;
  uint32_t rate;
  uint16_t channels;
  int frameSamples;  // per channel
  bool exactLength;  // no info frame: the decoding must be as long as mpg123's
};

class Mp3Import : public ::testing::TestWithParam<Song> {};

TEST_P(Mp3Import, WritesTheStreamFormatAndMpg123sPcm) {
  const Song& song = GetParam();
  std::string folder = FreshFolder();
  RecordingBar bar;
  ASSERT_EQ(ImportMp3(DataFile(std::string(song.name) + ".mp3").c_str(), folder.c_str(),
                      bar.Handle()),
            1);
  std::vector<int16_t> decoded =
      CheckWorkingFile(ReadAll(folder + "\\d.wav"), song.channels, song.rate);
  std::vector<int16_t> reference = ReadReference(std::string(song.name) + ".raw");
  ASSERT_GT(reference.size(), 10000u);

  long frame = static_cast<long>(song.frameSamples) * song.channels;
  long lengthDifference = static_cast<long>(decoded.size()) - static_cast<long>(reference.size());
  EXPECT_LE(std::labs(lengthDifference), frame) << "length within one frame";
  if (song.exactLength) {
    EXPECT_EQ(lengthDifference, 0) << "no frame lost at the end";
  }
  Match m = BestMatch(decoded, reference, song.channels, song.frameSamples);
  EXPECT_GT(m.correlation, 0.99) << "lag " << m.lag;

  // The bar: range 1 to size / 5 (within 16 bits), moved forward to its end, then back to 0.
  int32_t size = static_cast<int32_t>(ReadAll(DataFile(std::string(song.name) + ".mp3")).size());
  LRESULT high = SendMessageA(bar.Handle(), PBM_GETRANGE, FALSE, 0);
  EXPECT_EQ(high, std::min(size / 5, 0xFFFF));
  ASSERT_GE(bar.positions.size(), 2u);
  EXPECT_EQ(bar.positions.back(), 0);
  EXPECT_EQ(bar.positions[bar.positions.size() - 2], high);
  EXPECT_TRUE(std::is_sorted(bar.positions.begin(), bar.positions.end() - 1));
  EXPECT_LE(bar.positions.size(), 300u);
}

INSTANTIATE_TEST_SUITE_P(
    Songs, Mp3Import,
    ::testing::Values(Song{"s44", 44100, 2, 1152, false}, Song{"s44t", 44100, 2, 1152, true},
                      Song{"m48", 48000, 1, 1152, false}, Song{"s22", 22050, 2, 576, false},
                      Song{"m8", 8000, 1, 576, false}, Song{"vbr", 44100, 2, 1152, false},
                      Song{"tagged", 44100, 2, 1152, false},
                      Song{"odd", 44100, 1, 1152, true}),
    [](const ::testing::TestParamInfo<Song>& info) { return std::string(info.param.name); });

TEST(Mp3ImportLimit, LongSongIsCutAfterTheLimitWithOneWarning) {
  std::string folder = FreshFolder();
  std::vector<std::string> texts;
  {
    MessageBoxWatcher watcher;
    ASSERT_EQ(ImportMp3(DataFile("long.mp3").c_str(), folder.c_str(), nullptr), 1);
    texts = watcher.Texts();
  }
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], TruncatedMessage);
  Bytes wav = ReadAll(folder + "\\d.wav");
  CheckWorkingFile(wav, 2, 44100);
  uint32_t data = Le32At(wav, 52);
  EXPECT_GT(data, ImportByteLimit);
  EXPECT_LE(data, ImportByteLimit + 1152 * 4) << "the limit plus one piece";
}

// Two MP3s joined, of different rates and channels: the first one's frames are imported, in
// its format, and one message says the rest was left out.
TEST(Mp3ImportFormatChange, TheFramesBeforeTheChangeAndAMessage) {
  struct Case {
    const char* name;
    int channels, rate;
  } cases[] = {{"joined", 2, 44100}, {"joined-reverse", 1, 22050}};
  for (const Case& c : cases) {
    std::string folder = FreshFolder();
    std::vector<std::string> texts;
    {
      MessageBoxWatcher watcher;
      ASSERT_EQ(ImportMp3(DataFile(std::string(c.name) + ".mp3").c_str(), folder.c_str(), nullptr),
                1) << c.name;
      texts = watcher.Texts();
    }
    ASSERT_EQ(texts.size(), 1u) << c.name;
    EXPECT_EQ(texts[0], "This MP3 changes its sample rate or channels part way through. Quavella "
                        "has opened it up to that point; the rest of the song was left out.");
    Bytes wav = ReadAll(folder + "\\d.wav");
    CheckWorkingFile(wav, c.channels, c.rate);
    const size_t frames = Le32At(wav, 52) / (2 * c.channels);
    const size_t expected = ReadAll(DataFile(std::string(c.name) + ".raw")).size() / (2 * c.channels);
    EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(expected), 1152 * 2) << c.name;
  }
}

TEST(Mp3ImportRefusals, NonMp3FilesAreRefusedWithoutWritingAnything) {
  for (const char* name : {"garbage.mp3", "wave.mp3", "missing.mp3"}) {
    std::string folder = FreshFolder();
    std::vector<std::string> texts;
    {
      MessageBoxWatcher watcher;
      EXPECT_EQ(ImportMp3(DataFile(name).c_str(), folder.c_str(), nullptr), 0) << name;
      texts = watcher.Texts();
    }
    EXPECT_TRUE(texts.empty()) << name << ": the caller shows the message";
    EXPECT_FALSE(Exists(folder + "\\d.wav")) << name;
  }
}

TEST(AcmMp3DecoderTest, OpenReadToTheEndAndClose) {
  Mp3Scanner scanner;
  std::string path = DataFile("s44t.mp3");
  ASSERT_TRUE(scanner.ScanFile(path.c_str()));
  AcmMp3Decoder decoder;
  EXPECT_TRUE(decoder.IsAvailable());
  EXPECT_FALSE(decoder.Open(path.c_str(), Mp3StreamInfo(), 0)) << "a failed scan";
  EXPECT_FALSE(decoder.Open(DataFile("missing.mp3").c_str(), scanner.Info(), 0));

  ASSERT_TRUE(decoder.Open(path.c_str(), scanner.Info(), 0));
  EXPECT_EQ(decoder.DriverCount(), 1);
  const uint8_t* pcm = nullptr;
  int64_t total = 0;
  int32_t n;
  while ((n = decoder.Read(&pcm)) >= 0) {
    ASSERT_NE(pcm, nullptr);
    total += n;
  }
  EXPECT_EQ(n, Mp3Decoder::EndOfInput);
  EXPECT_EQ(decoder.Read(&pcm), Mp3Decoder::EndOfInput) << "and again";
  EXPECT_EQ(decoder.ConsumedBytes(), ReadAll(path).size());
  EXPECT_EQ(total, static_cast<int64_t>(ReadReference("s44t.raw").size() * 2));
  EXPECT_TRUE(decoder.Close());
  // Reopening after Close starts again from the beginning.
  ASSERT_TRUE(decoder.Open(path.c_str(), scanner.Info(), 0));
  EXPECT_GE(decoder.Read(&pcm), 0);
  EXPECT_TRUE(decoder.Close());
}

TEST(Mp3ConverterTest, GetInstanceHandsOutOneConverter) {
  Mp3Converter* a = getInstance();
  Mp3Converter* b = getInstance();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_STREQ(a->CodecName(), "MP2 MP3");
  EXPECT_EQ(a->Flag(), 1);
  ASSERT_EQ(a->Decoders().size(), 1u);
  EXPECT_EQ(a->Decoders()[0], ProcessAcmMp3Decoder());
  Mp3Converter local;
  EXPECT_EQ(local.Decoders()[0], ProcessAcmMp3Decoder()) << "one process-wide decoder";
}

TEST(Mp3ConverterTest, ScanFillsTheTrackAndDecodeWritesWorkingFile) {
  Mp3Converter* converter = getInstance();
  Mp3TrackInfo track;
  std::string path = DataFile("tagged.mp3");
  ASSERT_TRUE(InitTrackInfo(Mp3Source{path.c_str(), nullptr}, &track));
  ASSERT_TRUE(converter->Scan(&track));
  EXPECT_EQ(track.bitrate, 128);
  EXPECT_EQ(track.sampleRate, 44100);
  EXPECT_EQ(track.duration, 8);
  EXPECT_GT(track.firstFrameOffset, 10) << "the ID3v2 tag comes first";
  EXPECT_EQ(track.fileBytes, static_cast<int32_t>(ReadAll(path).size()));
  EXPECT_EQ(converter->StreamInfo().stereo, 1);

  std::string folder = FreshFolder();
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(folder.c_str());
  EXPECT_TRUE(converter->DecodeToWorkingFile(&track));
  SetCurrentDirectoryA(previous);
  std::vector<int16_t> decoded = CheckWorkingFile(ReadAll(folder + "\\d.wav"), 2, 44100);
  Match m = BestMatch(decoded, ReadReference("tagged.raw"), 2, 1152);
  EXPECT_GT(m.correlation, 0.99);
}

TEST(Mp3ConverterTest, ReadTagsGivesArtistAndTitle) {
#if QV_HAVE_ID3LIB
  Mp3TrackInfo track;
  std::string path = DataFile("tagged.mp3");
  ASSERT_TRUE(InitTrackInfo(Mp3Source{path.c_str(), nullptr}, &track));
  EXPECT_TRUE(getInstance()->ReadTags(&track));
  EXPECT_STREQ(track.leadArtist, "Test Artist");
  EXPECT_STREQ(track.title, "Test Title");

  Mp3TrackInfo untagged;
  path = DataFile("s44t.mp3");
  ASSERT_TRUE(InitTrackInfo(Mp3Source{path.c_str(), nullptr}, &untagged));
  EXPECT_TRUE(getInstance()->ReadTags(&untagged));
  EXPECT_STREQ(untagged.leadArtist, "");
  EXPECT_STREQ(untagged.title, "");
#else
  GTEST_SKIP() << "built without id3lib";
#endif
}

// A decoder that fails its first Open and then hands out fixed pieces.
class ScriptedDecoder : public Mp3Decoder {
 public:
  explicit ScriptedDecoder(int32_t endCode) : endCode_(endCode) {}
  bool IsAvailable() override { return true; }
  bool Open(const char*, Mp3StreamInfo, int32_t offset) override {
    offsets.push_back(offset);
    reads_ = 0;
    return offsets.size() >= 2;
  }
  int32_t Read(const uint8_t** pcm) override {
    *pcm = piece_;
    return reads_++ < 3 ? static_cast<int32_t>(sizeof piece_) : endCode_;
  }
  void ReleaseBuffer(const uint8_t* pcm) override { released += pcm == piece_; }
  bool Close() override {
    ++closes;
    return true;
  }
  std::vector<int32_t> offsets;
  int released = 0;
  int closes = 0;

 private:
  int32_t endCode_;
  int reads_ = 0;
  uint8_t piece_[6] = {1, 2, 3, 4, 5, 6};
};

TEST(Mp3ConverterTest, DecodeRetriesAtOffsetZeroAndFallsThroughTheList) {
  for (int32_t endCode : {Mp3Decoder::EndOfInput, Mp3Decoder::EndOfInputKeep}) {
    Mp3Converter converter;
    ScriptedDecoder scripted(endCode);
    converter.AddDecoder(&scripted);
    Mp3TrackInfo track;
    std::string path = DataFile("garbage.mp3");
    ASSERT_TRUE(InitTrackInfo(Mp3Source{path.c_str(), nullptr}, &track));
    EXPECT_FALSE(converter.Scan(&track));  // the ACM decoder then cannot open it
    track.firstFrameOffset = 77;

    std::string folder = FreshFolder();
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(folder.c_str());
    EXPECT_TRUE(converter.DecodeToWorkingFile(&track));
    SetCurrentDirectoryA(previous);

    EXPECT_EQ(scripted.offsets, (std::vector<int32_t>{77, 0}));
    EXPECT_EQ(scripted.released, 3);
    // Closed after the failed first open; after the pieces only when it did not say "keep".
    EXPECT_EQ(scripted.closes, endCode == Mp3Decoder::EndOfInput ? 2 : 1);
    Bytes wav = ReadAll(folder + "\\d.wav");
    ASSERT_EQ(wav.size(), 56u + 18);
    EXPECT_EQ(Le32At(wav, 52), 18u);
    EXPECT_EQ(wav[56], 1);
    EXPECT_EQ(wav[73], 6);
  }

  // No decoder finishes: false.
  Mp3Converter converter;
  Mp3TrackInfo track;
  std::string path = DataFile("garbage.mp3");
  ASSERT_TRUE(InitTrackInfo(Mp3Source{path.c_str(), nullptr}, &track));
  converter.Scan(&track);
  std::string folder = FreshFolder();
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(folder.c_str());
  EXPECT_FALSE(converter.DecodeToWorkingFile(&track));
  SetCurrentDirectoryA(previous);
}

}  // namespace
