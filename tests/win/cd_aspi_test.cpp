// The CD drive library's ASPI back end against the virtual drive's module (loaded from beside
// this test, which Wine is told to prefer to its own): requests that the module completes after
// the library has given up on them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "import/cd/cd_library.h"
#include "tests/e2e/driver.h"

namespace {

TEST(AspiBackEnd, ALateCompletionNeverWritesIntoTheCallersBuffer) {
  std::string folder = e2e::FreshFolder("cd aspi late");
  std::string disc = folder + "\\disc.txt";
  const char description[] = "tracks 0 1000\nlate 5000\n";  // after the library's 4000 ms
  ASSERT_TRUE(e2e::WriteFileBytes(disc, {description, description + sizeof description - 1}));
  SetEnvironmentVariableA("QV_VIRTUAL_CD", disc.c_str());

  ASSERT_NE(InitCDLibrary(), 0);
  HMODULE module = GetModuleHandleA("WNASPI32.DLL");
  auto lateCompletions = reinterpret_cast<LONG(__cdecl*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "VirtualCdLateCompletions")));
  ASSERT_NE(lateCompletions, nullptr) << "the virtual drive's module was not loaded";

  CdList list{};
  list.maxCount = 8;
  GetCDList(&list);
  ASSERT_EQ(list.count, 1);
  CdHandleRequest request = HandleRequestFor(list.drives[0], 1);  // READ CD, no probe
  int handle = GetCDHandle(&request);
  ASSERT_NE(handle, 0);

  std::vector<uint8_t> memory(sizeof(TrackBufferHeader) + 26 * CdSectorBytes);
  auto* buffer = reinterpret_cast<TrackBufferHeader*>(memory.data());
  buffer->capacity = 26 * CdSectorBytes;
  buffer->startSector = 10;
  buffer->sectorCount = 2;
  EXPECT_NE(ReadCDAudioSectors(handle, buffer), CdStatusDone);  // gave up after 4000 ms
  EXPECT_EQ(GetCDLibError(), CdErrRequestFailed);

  // The caller has its buffer back and uses it for something else; the drive answers now.
  uint8_t* samples = memory.data() + sizeof(TrackBufferHeader);
  std::fill(samples, samples + buffer->capacity, 0x55);
  ASSERT_TRUE(e2e::WaitUntil([&] { return lateCompletions() >= 1; }, 5000));
  Sleep(50);
  EXPECT_TRUE(std::all_of(samples, samples + buffer->capacity, [](uint8_t b) { return b == 0x55; }))
      << "the late completion wrote into the caller's buffer";
  EXPECT_EQ(ReleaseCDHandle(handle), 1);
}

}  // namespace
