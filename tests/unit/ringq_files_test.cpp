// ringq's files: the WAV reader's acceptance rules and the whole conversion's failure
// behaviour (no output on bad input).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "encoders/ringq/pcm_wav_reader.h"
#include "formats/qcp_file.h"
#include "encoders/ringq/wav_to_qcp.h"

namespace {

void Put16(std::vector<uint8_t>& v, unsigned x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
void Chunk(std::vector<uint8_t>& v, const char* id, const std::vector<uint8_t>& body,
           uint32_t declared = 0xFFFFFFFF) {
  v.insert(v.end(), id, id + 4);
  Put32(v, declared == 0xFFFFFFFF ? uint32_t(body.size()) : declared);
  v.insert(v.end(), body.begin(), body.end());
  if (body.size() & 1) v.push_back(0);
}
std::vector<uint8_t> Fmt(unsigned tag, unsigned channels, uint32_t rate, unsigned bits) {
  std::vector<uint8_t> f;
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * channels * bits / 8);
  Put16(f, channels * bits / 8);
  Put16(f, bits);
  return f;
}
std::vector<uint8_t> Samples(size_t count) {
  std::vector<uint8_t> d;
  for (size_t i = 0; i < count; ++i) Put16(d, unsigned(int16_t(i * 37 % 2000 - 1000)));
  return d;
}
// A WAV file from chunks (RIFF size filled in).
std::vector<uint8_t> Wave(const std::vector<std::pair<const char*, std::vector<uint8_t>>>& chunks) {
  std::vector<uint8_t> body;
  for (const auto& c : chunks) Chunk(body, c.first, c.second);
  std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
  Put32(v, uint32_t(body.size() + 4));
  v.insert(v.end(), {'W', 'A', 'V', 'E'});
  v.insert(v.end(), body.begin(), body.end());
  return v;
}
std::vector<uint8_t> GoodWave(size_t samples) {
  return Wave({{"fmt ", Fmt(1, 1, 8000, 16)}, {"data", Samples(samples)}});
}

PcmWavStatus Read(const std::vector<uint8_t>& bytes, std::vector<int16_t>* out = nullptr) {
  std::vector<int16_t> s;
  const PcmWavStatus st = ReadPcmWav(bytes, s);
  if (out) *out = s;
  return st;
}

class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("ringq_test_" + std::to_string(std::rand()) + "_" +
             std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }
  void Write(const char* name, const std::vector<uint8_t>& bytes) const {
    std::FILE* f = std::fopen(File(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace

TEST(RingqWavReader, AcceptsPcmInAnyChunkLayout) {
  std::vector<int16_t> s;
  EXPECT_EQ(Read(GoodWave(500), &s), PcmWavStatus::Ok);
  EXPECT_EQ(s.size(), 500u);
  EXPECT_EQ(s[1], int16_t(37 - 1000));
  // Data before fmt, an odd-sized chunk with its pad byte, an unknown chunk first.
  const std::vector<uint8_t> odd = {1, 2, 3};
  EXPECT_EQ(Read(Wave({{"LIST", odd}, {"data", Samples(10)}, {"fmt ", Fmt(1, 1, 8000, 16)}}), &s),
            PcmWavStatus::Ok);
  EXPECT_EQ(s.size(), 10u);
  // An odd data size: the trailing byte is not a sample.
  std::vector<uint8_t> d = Samples(4);
  d.push_back(9);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(1, 1, 8000, 16)}, {"data", d}}), &s), PcmWavStatus::Ok);
  EXPECT_EQ(s.size(), 4u);
  // WAVE_FORMAT_EXTENSIBLE with the PCM sub-format, and an 18-byte fmt chunk.
  std::vector<uint8_t> ext = Fmt(0xFFFE, 1, 8000, 16);
  Put16(ext, 22);
  Put16(ext, 16);
  Put32(ext, 4);
  const uint8_t pcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  ext.insert(ext.end(), pcmGuid, pcmGuid + 16);
  EXPECT_EQ(Read(Wave({{"fmt ", ext}, {"data", Samples(8)}})), PcmWavStatus::Ok);
  std::vector<uint8_t> fmt18 = Fmt(1, 1, 8000, 16);
  Put16(fmt18, 0);
  EXPECT_EQ(Read(Wave({{"fmt ", fmt18}, {"data", Samples(8)}})), PcmWavStatus::Ok);
}

TEST(RingqWavReader, RefusesEverythingElse) {
  EXPECT_EQ(Read({}), PcmWavStatus::NotWave);
  EXPECT_EQ(Read({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}), PcmWavStatus::NotWave);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(1, 2, 8000, 16)}, {"data", Samples(8)}})),
            PcmWavStatus::WrongFormat);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(1, 1, 44100, 16)}, {"data", Samples(8)}})),
            PcmWavStatus::WrongFormat);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(1, 1, 8000, 8)}, {"data", Samples(8)}})),
            PcmWavStatus::WrongFormat);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(3, 1, 8000, 32)}, {"data", Samples(8)}})),
            PcmWavStatus::NotPcm);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(0x55, 1, 8000, 0)}, {"data", Samples(8)}})),
            PcmWavStatus::NotPcm);
  EXPECT_EQ(Read(Wave({{"data", Samples(8)}})), PcmWavStatus::NoFormat);
  std::vector<uint8_t> shortFmt = Fmt(1, 1, 8000, 16);
  shortFmt.resize(14);
  EXPECT_EQ(Read(Wave({{"fmt ", shortFmt}, {"data", Samples(8)}})), PcmWavStatus::NoFormat);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(1, 1, 8000, 16)}})), PcmWavStatus::NoData);
  EXPECT_EQ(Read(Wave({{"fmt ", Fmt(1, 1, 8000, 16)}, {"data", {}}})), PcmWavStatus::Empty);
  // Data chunk claiming more than the file holds, and a file cut inside the data.
  std::vector<uint8_t> big = GoodWave(100);
  big[40] = 0xFF;
  big[41] = 0xFF;
  EXPECT_EQ(Read(big), PcmWavStatus::Truncated);
  std::vector<uint8_t> cut = GoodWave(100);
  cut.resize(cut.size() - 7);
  EXPECT_EQ(Read(cut), PcmWavStatus::Truncated);
  // A fmt chunk whose size runs past the end.
  std::vector<uint8_t> wild = GoodWave(4);
  wild[16] = 0xF0;
  wild[19] = 0x7F;
  EXPECT_EQ(Read(wild), PcmWavStatus::NoFormat);
}

TEST(RingqConvert, WritesAWellFormedQcp) {
  TempDir dir;
  dir.Write("in.wav", GoodWave(1000));
  const std::string out = dir.File("out.qcp");
  ASSERT_EQ(ConvertWavFileToQcp(dir.File("in.wav").c_str(), out.c_str()), RingqOk);
  EXPECT_EQ(CheckQcpPath(out.c_str()), 7) << "1000 samples: 7 frames, the last one padded";
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  // Converting again replaces the file.
  dir.Write("in2.wav", GoodWave(160));
  ASSERT_EQ(ConvertWavFileToQcp(dir.File("in2.wav").c_str(), out.c_str()), RingqOk);
  EXPECT_EQ(CheckQcpPath(out.c_str()), 1);
}

TEST(RingqConvert, BadInputLeavesNoOutput) {
  TempDir dir;
  const std::string out = dir.File("out.qcp");
  dir.Write("empty.wav", {});
  dir.Write("stereo.wav", Wave({{"fmt ", Fmt(1, 2, 8000, 16)}, {"data", Samples(800)}}));
  dir.Write("rate.wav", Wave({{"fmt ", Fmt(1, 1, 44100, 16)}, {"data", Samples(800)}}));
  dir.Write("nodata.wav", Wave({{"fmt ", Fmt(1, 1, 8000, 16)}, {"data", {}}}));
  std::vector<uint8_t> cut = GoodWave(800);
  cut.resize(cut.size() / 2);
  dir.Write("cut.wav", cut);
  dir.Write("text.wav", {'h', 'e', 'l', 'l', 'o'});
  for (const char* name : {"empty.wav", "stereo.wav", "rate.wav", "nodata.wav", "cut.wav",
                           "text.wav"}) {
    EXPECT_EQ(ConvertWavFileToQcp(dir.File(name).c_str(), out.c_str()), RingqBadSource) << name;
    EXPECT_FALSE(std::filesystem::exists(out)) << name;
  }
  EXPECT_EQ(ConvertWavFileToQcp(dir.File("missing.wav").c_str(), out.c_str()),
            RingqCannotReadSource);
  EXPECT_EQ(ConvertWavFileToQcp(nullptr, out.c_str()), RingqBadArguments);
  EXPECT_EQ(ConvertWavFileToQcp(dir.File("stereo.wav").c_str(), ""), RingqBadArguments);
  EXPECT_FALSE(std::filesystem::exists(out));

  // A destination that cannot be created.
  dir.Write("in.wav", GoodWave(800));
  const std::string nowhere = dir.File("no_such_folder/out.qcp");
  EXPECT_EQ(ConvertWavFileToQcp(dir.File("in.wav").c_str(), nowhere.c_str()), RingqCannotWrite);
  EXPECT_FALSE(std::filesystem::exists(nowhere));

  // An earlier good file survives a failed conversion untouched.
  ASSERT_EQ(ConvertWavFileToQcp(dir.File("in.wav").c_str(), out.c_str()), RingqOk);
  const auto before = std::filesystem::file_size(out);
  EXPECT_EQ(ConvertWavFileToQcp(dir.File("cut.wav").c_str(), out.c_str()), RingqBadSource);
  EXPECT_EQ(std::filesystem::file_size(out), before);
  EXPECT_EQ(CheckQcpPath(out.c_str()), 5);
  EXPECT_EQ(CheckQcpPath(dir.File("in.wav").c_str()), -1);
  EXPECT_EQ(CheckQcpPath(dir.File("missing.qcp").c_str()), -1);
}
