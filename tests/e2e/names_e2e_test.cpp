// Songs named in any script, and every way a song comes in: Browse (to the real service, from
// a program in a folder named in Cyrillic and Chinese), a drop on the window, the installer's
// context-menu command, and a second start. This test program carries the application manifest
// too, so its own ANSI calls speak UTF-8 and it can name such files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdConvert = 5002, IdPathEdit = 5004, IdExit = 5005, IdUpload = 5011,
              IdSizeEdit = 6020;
const std::string SongName = "\xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B.m4a";
const std::string SongFolder = "M\xC3\xBAsica \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
const std::string ProgramFolder =
    "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B \xE6\x9D\x8E\xE6\x98\x8E";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// `夜に駆ける.m4a` (an AAC song of the decoding tests) in `Música 日本語` under a fresh folder.
std::string PlaceSong(const std::string& test) {
  const std::string folder = FreshFolder(test) + "\\" + SongFolder;
  EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
  const std::string song = folder + "\\" + SongName;
  EXPECT_TRUE(CopyFileA((WindowsPath(Env("QV_BUILD_DIR")) + "\\test-data\\decoded\\song.m4a").c_str(),
                        song.c_str(), FALSE));
  return song;
}

// A start folder named `Программы 李明` holding the program.
std::string ProgramInCyrillicFolder(const std::string& test) {
  const std::string folder = FreshFolder(test + "-program") + "\\" + ProgramFolder;
  EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
  CopyDistribution(folder);
  return folder;
}

bool WaitForSong(App& app, const std::string& song) {
  return app.WaitLoaded() && app.ChildText(IdPathEdit) == song;
}

// A screenshot once the strip is drawn, with the song box scrolled to the song's name.
void ShowSong(HWND window, const std::string& name) {
  HWND edit = GetDlgItem(window, IdPathEdit);
  SendMessageW(edit, EM_SETSEL, 0x7FFF, 0x7FFF);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
  WaitUntil([] { return false; }, 500);
  Screenshot(name);
}

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), n);
  return wide;  // with its NUL
}

std::string TextOf(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// `夜に駆ける.m4a` in nested folders whose path is longer than 260 characters.
std::string PlaceSongAtALongPath(const std::string& test) {
  std::string folder = FreshFolder(test);
  while (folder.size() < 300) {
    folder += "\\" + std::string(40, 'f');
    EXPECT_TRUE(CreateDirectoryW(Wide("\\\\?\\" + folder).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS) << folder.size();
  }
  const std::string song = folder + "\\" + SongName;
  EXPECT_TRUE(CopyFileW(Wide(WindowsPath(Env("QV_BUILD_DIR")) + "\\test-data\\decoded\\song.m4a").c_str(),
                        Wide("\\\\?\\" + song).c_str(), FALSE));
  return song;
}

TEST(NamesService, BrowseOfAJapaneseSongConvertsAndUploadsFromACyrillicFolder) {
  const std::string service = Env("QV_SERVICE_URL");
  const std::string browserLog = Env("QV_BROWSER_LOG");
  if (service.empty() || browserLog.empty())
    GTEST_SKIP() << "QV_SERVICE_URL and QV_BROWSER_LOG come from the test session";
  const std::string log = WindowsPath(browserLog);
  const std::string song = PlaceSong("names-browse");
  LaunchOptions options;
  options.startFolder = ProgramInCyrillicFolder("names-browse");
  options.profile = AmrPhoneProfile();
  App app;
  ASSERT_TRUE(app.Launch(options));
  ASSERT_TRUE(app.BrowseTo(song));
  ASSERT_TRUE(WaitForSong(app, song)) << app.ChildText(IdPathEdit);
  ShowSong(app.Window(), "names-browse-loaded");

  // Working files, FFmpeg's DLLs and the encoder all live in the Cyrillic folder.
  app.Drag(150, 350);
  app.Command(IdConvert);
  ASSERT_TRUE(WaitUntil([&] { return app.ChildText(IdSizeEdit).find("KB") != std::string::npos; },
                        60000));
  const std::vector<uint8_t> ringtone = ReadFileBytes(app.WorkingFile("a.amr"));
  ASSERT_GT(ringtone.size(), 6u);

  size_t logged = ReadFileBytes(log).size();
  app.Command(IdUpload);
  std::string opened;
  ASSERT_TRUE(WaitUntil([&] {
    std::string text = TextOf(ReadFileBytes(log));
    if (text.size() <= logged || text.back() != '\n') return false;
    opened = text.substr(logged, text.size() - logged - 1);
    return true;
  }, 60000)) << "the browser was never asked to open the page";
  EXPECT_EQ(opened.rfind(service + "/r/", 0), 0u) << opened;
  // For the wrapper, which reads the page as a phone does.
  ASSERT_TRUE(WriteFileBytes(ArtefactDir() + "\\names-page.url",
                             std::vector<uint8_t>(opened.begin(), opened.end())));
  ASSERT_TRUE(WriteFileBytes(ArtefactDir() + "\\names-a.amr", ringtone));
  app.Command(IdExit);
  EXPECT_EQ(app.WaitForExit(), 0);
}

// Posts WM_DROPFILES as the shell does after a drop, with its DROPFILES block (wide names)
// written into the program's memory. Wine takes a page-aligned block for a fixed HGLOBAL,
// which is what the shell hands over.
bool Drop(const App& app, const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Wide(path);
  names += L'\0';
  std::vector<uint8_t> block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  DROPFILES header{sizeof(DROPFILES), {200, 120}, FALSE, TRUE};
  std::memcpy(block.data(), &header, sizeof header);
  std::memcpy(block.data() + sizeof header, names.data(), names.size() * sizeof(wchar_t));
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, app.ProcessId());
  if (!process) return false;
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  bool written = remote && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
  CloseHandle(process);
  return written && PostMessageW(app.Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

TEST(Names, ADroppedSongOpensAsInBrowseAndAFolderGetsAMessage) {
  const std::string song = PlaceSong("names-drop");
  const std::string folder = song.substr(0, song.rfind('\\'));
  App app;
  ASSERT_TRUE(app.Launch());
  // Several: the folder first, then the song, then another file; the song is taken.
  ASSERT_TRUE(Drop(app, {folder, song, folder + "\\other.txt"}));
  ASSERT_TRUE(WaitForSong(app, song)) << app.ChildText(IdPathEdit);
  EXPECT_TRUE(FileExists(app.WorkingFile("d.wav")));
  ShowSong(app.Window(), "names-drop-loaded");

  ASSERT_TRUE(Drop(app, {folder}));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
            "Quavella opens one song at a time, not a folder. Please drop or choose a song file.");
  EXPECT_EQ(app.ChildText(IdPathEdit), song) << "the song stays";

  // A path longer than 260 characters (Wine's own open dialog overflows on such a path, so
  // the drop brings it in).
  const std::string longSong = PlaceSongAtALongPath("names-drop-long-path");
  ASSERT_TRUE(Drop(app, {longSong}));
  ASSERT_TRUE(WaitForSong(app, longSong)) << app.ChildText(IdPathEdit);
  app.Command(IdExit);
  EXPECT_EQ(app.WaitForExit(), 0);
}

TEST(Names, ASecondStartHandsItsSongToTheRunningWindow) {
  const std::string song = PlaceSong("names-second");
  App first;
  ASSERT_TRUE(first.Launch());
  LaunchOptions options;
  options.startFolder = first.StartFolder();
  options.writeProfile = false;
  options.waitForMainWindow = false;
  options.arguments = " \"" + song + "\"";
  App second;
  ASSERT_TRUE(second.Launch(options));
  EXPECT_EQ(second.WaitForExit(20000), 0) << "the second start ends once it has handed over";
  ASSERT_TRUE(WaitForSong(first, song)) << first.ChildText(IdPathEdit);
  EXPECT_EQ(FindProcessWindow(second.ProcessId(), "Quavella", false), nullptr);
  first.Command(IdExit);
  EXPECT_EQ(first.WaitForExit(), 0);
}

std::string RegistryText(const std::string& key, const char* value = nullptr) {
  char text[2048] = {};
  DWORD size = sizeof text - 1;
  if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS)
    return "";
  return text;
}

int RunAndWait(std::string commandLine, const std::string& folder = "", DWORD timeoutMs = 120000) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-2);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}

// The installer into `Программы 李明`, its context-menu command run as the shell runs it (in
// the song's folder), and the uninstaller.
TEST(Names, TheContextMenuCommandOfTheInstalledProgramOpensTheSong) {
  const std::string installer = WindowsPath(Env("QV_BUILD_DIR")) + "\\package\\QuavellaPackage.exe";
  ASSERT_TRUE(FileExists(installer)) << installer;
  const std::string folder = FreshFolder("names-installed") + "\\" + ProgramFolder;
  ASSERT_EQ(RunAndWait("\"" + installer + "\" /S /D=" + folder), 0);
  ASSERT_TRUE(FileExists(folder + "\\Quavella.exe")) << folder;

  const std::string classes = "Software\\Classes\\";
  const std::string verbs[] = {classes + "SystemFileAssociations\\audio\\shell\\Quavella",
                               classes + "SystemFileAssociations\\video\\shell\\Quavella"};
  const std::string command = "\"" + folder + "\\Quavella.exe\" \"%1\"";
  for (const std::string& verb : verbs) {
    EXPECT_EQ(RegistryText(verb), "Make a ringtone with Quavella") << verb;
    EXPECT_EQ(RegistryText(verb + "\\command"), command) << verb;
  }
  const std::string application = classes + "Applications\\Quavella.exe";
  EXPECT_EQ(RegistryText(application + "\\shell\\open\\command"), command);
  for (const char* type : {".mp3", ".m4a", ".wav", ".flac", ".mp4"}) {
    DWORD kind = 0;
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, (application + "\\SupportedTypes").c_str(), type,
                           RRF_RT_ANY, &kind, nullptr, nullptr), ERROR_SUCCESS) << type;
  }

  // As the shell runs the verb: in the song's folder, the song as %1.
  const std::string song = PlaceSong("names-context-menu");
  const std::string songFolder = song.substr(0, song.rfind('\\'));
  WriteProfile(AmrPhoneProfile());
  std::string line = command;
  line.replace(line.find("%1"), 2, song);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             songFolder.c_str(), &startup, &process));
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = FindProcessWindow(process.dwProcessId, "Quavella")); },
                        20000));
  char text[1024] = {};
  ASSERT_TRUE(WaitUntil([&] {
    SendMessageA(GetDlgItem(window, IdPathEdit), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return song == text && FileExists(folder + "\\d.wav");
  }, 60000)) << text;
  EXPECT_FALSE(FileExists(songFolder + "\\d.wav")) << "the working files stay beside the program";
  ShowSong(window, "names-context-menu-loaded");
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IdExit, BN_CLICKED), 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);

  EXPECT_EQ(RunAndWait("\"" + folder + "\\uninstall.exe\" /S"), 0);
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(folder + "\\Quavella.exe"); }, 30000));
  for (const std::string& key : {verbs[0], verbs[1], application}) {
    HKEY opened;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS)
        << key << " is still there";
  }
}

}  // namespace
