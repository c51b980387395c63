// The decoding branch's glue on files the system's ffmpeg made at build time: what it reports
// for the refused kinds, and that a refusal leaves no d.wav behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "formats/byte_order.h"
#include "import/import_decoded_song.h"
#include "session/session_state.h"

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

std::string WorkFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "qv_decoded_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A stand-in for the progress bar whose first move is the program's end (Exit pressed).
LRESULT CALLBACK StopAtFirstMove(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == PBM_SETPOS && w > 0) sessionState.stopRequested = true;
  return DefWindowProcA(window, message, w, l);
}

TEST(ImportDecodedSong, RefusalsLeaveNoWorkingFile) {
  const std::string folder = WorkFolder();
  const std::string dwav = folder + "\\d.wav";
  struct Case {
    const char* file;
    DecodedSongVerdict verdict;
  } cases[] = {
      {"song.m4a", DecodedSongVerdict::Imported},
      {"cut.m4a", DecodedSongVerdict::Damaged},
      {"bomb.m4a", DecodedSongVerdict::Damaged},
      {"vbr.aac", DecodedSongVerdict::Imported},
      {"chained.ogg", DecodedSongVerdict::Imported},
      {"chained.aac", DecodedSongVerdict::Imported},
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

// The program's end stops the decoding at the next packet; d.wav is finished as far as it got.
TEST(ImportDecodedSong, TheProgramsEndStopsTheDecodingAtOnce) {
  WNDCLASSA type{};
  type.lpfnWndProc = StopAtFirstMove;
  type.hInstance = GetModuleHandleA(nullptr);
  type.lpszClassName = "QvStopBar";
  ASSERT_TRUE(RegisterClassA(&type));
  HWND bar = CreateWindowA("QvStopBar", "", 0, 0, 0, 10, 10, nullptr, nullptr, type.hInstance,
                           nullptr);
  ASSERT_NE(bar, nullptr);
  const std::string folder = WorkFolder();
  EXPECT_EQ(ImportDecodedSong(DataFile("song.flac").c_str(), folder.c_str(), bar),
            DecodedSongVerdict::Imported);
  sessionState.stopRequested = false;
  DestroyWindow(bar);
  HANDLE file = CreateFileA((folder + "\\d.wav").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  uint8_t header[56] = {};
  DWORD got = 0;
  ReadFile(file, header, sizeof header, &got, nullptr);
  const DWORD size = GetFileSize(file, nullptr);
  CloseHandle(file);
  ASSERT_EQ(got, sizeof header);
  const uint32_t data = Le32(header + 52);
  EXPECT_EQ(data, size - 56);
  EXPECT_GT(data, 0u);
  EXPECT_LT(data, 48000u * 4 / 2) << "the decoding went on after the program's end";  // < 0.5 s
  DeleteFileA((folder + "\\d.wav").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
