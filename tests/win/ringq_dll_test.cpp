// ringq.dll driven exactly as the program drives it: LoadLibrary, the plain-named factory,
// the two COM-layout interfaces by vtable position, conversion and opening.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/qcp_file.h"
#include "encoders/ringq/ringq_api.h"
#include "session/handles.h"

namespace {

std::string BinDir() {
  const char* dir = std::getenv("QV_BIN_DIR");
  return dir ? dir : ".";
}

struct Library {
  Module module{LoadLibraryA((BinDir() + "\\ringq.dll").c_str())};
  QplCreateInstanceFn create = reinterpret_cast<QplCreateInstanceFn>(
      module ? GetProcAddress(module.get(), "QPLCreateInstance") : nullptr);
};

class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "ringq dll test " + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path_ + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((path_ + "\\" + fd.cFileName).c_str());
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(path_.c_str());
  }
  std::string File(const char* name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + got);
  std::fclose(f);
  return out;
}

// A 16-bit PCM WAV file with a tone.
void WriteWav(const std::string& path, unsigned channels, unsigned rate, size_t frames) {
  std::vector<uint8_t> v;
  auto put16 = [&](unsigned x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); };
  auto put32 = [&](uint32_t x) { put16(x & 0xFFFF); put16(x >> 16); };
  const uint32_t dataBytes = uint32_t(frames * channels * 2);
  v.insert(v.end(), {'R', 'I', 'F', 'F'});
  put32(36 + dataBytes);
  v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16);
  put16(1);
  put16(channels);
  put32(rate);
  put32(rate * channels * 2);
  put16(channels * 2);
  put16(16);
  v.insert(v.end(), {'d', 'a', 't', 'a'});
  put32(dataBytes);
  for (size_t i = 0; i < frames * channels; ++i)
    put16(unsigned(int16_t(8000 * ((i / 9) % 2 ? 1 : -1) + int(i % 300))));
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(v.data(), 1, v.size(), f);
  std::fclose(f);
}

// The interfaces reached by vtable position, as a caller that knows only the positions does.
using QueryFn = HRESULT(WINAPI*)(void*, const GUID*, void**);
using CountFn = ULONG(WINAPI*)(void*);
using ConvertFn = HRESULT(WINAPI*)(void*, const char*, const char*, int);
using OpenFn = BOOL(WINAPI*)(void*, const char*, int);
using CloseFn = HRESULT(WINAPI*)(void*);
template <typename Fn>
Fn Slot(void* object, int position) {
  void** vtable = *static_cast<void***>(object);
  return reinterpret_cast<Fn>(vtable[position - 1]);
}

}  // namespace

TEST(RingqDll, ExportsThePlainNamedFactory) {
  Library lib;
  ASSERT_TRUE(lib.module) << "ringq.dll in " << BinDir();
  EXPECT_NE(lib.create, nullptr);
  EXPECT_EQ(GetProcAddress(lib.module.get(), "QPLCreateInstance@12"), nullptr);
}

TEST(RingqDll, ConvertsAndOpensLikeTheProgram) {
  Library lib;
  ASSERT_NE(lib.create, nullptr);
  TempFolder dir;
  const std::string wav = dir.File("test.wav"), qcp = dir.File("new.qcp");
  WriteWav(wav, 1, 8000, 8000);

  void* convert = nullptr;
  void* file = nullptr;
  ASSERT_EQ(lib.create(&CLSID_QplConverter, &IID_IQPLConvertFile, &convert), 0);
  ASSERT_NE(convert, nullptr);
  ASSERT_EQ(lib.create(&CLSID_QplConverter, &IID_IQPLQcpFile, &file), 0);
  ASSERT_NE(file, nullptr);

  EXPECT_EQ(Slot<ConvertFn>(convert, 4)(convert, wav.c_str(), qcp.c_str(), 1), 0);
  EXPECT_EQ(CheckQcpFile(ReadAll(qcp)), 50) << "one second: 50 frames";
  EXPECT_NE(Slot<OpenFn>(file, 4)(file, qcp.c_str(), 1), FALSE);
  // While open the file is held; closing releases it so that it can be deleted.
  Slot<CloseFn>(file, 5)(file);
  EXPECT_NE(DeleteFileA(qcp.c_str()), FALSE);

  EXPECT_EQ(Slot<CountFn>(convert, 3)(convert), 0u);
  EXPECT_EQ(Slot<CountFn>(file, 3)(file), 0u);
}

TEST(RingqDll, QueryInterfaceAndCountsAreHonest) {
  Library lib;
  ASSERT_NE(lib.create, nullptr);
  void* convert = nullptr;
  ASSERT_EQ(lib.create(&CLSID_QplConverter, &IID_IQPLConvertFile, &convert), 0);
  EXPECT_EQ(Slot<CountFn>(convert, 2)(convert), 2u);
  EXPECT_EQ(Slot<CountFn>(convert, 3)(convert), 1u);

  void* file = nullptr;
  EXPECT_EQ(Slot<QueryFn>(convert, 1)(convert, &IID_IQPLQcpFile, &file), 0);
  ASSERT_NE(file, nullptr);
  void* unknownA = nullptr;
  void* unknownB = nullptr;
  EXPECT_EQ(Slot<QueryFn>(convert, 1)(convert, &IID_IUnknown, &unknownA), 0);
  EXPECT_EQ(Slot<QueryFn>(file, 1)(file, &IID_IUnknown, &unknownB), 0);
  EXPECT_EQ(unknownA, unknownB) << "one object identity";
  void* back = nullptr;
  EXPECT_EQ(Slot<QueryFn>(file, 1)(file, &IID_IQPLConvertFile, &back), 0);
  EXPECT_EQ(back, convert);

  const GUID other = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  void* none = reinterpret_cast<void*>(1);
  EXPECT_NE(Slot<QueryFn>(convert, 1)(convert, &other, &none), 0);
  EXPECT_EQ(none, nullptr);

  // convert, file, unknownA, unknownB, back: five references.
  for (void* p : {back, unknownB, unknownA, file}) Slot<CountFn>(p, 3)(p);
  EXPECT_EQ(Slot<CountFn>(convert, 3)(convert), 0u);
}

TEST(RingqDll, UnknownIdsGiveNoObject) {
  Library lib;
  ASSERT_NE(lib.create, nullptr);
  const GUID other = {0xEEDAC6E3, 0xBA67, 0x11D4, {0x94, 0xA2, 0x00, 0x08, 0xC7, 0x37, 0x75, 0x05}};
  void* object = reinterpret_cast<void*>(1);
  EXPECT_NE(lib.create(&other, &IID_IQPLConvertFile, &object), 0);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_NE(lib.create(&CLSID_QplConverter, &other, &object), 0);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(lib.create(&CLSID_QplConverter, &IID_IQPLConvertFile, nullptr), 0);
}

TEST(RingqDll, BadInputFailsAndWritesNothing) {
  Library lib;
  ASSERT_NE(lib.create, nullptr);
  TempFolder dir;
  void* convert = nullptr;
  void* file = nullptr;
  ASSERT_EQ(lib.create(&CLSID_QplConverter, &IID_IQPLConvertFile, &convert), 0);
  ASSERT_EQ(lib.create(&CLSID_QplConverter, &IID_IQPLQcpFile, &file), 0);
  const ConvertFn convertFile = Slot<ConvertFn>(convert, 4);
  const std::string qcp = dir.File("new.qcp");

  WriteWav(dir.File("stereo.wav"), 2, 8000, 800);
  WriteWav(dir.File("cd.wav"), 1, 44100, 800);
  WriteWav(dir.File("empty.wav"), 1, 8000, 0);
  std::fclose(std::fopen(dir.File("zero.wav").c_str(), "wb"));
  WriteWav(dir.File("good.wav"), 1, 8000, 1600);
  std::vector<uint8_t> cut = ReadAll(dir.File("good.wav"));
  cut.resize(cut.size() - 100);
  std::FILE* f = std::fopen(dir.File("cut.wav").c_str(), "wb");
  std::fwrite(cut.data(), 1, cut.size(), f);
  std::fclose(f);

  for (const char* name : {"stereo.wav", "cd.wav", "empty.wav", "zero.wav", "cut.wav",
                           "missing.wav"}) {
    EXPECT_NE(convertFile(convert, dir.File(name).c_str(), qcp.c_str(), 1), 0) << name;
    EXPECT_FALSE(Exists(qcp)) << name;
  }
  EXPECT_NE(convertFile(convert, nullptr, qcp.c_str(), 1), 0);

  // Opening what is not a QCP file fails.
  const OpenFn open = Slot<OpenFn>(file, 4);
  EXPECT_EQ(open(file, dir.File("good.wav").c_str(), 1), FALSE);
  EXPECT_EQ(open(file, dir.File("missing.qcp").c_str(), 1), FALSE);
  EXPECT_EQ(open(file, nullptr, 1), FALSE);
  Slot<CloseFn>(file, 5)(file);  // closing with nothing open is harmless
  Slot<CountFn>(file, 3)(file);
  Slot<CountFn>(convert, 3)(convert);
}
