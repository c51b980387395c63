// The installer under Wine: a silent install, the shortcuts, the installed program at work, and
// a silent uninstall that keeps the profile.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cmath>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

std::string KnownFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 120000) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-2);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}

struct Shortcut {
  std::string target, folder;
};

Shortcut ReadShortcut(const std::string& path) {
  Shortcut result;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return result;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char buffer[MAX_PATH] = {};
      if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, 0))) result.target = buffer;
      buffer[0] = 0;
      if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) result.folder = buffer;
    }
    file->Release();
  }
  link->Release();
  return result;
}

bool SamePath(std::string a, std::string b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST(Package, SilentInstallShortcutsRunAndSilentUninstall) {
  CoInitialize(nullptr);
  char buildDir[MAX_PATH] = {};
  GetEnvironmentVariableA("QV_BUILD_DIR", buildDir, sizeof buildDir);
  std::string package = WindowsPath(buildDir) + "\\package";
  std::string installer = package + "\\QuavellaPackage.exe";
  ASSERT_TRUE(FileExists(installer)) << installer;
  ASSERT_TRUE(FileExists(package + "\\Quavella-portable.zip"));

  std::string folder = KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Quavella";
  EXPECT_EQ(RunAndWait("\"" + installer + "\" /S"), 0);
  ASSERT_TRUE(FileExists(folder + "\\Quavella.exe")) << folder;
  EXPECT_TRUE(FileExists(folder + "\\uninstall.exe"));
  EXPECT_TRUE(FileExists(folder + "\\licenses\\README.txt"));
  EXPECT_TRUE(FileExists(folder + "\\licenses\\LAME-copyright.txt"));
  // FFmpeg's DLLs beside the program, with their licence and configure line and the licence of
  // the musl code inside them; libvorbis's licence.
  for (const char* name : {"avformat-59.dll", "avcodec-59.dll", "avutil-57.dll",
                           "swresample-4.dll", "licenses\\FFmpeg-COPYING.LGPLv2.1.txt",
                           "licenses\\FFmpeg-configure.txt", "licenses\\musl-COPYRIGHT.txt",
                           "licenses\\libvorbis-COPYING.txt"})
    EXPECT_TRUE(FileExists(folder + "\\" + name)) << name;

  for (int place : {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY}) {
    std::string lnk = KnownFolder(place) + "\\Quavella.lnk";
    ASSERT_TRUE(FileExists(lnk)) << lnk;
    Shortcut shortcut = ReadShortcut(lnk);
    EXPECT_TRUE(SamePath(shortcut.target, folder + "\\Quavella.exe")) << shortcut.target;
    EXPECT_TRUE(SamePath(shortcut.folder, folder)) << shortcut.folder;
  }

  // The installed copy starts in its folder, imports a song there and converts a clip for an
  // AMR phone with the encoder installed beside it.
  {
    LaunchOptions options;
    options.startFolder = folder;
    options.profile.type = 1;
    App app;
    ASSERT_TRUE(app.Launch(options));
    std::vector<uint8_t> song = MakeWav(44100, 2, 44100, [](uint32_t i, int) {
      return static_cast<int16_t>(6000 * std::sin(i * 0.0627));
    });
    std::string songPath = FreshFolder("package-song") + "\\song.wav";
    ASSERT_TRUE(WriteFileBytes(songPath, song));
    ASSERT_TRUE(app.BrowseTo(songPath));
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(folder + "\\d.wav") == song &&
                                       app.ProgressPosition() == app.ProgressRange().second; }));
    WaitUntil([] { return false; }, 300);
    app.Drag(100, 400);
    app.Command(5002);
    EXPECT_TRUE(WaitUntil([&] { return app.ChildText(6020).find("KB") != std::string::npos; },
                          60000));
    std::vector<uint8_t> amr = ReadFileBytes(folder + "\\a.amr");
    EXPECT_GT(amr.size(), 6u);
    EXPECT_EQ(std::string(amr.begin(), amr.begin() + std::min<size_t>(6, amr.size())), "#!AMR\n");
    app.Command(5005);
    EXPECT_EQ(app.WaitForExit(), 0);
  }

  // Working files left behind go with the program; the profile stays.
  WriteFileBytes(folder + "\\a.amr", {1, 2, 3});
  WriteProfile(Profile{});
  EXPECT_EQ(RunAndWait("\"" + folder + "\\uninstall.exe\" /S"), 0);
  // The uninstaller runs on from a copy of itself: wait for its last step.
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder + "\\Quavella.exe") &&
                                     !FileExists(folder); }, 30000))
      << folder << " is still there";
  EXPECT_FALSE(FileExists(KnownFolder(CSIDL_PROGRAMS) + "\\Quavella.lnk"));
  EXPECT_FALSE(FileExists(KnownFolder(CSIDL_DESKTOPDIRECTORY) + "\\Quavella.lnk"));
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quavella", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  RegCloseKey(key);
  CoUninitialize();
}

}  // namespace
