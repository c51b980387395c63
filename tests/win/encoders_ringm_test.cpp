// ringm.dll as the program loads and calls it: the plain stdcall export, the result codes,
// the growth protocol and the buffers it must leave alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encoders/ringm/wsc_cnv.h"

namespace {

using WscCnvProc = int32_t(__stdcall*)(const uint8_t*, uint32_t, const WscCnvOptions*, uint8_t*,
                                       uint32_t, uint8_t*, uint32_t);

class RingmDll : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("QV_BIN_DIR");
    ASSERT_NE(bin, nullptr) << "QV_BIN_DIR is not set";
    library = LoadLibraryA((std::string(bin) + "\\ringm.dll").c_str());
    ASSERT_NE(library, nullptr) << "cannot load ringm.dll from " << bin;
    convert = reinterpret_cast<WscCnvProc>(GetProcAddress(library, "WscCnv"));
    ASSERT_NE(convert, nullptr);
  }
  void TearDown() override {
    if (library) FreeLibrary(library);
  }

  // One call as the program makes it; also checks that the callee removed its 28 bytes of
  // arguments from the stack (stdcall) and left the work area alone.
  int32_t Call(const std::vector<uint8_t>& input, uint8_t* output, uint32_t capacity) {
    WscCnvOptions options;
    uint8_t work[WscCnvWorkAreaBytes + 16] = {};
    std::memset(work + WscCnvWorkAreaBytes, 0x5A, 16);
    uint32_t before, after;
    asm volatile("movl %%esp, %0" : "=r"(before) : : "memory");
    int32_t r = convert(input.data(), static_cast<uint32_t>(input.size()), &options, output,
                        capacity, work, WscCnvOptionWord);
    asm volatile("movl %%esp, %0" : "=r"(after) : : "memory");
    EXPECT_EQ(before, after) << "WscCnv is not stdcall";
    for (uint32_t i = 0; i < WscCnvWorkAreaBytes; ++i) EXPECT_EQ(work[i], 0) << i;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(work[WscCnvWorkAreaBytes + i], 0x5A);
    return r;
  }

  HMODULE library = nullptr;
  WscCnvProc convert = nullptr;
};

std::vector<uint8_t> MonoWav(size_t samples, uint16_t channels = 1, uint32_t rate = 8000) {
  std::vector<uint8_t> b(44 + samples * 2 * channels);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  std::memcpy(&b[0], "RIFF", 4);
  put(4, static_cast<uint32_t>(b.size() - 8), 4);
  std::memcpy(&b[8], "WAVEfmt ", 8);
  put(16, 16, 4);
  put(20, 1, 2);
  put(22, channels, 2);
  put(24, rate, 4);
  put(28, rate * 2 * channels, 4);
  put(32, 2 * channels, 2);
  put(34, 16, 2);
  std::memcpy(&b[36], "data", 4);
  put(40, static_cast<uint32_t>(samples * 2 * channels), 4);
  for (size_t i = 0; i < samples * channels; ++i) put(44 + 2 * i, (i * 977) & 0x3FFF, 2);
  return b;
}

TEST_F(RingmDll, ExportsOnlyThePlainName) {
  EXPECT_EQ(GetProcAddress(library, "_WscCnv@28"), nullptr);
  EXPECT_EQ(GetProcAddress(library, "WscCnv@28"), nullptr);
}

TEST_F(RingmDll, ConvertsAndAsksForMoreRoomUntilItFits) {
  std::vector<uint8_t> wav = MonoWav(8000);
  // The program's growth rule, started small: -2, -2, then the sixteenfold buffer fits.
  uint32_t capacity = 300;
  std::vector<int32_t> results;
  std::vector<uint8_t> output;
  for (int i = 0; i < 5; ++i) {
    output.assign(capacity, 0xCD);
    int32_t r = Call(wav, output.data(), capacity);
    results.push_back(r);
    if (r != WscCnvOutputTooSmall) break;
    EXPECT_EQ(output, std::vector<uint8_t>(capacity, 0xCD)) << "written although too small";
    capacity *= 4;
  }
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0], WscCnvOutputTooSmall);
  EXPECT_EQ(results[1], WscCnvOutputTooSmall);
  ASSERT_GT(results[2], 4000);
  EXPECT_EQ(std::memcmp(output.data(), "MMMD", 4), 0);
  EXPECT_EQ(output[results[2]], 0xCD);  // nothing past the returned length

  // The program's own first capacity always suffices.
  std::vector<uint8_t> big((wav.size() + 1000) * 4);
  EXPECT_EQ(Call(wav, big.data(), static_cast<uint32_t>(big.size())), results[2]);
  EXPECT_EQ(std::memcmp(big.data(), output.data(), results[2]), 0);
}

TEST_F(RingmDll, RefusesBadInputWithoutWriting) {
  std::vector<uint8_t> text(300, 'x');
  std::vector<uint8_t> cases[] = {std::vector<uint8_t>{}, text, MonoWav(800, 2),
                                  MonoWav(800, 1, 16000), MonoWav(0)};
  for (const auto& input : cases) {
    std::vector<uint8_t> output(65536, 0xCD);
    EXPECT_EQ(Call(input, output.data(), 65536), WscCnvFailed) << input.size();
    EXPECT_EQ(output, std::vector<uint8_t>(65536, 0xCD));
  }
  EXPECT_EQ(convert(nullptr, 100, nullptr, nullptr, 100, nullptr, WscCnvOptionWord), WscCnvFailed);
}

}  // namespace
