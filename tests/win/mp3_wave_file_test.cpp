#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/byte_order.h"
#include "import/wave_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string TempPath(const char* name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

Bytes ReadAll(const std::string& path) {
  Bytes b;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    std::fclose(f);
  }
  return b;
}

std::string Id(const Bytes& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

// Checks the whole chunked layout of a finished file holding `dataBytes` sample bytes.
void ExpectLayout(const Bytes& b, uint16_t channels, uint32_t rate, uint32_t dataBytes) {
  ASSERT_EQ(b.size(), 56u + dataBytes);
  EXPECT_EQ(Id(b, 0), "RIFF");
  EXPECT_EQ(Le32At(b, 4), b.size() - 8);
  EXPECT_EQ(Id(b, 8), "WAVE");
  EXPECT_EQ(Id(b, 12), "fmt ");
  EXPECT_EQ(Le32At(b, 16), 16u);
  EXPECT_EQ(Le16At(b, 20), 1);
  EXPECT_EQ(Le16At(b, 22), channels);
  EXPECT_EQ(Le32At(b, 24), rate);
  EXPECT_EQ(Le32At(b, 28), rate * channels * 2);
  EXPECT_EQ(Le16At(b, 32), channels * 2);
  EXPECT_EQ(Le16At(b, 34), 16);
  EXPECT_EQ(Id(b, 36), "fact");
  EXPECT_EQ(Le32At(b, 40), 4u);
  EXPECT_EQ(Le32At(b, 44), 0u) << "the fact value of a finished file is 0";
  EXPECT_EQ(Id(b, 48), "data");
  EXPECT_EQ(Le32At(b, 52), dataBytes);
}

TEST(WaveFile, EmptyFileIsAValidWave) {
  std::string path = TempPath("wave_empty.wav");
  {
    WaveFile w(path.c_str(), 44100, true);
    EXPECT_EQ(w.OpenResult(), S_OK);
    EXPECT_EQ(w.Close(), S_OK);
    EXPECT_EQ(w.Write(4, "abcd"), -1) << "closed";
  }
  ExpectLayout(ReadAll(path), 2, 44100, 0);
  DeleteFileA(path.c_str());
}

TEST(WaveFile, WritesLandInDataAcrossManyBuffers) {
  std::string path = TempPath("wave_data.wav");
  Bytes expected;
  {
    WaveFile w(path.c_str(), 22050, false);
    ASSERT_TRUE(w.IsOpen());
    // Pieces of odd sizes, up to well beyond the I/O buffer, and an empty one.
    uint32_t seed = 1;
    for (uint32_t size : {0u, 1u, 3u, 4608u, 8191u, 8192u, 8193u, 100000u, 7u}) {
      Bytes piece(size);
      for (uint8_t& x : piece) x = static_cast<uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
      EXPECT_EQ(w.Write(size, piece.data()), static_cast<int32_t>(size));
      expected.insert(expected.end(), piece.begin(), piece.end());
    }
    if (expected.size() & 1) {  // keep whole samples
      EXPECT_EQ(w.Write(1, "x"), 1);
      expected.push_back('x');
    }
    // Closed by the destructor.
  }
  Bytes b = ReadAll(path);
  ExpectLayout(b, 1, 22050, static_cast<uint32_t>(expected.size()));
  ASSERT_EQ(b.size(), 56 + expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), b.begin() + 56));
  DeleteFileA(path.c_str());
}

TEST(WaveFile, FormatRecordsOfTheMp3Branch) {
  WAVEFORMATEX mono = WaveFile::PcmFormat(22050, false);
  EXPECT_EQ(mono.nBlockAlign, 2);
  EXPECT_EQ(mono.nAvgBytesPerSec, 44100u);
  WAVEFORMATEX stereo = WaveFile::PcmFormat(44100, true);
  EXPECT_EQ(stereo.nBlockAlign, 4);
  EXPECT_EQ(stereo.nAvgBytesPerSec, 176400u);

  std::string path = TempPath("wave_48k.wav");
  { WaveFile w(path.c_str(), 48000, false); }
  ExpectLayout(ReadAll(path), 1, 48000, 0);
  DeleteFileA(path.c_str());
}

TEST(WaveFile, NonPcmFormatIsWrittenWithItsExtraBytes) {
  std::string path = TempPath("wave_adpcm.wav");
  struct {
    WAVEFORMATEX wfx;
    uint8_t extra[4];
  } format = {};
  format.wfx.wFormatTag = 2;
  format.wfx.nChannels = 1;
  format.wfx.nSamplesPerSec = 8000;
  format.wfx.nAvgBytesPerSec = 4096;
  format.wfx.nBlockAlign = 256;
  format.wfx.wBitsPerSample = 4;
  format.wfx.cbSize = 4;
  std::memcpy(format.extra, "\x01\x02\x03\x04", 4);
  {
    WaveFile w;
    ASSERT_EQ(w.Open(path.c_str(), &format.wfx, WaveFile::Mode::Write), S_OK);
    EXPECT_EQ(w.Write(2, "zz"), 2);
  }
  Bytes b = ReadAll(path);
  ASSERT_EQ(b.size(), 12u + 8 + 22 + 12 + 8 + 2);
  EXPECT_EQ(Le32At(b, 16), 22u);
  EXPECT_EQ(Le16At(b, 20 + 16), 4) << "extra size";
  EXPECT_EQ(Le32At(b, 20 + 18), 0x04030201u);
  EXPECT_EQ(Id(b, 42), "fact");
  EXPECT_EQ(Le32At(b, 50), 0u);
  EXPECT_EQ(Id(b, 54), "data");
  DeleteFileA(path.c_str());
}

TEST(WaveFile, FailedOpenBehavesAsNotOpen) {
  std::string path = TempPath("no_such_folder\\d.wav");
  WaveFile w(path.c_str(), 44100, true);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(w.OpenResult(), E_FAIL);
  EXPECT_EQ(w.Write(4, "abcd"), -1);
  uint32_t written = 99;
  EXPECT_EQ(w.WriteData(4, "abcd", &written), CO_E_NOTINITIALIZED);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(w.Close(), S_OK);

  WAVEFORMATEX pcm = WaveFile::PcmFormat(8000, false);
  WaveFile other;
  EXPECT_EQ(other.Open(nullptr, &pcm, WaveFile::Mode::Write), E_INVALIDARG);
  EXPECT_EQ(other.Open("x.wav", nullptr, WaveFile::Mode::Write), E_INVALIDARG);
  EXPECT_EQ(other.Open("x.wav", &pcm, WaveFile::Mode::Read), E_NOTIMPL);
  EXPECT_FALSE(other.IsOpen());
}

TEST(WaveFile, CreatingReplacesAnOldFile) {
  std::string path = TempPath("wave_replace.wav");
  {
    WaveFile w(path.c_str(), 44100, true);
    Bytes big(50000, 1);
    w.Write(static_cast<uint32_t>(big.size()), big.data());
  }
  { WaveFile w(path.c_str(), 8000, false); }
  ExpectLayout(ReadAll(path), 1, 8000, 0);
  DeleteFileA(path.c_str());
}

}  // namespace
