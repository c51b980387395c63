// The decoding branch's glue on files the system's ffmpeg made at build time: what it reports
// for the refused kinds, and that a refusal leaves no d.wav behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "import/import_decoded_song.h"

namespace {

std::string Env(const char* name) {
  char value[1024] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

std::string DataFile(const std::string& name) {
  std::string dir = Env("QV_BUILD_DIR");
  std::replace(dir.begin(), dir.end(), '/', '\\');
  return "Z:" + dir + "\\test-data\\decoded\\" + name;
}

TEST(ImportDecodedSong, RefusalsLeaveNoWorkingFile) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "qv_decoded_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string dwav = folder + "\\d.wav";
  struct Case {
    const char* file;
    DecodedSongVerdict verdict;
  } cases[] = {
      {"song.m4a", DecodedSongVerdict::Imported},
      {"cut.m4a", DecodedSongVerdict::Damaged},
      {"silent.mp4", DecodedSongVerdict::NoSound},
      {"protected.m4a", DecodedSongVerdict::Protected},
      {"no-such-file.flac", DecodedSongVerdict::Damaged},
  };
  for (const Case& c : cases) {
    DeleteFileA(dwav.c_str());
    EXPECT_EQ(ImportDecodedSong(DataFile(c.file).c_str(), folder.c_str(), nullptr), c.verdict)
        << c.file;
    EXPECT_EQ(GetFileAttributesA(dwav.c_str()) != INVALID_FILE_ATTRIBUTES,
              c.verdict == DecodedSongVerdict::Imported)
        << c.file;
  }
  DeleteFileA(dwav.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
